#include "GA.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestSupport.h"

using namespace testsupport;

namespace {

TestLog* g_log = nullptr;

constexpr wchar_t kIdentityKey[] = L"SOFTWARE\\WOW6432Node\\Quorvane\\QuorvaneDown";

std::string Document(const std::string& id, const std::string& name, const std::string& category)
{
    return "{\n"
           "    \"client_id\": \"" + id + "\",\n"
           "    \"user_properties\": {\n"
           "        \"uid\": {\n"
           "            \"value\": \"" + id + "\"\n"
           "        }\n"
           "    },\n"
           "    \"events\": [\n"
           "        {\n"
           "            \"name\": \"" + name + "\",\n"
           "            \"params\": {\n"
           "                \"event_category\": \"" + category + "\",\n"
           "                \"event_label\": \"" + id + "\"\n"
           "            }\n"
           "        }\n"
           "    ]\n"
           "}";
}

TEST(DownloaderGAJSONStruct, PrettyDocumentInKeyOrder)
{
    GAPayload payload{"ID-1", "ID-1", {GAEvent{"Downloader_Start_Install", "Quote \" slash \\ \xC3\xA9", "ID-1"}}};
    rapidjson::Document document;
    CDownloaderGAJSONStruct record(document.GetAllocator(), &payload);
    EXPECT_EQ(JsonToString(record, document),
              Document("ID-1", "Downloader_Start_Install", "Quote \\\" slash \\\\ \xC3\xA9"));

    GAPayload empty{"", "", {GAEvent{"Installed_Succeed", "", ""}}};
    CDownloaderGAJSONStruct emptyRecord(document.GetAllocator(), &empty);
    EXPECT_EQ(JsonToString(emptyRecord, document), Document("", "Installed_Succeed", ""));
}

// ---- client identity ---------------------------------------------------------------------------------

std::wstring StoredIdentity()
{
    wchar_t value[1024] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kIdentityKey, L"GUID", RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}

void ExpectNewIdentity(const std::wstring& id)
{
    ASSERT_EQ(id.size(), 36u) << std::string(id.begin(), id.end());
    for (size_t i = 0; i < id.size(); ++i) {
        wchar_t c = id[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(c, L'-');
        } else if (i > 13 && i < 18) { // the third group
            EXPECT_TRUE(iswdigit(c) || (c >= L'a' && c <= L'f')) << i;
        } else {
            EXPECT_TRUE(iswdigit(c) || (c >= L'A' && c <= L'F')) << i;
        }
    }
    EXPECT_EQ(StoredIdentity(), id);
}

TEST(ClientGuid, RegistryCases)
{
    struct Case {
        const char* what;
        bool keyExists;
        DWORD type; // REG_NONE: no value
        std::wstring value;
        bool kept;
    } cases[] = {
        {"clean machine", false, REG_NONE, L"", false},
        {"key without value", true, REG_NONE, L"", false},
        {"three letters", true, REG_SZ, L"abc", true},
        {"any length", true, REG_SZ, std::wstring(300, L'Z') + L"-9", true},
        {"empty value", true, REG_SZ, L"", false},
        {"braces", true, REG_SZ, L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", false},
        {"blank", true, REG_SZ, L"ab c", false},
        {"not a string", true, REG_DWORD, L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kIdentityKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kIdentityKey);
        if (c.keyExists) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kIdentityKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                      nullptr),
                      ERROR_SUCCESS);
            if (c.type == REG_SZ)
                RegSetValueExW(key, L"GUID", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.value.c_str()),
                               static_cast<DWORD>((c.value.size() + 1) * sizeof(wchar_t)));
            if (c.type == REG_DWORD) {
                DWORD number = 0x00410041; // reads as "AA" if taken for text
                RegSetValueExW(key, L"GUID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
            }
            RegCloseKey(key);
        }
        std::wstring id = CGA::GetClientGuid();
        if (c.kept) {
            EXPECT_EQ(id, c.value);
            EXPECT_EQ(StoredIdentity(), c.value);
        } else {
            ExpectNewIdentity(id);
        }
    }
    EXPECT_EQ(CGA::GetClientGuid(), CGA::GetClientGuid()); // read back unchanged
}

// ---- reports -----------------------------------------------------------------------------------------

std::wstring CollectUrl(const char* port)
{
    // A host with a port makes the WinHTTP client talk plain HTTP, so a stub on a free port can collect.
    return MakeCollectUrl(L"127.0.0.1:" + Wide(Env(port)), L"G-TEST000001", L"secret");
}

int PostCount(const std::string& dir)
{
    int n = 0;
    while (GetFileAttributesW((Wide(dir) + L"\\post-" + std::to_wstring(n + 1) + L".json").c_str()) !=
           INVALID_FILE_ATTRIBUTES)
        ++n;
    return n;
}

std::string Post(const std::string& dir, int n, const char* part)
{
    return ReadFileBytes(Wide(dir) + L"\\post-" + std::to_wstring(n) + L"." + Wide(part));
}

