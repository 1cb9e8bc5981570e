#pragma once
// A blocking request helper over WinHTTP for the size query and the carousel: one object per request.
// It never looks at the status code: any answer whose head arrives is a success.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "InternetHandles.h"

// Logs a failed platform call with the thread id, the context, the call, the code and the module's text for it.
void ShowApiError(const char* name, DWORD code, HMODULE module, const char* context);

class CBaseRequest {
public:
    virtual ~CBaseRequest() = default;
    virtual const wchar_t* GetTypeName() const = 0;
    // The answer's Content-Length.
    [[nodiscard]] virtual bool GetUrlFileSize(uint32_t& size) = 0;
    // Bytes read, 0 at the end of the body, -1 on failure.
    virtual int HttpRead(char* buffer, uint32_t size) = 0;
    virtual void Close() = 0;
    virtual bool OpenSession() = 0;
    virtual bool ConnectSession(bool secure) = 0;
    virtual bool OpenRequest(bool secure) = 0;
    virtual bool SendRequest() = 0;

    // HTTPS on port 443 first, then plain HTTP on port 80, whatever the URL's scheme.
    [[nodiscard]] bool RequestUrl(const std::wstring& url);

    void SetMethod(const std::wstring& method) { m_method = method; }
    void SetExtraHeaders(const std::wstring& headers) { m_extraHeaders = headers; }
    // 0 leaves the process-wide WinINet setting alone.
    void SetMaxConnectionsPerServer(uint32_t count) { m_maxConnectionsPerServer = count; }

    static bool IsUseProxyConnect();
    // Process-wide WinINet options.
    static bool QueryInternetOpt(uint32_t option, std::vector<uint8_t>& value);
    static bool QueryInternetOpt(uint32_t option, uint32_t& value);
    static bool InternetSetOpt(uint32_t option, uint32_t value);
    // Server name and object path of an http:// or https:// URL; see the source for the corner cases.
    static bool SplitUrl(const std::wstring& url, std::wstring& serverName, std::wstring& objectPath);

protected:
    bool TryRequest(const std::wstring& serverName, const std::wstring& objectPath, bool secure);

    std::wstring m_method = L"GET";
    std::wstring m_extraHeaders;
    std::wstring m_objectPath;
    std::wstring m_serverName;
    WinHttpHandle m_session;
    WinHttpHandle m_connection;
    WinHttpHandle m_request;
    uint32_t m_maxConnectionsPerServer = 0;
};

class CWinHttpRequest : public CBaseRequest {
public:
    ~CWinHttpRequest() override;
    const wchar_t* GetTypeName() const override { return L"WinHttp"; }
    [[nodiscard]] bool GetUrlFileSize(uint32_t& size) override;
    int HttpRead(char* buffer, uint32_t size) override;
    void Close() override;
    bool OpenSession() override;
    bool ConnectSession(bool secure) override;
    bool OpenRequest(bool secure) override;
    bool SendRequest() override;

    // The remaining body; a failed read ends it early without a report.
    std::string ReadToString();
    // The remaining body into a new file; on failure the partial file stays.
    [[nodiscard]] bool ReadToFile(const std::wstring& path);
};

// Content-Length of a HEAD answer; 0 on every failure.
uint32_t GetRemoteFileSize(const std::wstring& url);
