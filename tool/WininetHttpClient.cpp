#include "WininetHttpClient.h"

#include <windows.h>
#include <wininet.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <vector>

#include "System.h"

namespace {

constexpr uint32_t kReadChunk = 4096;

// Creates every missing folder of the file's path, one "\" at a time.
void CreateParentFolders(const std::wstring& path)
{
    for (size_t i = path.find(L'\\', 1); i != std::wstring::npos; i = path.find(L'\\', i + 1)) {
        std::wstring folder = path.substr(0, i);
        if (folder.size() > 2 || folder.back() != L':') // skip the bare drive "C:"
            CreateDirectoryW(folder.c_str(), nullptr);
    }
}

} // namespace

CWininetHttp::~CWininetHttp()
{
    Close();
}

void CWininetHttp::Close()
{
    m_request.reset();
    m_connection.reset();
    m_internet.reset();
}

void CWininetHttp::Open(const std::wstring& url, const wchar_t* verb, const std::string& body,
                        const std::wstring& extraHeader)
{
    Close();
    m_statusCode = 0; // no answer yet to this call
    m_internet.reset(InternetOpenW(L"Http-connect", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!m_internet)
        throw kHttpError_Open;
    HttpUrlParts parts = ParseUrl(url);
    if (parts.port == INTERNET_DEFAULT_HTTPS_PORT)
        m_secure = true;
    m_connection.reset(InternetConnectW(m_internet.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0));
    if (!m_connection)
        throw kHttpError_Connect;
    DWORD flags = INTERNET_FLAG_RELOAD;
    if (m_secure)
        flags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
    m_request.reset(
        HttpOpenRequestW(m_connection.get(), verb, parts.path.c_str(), L"HTTP/1.1", nullptr, nullptr, flags, 0));
    if (!m_request)
        throw kHttpError_Open;
    std::string headers = m_header.GetHeaderString();
    HttpAddRequestHeadersA(m_request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    if (!HttpSendRequestW(m_request.get(), extraHeader.empty() ? nullptr : extraHeader.c_str(),
                          extraHeader.empty() ? 0 : static_cast<DWORD>(-1L),
                          body.empty() ? nullptr : const_cast<char*>(body.data()), static_cast<DWORD>(body.size())))
        throw kHttpError_Send;
    DWORD status = 0;
    DWORD size = sizeof(status);
    m_statusCode = HttpQueryInfoW(m_request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                  nullptr)
                       ? static_cast<int32_t>(status)
                       : 0;
    if (m_statusCode == 404)
        throw kHttpError_NotFound;
}

uint64_t CWininetHttp::QueryContentLength(size_t maxDigits)
{
    wchar_t text[1025] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!HttpQueryInfoW(m_request.get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) ||
        std::wcslen(text) > maxDigits)
        throw kHttpError_ContentLength;
    return std::wcstoull(text, nullptr, 10);
}

uint32_t CWininetHttp::Read(char* buffer, uint32_t size)
{
    DWORD read = 0;
    if (!InternetReadFile(m_request.get(), buffer, size, &read))
        throw kHttpError_ReadBody;
    return read;
}

std::string CWininetHttp::Request(const std::string& url, int method, const std::string& body,
                                  const std::string& extraHeader)
{
    return Request(AcpToWide(url), method, body, AcpToWide(extraHeader));
}

std::string CWininetHttp::Request(const std::wstring& url, int method, const std::string& body,
                                  const std::wstring& extraHeader)
{
    std::string received;
    try {
        if (url.empty())
            throw kHttpError_EmptyUrl;
        Open(url, method != 0 ? L"POST" : L"GET", body, extraHeader);
        std::vector<char> piece(kReadChunk);
        while (uint32_t read = Read(piece.data(), kReadChunk))
            received.append(piece.data(), read);
    } catch (HttpInterfaceError error) {
        m_error = error;
    }
    return received;
}

bool CWininetHttp::DownloadToMem(const std::wstring& url, std::unique_ptr<char[]>& buffer, uint32_t& size)
{
    try {
        if (url.empty())
            throw kHttpError_EmptyDownloadUrl;
        Open(url, L"GET", {}, {});
        uint64_t announced = QueryContentLength(1024);
        if (announced > kMaxMemBody)
            throw kHttpError_TooLarge;
        auto data = std::make_unique<char[]>(static_cast<size_t>(announced));
        uint32_t filled = 0;
        while (filled < announced) {
            uint32_t read = Read(data.get() + filled, static_cast<uint32_t>(announced) - filled);
            if (read == 0)
                break;
            filled += read;
        }
        if (filled < announced)
            throw kHttpError_ReadBody;
        buffer = std::move(data);
        size = filled;
        return true;
    } catch (HttpInterfaceError error) {
        m_error = error;
        return false;
    }
}

bool CWininetHttp::DownloadFile(const std::wstring& url, const std::wstring& path)
{
    try {
        if (url.empty())
            throw kHttpError_EmptyDownloadUrl;
        Open(url, L"GET", {}, {});
        uint64_t announced = QueryContentLength(1024);
        CreateParentFolders(path);
        std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        if (!file)
            throw kHttpError_CreateFile;
        std::vector<char> piece(kReadChunk);
        uint64_t written = 0;
        while (written < announced) {
            uint32_t want = announced - written < kReadChunk ? static_cast<uint32_t>(announced - written) : kReadChunk;
            uint32_t read = Read(piece.data(), want);
            if (read == 0)
                break;
            if (!file.write(piece.data(), read))
                throw kHttpError_WriteFile;
            written += read;
            ReportProgress(0, static_cast<double>(announced), static_cast<double>(written));
        }
        if (written != announced)
            throw kHttpError_ReadBody;
        file.close();
        if (!file)
            throw kHttpError_WriteFile;
        ReportProgress(2, static_cast<double>(announced), static_cast<double>(written));
        return true;
    } catch (HttpInterfaceError error) {
        m_error = error;
        return false;
    }
}
