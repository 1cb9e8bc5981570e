// The three clients of the family against the stub router (:80, :443 and a free port) and nginx.
#include "WinHttpClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "HttpSocket.h"
#include "TestSupport.h"
#include "WininetHttpClient.h"

using namespace testsupport;

namespace {

std::wstring StubUrl(const char* path)
{
    return L"http://127.0.0.1:" + Wide(Env("QV_STUB_PORT")) + Wide(path);
}

std::wstring NginxUrl(const char* path)
{
    return L"http://127.0.0.1:" + Wide(Env("QV_NGINX_PORT")) + Wide(path);
}

std::wstring TempFile(const wchar_t* name)
{
    return WorkFile((L"clients-" + std::wstring(name)).c_str());
}

struct ProgressRecorder : IHttpCallback {
    void OnDownloadCallback(void* user, int state, double total, double downloaded) override
    {
        ++calls;
        lastUser = user;
        lastState = state;
        lastTotal = total;
        lastDownloaded = downloaded;
    }
    int calls = 0;
    void* lastUser = nullptr;
    int lastState = -1;
    double lastTotal = 0;
    double lastDownloaded = 0;
};

template <class Client>
std::unique_ptr<Client, HttpClientDeleter> Make()
{
    return std::unique_ptr<Client, HttpClientDeleter>(new Client);
}

// ---- WinHTTP client ----------------------------------------------------------------------------------

TEST(WinHttpClient, HttpsOn443AcceptsASelfSignedCertificate)
{
    SetTlsMode("selfsigned");
    auto client = Make<CWinHttp>();
    std::string body = client->Request(L"https://127.0.0.1/echo", 0, "", L"");
    EXPECT_EQ(client->GetErrorCode(), kHttpError_None);
    EXPECT_EQ(client->GetHttpCode(), 200);
    EXPECT_EQ(body.substr(0, body.find("\r\n")), "GET /echo HTTP/1.1");
    EXPECT_NE(StubRequests().find("443 GET /echo\n"), std::string::npos);
}

TEST(WinHttpClient, HttpsWithAnotherPortIsPlainUnlessTheObjectWasSecureBefore)
{
    std::wstring url = L"https://127.0.0.1:" + Wide(Env("QV_STUB_PORT")) + L"/conn";
    auto plain = Make<CWinHttp>();
    EXPECT_EQ(plain->Request(url, 0, "", L"").substr(0, 5), "conn=");

    SetTlsMode("selfsigned");
    auto secure = Make<CWinHttp>();
    secure->SetTimeOut(2000, 2000, 2000);
    EXPECT_EQ(secure->Request(L"https://127.0.0.1/conn", 0, "", L"").substr(0, 5), "conn=");
    // The secure flag stays: TLS towards a plain server gets no answer.
    EXPECT_EQ(secure->Request(url, 0, "", L""), "");
    EXPECT_NE(secure->GetErrorCode(), kHttpError_None);
}

TEST(WinHttpClient, RequestLineAndHeaders)
{
    auto client = Make<CWinHttp>();
    EXPECT_EQ(client->Request(StubUrl(""), 0, "", L""), "root"); // no slash: the path is "/"
    EXPECT_NE(StubRequests().find(" GET /\n"), std::string::npos);

    std::string echo = client->Request(StubUrl("/echo?a=1&b=%20"), 0, "", L"");
    EXPECT_EQ(echo.substr(0, echo.find("\r\n")), "GET /echo?a=1&b=%20 HTTP/1.1");

    // The analytics post: the header lines of the model replace WinHTTP's own, then the extra header, then the body.
    std::string sent = client->Request("http://127.0.0.1:" + Env("QV_STUB_PORT") + "/echo", 1, "{\"k\": 1}",
                                       "Content-Type: application/json; charset=utf-8");
    EXPECT_EQ(sent.substr(0, sent.find("\r\n")), "POST /echo HTTP/1.1");
    for (const char* line : {"\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0;", "\r\nAccept: */*\r\n",
                             "\r\nAccept-Language: zh-CN,zh;q=0.9\r\n",
                             "\r\nContent-Type: application/json; charset=utf-8\r\n", "\r\nContent-Length: 8\r\n"})
        EXPECT_NE(sent.find(line), std::string::npos) << line;
    EXPECT_EQ(sent.substr(sent.size() - 12), "\r\n\r\n{\"k\": 1}");
}

TEST(WinHttpClient, RequestResultsByAnswer)
{
    auto client = Make<CWinHttp>();
    try {
        client->Request(StubUrl("/missing"), 0, "", L"");
        ADD_FAILURE() << "a 404 answer must throw";
    } catch (HttpInterfaceError error) {
        EXPECT_EQ(error, kHttpError_NotFound);
    }
    EXPECT_EQ(client->GetHttpCode(), 404);

    EXPECT_EQ(client->Request(StubUrl("/status/500"), 0, "", L""), "status 500 body");
    EXPECT_EQ(client->GetHttpCode(), 500);

    EXPECT_EQ(client->Request(StubUrl("/short"), 0, "", L""), ""); // the body ended early
    EXPECT_EQ(client->GetHttpCode(), 200);

    // No answer to the last call: no status, not the one of the call before.
    EXPECT_EQ(client->Request(L"http://127.0.0.1:1/", 0, "", L""), "");
    EXPECT_EQ(client->GetHttpCode(), 0);
}

TEST(WinHttpClient, BadTargetsFailWithTheirErrors)
{
    struct Case {
        const wchar_t* url;
        HttpInterfaceError error;
    } cases[] = {
        {L"", kHttpError_Connect},
        {L"http://nohost.invalid/x", kHttpError_Send},
        {L"http://127.0.0.1:1/x", kHttpError_Send}, // refused
    };
    for (const Case& c : cases) {
        auto client = Make<CWinHttp>();
        EXPECT_EQ(client->Request(c.url, 0, "", L""), "") << c.url;
        EXPECT_EQ(client->GetErrorCode(), c.error) << c.url;
        EXPECT_EQ(client->GetHttpCode(), 0) << c.url;
    }
}

TEST(WinHttpClient, SetTimeOutBoundsAServerThatNeverAnswers)
{
    auto client = Make<CWinHttp>();
    client->SetTimeOut(1000, 1000, 1000);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Request(StubUrl("/hang"), 0, "", L""), "");
    EXPECT_EQ(client->GetErrorCode(), kHttpError_Open);
    // Generous: only shows that the 1 s receive limit, not the 5 s default or the stub's 20 s, ended it.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4500));
}

