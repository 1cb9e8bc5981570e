#include "HttpSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Handles.h"

namespace {

constexpr size_t kBlock = 4096;
constexpr DWORD kReceiveTimeoutMs = 10000;

std::string WideToAcpText(const std::wstring& text)
{
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

bool IsAbsolute(const std::string& location)
{
    return location.compare(0, 7, "http://") == 0 || location.compare(0, 8, "https://") == 0;
}

} // namespace

void SocketTraits::Close(type s)
{
    closesocket(static_cast<SOCKET>(s));
}

WinsockSession::WinsockSession()
{
    WSADATA data;
    m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockSession::~WinsockSession()
{
    if (m_started)
        WSACleanup();
}

void CHttpSocket::Connect(const std::wstring& host, unsigned short port)
{
    m_socket.reset();
    m_pending.clear();
    ADDRINFOW hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    if (host.empty() || GetAddrInfoW(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        throw kHttpError_Resolve;
    sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    FreeAddrInfoW(found);
    address.sin_port = htons(port);
    const auto* b = reinterpret_cast<const unsigned char*>(&address.sin_addr);
    wchar_t dotted[16];
    swprintf(dotted, 16, L"%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    m_ipAddr = dotted;

    m_socket.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!m_socket)
        throw kHttpError_Socket;
    DWORD timeout = kReceiveTimeoutMs;
    setsockopt(m_socket.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    if (connect(m_socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        throw kHttpError_Connect;
}

void CHttpSocket::SendRequest(const std::wstring& host, unsigned short port, const std::wstring& path)
{
    // A copy per request, so a redirect to another host sends that host's name.
    CHttpHeader request = m_header;
    std::string hostHeader = WideToAcpText(host);
    if (port != 80)
        hostHeader += ":" + std::to_string(port);
    request.AddHeader("Host", hostHeader);
    request.SetRequestPath(WideToAcpText(path));
    std::string head = request.GetRequestHeader();
    for (size_t sent = 0; sent < head.size();) {
        int n = send(m_socket.get(), head.data() + sent, static_cast<int>(head.size() - sent), 0);
        if (n <= 0)
            throw kHttpError_Send;
        sent += static_cast<size_t>(n);
    }
}

size_t CHttpSocket::Receive(char* buffer, size_t size)
{
    int n = recv(m_socket.get(), buffer, static_cast<int>(size), 0);
    if (n < 0)
        throw kHttpError_Socket;
    return static_cast<size_t>(n);
}

std::string CHttpSocket::ReceiveHead()
{
    // The head must end within the first block; it may arrive in several segments.
    std::string block = std::move(m_pending);
    m_pending.clear();
    size_t end;
    while ((end = block.find("\r\n\r\n")) == std::string::npos) {
        if (block.size() >= kBlock)
            throw kHttpError_HeadTooLong;
        char piece[kBlock];
        size_t n = Receive(piece, kBlock - block.size());
        if (n == 0)
            throw kHttpError_HeadTooLong;
        block.append(piece, n);
    }
    m_pending = block.substr(end + 4);
    block.resize(end);
    return block;
}

void CHttpSocket::ReceiveBody(uint64_t length, const BodySink& sink)
{
    uint64_t got = 0;
    if (!m_pending.empty()) {
        size_t take = m_pending.size() < length ? m_pending.size() : static_cast<size_t>(length);
        sink(m_pending.data(), take);
        m_pending.erase(0, take);
        got = take;
    }
    std::vector<char> piece(kBlock);
    while (got < length) {
        size_t want = length - got < kBlock ? static_cast<size_t>(length - got) : kBlock;
        size_t n = Receive(piece.data(), want);
        if (n == 0)
            throw kHttpError_ReadBody; // closed before the announced length
        sink(piece.data(), n);
        got += n;
    }
}

uint64_t CHttpSocket::Exchange(const std::wstring& url, uint64_t maxLength)
{
    m_statusCode = 0; // no answer yet to this call
    HttpUrlParts parts = ParseUrl(url);
    if (parts.port == 443)
        throw kHttpError_Connect; // no TLS here
    Connect(parts.host, parts.port);
    for (int redirects = 0;; ++redirects) {
        SendRequest(parts.host, parts.port, parts.path);
        CHttpHeader response;
        response.Parse(ReceiveHead());
        m_statusCode = response.GetStatusCode();
        std::string location = response.GetValue("Location");
        if (m_statusCode >= 301 && m_statusCode <= 399 && !location.empty()) {
            if (redirects == kMaxRedirects)
                throw kHttpError_Redirects;
            if (IsAbsolute(location)) {
                parts = ParseUrl(std::wstring(location.begin(), location.end()));
                if (parts.port == 443)
                    throw kHttpError_Connect;
                Connect(parts.host, parts.port);
                continue;
            }
            parts.path = std::wstring(location.begin(), location.end());
            // The same connection serves the next request once this answer's body is consumed; without a
            // length, or when the server closes, a new connection is needed.
            std::string length = response.GetValue("Content-Length");
            if (length.empty() || response.GetValue("Connection") == "close") {
                Connect(parts.host, parts.port);
            } else {
                ReceiveBody(std::strtoull(length.c_str(), nullptr, 10), [](const char*, size_t) {});
            }
            continue;
        }
        if (m_statusCode == 400)
            throw kHttpError_NotFound;
        uint64_t length = std::strtoull(response.GetValue("Content-Length").c_str(), nullptr, 10);
        if (length == 0 || length > maxLength)
            throw kHttpError_TooLarge;
        return length;
    }
}

bool CHttpSocket::DownloadToMem(const std::wstring& url, std::unique_ptr<char[]>& buffer, uint32_t& size)
{
    try {
        uint64_t length = Exchange(url, kMaxMemBody);
        auto data = std::make_unique<char[]>(static_cast<size_t>(length));
        size_t filled = 0;
        ReceiveBody(length, [&](const char* piece, size_t n) {
            std::memcpy(data.get() + filled, piece, n);
            filled += n;
        });
        buffer = std::move(data);
        size = static_cast<uint32_t>(filled);
        return true;
    } catch (HttpInterfaceError error) {
        m_error = error;
        return false;
    }
}

bool CHttpSocket::DownloadFile(const std::wstring& url, const std::wstring& path)
{
    bool fileCreated = false;
    try {
        uint64_t length = Exchange(url, UINT64_MAX);
        qvsys::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!file)
            throw kHttpError_CreateFile;
        fileCreated = true;
        uint64_t written = 0;
        ReceiveBody(length, [&](const char* piece, size_t n) {
            DWORD done = 0;
            if (!WriteFile(file.get(), piece, static_cast<DWORD>(n), &done, nullptr) || done != n)
                throw kHttpError_WriteFile;
            written += n;
            ReportProgress(0, static_cast<double>(length), static_cast<double>(written));
        });
        return true;
    } catch (HttpInterfaceError error) {
        m_error = error;
        if (fileCreated)
            DeleteFileW(path.c_str());
        return false;
    }
}
