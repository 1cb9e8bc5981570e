// The request helper against the stub router on 127.0.0.1:80 and the TLS front on :443.
#include "BaseRequest.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace testsupport;

namespace {

TestLog* g_log = nullptr;

std::string RequestsAfter(const std::string& before)
{
    return StubRequests().substr(before.size());
}

TEST(SplitUrl, Table)
{
    struct Case {
        const wchar_t* url;
        bool ok;
        const wchar_t* server;
        const wchar_t* path;
    } cases[] = {
        {L"http://h.test/a/b?c", true, L"h.test", L"a/b?c"},
        {L"https://h.test:8443/x", true, L"h.test:8443", L"x"},
        {L"http://h.test/", true, L"h.test", L""},
        {L"http://h.test", false, L"h.test", L"untouched"},
        {L"ftp://h.test/x", true, L"untouched", L"untouched"},
        {L"h.test/x", true, L"untouched", L"untouched"},
        {L"", true, L"untouched", L"untouched"},
    };
    for (const Case& c : cases) {
        std::wstring server = L"untouched", path = L"untouched";
        EXPECT_EQ(CBaseRequest::SplitUrl(c.url, server, path), c.ok) << c.url;
        EXPECT_EQ(server, c.server) << c.url;
        EXPECT_EQ(path, c.path) << c.url;
    }
}

TEST(BaseRequest, HttpsFirstOn443WhateverTheScheme)
{
    SetTlsMode("trusted");
    for (const wchar_t* url : {L"https://127.0.0.1/size/1234", L"http://127.0.0.1/size/1234"}) {
        std::string before = StubRequests();
        g_log->Mark();
        EXPECT_EQ(GetRemoteFileSize(url), 1234u) << url;
        EXPECT_EQ(RequestsAfter(before), "443 HEAD /size/1234\n") << url;
        EXPECT_EQ(g_log->Since(), "") << url;
    }
}

TEST(BaseRequest, FallsBackToPlainHttpOn80WhenTlsFails)
{
    // "fail" drops the connection before the handshake; an untrusted certificate is refused by the helper.
    for (const char* mode : {"fail", "selfsigned"}) {
        SetTlsMode(mode);
        std::string before = StubRequests();
        g_log->Mark();
        CWinHttpRequest request;
        ASSERT_TRUE(request.RequestUrl(L"https://127.0.0.1/size/5000")) << mode;
        EXPECT_EQ(request.ReadToString(), Pattern(5000)) << mode;
        EXPECT_EQ(RequestsAfter(before), "80 GET /size/5000\n") << mode;
        std::string log = g_log->Since();
        EXPECT_EQ(Count(log, "[CWinHttpRequest::SendRequest]call WinHttpSendRequest fail "), 1) << mode << log;
        EXPECT_EQ(Count(log, "call "), 1) << log;
    }
}

TEST(BaseRequest, UrlsThatNeverReachAServer)
{
    SetTlsMode("fail");
    std::string before = StubRequests();

    g_log->Mark();
    CWinHttpRequest noSlash;
    EXPECT_FALSE(noSlash.RequestUrl(L"http://127.0.0.1"));
    EXPECT_EQ(g_log->Since(), "");

    // No server name at all: the connect step fails in both attempts.
    for (const wchar_t* url : {L"ftp://127.0.0.1/x", L"127.0.0.1/x"}) {
        g_log->Mark();
        CWinHttpRequest request;
        EXPECT_FALSE(request.RequestUrl(url));
        EXPECT_EQ(Count(g_log->Since(), "[CWinHttpRequest::ConnectSession]call WinHttpConnect fail "), 2) << url;
    }

    g_log->Mark();
    EXPECT_EQ(GetRemoteFileSize(L"https://nohost.invalid/x"), 0u);
    EXPECT_EQ(Count(g_log->Since(), "call WinHttpSendRequest fail "), 2);
    EXPECT_EQ(RequestsAfter(before), "");
}

TEST(BaseRequest, AnyAnswerWithAHeadIsASuccess)
{
    SetTlsMode("fail");
    CWinHttpRequest missing;
    ASSERT_TRUE(missing.RequestUrl(L"http://127.0.0.1/missing"));
    uint32_t size = 0;
    EXPECT_TRUE(missing.GetUrlFileSize(size));
    EXPECT_EQ(size, 25u); // the error page
    std::wstring page = WorkFile(L"baserequest-404.html");
    std::ofstream(page.c_str()) << "an older file that is replaced";
    EXPECT_TRUE(missing.ReadToFile(page));
    EXPECT_EQ(ReadFileBytes(page), "<html>missing page</html>");

    CWinHttpRequest root;
    ASSERT_TRUE(root.RequestUrl(L"http://127.0.0.1/")); // empty object path
    EXPECT_EQ(root.ReadToString(), "root");
}

TEST(BaseRequest, SizeFailures)
{
    SetTlsMode("fail");
    g_log->Mark();
    CWinHttpRequest fresh;
    uint32_t size = 7;
    EXPECT_FALSE(fresh.GetUrlFileSize(size));
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(g_log->Since(), "");

    g_log->Mark();
    EXPECT_EQ(GetRemoteFileSize(L"http://127.0.0.1/nolength"), 0u);
    std::string log = g_log->Since();
    EXPECT_EQ(Count(log, "[CWinHttpRequest::GetUrlFileSize]call WinHttpQueryHeaders fail "), 1) << log;
}

TEST(BaseRequest, ReadToFileLeavesThePartOfABrokenBody)
{
    SetTlsMode("fail");
    CWinHttpRequest request;
    ASSERT_TRUE(request.RequestUrl(L"http://127.0.0.1/short"));
    std::wstring path = WorkFile(L"baserequest-short.bin");
    EXPECT_FALSE(request.ReadToFile(path));
    EXPECT_EQ(ReadFileBytes(path), Pattern(100));
}

TEST(ShowApiError, RecordLayout)
{
    g_log->Mark();
    HMODULE wininet = GetModuleHandleW(L"wininet.dll");
    ShowApiError("SomeCall", 12029, wininet, "Ctx::Op");
    ShowApiError("OtherCall", 0x7fffff, wininet, nullptr); // no message for this code
    std::string thread = std::to_string(GetCurrentThreadId());
    std::string log = g_log->Since();
    EXPECT_NE(log.find("[Thread][" + thread + "] [Ctx::Op]call SomeCall fail 12029, "), std::string::npos) << log;
    EXPECT_NE(log.find("[Thread][" + thread + "] call OtherCall fail 8388607, \r\n"), std::string::npos) << log;
}

TEST(InternetOptions, SetReadsBack)
{
    constexpr uint32_t kMaxConnsPerServer = 73;
    EXPECT_TRUE(CBaseRequest::InternetSetOpt(kMaxConnsPerServer, 9));
    uint32_t value = 0;
    EXPECT_TRUE(CBaseRequest::QueryInternetOpt(kMaxConnsPerServer, value));
    EXPECT_EQ(value, 9u);
    EXPECT_TRUE(CBaseRequest::InternetSetOpt(kMaxConnsPerServer, 9)); // already so
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
    TestLog log(L"baserequest");
    g_log = &log;
    return RUN_ALL_TESTS();
}
