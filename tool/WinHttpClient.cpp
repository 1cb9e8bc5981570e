#include "WinHttpClient.h"

#include <windows.h>
#include <winhttp.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "System.h"

#include "Handles.h"

namespace {

constexpr DWORD kReadChunk = 4096;

} // namespace

CWinHttp::CWinHttp()
{
    OpenSession();
}

CWinHttp::~CWinHttp()
{
    Close();
}

void CWinHttp::Close()
{
    m_request.reset();
    m_connection.reset();
    m_session.reset();
}

void CWinHttp::SetTimeOut(uint32_t connect, uint32_t send, uint32_t receive)
{
    m_connectTimeout = connect;
    m_sendTimeout = send;
    m_receiveTimeout = receive;
}

bool CWinHttp::OpenSession()
{
    Close();
    m_session.reset(WinHttpOpen(L"Microsoft Internet Explorer", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!m_session) {
        m_error = kHttpError_Open;
        return false;
    }
    WinHttpSetTimeouts(m_session.get(), 0, static_cast<int>(m_connectTimeout), static_cast<int>(m_sendTimeout),
                       static_cast<int>(m_receiveTimeout));
    // Windows bounds the wait for the response head by the receive time-out; Wine only by this option.
    DWORD headTimeout = m_receiveTimeout;
    WinHttpSetOption(m_session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headTimeout, sizeof(headTimeout));
    return true;
}

bool CWinHttp::InitConnect(const std::wstring& url, int method, const std::string& body,
                           const std::wstring& extraHeader)
{
    m_statusCode = 0; // no answer yet to this call
    if (!OpenSession())
        return false;
    HttpUrlParts parts = ParseUrl(url);
    if (parts.port == INTERNET_DEFAULT_HTTPS_PORT)
        m_secure = true;
    // Wine's WinHttpConnect takes an empty host for the local host; Windows refuses it.
    if (parts.host.empty()) {
        m_error = kHttpError_Connect;
        return false;
    }
    m_connection.reset(WinHttpConnect(m_session.get(), parts.host.c_str(), parts.port, 0));
    if (!m_connection) {
        m_error = kHttpError_Connect;
        return false;
    }
    m_request.reset(WinHttpOpenRequest(m_connection.get(), method != 0 ? L"POST" : L"GET", parts.path.c_str(),
                                       nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                       m_secure ? WINHTTP_FLAG_SECURE : 0));
    if (!m_request) {
        m_error = kHttpError_Open;
        return false;
    }
    if (m_secure) {
        // Any certificate is accepted: unknown authority, wrong usage, host name mismatch, bad date.
        DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                      SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
        WinHttpSetOption(m_request.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
    }
    std::wstring headers = AcpToWide(m_header.GetHeaderString());
    WinHttpAddRequestHeaders(m_request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                             WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    DWORD bodyLength = static_cast<DWORD>(body.size());
    BOOL sent = WinHttpSendRequest(
        m_request.get(), extraHeader.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : extraHeader.c_str(),
        extraHeader.empty() ? 0 : static_cast<DWORD>(-1L),
        body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()), bodyLength, bodyLength, 0);
    if (!sent) {
        m_error = kHttpError_Send;
        return false;
    }
    if (!WinHttpReceiveResponse(m_request.get(), nullptr)) {
        m_error = kHttpError_Open;
        return false;
    }
    return true;
}

int32_t CWinHttp::QueryStatusCode()
{
    wchar_t text[24] = {}; // 48 bytes
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!WinHttpQueryHeaders(m_request.get(), WINHTTP_QUERY_STATUS_CODE, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return 0;
    return static_cast<int32_t>(std::wcstol(text, nullptr, 10));
}

bool CWinHttp::QueryContentLength(uint64_t& length)
{
    wchar_t text[32] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!WinHttpQueryHeaders(m_request.get(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text,
                             &size, WINHTTP_NO_HEADER_INDEX))
        return false;
    length = std::wcstoull(text, nullptr, 10);
    return true;
}

bool CWinHttp::QueryAvailable(uint32_t& available)
{
    DWORD n = 0;
    if (!WinHttpQueryDataAvailable(m_request.get(), &n))
        return false;
    available = n;
    return true;
}

bool CWinHttp::ReadData(char* buffer, uint32_t size, uint32_t& read)
{
    DWORD n = 0;
    if (!WinHttpReadData(m_request.get(), buffer, size, &n))
        return false;
    read = n;
    return true;
}

std::string CWinHttp::Request(const std::string& url, int method, const std::string& body,
                              const std::string& extraHeader)
{
    return Request(AcpToWide(url), method, body, AcpToWide(extraHeader));
}

std::string CWinHttp::Request(const std::wstring& url, int method, const std::string& body,
                              const std::wstring& extraHeader)
{
    if (!InitConnect(url, method, body, extraHeader))
        return {};
    m_statusCode = QueryStatusCode();
    if (m_statusCode == 404) {
        m_error = kHttpError_NotFound;
        throw kHttpError_NotFound;
    }
    uint64_t announced = 0;
    bool hasLength = QueryContentLength(announced);
    std::string received;
    std::vector<char> buffer(kReadChunk);
    bool complete = false;
    for (;;) {
        uint32_t available = 0;
        if (!QueryAvailable(available))
            break;
        if (available == 0) {
            complete = true;
            break;
        }
        if (available > buffer.size())
            buffer.resize(available);
        uint32_t read = 0;
        if (!ReadData(buffer.data(), available, read))
            break;
        received.append(buffer.data(), read);
    }
    // A dropped connection can look like the end of the body; the announced length tells them apart.
    if (!complete || (hasLength && received.size() < announced))
        return {};
    return received;
}

bool CWinHttp::DownloadFile(const std::wstring& url, const std::wstring& path)
{
    if (!InitConnect(url, 0, {}, {}))
        return false;
    uint64_t announced = 0;
    if (!QueryContentLength(announced)) {
        m_error = kHttpError_ContentLength;
        return false;
    }
    m_statusCode = QueryStatusCode();
    if (m_statusCode == 404) {
        m_error = kHttpError_NotFound;
        return false;
    }
    qvsys::UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        m_error = kHttpError_CreateFile;
        return false;
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(announced);
    LARGE_INTEGER start = {};
    SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
    SetEndOfFile(file.get());
    SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN);

    std::vector<char> buffer(kReadChunk);
    uint64_t downloaded = 0;
    bool complete = false;
    uint32_t available = 0;
    bool asked = QueryAvailable(available);
    while (asked) {
        if (available == 0) {
            complete = downloaded == announced;
            break;
        }
        if (available > buffer.size())
            buffer.resize(available);
        uint32_t read = 0;
        DWORD written = 0;
        if (!ReadData(buffer.data(), available, read) ||
            !WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written < read)
            break;
        downloaded += read;
        ReportProgress(0, static_cast<double>(announced), static_cast<double>(downloaded));
        asked = QueryAvailable(available);
    }
    file.reset();
    if (!complete) {
        m_error = kHttpError_ReadBody;
        DeleteFileW(path.c_str());
    }
    return complete;
}

bool CWinHttp::DownloadToMem(const std::wstring& url, std::unique_ptr<char[]>& buffer, uint32_t& size)
{
    try {
        if (!InitConnect(url, 0, {}, {}))
            throw kHttpError_Open;
        uint64_t announced = 0;
        if (!QueryContentLength(announced))
            throw kHttpError_ContentLength;
        m_statusCode = QueryStatusCode();
        if (m_statusCode == 404)
            throw kHttpError_NotFound;
        uint32_t available = 0;
        if (!QueryAvailable(available))
            throw kHttpError_ContentLength;
        if (announced > kMaxMemBody)
            throw kHttpError_TooLarge;
        auto data = std::make_unique<char[]>(static_cast<size_t>(announced));
        uint32_t filled = 0;
        std::vector<char> piece(kReadChunk);
        while (available != 0 && filled < announced) {
            if (available > piece.size())
                piece.resize(available);
            uint32_t read = 0;
            if (!ReadData(piece.data(), available, read))
                throw kHttpError_ReadBody;
            uint32_t room = static_cast<uint32_t>(announced) - filled;
            std::memcpy(data.get() + filled, piece.data(), read < room ? read : room);
            filled += read < room ? read : room;
            if (!QueryAvailable(available))
                throw kHttpError_ReadBody;
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
