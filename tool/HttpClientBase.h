#pragma once
// The state every client of the family shares: callback, last error, status code, request headers.
#include <string>

#include "HttpBase.h"
#include "HttpHeader.h"

struct HttpUrlParts {
    std::wstring host;
    std::wstring path;
    unsigned short port = 80;
};

// "https://" gives port 443; the path keeps its "/" and is "/" when the URL has none; "host:port" splits.
HttpUrlParts ParseUrl(const std::wstring& url);

template <class Interface>
class CHttpClientBase : public Interface {
public:
    void SetDownloadCallback(IHttpCallback* callback, void* user) override
    {
        m_callback = callback;
        m_user = user;
    }
    void FreeInstance() override { delete this; }
    HttpInterfaceError GetErrorCode() const override { return m_error; }
    void AddHeader(const std::string& name, const std::string& value) override
    {
        if (!name.empty() && !value.empty())
            m_header.AddHeader(name, value);
    }
    int32_t GetHttpCode() const override { return m_statusCode; }

protected:
    void ReportProgress(int state, double total, double downloaded)
    {
        if (m_callback)
            m_callback->OnDownloadCallback(m_user, state, total, downloaded);
    }

    int32_t m_statusCode = 0;
    CHttpHeader m_header;
    void* m_user = nullptr;
    IHttpCallback* m_callback = nullptr; // not owned
    HttpInterfaceError m_error = kHttpError_None;
};
