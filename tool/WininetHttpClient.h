#pragma once
#include <cstdint>
#include <string>

#include "HttpClientBase.h"
#include "InternetHandles.h"

// The WinINet back-end. Unlike the WinHTTP client it accepts only an invalid certificate date,
// not an unknown authority. No exception leaves it.
class CWininetHttp : public CHttpClientBase<IWininetHttp> {
public:
    [[nodiscard]] bool DownloadFile(const std::wstring& url, const std::wstring& path) override;
    [[nodiscard]] bool DownloadToMem(const std::wstring& url, std::unique_ptr<char[]>& buffer,
                                     uint32_t& size) override;
    std::string Request(const std::wstring& url, int method, const std::string& body,
                        const std::wstring& extraHeader) override;
    std::string Request(const std::string& url, int method, const std::string& body,
                        const std::string& extraHeader) override;
    ~CWininetHttp() override;

private:
    void Close();
    // The steps every operation shares, up to the status code; throws on failure.
    void Open(const std::wstring& url, const wchar_t* verb, const std::string& body, const std::wstring& extraHeader);
    uint64_t QueryContentLength(size_t maxDigits);
    uint32_t Read(char* buffer, uint32_t size);

    bool m_secure = false;
    WinInetHandle m_internet;
    WinInetHandle m_connection;
    WinInetHandle m_request;
};
