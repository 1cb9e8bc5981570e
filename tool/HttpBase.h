#pragma once
// The blocking HTTP client family: one interface, three back-ends, one factory.
#include <cstdint>
#include <memory>
#include <string>

enum HttpInterfaceError : int32_t {
    kHttpError_None = 0,
    kHttpError_Open = 1, // session or request, response head, or the connect step as a whole
    kHttpError_Connect = 2,
    kHttpError_Send = 3,
    kHttpError_ContentLength = 4,
    kHttpError_NotFound = 5,
    kHttpError_EmptyDownloadUrl = 6,
    kHttpError_CreateFile = 7,
    kHttpError_ReadBody = 8,
    kHttpError_Resolve = 9,
    kHttpError_Socket = 10,
    kHttpError_TooLarge = 12,
    kHttpError_HeadTooLong = 13,
    kHttpError_EmptyUrl = 14,
    kHttpError_WriteFile = 15,
    kHttpError_Redirects = 16, // more redirects than the socket client follows
};

// Largest body DownloadToMem accepts.
constexpr uint32_t kMaxMemBody = 8388608;

class IHttpCallback {
public:
    // state 0 while data arrives, 2 once the file is complete (WinINet client only).
    virtual void OnDownloadCallback(void* user, int state, double total, double downloaded) = 0;

protected:
    ~IHttpCallback() = default;
};

class IHttpBase {
public:
    virtual void SetDownloadCallback(IHttpCallback* callback, void* user) = 0;
    [[nodiscard]] virtual bool DownloadFile(const std::wstring& url, const std::wstring& path) = 0;
    // The caller owns the buffer it gets.
    [[nodiscard]] virtual bool DownloadToMem(const std::wstring& url, std::unique_ptr<char[]>& buffer,
                                             uint32_t& size) = 0;
    virtual void FreeInstance() = 0;
    virtual HttpInterfaceError GetErrorCode() const = 0;
    virtual void AddHeader(const std::string& name, const std::string& value) = 0;
    virtual int32_t GetHttpCode() const = 0;

protected:
    ~IHttpBase() = default; // released through FreeInstance only
};

// method 0 is GET, any other POST. An empty body or extra header means none. The result is the body.
class IWinHttp : public IHttpBase {
public:
    virtual std::string Request(const std::wstring& url, int method, const std::string& body,
                                const std::wstring& extraHeader) = 0;
    virtual std::string Request(const std::string& url, int method, const std::string& body,
                                const std::string& extraHeader) = 0;
    virtual void SetTimeOut(uint32_t connect, uint32_t send, uint32_t receive) = 0;
    virtual ~IWinHttp() = default;
};

class IWininetHttp : public IHttpBase {
public:
    virtual std::string Request(const std::wstring& url, int method, const std::string& body,
                                const std::wstring& extraHeader) = 0;
    virtual std::string Request(const std::string& url, int method, const std::string& body,
                                const std::string& extraHeader) = 0;
    virtual ~IWininetHttp() = default;
};

class ISocketHttp : public IHttpBase {
public:
    virtual std::wstring GetIpAddr() const = 0;
    virtual ~ISocketHttp() = default;
};

// type 0: socket client, 1: WinINet client, 2: WinHTTP client.
[[nodiscard]] bool CreateHttpClient(IHttpBase** client, int type);

// Frees a client through FreeInstance when it goes out of scope.
struct HttpClientDeleter {
    void operator()(IHttpBase* client) const { client->FreeInstance(); }
};