TEST(WinHttpClient, DownloadToMem)
{
    auto client = Make<CWinHttp>();
    std::unique_ptr<char[]> buffer;
    uint32_t size = 0;
    ASSERT_TRUE(client->DownloadToMem(NginxUrl("/data.bin"), buffer, size));
    EXPECT_EQ(std::string(buffer.get(), size), Pattern(200 * 1024));

    struct Case {
        std::wstring url;
        HttpInterfaceError error;
    } cases[] = {
        {NginxUrl("/big.bin"), kHttpError_TooLarge}, // 9 MB
        {StubUrl("/missing"), kHttpError_NotFound},
        {StubUrl("/nolength"), kHttpError_ContentLength},
        {StubUrl("/short"), kHttpError_ReadBody},
        {L"http://nohost.invalid/", kHttpError_Open},
    };
    for (const Case& c : cases) {
        auto failing = Make<CWinHttp>();
        std::unique_ptr<char[]> none;
        uint32_t noneSize = 0;
        EXPECT_FALSE(failing->DownloadToMem(c.url, none, noneSize));
        EXPECT_EQ(failing->GetErrorCode(), c.error);
        EXPECT_EQ(none, nullptr);
    }
}

TEST(WinHttpClient, DownloadFile)
{
    std::wstring path = TempFile(L"winhttp.bin");
    auto client = Make<CWinHttp>();
    ProgressRecorder progress;
    int user = 0;
    client->SetDownloadCallback(&progress, &user);
    ASSERT_TRUE(client->DownloadFile(NginxUrl("/data.bin"), path));
    EXPECT_EQ(ReadFileBytes(path), Pattern(200 * 1024));
    EXPECT_GT(progress.calls, 0);
    EXPECT_EQ(progress.lastUser, &user);
    EXPECT_EQ(progress.lastState, 0);
    EXPECT_EQ(progress.lastTotal, 200 * 1024);
    EXPECT_EQ(progress.lastDownloaded, 200 * 1024);

    struct Case {
        std::wstring url;
        std::wstring path;
        HttpInterfaceError error;
    } cases[] = {
        {StubUrl("/missing"), path, kHttpError_NotFound},
        {StubUrl("/nolength"), path, kHttpError_ContentLength},
        {StubUrl("/size/10"), TempFile(L"no-such-folder\\x.bin"), kHttpError_CreateFile},
        {StubUrl("/short"), path, kHttpError_ReadBody},
    };
    for (const Case& c : cases) {
        auto failing = Make<CWinHttp>();
        EXPECT_FALSE(failing->DownloadFile(c.url, c.path)) << c.url;
        EXPECT_EQ(failing->GetErrorCode(), c.error) << c.url;
    }
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "the incomplete file is deleted";
}

