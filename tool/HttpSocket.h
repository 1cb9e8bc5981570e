#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "HttpClientBase.h"
#include "UniqueHandle.h"

// A Winsock SOCKET; kept as its integer type so this header needs no winsock2.h.
struct SocketTraits {
    using type = uintptr_t;
    static type None() { return ~uintptr_t(0); } // INVALID_SOCKET
    static void Close(type s);
};
using SocketHandle = UniqueHandle<SocketTraits>;

// Keeps Winsock started for the life of its owner.
class WinsockSession {
public:
    WinsockSession();
    ~WinsockSession();
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

private:
    bool m_started = false;
};

// Plain HTTP GET over a TCP socket, without TLS; follows at most kMaxRedirects redirects.
class CHttpSocket : public CHttpClientBase<ISocketHttp> {
public:
    static constexpr int kMaxRedirects = 10;

    [[nodiscard]] bool DownloadFile(const std::wstring& url, const std::wstring& path) override;
    [[nodiscard]] bool DownloadToMem(const std::wstring& url, std::unique_ptr<char[]>& buffer,
                                     uint32_t& size) override;
    std::wstring GetIpAddr() const override { return m_ipAddr; }
    ~CHttpSocket() override = default;

private:
    // Takes the body piece by piece; throws to stop.
    using BodySink = std::function<void(const char* data, size_t size)>;

    // Request and head, redirects included; throws HttpInterfaceError. Returns the announced body length,
    // which must be between 1 and maxLength.
    uint64_t Exchange(const std::wstring& url, uint64_t maxLength);
    void Connect(const std::wstring& host, unsigned short port);
    void SendRequest(const std::wstring& host, unsigned short port, const std::wstring& path);
    // Receives up to and including the end of the head (within the first 4096 bytes); the rest stays pending.
    std::string ReceiveHead();
    size_t Receive(char* buffer, size_t size);
    void ReceiveBody(uint64_t length, const BodySink& sink);

    WinsockSession m_winsock;
    SocketHandle m_socket;
    std::wstring m_ipAddr;
    std::string m_pending; // bytes received behind the head
};
