#include "HttpHeader.h"

#include <gtest/gtest.h>

#include "HttpBase.h"
#include "HttpClientBase.h"

namespace {

TEST(HttpHeader, DefaultsComeInByteOrderOfTheirNames)
{
    CHttpHeader header;
    EXPECT_EQ(header.GetHeaderString(),
              "Accept: */*\r\n"
              "Accept-Language: zh-CN,zh;q=0.9\r\n"
              "Connection: Keep-Alive\r\n"
              "User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/80.0.4044.92 Safari/537.36\r\n");
}

TEST(HttpHeader, AddedNamesKeepTheirFirstValueAndSortAmongTheDefaults)
{
    CHttpHeader header;
    header.AddHeader("User-Agent", "x");
    header.AddHeader("User-Agent", "y");
    header.AddHeader("Content-Type", "text/plain");
    header.AddHeader("accept", "lower-case is another name");
    EXPECT_EQ(header.GetHeaderString(), "Accept: */*\r\n"
                                        "Accept-Language: zh-CN,zh;q=0.9\r\n"
                                        "Connection: Keep-Alive\r\n"
                                        "Content-Type: text/plain\r\n"
                                        "User-Agent: x\r\n"
                                        "accept: lower-case is another name\r\n");
    EXPECT_EQ(header.GetValue("User-Agent"), "x");
    EXPECT_EQ(header.GetValue("Missing"), "");
}

TEST(HttpHeader, RequestHeadForTheSocketClient)
{
    CHttpHeader header;
    header.AddHeader("Host", "example.test");
    header.SetRequestPath("/a?b=c");
    std::string head = header.GetRequestHeader();
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /a?b=c HTTP/1.1");
    EXPECT_NE(head.find("\r\nHost: example.test\r\n"), std::string::npos);
    EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n");
    EXPECT_EQ(header.GetVersion(), "HTTP/1.1");
}

TEST(HttpHeader, ParseTable)
{
    struct Case {
        const char* head;
        int status;
        const char* version;
        const char* reason;
        const char* name;
        const char* value;
    } cases[] = {
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 12\r\n\r\n", 404, "HTTP/1.1", "Not Found", "Content-Length", "12"},
        {"HTTP/1.0 200 OK\r\nA: 1\r\nA: 2", 200, "HTTP/1.0", "OK", "A", "1"},
        {"HTTP/1.1 302 Found\r\nLocation: http://h/p?q=a: b\r\n", 302, "HTTP/1.1", "Found", "Location", "http://h/p?q=a: b"},
        {"HTTP/1.1 204\r\nNoColonHere\r\n", 204, "HTTP/1.1", "", "NoColonHere", ""},
        {"", 0, "", "", "X", ""},
    };
    for (const Case& c : cases) {
        CHttpHeader header;
        header.Parse(c.head);
        SCOPED_TRACE(c.head);
        EXPECT_EQ(header.GetStatusCode(), c.status);
        EXPECT_EQ(header.GetVersion(), c.version);
        EXPECT_EQ(header.GetReason(), c.reason);
        EXPECT_EQ(header.GetValue(c.name), c.value);
    }
}

TEST(HttpClientFactory, TypesZeroToTwoOnly)
{
    for (int type : {0, 1, 2}) {
        IHttpBase* client = nullptr;
        EXPECT_TRUE(CreateHttpClient(&client, type)) << type;
        ASSERT_NE(client, nullptr);
        EXPECT_EQ(client->GetErrorCode(), kHttpError_None);
        EXPECT_EQ(client->GetHttpCode(), 0);
        client->FreeInstance();
    }
    for (int type : {-1, 3}) {
        IHttpBase* client = reinterpret_cast<IHttpBase*>(1);
        EXPECT_FALSE(CreateHttpClient(&client, type));
        EXPECT_EQ(client, nullptr);
    }
}

TEST(HttpClientParseUrl, Table)
{
    struct Case {
        const wchar_t* url;
        const wchar_t* host;
        const wchar_t* path;
        unsigned short port;
    } cases[] = {
        {L"http://h.test", L"h.test", L"/", 80},
        {L"http://h.test/a/b?c=d", L"h.test", L"/a/b?c=d", 80},
        {L"https://h.test/", L"h.test", L"/", 443},
        {L"https://h.test:8443/x", L"h.test", L"/x", 8443},
        {L"http://127.0.0.1:81", L"127.0.0.1", L"/", 81},
        {L"h.test/x", L"h.test", L"/x", 80},
        {L"", L"", L"/", 80},
    };
    for (const Case& c : cases) {
        HttpUrlParts parts = ParseUrl(c.url);
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
        EXPECT_EQ(parts.port, c.port) << c.url;
    }
}

} // namespace