// ---- WinINet client ----------------------------------------------------------------------------------

TEST(WininetHttpClient, EmptyUrl)
{
    auto client = Make<CWininetHttp>();
    EXPECT_EQ(client->Request(L"", 0, "", L""), "");
    EXPECT_EQ(client->GetErrorCode(), kHttpError_EmptyUrl);
    std::unique_ptr<char[]> buffer;
    uint32_t size = 0;
    EXPECT_FALSE(client->DownloadToMem(L"", buffer, size));
    EXPECT_EQ(client->GetErrorCode(), kHttpError_EmptyDownloadUrl);
    auto other = Make<CWininetHttp>();
    EXPECT_FALSE(other->DownloadFile(L"", TempFile(L"never.bin")));
    EXPECT_EQ(other->GetErrorCode(), kHttpError_EmptyDownloadUrl);
}

TEST(WininetHttpClient, AcceptsAnExpiredCertificateButNotAnUnknownAuthority)
{
    SetTlsMode("expired");
    auto expired = Make<CWininetHttp>();
    EXPECT_EQ(expired->Request(L"https://127.0.0.1/size/10", 0, "", L""), Pattern(10));
    EXPECT_EQ(expired->GetErrorCode(), kHttpError_None);

    SetTlsMode("selfsigned");
    auto unknown = Make<CWininetHttp>();
    EXPECT_EQ(unknown->Request(L"https://127.0.0.1/size/10", 0, "", L""), "");
    EXPECT_EQ(unknown->GetErrorCode(), kHttpError_Send);
}

TEST(WininetHttpClient, RequestPostsAndReportsStatus)
{
    auto client = Make<CWininetHttp>();
    std::string sent = client->Request("http://127.0.0.1:" + Env("QV_STUB_PORT") + "/echo", 1, "body!", "X-Extra: 1");
    EXPECT_EQ(sent.substr(0, sent.find("\r\n")), "POST /echo HTTP/1.1");
    EXPECT_NE(sent.find("\r\nX-Extra: 1\r\n"), std::string::npos);
    EXPECT_NE(sent.find("\r\nAccept-Language: zh-CN,zh;q=0.9\r\n"), std::string::npos);
    EXPECT_EQ(sent.substr(sent.size() - 5), "body!");
    EXPECT_EQ(client->GetHttpCode(), 200);

    EXPECT_EQ(client->Request(StubUrl("/missing"), 0, "", L""), ""); // stored, not thrown
    EXPECT_EQ(client->GetErrorCode(), kHttpError_NotFound);
}

TEST(WininetHttpClient, DownloadFileCreatesMissingFolders)
{
    std::wstring folder = TempFile(L"wininet");
    std::wstring path = folder + L"\\a\\b\\data.bin";
    DeleteFileW(path.c_str());
    RemoveDirectoryW((folder + L"\\a\\b").c_str());
    RemoveDirectoryW((folder + L"\\a").c_str());
    auto client = Make<CWininetHttp>();
    ProgressRecorder progress;
    client->SetDownloadCallback(&progress, nullptr);
    ASSERT_TRUE(client->DownloadFile(NginxUrl("/data.bin"), path));
    EXPECT_EQ(ReadFileBytes(path), Pattern(200 * 1024));
    EXPECT_EQ(progress.lastState, 2);
    EXPECT_EQ(progress.lastDownloaded, 200 * 1024);
}

