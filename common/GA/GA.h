#pragma once
// The analytics sender: three moments of an installation, posted as Measurement Protocol events.
// Reports are fire-and-forget; their only trace is the log.
#include <windows.h>

#include <string>
#include <vector>

#include "JSONStruct.h"

struct GAEvent {
    std::string name;
    std::string eventCategory;
    std::string eventLabel;
};

struct GAPayload {
    std::string clientId;
    std::string userIdValue;
    std::vector<GAEvent> events;
};

// {"client_id", "user_properties": {"uid": {"value"}}, "events": [{"name", "params": {...}}]}
class CDownloaderGAJSONStruct : public IJSONStruct {
public:
    CDownloaderGAJSONStruct(Allocator& allocator, const GAPayload* payload) : IJSONStruct(allocator), m_payload(payload) {}

    bool FromJson(const rapidjson::Value&) override { return true; } // reports are only written
    rapidjson::Value ToJson() override;

private:
    const GAPayload* m_payload; // not owned
};

class CGA {
public:
    // Created on first use, on the main thread before any worker exists; never freed, since report
    // threads may still run when the process ends.
    static CGA* GetInstance();

    void SetUrl(const std::wstring& url) { m_collectUrl = url; }
    void SetCategory(const std::wstring& category) { m_category = category; }
    const std::string& GetClientId() const { return m_clientId; }

    // One report, synchronous; true once it was attempted, whatever the collector answered.
    bool SendGACommon(const std::string& name);
    bool SendStartInstall() { return SendGACommon("Downloader_Start_Install"); }
    bool SendDownloaderInstalled() { return SendGACommon("Downloader_Installed"); }
    bool SendInstalledSucceed() { return SendGACommon("Installed_Succeed"); }

    // The machine's identity under HKLM, created when missing or invalid; empty when the registry refuses.
    static std::wstring GetClientGuid();

private:
    CGA();

    std::wstring m_collectUrl;
    std::wstring m_category;
    std::string m_clientId; // UTF-8
};

// Kinds of an asynchronous report.
enum GAEventKind { kGA_StartInstall = 0, kGA_DownloaderInstalled = 1, kGA_InstalledSucceed = 2 };

struct GAThreadParam {
    bool result = false;
    CGA* sender = nullptr;
    int kind = kGA_StartInstall;
};

// Thread entry of an asynchronous report; takes ownership of its GAThreadParam.
DWORD WINAPI GAThreadProc(LPVOID param);
// Starts one report on a thread of its own and returns at once.
void SendGAAsync(int kind);

// "https://" + host + "/mp/collect?measurement_id=" + id + "&api_secret=" + secret.
std::wstring MakeCollectUrl(const std::wstring& host, const std::wstring& measurementId, const std::wstring& apiSecret);
// Points the sender at the collector; the category is the product's analytics title + " (Windows version)".
void ConfigureGA(const std::wstring& collectUrl, const std::wstring& gaTitle);
