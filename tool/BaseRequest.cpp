#include "BaseRequest.h"

#include <winhttp.h>

#include "Handles.h"
#include "Log.h"

namespace {

void ReportLastError(const char* name, const char* context)
{
    ShowApiError(name, GetLastError(), GetModuleHandleW(L"wininet.dll"), context);
}

} // namespace

// Only http:// and https:// mark where the host begins; any other text leaves both outputs untouched
// and still counts as split, so the request then fails at the connect step. No "/" after the host fails.
bool CBaseRequest::SplitUrl(const std::wstring& url, std::wstring& serverName, std::wstring& objectPath)
{
    std::wstring rest;
    if (url.compare(0, 7, L"http://") == 0)
        rest = url.substr(7);
    else if (url.compare(0, 8, L"https://") == 0)
        rest = url.substr(8);
    else
        return true;
    serverName = rest;
    size_t slash = rest.find(L'/');
    if (slash == std::wstring::npos)
        return false;
    serverName = rest.substr(0, slash);
    objectPath = rest.substr(slash + 1);
    return true;
}

bool CBaseRequest::RequestUrl(const std::wstring& url)
{
    std::wstring serverName = m_serverName;
    std::wstring objectPath = m_objectPath;
    if (!SplitUrl(url, serverName, objectPath))
        return false;
    return TryRequest(serverName, objectPath, true) || TryRequest(serverName, objectPath, false);
}

bool CBaseRequest::TryRequest(const std::wstring& serverName, const std::wstring& objectPath, bool secure)
{
    m_objectPath = objectPath;
    m_serverName = serverName;
    if (!OpenSession())
        return false;
    if (m_maxConnectionsPerServer != 0) {
        // WinINet's limits per HTTP/1.1 and per HTTP/1.0 server.
        InternetSetOpt(73, m_maxConnectionsPerServer);
        InternetSetOpt(74, m_maxConnectionsPerServer);
    }
    return ConnectSession(secure) && OpenRequest(secure) && SendRequest();
}

CWinHttpRequest::~CWinHttpRequest()
{
    Close();
}

void CWinHttpRequest::Close()
{
    m_request.reset();
    m_connection.reset();
    m_session.reset();
}

bool CWinHttpRequest::OpenSession()
{
    Close(); // a failed HTTPS attempt leaves nothing behind for the HTTP one
    DWORD access = IsUseProxyConnect() ? WINHTTP_ACCESS_TYPE_DEFAULT_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY;
    m_session.reset(WinHttpOpen(nullptr, access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!m_session) {
        ReportLastError("WinHttpOpen", "CWinHttpRequest::OpenSession");
        return false;
    }
    return true;
}

bool CWinHttpRequest::ConnectSession(bool secure)
{
    // Wine's WinHttpConnect takes an empty server name for the local host; Windows refuses it.
    if (m_serverName.empty()) {
        ShowApiError("WinHttpConnect", ERROR_WINHTTP_INVALID_URL, GetModuleHandleW(L"wininet.dll"),
                     "CWinHttpRequest::ConnectSession");
        return false;
    }
    m_connection.reset(WinHttpConnect(m_session.get(), m_serverName.c_str(),
                                      secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT, 0));
    if (!m_connection) {
        ReportLastError("WinHttpConnect", "CWinHttpRequest::ConnectSession");
        return false;
    }
    return true;
}

bool CWinHttpRequest::OpenRequest(bool secure)
{
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    DWORD flags = WINHTTP_FLAG_REFRESH | (secure ? WINHTTP_FLAG_SECURE : 0);
    m_request.reset(WinHttpOpenRequest(m_connection.get(), m_method.c_str(), m_objectPath.c_str(), L"HTTP/1.1",
                                       WINHTTP_NO_REFERER, acceptTypes, flags));
    if (!m_request) {
        ReportLastError("WinHttpOpenRequest", "CWinHttpRequest::OpenRequest");
        return false;
    }
    return true;
}

bool CWinHttpRequest::SendRequest()
{
    if (!m_extraHeaders.empty() &&
        !WinHttpAddRequestHeaders(m_request.get(), m_extraHeaders.c_str(), static_cast<DWORD>(m_extraHeaders.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD)) {
        ReportLastError("WinHttpAddRequestHeaders", "CWinHttpRequest::SendRequest");
        return false;
    }
    if (!WinHttpSendRequest(m_request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        ReportLastError("WinHttpSendRequest", "CWinHttpRequest::SendRequest");
        return false;
    }
    if (!WinHttpReceiveResponse(m_request.get(), nullptr)) {
        ReportLastError("WinHttpReceiveResponse", "CWinHttpRequest::SendRequest");
        return false;
    }
    return true;
}

bool CWinHttpRequest::GetUrlFileSize(uint32_t& size)
{
    if (!m_request)
        return false;
    DWORD length = 0;
    DWORD bytes = sizeof(length);
    if (!WinHttpQueryHeaders(m_request.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &length, &bytes, WINHTTP_NO_HEADER_INDEX)) {
        ReportLastError("WinHttpQueryHeaders", "CWinHttpRequest::GetUrlFileSize");
        return false;
    }
    size = length;
    return true;
}

int CWinHttpRequest::HttpRead(char* buffer, uint32_t size)
{
    DWORD read = 0;
    if (!WinHttpReadData(m_request.get(), buffer, size, &read)) {
        ReportLastError("WinHttpReadData", "CWinHttpRequest::HttpRead");
        return -1;
    }
    return static_cast<int>(read);
}

std::string CWinHttpRequest::ReadToString()
{
    std::string body;
    char buffer[2048];
    for (;;) {
        ZeroMemory(buffer, sizeof(buffer));
        DWORD read = 0;
        if (!WinHttpReadData(m_request.get(), buffer, sizeof(buffer) - 1, &read))
            break;
        body.append(buffer, read);
        if (read == 0)
            break;
    }
    return body;
}

bool CWinHttpRequest::ReadToFile(const std::wstring& path)
{
    qvsys::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    // A connection that drops early can read as the end of the body; the announced length tells.
    DWORD announced = 0;
    DWORD bytes = sizeof(announced);
    bool hasLength = WinHttpQueryHeaders(m_request.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                         WINHTTP_HEADER_NAME_BY_INDEX, &announced, &bytes, WINHTTP_NO_HEADER_INDEX);
    uint64_t total = 0;
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(m_request.get(), buffer, sizeof(buffer), &read))
            return false;
        if (read == 0)
            return !hasLength || total >= announced;
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer, read, &written, nullptr) || written != read)
            return false;
        total += read;
    }
}

uint32_t GetRemoteFileSize(const std::wstring& url)
{
    CWinHttpRequest request;
    request.SetMethod(L"HEAD");
    uint32_t size = 0;
    if (request.RequestUrl(url) && request.GetUrlFileSize(size))
        return size;
    return 0;
}
