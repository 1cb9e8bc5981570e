// The installer's only window and the controller of the whole flow: the four window states, the Install
// click, the download, the silent run of the product installer and the carousel.
//
// Threads: every control, timer and state change runs on the window thread. The install worker, the
// download thread, the installer thread and the carousel worker are static members that get a Worker:
// the channel to the window (steps run there, or are dropped once the window is gone) and the part of the
// controller that never changes after start-up. They never see the window object itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "common/LanguageManager/LanguageManager.h"
#include "SkinUI/WindowImplBase.h"
#include "UserDesktop.h"
#include "WindowChannel.h"

class CTaskbarProgress;
namespace SkinUI {
class CEditUI;
class CLabelUI;
class CCheckBoxUI;
class CTextUI;
class CProgressUI;
} // namespace SkinUI

enum WindowState : UINT {
    kWindow_Init = 0,
    kWindow_Downloading = 1,
    kWindow_Installing = 2,
    kWindow_Finish = 3,
    kWindow_None = 0xFFFFFFFF,
};

enum WindowTimer : UINT_PTR {
    kTimer_BannerRotate = 11,
    kTimer_InstallProgress = 12,
    kTimer_BannerStart = 13,
};

// wParam of a WM_CLOSE that closes without asking.
constexpr WPARAM kCloseCode_NoConfirm = 1000;

constexpr UINT kBannerRotateMs = 4000;
constexpr UINT kBannerStartMs = 1000;

// What the controller's threads share: filled on the window thread during start-up, read-only afterwards.
struct CFlowShared {
    std::shared_ptr<IUserDesktop> desktop;
    LanguageManager language;
    std::wstring workFolder;   // ends with "\"
    std::wstring progressFile; // workFolder + "temp.progress"
    int downloadRatio = 90;

    std::wstring DownloadTarget() const { return workFolder + L"quorvane-download.exe"; }
    std::wstring LanguageFolder() const { return workFolder + L"language\\" + language.GetLanguage() + L"\\"; }
};

class CSkinFrameWnd : public SkinUI::WindowImplBase {
public:
    using Channel = CWindowChannel<CSkinFrameWnd>;

    // What a worker thread holds instead of the window.
    struct Worker {
        std::shared_ptr<Channel> channel;
        std::shared_ptr<const CFlowShared> shared;
    };

    explicit CSkinFrameWnd(std::shared_ptr<IUserDesktop> desktop = CreateSystemDesktop());
    ~CSkinFrameWnd() override;

    // Work folder, log, language pack and language manager; runs once per process.
    void InitEnvironment();

    const LanguageManager& GetLanguageManager() const { return m_shared->language; }
    UINT GetWindowState() const { return m_windowState; }

    // Window base.
    const wchar_t* GetWindowClassName() const override { return L"SkinMainFrame"; }
    void InitWindow() override;
    void OnClick(SkinUI::NotifyMsg& msg) override;
    void Notify(SkinUI::NotifyMsg& msg) override;
    std::wstring GetSkinFolder() override { return {}; }
    std::wstring GetSkinFile() override;
    int GetResourceType() const override { return SkinUI::kSkin_ZipResource; }
    std::wstring GetResourceID() const override { return L"104"; }
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // Window thread.
    void InitData();
    void InitControls();
    // Switches the state; answers whether it acted (not the same state, "switch" present). The parts of
    // kWindow_Installing and kWindow_Finish that run on workers follow in the Worker form.
    bool UpdateWindowSate(UINT state);
    void SetProgress(int percent);
    void SetPathTip(const std::wstring& text);
    void OnSelectChanged(SkinUI::NotifyMsg& msg);
    void OnTextChanged(SkinUI::NotifyMsg& msg);
    void OnClickInstall();
    void OnCustomizeChanged();
    void OnBrowseFolder();
    void OnProgressTimer();
    void OnStartNow();
    void StartCarousel();
    void ShowNextBanner();
    bool ShowBannerImage(int index);

    // Any thread.
    static void UpdateWindowSate(const Worker& worker, UINT state);
    static void SetProgress(const Worker& worker, int percent);
    static void CleanupInstallFiles(const CFlowShared& shared);
    static void KillSilentInstallProcess();
    static bool StartDownloadThread(const Worker& worker, const std::wstring& url, const std::wstring& target);

    // Worker threads.
    static void InstallWorker(Worker worker);
    static void CarouselWorker(Worker worker);
    static void DownloadCallback(int kind, int value, int extra, void* owner);
    static void DownloadSuccess(const Worker& worker);
    static void DownloadFailed(const Worker& worker);
    static void StartInstallExe(const Worker& worker);
    static void InstallExeFinish(const Worker& worker);

private:
    Worker MakeWorker() const { return {m_channel, m_shared}; }
    // A message box owned by the window, captioned and mirrored for the language; 0 once the window is gone.
    static int ShowMessage(const Worker& worker, const std::wstring& text, UINT type);
    template <class Control>
    Control* Find(const wchar_t* name) const;
    void SetTaskbarState(int state);
    void SetTaskbarValue(int completed, int total);
    // The window's part of InstallExeFinish: timers, the finish page, the taskbar.
    void ShowFinishPage();

    std::shared_ptr<CFlowShared> m_shared;
    std::shared_ptr<Channel> m_channel;
    std::wstring m_installFolder; // ends with "\"
    std::wstring m_downloadUrl;
    UINT m_windowState = kWindow_None;
    SkinUI::CEditUI* m_editPath = nullptr;
    SkinUI::CLabelUI* m_labelTip = nullptr;
    SkinUI::CCheckBoxUI* m_chkFold = nullptr;
    SkinUI::CTextUI* m_labelProgress = nullptr;
    SkinUI::CProgressUI* m_progressDownload = nullptr;
    std::unique_ptr<CTaskbarProgress> m_taskbar;
    UINT m_progressPollMs = 1500;
    int m_currentBanner = 0;
    int m_bannerCount = -1;
    std::atomic<bool> m_bannerImagesReady{false};
    bool m_environmentReady = false;
    bool m_closePrompt = false; // a close question is on screen
};