TEST(WininetHttpClient, DownloadToMemFailures)
{
    struct Case {
        std::wstring url;
        HttpInterfaceError error;
    } cases[] = {
        {NginxUrl("/big.bin"), kHttpError_TooLarge},
        {StubUrl("/nolength"), kHttpError_ContentLength},
        {StubUrl("/short"), kHttpError_ReadBody},
        {StubUrl("/missing"), kHttpError_NotFound},
    };
    for (const Case& c : cases) {
        auto client = Make<CWininetHttp>();
        std::unique_ptr<char[]> buffer;
        uint32_t size = 0;
        EXPECT_FALSE(client->DownloadToMem(c.url, buffer, size)) << c.url;
        EXPECT_EQ(client->GetErrorCode(), c.error) << c.url;
    }
    auto client = Make<CWininetHttp>();
    std::unique_ptr<char[]> buffer;
    uint32_t size = 0;
    ASSERT_TRUE(client->DownloadToMem(NginxUrl("/data.bin"), buffer, size));
    EXPECT_EQ(std::string(buffer.get(), size), Pattern(200 * 1024));
}

// ---- socket client -----------------------------------------------------------------------------------

TEST(HttpSocket, FetchesFromARealServer)
{
    auto client = Make<CHttpSocket>();
    std::unique_ptr<char[]> buffer;
    uint32_t size = 0;
    ASSERT_TRUE(client->DownloadToMem(NginxUrl("/data.bin"), buffer, size));
    EXPECT_EQ(std::string(buffer.get(), size), Pattern(200 * 1024));
    EXPECT_EQ(client->GetIpAddr(), L"127.0.0.1");
    EXPECT_EQ(client->GetHttpCode(), 200);

    std::wstring path = TempFile(L"socket.bin");
    ProgressRecorder progress;
    client->SetDownloadCallback(&progress, nullptr);
    ASSERT_TRUE(client->DownloadFile(NginxUrl("/data.bin"), path));
    EXPECT_EQ(ReadFileBytes(path), Pattern(200 * 1024));
    EXPECT_EQ(progress.lastDownloaded, 200 * 1024);
}

TEST(HttpSocket, RelativeRedirectOnTheSameConnectionAbsoluteOnANewOne)
{
    for (auto [path, request] : {std::pair{"/rel", "req=2"}, std::pair{"/abs", "req=1"}}) {
        auto client = Make<CHttpSocket>();
        std::unique_ptr<char[]> buffer;
        uint32_t size = 0;
        ASSERT_TRUE(client->DownloadToMem(StubUrl(path), buffer, size)) << path;
        std::string body(buffer.get(), size);
        EXPECT_EQ(body.substr(body.find(' ') + 1), request) << path;
    }
}

TEST(HttpSocket, Failures)
{
    std::string before = StubRequests();
    struct Case {
        std::wstring url;
        HttpInterfaceError error;
    } cases[] = {
        {L"https://127.0.0.1/size/10", kHttpError_Connect}, // no TLS, no traffic
        {StubUrl("/loop"), kHttpError_Redirects},
        {StubUrl("/nolength"), kHttpError_TooLarge},
        {StubUrl("/zero"), kHttpError_TooLarge},
        {NginxUrl("/big.bin"), kHttpError_TooLarge},
        {StubUrl("/bighead"), kHttpError_HeadTooLong},
        {StubUrl("/status/400"), kHttpError_NotFound},
        {StubUrl("/short"), kHttpError_ReadBody},
        {L"http://nohost.invalid/", kHttpError_Resolve},
        {L"http://127.0.0.1:1/", kHttpError_Connect},
    };
    for (const Case& c : cases) {
        auto client = Make<CHttpSocket>();
        std::unique_ptr<char[]> buffer;
        uint32_t size = 0;
        EXPECT_FALSE(client->DownloadToMem(c.url, buffer, size)) << c.url;
        EXPECT_EQ(client->GetErrorCode(), c.error) << c.url;
    }
    std::string seen = StubRequests().substr(before.size());
    EXPECT_EQ(Count(seen, "443 GET /size/10"), 0);
    EXPECT_EQ(Count(seen, "GET /loop\n"), CHttpSocket::kMaxRedirects + 1);
}

} // namespace

int main(int argc, char** argv)
{
    if (int rc = 0; HandleTestCaCommand(argc, argv, rc))
        return rc;
    testing::InitGoogleTest(&argc, argv);
    TrustedTestCa ca;
    if (!ca.Installed())
        return 2;
    TestLog log(L"clients");
    return RUN_ALL_TESTS();
}