// The log records of one report, with the JSON's line breaks as they reach the file.
void ExpectReportRecords(const std::string& log, const std::string& url, const std::string& json, int code)
{
    std::string onDisk;
    for (char c : json)
        onDisk += c == '\n' ? std::string("\r\n") : std::string(1, c);
    size_t guid = log.find(" tran code guid:" + CGA::GetInstance()->GetClientId() + "\r\n");
    size_t request = log.find(" request url: " + url + "\r\n");
    size_t info = log.find(" request info: " + onDisk + "\r\n");
    size_t status = log.find(" request ret Code: " + std::to_string(code) + "\r\n");
    ASSERT_NE(guid, std::string::npos) << log;
    ASSERT_NE(request, std::string::npos) << log;
    ASSERT_NE(info, std::string::npos) << log;
    ASSERT_NE(status, std::string::npos) << log;
    EXPECT_LT(guid, request);
    EXPECT_LT(request, info);
    EXPECT_LT(info, status);
}

TEST(GA, ReportReachesTheCollector)
{
    const std::string dir = Env("QV_COLLECT_DIR");
    ConfigureGA(CollectUrl("QV_COLLECT_PORT"), L"Quorvane");
    const std::string id = CGA::GetInstance()->GetClientId();
    int before = PostCount(dir);
    g_log->Mark();
    EXPECT_TRUE(CGA::GetInstance()->SendStartInstall());
    ASSERT_EQ(PostCount(dir), before + 1);
    std::string expected = Document(id, "Downloader_Start_Install", "Quorvane (Windows version)");
    EXPECT_EQ(Post(dir, before + 1, "json"), expected);
    std::string head = Post(dir, before + 1, "head");
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "POST /mp/collect?measurement_id=G-TEST000001&api_secret=secret HTTP/1.1");
    EXPECT_NE(head.find("\r\nContent-Type: application/json; charset=utf-8\r\n"), std::string::npos) << head;
    std::string url = "https://127.0.0.1:" + Env("QV_COLLECT_PORT") +
                      "/mp/collect?measurement_id=G-TEST000001&api_secret=secret";
    ExpectReportRecords(g_log->Since(), url, expected, 204);
}

TEST(GA, MissingEndpointOrNoCollectorIsOnlyLogged)
{
    struct Case {
        std::wstring url;
        int code;
    } cases[] = {
        {CollectUrl("QV_COLLECT404_PORT"), 404}, // the client throws on 404; the report absorbs it
        {MakeCollectUrl(L"127.0.0.1:1", L"G-TEST000001", L"secret"), 0},
    };
    for (const Case& c : cases) {
        ConfigureGA(c.url, L"Quorvane");
        g_log->Mark();
        EXPECT_TRUE(CGA::GetInstance()->SendInstalledSucceed());
        std::string log = g_log->Since();
        EXPECT_NE(log.find(" request ret Code: " + std::to_string(c.code) + "\r\n"), std::string::npos) << log;
    }
    EXPECT_EQ(PostCount(Env("QV_COLLECT404_DIR")), 1);
}

TEST(GA, CategoryGoesThroughTheAnsiCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "expectations are written for code page 1252, this is " << GetACP();
    const std::string dir = Env("QV_COLLECT_DIR");
    ConfigureGA(CollectUrl("QV_COLLECT_PORT"), L"Qv\u00e9 \u0e01");
    int before = PostCount(dir);
    EXPECT_TRUE(CGA::GetInstance()->SendDownloaderInstalled());
    ASSERT_EQ(PostCount(dir), before + 1);
    EXPECT_EQ(Post(dir, before + 1, "json"), Document(CGA::GetInstance()->GetClientId(), "Downloader_Installed",
                                                      "Qv\xC3\xA9 ? (Windows version)"));
}

TEST(GA, AsynchronousReportsByKind)
{
    const std::string dir = Env("QV_COLLECT_DIR");
    ConfigureGA(CollectUrl("QV_COLLECT_PORT"), L"Quorvane");
    struct Case {
        int kind;
        const char* name;
    } cases[] = {{kGA_StartInstall, "Downloader_Start_Install"},
                 {kGA_DownloaderInstalled, "Downloader_Installed"},
                 {kGA_InstalledSucceed, "Installed_Succeed"},
                 {7, "Downloader_Start_Install"}};
    for (const Case& c : cases) {
        int before = PostCount(dir);
        SendGAAsync(c.kind);
        // The caller is not told when the thread is done; the collector's file is the sign.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (PostCount(dir) == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(PostCount(dir), before + 1) << c.kind;
        EXPECT_NE(Post(dir, before + 1, "json").find("\"name\": \"" + std::string(c.name) + "\""), std::string::npos);
    }
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    TestLog log(L"ga");
    g_log = &log;
    return RUN_ALL_TESTS();
}
