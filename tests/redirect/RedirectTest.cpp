#include "Redirect.h"

#include <gtest/gtest.h>

#include <regex>

#include "TestSupport.h"

using namespace testsupport;

namespace {

TestLog* g_log = nullptr;

constexpr wchar_t kConfigured[] = L"https://dl.example.test/setup.exe";

TEST(GetRedirectUrl, AnswersByStatus)
{
    struct Case {
        const wchar_t* path;
        bool result;
        const wchar_t* url;
    } cases[] = {
        {L"redirect/302?to=http://dl2.example.test/real%2520setup.exe", true, L"http://dl2.example.test/real%20setup.exe"},
        {L"redirect/302?to=/relative/setup.exe", true, L"/relative/setup.exe"}, // kept as sent
        {L"redirect/302", false, kConfigured}, // no Location
        {L"redirect/301?to=http://x.test/", false, kConfigured},
        {L"redirect/303?to=http://x.test/", false, kConfigured},
        {L"redirect/307?to=http://x.test/", false, kConfigured},
        {L"redirect/308?to=http://x.test/", false, kConfigured},
        {L"size/10", false, kConfigured},
        {L"missing", false, kConfigured},
    };
    for (const Case& c : cases) {
        std::string before = StubRequests();
        g_log->Mark();
        std::wstring url = kConfigured;
        EXPECT_EQ(GetRedirectUrl(L"127.0.0.1", c.path, url), c.result) << c.path;
        EXPECT_EQ(url, c.url) << c.path;
        // One plain-HTTP question on port 80, never followed.
        std::string path(c.path, c.path + wcslen(c.path));
        EXPECT_EQ(StubRequests().substr(before.size()), "80 GET /" + path + "\n");
        EXPECT_EQ(g_log->Since(), "") << c.path;
    }
}

TEST(GetRedirectUrl, NoValidHeadIsTrueWithTheUrlUntouched)
{
    for (const wchar_t* path : {L"close", L"garbage"}) {
        g_log->Mark();
        std::wstring url = kConfigured;
        EXPECT_TRUE(GetRedirectUrl(L"127.0.0.1", path, url)) << path;
        EXPECT_EQ(url, kConfigured);
        std::string log = g_log->Since();
        EXPECT_TRUE(std::regex_search(log, std::regex("^[-0-9 :,]+ Error [1-9][0-9]* has occurred\\.\r\n\r\n $")))
            << log;
    }
}

TEST(GetRedirectUrl, NoServerIsFalseAndSilent)
{
    for (const wchar_t* server : {L"nohost.invalid", L""}) {
        g_log->Mark();
        std::wstring url = kConfigured;
        EXPECT_FALSE(GetRedirectUrl(server, L"setup.exe", url)) << server;
        EXPECT_EQ(url, kConfigured);
        EXPECT_EQ(g_log->Since(), "");
    }
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    TestLog log(L"redirect");
    g_log = &log;
    return RUN_ALL_TESTS();
}
