#include "GA.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <memory>

#include "HttpBase.h"
#include "Log.h"

namespace {

// UTF-16 to UTF-8 by way of the ANSI code page: what that code page cannot show becomes its default character.
std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string acp(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), acp.data(), n, nullptr, nullptr);
    int w = MultiByteToWideChar(CP_ACP, 0, acp.data(), n, nullptr, 0);
    std::wstring wide(w, L'\0');
    MultiByteToWideChar(CP_ACP, 0, acp.data(), n, wide.data(), w);
    int u = WideCharToMultiByte(CP_UTF8, 0, wide.data(), w, nullptr, 0, nullptr, nullptr);
    std::string utf8(u, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), w, utf8.data(), u, nullptr, nullptr);
    return utf8;
}

} // namespace

std::string JsonToString(IJSONStruct& record, rapidjson::Document& document)
{
    static_cast<rapidjson::Value&>(document) = record.ToJson();
    rapidjson::StringBuffer text;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(text);
    document.Accept(writer);
    return std::string(text.GetString(), text.GetSize());
}

rapidjson::Value CDownloaderGAJSONStruct::ToJson()
{
    rapidjson::Value root(rapidjson::kObjectType);
    AddString(root, "client_id", m_payload->clientId);
    rapidjson::Value uid(rapidjson::kObjectType);
    AddString(uid, "value", m_payload->userIdValue);
    rapidjson::Value properties(rapidjson::kObjectType);
    AddValue(properties, "uid", uid);
    AddValue(root, "user_properties", properties);
    rapidjson::Value events(rapidjson::kArrayType);
    for (const GAEvent& e : m_payload->events) {
        rapidjson::Value event(rapidjson::kObjectType);
        AddString(event, "name", e.name);
        rapidjson::Value params(rapidjson::kObjectType);
        AddString(params, "event_category", e.eventCategory);
        AddString(params, "event_label", e.eventLabel);
        AddValue(event, "params", params);
        events.PushBack(event, *m_allocator);
    }
    AddValue(root, "events", events);
    return root;
}

CGA* CGA::GetInstance()
{
    static CGA* instance = new CGA;
    return instance;
}

CGA::CGA() : m_clientId(WideToUtf8(GetClientGuid())) {}

bool CGA::SendGACommon(const std::string& name)
{
    LOGA(1, "tran code guid:%s", m_clientId.c_str());
    GAPayload payload{m_clientId, m_clientId, {GAEvent{name, WideToUtf8(m_category), m_clientId}}};
    rapidjson::Document document;
    CDownloaderGAJSONStruct record(document.GetAllocator(), &payload);
    std::string json = JsonToString(record, document);

    IHttpBase* created = nullptr;
    if (!CreateHttpClient(&created, 2))
        return false;
    std::unique_ptr<IHttpBase, HttpClientDeleter> client(created);
    auto* http = dynamic_cast<IWinHttp*>(client.get());
    if (!http)
        return false;
    std::string url = WideToUtf8(m_collectUrl);
    try {
        http->Request(url, 1, json, "Content-Type: application/json; charset=utf-8");
    } catch (HttpInterfaceError) {
        // A missing endpoint (404) is only worth the status line below; the installer goes on.
    }
    int code = http->GetHttpCode();
    LOGA(1, "request url: %s", url.c_str());
    LOGA(1, "request info: %s", json.c_str());
    LOGA(1, "request ret Code: %d", code);
    return true;
}

DWORD WINAPI GAThreadProc(LPVOID param)
{
    std::unique_ptr<GAThreadParam> record(static_cast<GAThreadParam*>(param));
    try {
        switch (record->kind) {
        case kGA_DownloaderInstalled:
            record->result = record->sender->SendDownloaderInstalled();
            break;
        case kGA_InstalledSucceed:
            record->result = record->sender->SendInstalledSucceed();
            break;
        default:
            record->result = record->sender->SendStartInstall();
            break;
        }
    } catch (const std::exception& e) {
        // A report must never end the process.
        LOGA(1, "GA report %d failed: %s", record->kind, e.what());
    }
    return 0;
}

void SendGAAsync(int kind)
{
    auto record = std::make_unique<GAThreadParam>();
    record->sender = CGA::GetInstance();
    record->kind = kind;
    HANDLE thread = CreateThread(nullptr, 0, GAThreadProc, record.get(), 0, nullptr);
    if (!thread) {
        LOGA(1, "GA report %d not started: CreateThread fail %d", kind, static_cast<int>(GetLastError()));
        return;
    }
    record.release(); // the thread frees it
    CloseHandle(thread);
}

std::wstring MakeCollectUrl(const std::wstring& host, const std::wstring& measurementId, const std::wstring& apiSecret)
{
    return L"https://" + host + L"/mp/collect?measurement_id=" + measurementId + L"&api_secret=" + apiSecret;
}

void ConfigureGA(const std::wstring& collectUrl, const std::wstring& gaTitle)
{
    CGA* sender = CGA::GetInstance();
    sender->SetUrl(collectUrl);
    sender->SetCategory(gaTitle + L" (Windows version)");
}
