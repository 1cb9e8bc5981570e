#pragma once
#include <cstdint>
#include <string>

#include "HttpClientBase.h"
#include "InternetHandles.h"

// The WinHTTP back-end. Every call opens a fresh session, so nothing carries over between calls
// except the secure flag, which an https URL on port 443 sets for the life of the object.
class CWinHttp : public CHttpClientBase<IWinHttp> {
public:
    CWinHttp();

    [[nodiscard]] bool DownloadFile(const std::wstring& url, const std::wstring& path) override;
    [[nodiscard]] bool DownloadToMem(const std::wstring& url, std::unique_ptr<char[]>& buffer,
                                     uint32_t& size) override;
    // Throws kHttpError_NotFound on a 404 answer.
    std::string Request(const std::wstring& url, int method, const std::string& body,
                        const std::wstring& extraHeader) override;
    std::string Request(const std::string& url, int method, const std::string& body,
                        const std::string& extraHeader) override;
    void SetTimeOut(uint32_t connect, uint32_t send, uint32_t receive) override;
    ~CWinHttp() override;

private:
    void Close();
    bool OpenSession();
    bool InitConnect(const std::wstring& url, int method, const std::string& body, const std::wstring& extraHeader);
    int32_t QueryStatusCode();
    bool QueryContentLength(uint64_t& length);
    // How many body bytes are ready; false when the question fails.
    bool QueryAvailable(uint32_t& available);
    bool ReadData(char* buffer, uint32_t size, uint32_t& read);

    bool m_secure = false;
    WinHttpHandle m_session;
    WinHttpHandle m_connection;
    WinHttpHandle m_request;
    uint32_t m_connectTimeout = 5000;
    uint32_t m_sendTimeout = 5000;
    uint32_t m_receiveTimeout = 5000;
};
