#include "SkinFrameWnd.h"

#include <cstdio>
#include <mutex>
#include <thread>

#include "BaseRequest.h"
#include "common/BuildValues.h"
#include "Carousel.h"
#include "GA.h"
#include "HttpDownload.h"
#include "InstallSteps.h"
#include "Log.h"
#include "Redirect.h"
#include "common/LanguageManager/ResourcePack.h"
#include "SkinUI/UIButton.h"
#include "SkinUI/UICheckBox.h"
#include "SkinUI/UIEdit.h"
#include "SkinUI/UILabel.h"
#include "SkinUI/UIOption.h"
#include "SkinUI/UIProgress.h"
#include "SkinUI/UITabLayout.h"
#include "SkinUI/UIText.h"
#include "System.h"
#include "TaskbarProgress.h"

// The full-width colon of the log's narrow texts (code page 936).
#define QV_COLON "\xA3\xBA"

using namespace SkinUI;

namespace {

constexpr UINT kRtlMessageFlags = MB_RTLREADING | MB_RIGHT | MB_SETFOREGROUND;
constexpr int kFolderPanelHeight = 75;
constexpr int kMaxBannerDots = 20;
constexpr DWORD kFinishTaskbarHoldMs = 1000;
constexpr wchar_t kCompanionProcess[] = L"quorvane-download.tmp";

enum TaskbarState { kTaskbar_None = 0, kTaskbar_Normal = 2, kTaskbar_Error = 4, kTaskbar_Paused = 8 };

const char* StateName(UINT state)
{
    switch (state) {
    case kWindow_Init:
        return "kWindow_Init";
    case kWindow_Downloading:
        return "kWindow_Downloading";
    case kWindow_Installing:
        return "kWindow_Installing";
    case kWindow_Finish:
        return "kWindow_Finish";
    }
    return "?";
}

// One download run; the download job hands its address back to every callback.
struct DownloadTask {
    CSkinFrameWnd::Worker worker;
    std::wstring url;
    std::wstring target;
};

// The split the redirect question needs: without a "/" behind the host the whole rest is the server name.
void SplitRedirectUrl(const std::wstring& url, std::wstring& server, std::wstring& path)
{
    std::wstring rest;
    if (url.rfind(L"http://", 0) == 0)
        rest = url.substr(7);
    else if (url.rfind(L"https://", 0) == 0)
        rest = url.substr(8);
    else
        return;
    size_t slash = rest.find(L'/');
    server = rest.substr(0, slash);
    path = slash == std::wstring::npos ? std::wstring() : rest.substr(slash + 1);
}

// One download run at a time. The download job keeps one record per process: a run started while a
// cancelled one still polls (the close question's No) would take that record over, and the cancelled run
// would then report a failure instead of the cancel.
std::mutex& DownloadRunLock()
{
    static std::mutex lock;
    return lock;
}

std::wstring FormatPercent(int percent)
{
    wchar_t text[32] = {};
    swprintf(text, 32, L"%d %%", percent);
    return text;
}

} // namespace

CSkinFrameWnd::CSkinFrameWnd(std::shared_ptr<IUserDesktop> desktop) : m_shared(std::make_shared<CFlowShared>())
{
    m_shared->desktop = std::move(desktop);
    AddMessageMap({
        {L"selectchanged", L"", [this](NotifyMsg& msg) { OnSelectChanged(msg); }, nullptr},
        {L"textchanged", L"", [this](NotifyMsg& msg) { OnTextChanged(msg); }, nullptr},
    });
}

CSkinFrameWnd::~CSkinFrameWnd()
{
    if (m_channel)
        m_channel->Detach();
}

void CSkinFrameWnd::InitEnvironment()
{
    // Once per controller: a second window in the same process (tests) needs its own set-up.
    if (m_environmentReady)
        return;
    m_environmentReady = true;
    m_shared->workFolder = GetDownloaderDir();
    InitLog(L"quorvane_down.log", (m_shared->workFolder + L"Log").c_str());
    LoadResZipFile(m_shared->workFolder);
    m_shared->language.Initialize(m_shared->workFolder + L"language\\");
}

std::wstring CSkinFrameWnd::GetSkinFile()
{
    InitEnvironment();
    return m_shared->language.IsRightToLeft() ? L"main_rtl.xml" : L"main.xml";
}

template <class Control>
Control* CSkinFrameWnd::Find(const wchar_t* name) const
{
    return dynamic_cast<Control*>(manager_.FindControl(name));
}

// ---- start-up ----------------------------------------------------------------------------------------

void CSkinFrameWnd::InitWindow()
{
    SetIcon(101);
    m_channel = std::make_shared<Channel>(*this, GetHWND());
    InitData();
    if (!m_taskbar) {
        m_taskbar = std::make_unique<CTaskbarProgress>();
        m_taskbar->Attach(GetHWND());
        SetTaskbarState(kTaskbar_Normal);
    }
    ConfigureGA(MakeCollectUrl(kBuild_GaHost, kBuild_GaMeasurementId, kBuild_GaApiSecret),
                m_shared->language.GetGATitle());
}

void CSkinFrameWnd::InitData()
{
    m_editPath = nullptr;
    m_labelTip = nullptr;
    m_chkFold = nullptr;
    m_labelProgress = nullptr;
    m_windowState = kWindow_None;
    m_installFolder = GetProgFilesDir();
    InitEnvironment();
    LoadDomainFile(m_shared->language);
    InitControls();
    m_labelProgress = Find<CTextUI>(L"label_progress");
    m_labelTip = Find<CLabelUI>(L"label_tip");
    m_progressDownload = Find<CProgressUI>(L"progress_download");
    UpdateWindowSate(kWindow_Init);

    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    LOGW(1, L"Windows Version:%s", GetWindowsProductName().c_str());
    LOGW(1, L"Windows Bit:%s", IsNative64BitOS() ? L"x64" : L"x86");
    LOGW(1, L"downloader version:%s", GetFileVersion(module).c_str());

    m_shared->progressFile = m_shared->workFolder + L"temp.progress";
    m_shared->downloadRatio = m_shared->language.GetDownloadRatio();
    m_progressPollMs = static_cast<UINT>(m_shared->language.GetReadFileTimeout());
    LOGW(1, L"DownloadRatio:%d  ==== ReadFileTimeout:%d", m_shared->downloadRatio, static_cast<int>(m_progressPollMs));
}

void CSkinFrameWnd::InitControls()
{
    const LanguageManager& language = m_shared->language;
    auto setText = [this, &language](const wchar_t* name, const wchar_t* id) {
        if (CControlUI* control = manager_.FindControl(name))
            control->SetText(language.GetString(id));
    };
    setText(L"btn_install", L"STR_INSTALL");
    setText(L"btn_hide", L"STR_HIDE");
    setText(L"btn_start", L"STR_START");
    setText(L"label_path", L"STR_INSTALL_PATH");
    if (CControlUI* tip = manager_.FindControl(L"control_tip")) {
        std::wstring picture = m_shared->LanguageFolder() + L"install_tips.png";
        if (IsFileExist(picture))
            tip->SetBkImage(picture);
    }
    if ((m_editPath = Find<CEditUI>(L"edit_path"))) {
        m_editPath->SetText(m_installFolder);
        m_editPath->SetReadOnly(true);
    }
    setText(L"btn_browse", L"STR_BROWSE");
    setText(L"btn_lisence", L"STR_LISENCE");
    setText(L"label_install", L"STR_INSTALLING");
    if (auto* agree = Find<CCheckBoxUI>(L"chk_agree"))
        agree->Selected(true, true);
    if ((m_chkFold = Find<CCheckBoxUI>(L"chk_fold"))) {
        m_chkFold->SetText(language.GetString(L"STR_CUSTOMIZE_INSTALL"));
        m_chkFold->Selected(false, true);
    }
    m_downloadUrl = language.GetDownloadUrl();
}

// ---- states and progress -----------------------------------------------------------------------------

bool CSkinFrameWnd::UpdateWindowSate(UINT state)
{
    if (state == m_windowState)
        return false;
    m_windowState = state;
    auto* pages = Find<CTabLayoutUI>(L"switch");
    if (!pages)
        return false;
    LOGA(1, "UpdateWindowSate:%s", StateName(state));
    switch (state) {
    case kWindow_Init:
        pages->SelectItem(0, true);
        if (CControlUI* start = manager_.FindControl(L"btn_start"))
            start->SetVisible(false);
        break;
    case kWindow_Downloading:
        if (m_chkFold)
            m_chkFold->Selected(false, true);
        pages->SelectItem(1, true);
        SetProgress(0);
        break;
    case kWindow_Finish:
        pages->SelectItem(0, true);
        break;
    }
    return true;
}

void CSkinFrameWnd::UpdateWindowSate(const Worker& worker, UINT state)
{
    bool acted = false;
    worker.channel->Run([&](CSkinFrameWnd& window) {
        acted = window.UpdateWindowSate(state);
        // In the same step, so the home page never shows Install and Start Now mixed.
        if (acted && state == kWindow_Finish)
            window.ShowFinishPage();
    });
    if (!acted)
        return;
    if (state == kWindow_Installing)
        StartInstallExe(worker);
    else if (state == kWindow_Finish)
        InstallExeFinish(worker);
}

void CSkinFrameWnd::SetProgress(int percent)
{
    if (m_progressDownload)
        m_progressDownload->SetValue(m_shared->language.IsRightToLeft() ? 100 - percent : percent);
    if (m_labelProgress)
        m_labelProgress->SetText(FormatPercent(percent));
    SetTaskbarState(kTaskbar_Normal);
    SetTaskbarValue(percent, 100);
}

void CSkinFrameWnd::SetProgress(const Worker& worker, int percent)
{
    worker.channel->Run([percent](CSkinFrameWnd& window) { window.SetProgress(percent); });
}

void CSkinFrameWnd::SetPathTip(const std::wstring& text)
{
    if (m_labelTip) {
        m_labelTip->SetText(text);
        m_labelTip->SetVisible(!text.empty());
    }
    if (!text.empty() && m_chkFold)
        m_chkFold->Selected(true, true);
}

void CSkinFrameWnd::SetTaskbarState(int state)
{
    if (m_taskbar)
        m_taskbar->SetProgressState(state);
}

void CSkinFrameWnd::SetTaskbarValue(int completed, int total)
{
    if (m_taskbar)
        m_taskbar->SetProgressValue(completed < 0 ? 0 : completed, total);
}

int CSkinFrameWnd::ShowMessage(const Worker& worker, const std::wstring& text, UINT type)
{
    HWND owner = worker.channel ? worker.channel->GetHwnd() : nullptr;
    if (!owner)
        return 0;
    const LanguageManager& language = worker.shared->language;
    if (language.IsRightToLeft())
        type |= kRtlMessageFlags;
    return worker.shared->desktop->ShowMessage(owner, text, language.GetString(L"STR_MESSAGEBOX_TITLE"), type);
}

// ---- notifications, timers and closing ---------------------------------------------------------------

void CSkinFrameWnd::OnClick(NotifyMsg& msg)
{
    const std::wstring& name = msg.sender->GetName();
    if (name == L"btn_install") {
        OnClickInstall();
    } else if (name == L"btn_browse") {
        OnBrowseFolder();
    } else if (name == L"btn_hide") {
        ::SendMessageW(GetHWND(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (name == L"btn_start") {
        OnStartNow();
    } else if (name == L"btn_lisence") {
        m_shared->desktop->ShellOpen(GetHWND(), m_shared->language.GetLicenceUrl());
    } else if (const std::wstring* dot = msg.sender->GetCustomAttribute(L"imageIndex")) {
        int index = _wtoi(dot->c_str());
        if (index != m_currentBanner) {
            KillTimer(GetHWND(), kTimer_BannerRotate);
            ShowBannerImage(index);
            SetTimer(GetHWND(), kTimer_BannerRotate, kBannerRotateMs, nullptr);
        }
    }
    WindowImplBase::OnClick(msg);
}

void CSkinFrameWnd::Notify(NotifyMsg& msg)
{
    if (msg.sender && msg.sender->GetName() == L"edit_path" && msg.type == L"setfocus") {
        OnBrowseFolder();
        if (CControlUI* browse = manager_.FindControl(L"btn_browse"))
            browse->SetFocus();
    }
    WindowImplBase::Notify(msg);
}

void CSkinFrameWnd::OnSelectChanged(NotifyMsg& msg)
{
    const std::wstring& name = msg.sender->GetName();
    if (name == L"chk_fold") {
        OnCustomizeChanged();
    } else if (name == L"chk_agree") {
        auto* agree = Find<CCheckBoxUI>(L"chk_agree");
        if (CControlUI* install = manager_.FindControl(L"btn_install"))
            install->SetEnabled(agree && agree->IsSelected());
    }
}

void CSkinFrameWnd::OnTextChanged(NotifyMsg& msg)
{
    if (msg.sender->GetName() == L"edit_path")
        SetPathTip(L"");
}

LRESULT CSkinFrameWnd::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (msg == kMsg_RunStep) {
        handled = true;
        return m_channel ? m_channel->OnRunStep(lParam) : 0;
    }
    if (msg != WM_TIMER) {
        handled = false;
        return 0;
    }
    handled = true;
    switch (wParam) {
    case kTimer_BannerRotate:
        ShowNextBanner();
        break;
    case kTimer_InstallProgress:
        OnProgressTimer();
        break;
    case kTimer_BannerStart:
        StartCarousel();
        break;
    }
    return 0;
}

LRESULT CSkinFrameWnd::OnClose(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    handled = false; // closing: the default handling destroys the window
    auto* start = manager_.FindControl(L"btn_start");
    if (wParam == kCloseCode_NoConfirm || (start && start->IsVisible())) {
        CleanupInstallFiles(*m_shared);
        return 0;
    }
    auto* pages = Find<CTabLayoutUI>(L"switch");
    handled = true; // from here on the window stays unless the user confirms
    if (!pages || m_closePrompt)
        return 0;
    m_closePrompt = true;
    const LanguageManager& language = m_shared->language;
    std::wstring text = language.GetString(L"STR_CLOSE_TIP1");
    bool bannerPage = pages->GetCurSel() == 1;
    if (bannerPage) {
        text = language.GetString(L"STR_CLOSE_TIP2");
        CQVDownload::CancelDownload();
    }
    int answer = ShowMessage(MakeWorker(), text, MB_YESNO | MB_ICONQUESTION);
    m_closePrompt = false;
    if (answer == IDYES) {
        CleanupInstallFiles(*m_shared);
        handled = false;
        return 0;
    }
    if (bannerPage && m_windowState == kWindow_Downloading)
        StartDownloadThread(MakeWorker(), m_downloadUrl, m_shared->DownloadTarget());
    return 0;
}

LRESULT CSkinFrameWnd::OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    // Workers that still run find the channel detached and leave the window alone.
    if (m_channel)
        m_channel->Detach();
    PostQuitMessage(0);
    return WindowImplBase::OnDestroy(msg, wParam, lParam, handled);
}

// ---- the Install click and the download --------------------------------------------------------------

void CSkinFrameWnd::OnClickInstall()
{
    LOGA(1, "OnClickInstall");
    SetPathTip(L"");
    std::wstring folder = m_editPath ? m_editPath->GetText() : std::wstring();
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    m_installFolder = folder;
    LOGW(1, L"sel path:%s", folder.c_str());
    SetLastError(0);
    if (!CheckFolderPath(folder)) {
        SetPathTip(m_shared->language.GetString(L"STR_PATH_INVALID"));
        return;
    }
    LOGA(1, "sel path end");
    std::thread(CarouselWorker, MakeWorker()).detach();
    std::thread(InstallWorker, MakeWorker()).detach();
    LOGA(1, "send ga begin");
    SendGAAsync(kGA_StartInstall);
    LOGA(1, "send ga end");
    LOGA(1, "change page downloading begin");
    UpdateWindowSate(kWindow_Downloading);
    LOGA(1, "change page downloading end");
    SetTimer(GetHWND(), kTimer_BannerStart, kBannerStartMs, nullptr);
}

void CSkinFrameWnd::InstallWorker(Worker worker)
{
    const CFlowShared& shared = *worker.shared;
    const LanguageManager& language = shared.language;
    std::wstring alternative = language.GetDownloadUrlEx();
    if (!alternative.empty()) {
        std::wstring server, path, resolved = alternative;
        SplitRedirectUrl(alternative, server, path);
        if (GetRedirectUrl(server, path, resolved)) {
            worker.channel->Run([&](CSkinFrameWnd& window) { window.m_downloadUrl = resolved; });
            LOGW(1, L"get redirect Url:%s", resolved.c_str());
        }
    }
    std::wstring url, folder;
    if (!worker.channel->Run([&](CSkinFrameWnd& window) {
            url = window.m_downloadUrl;
            folder = window.m_installFolder;
        }))
        return;

    LOGA(1, "get file size begin");
    uint32_t remoteBytes = GetRemoteFileSize(url);
    int size = static_cast<int>(remoteBytes); // as the resume data records it
    LOGA(1, "get file size end");
    std::wstring drive = DriveOfFolder(folder);
    LOGA(1, "get disk size begin");
    int freeMB = 0;
    // A folder without a drive (a network path, an item without a file-system path) cannot be measured.
    bool measured = !drive.empty() && GetDiskFreeSpaceMB(drive, freeMB);
    LOGA(1, "get disk size end");
    if (!measured) {
        LOGA(1, "OnClickInstall" QV_COLON "GetFreeSize Failed");
        // Rather than leave the user on a banner page that never moves: say so and go back home.
        std::wstring invalid = language.GetString(L"STR_PATH_INVALID");
        ShowMessage(worker, invalid, MB_OK | MB_ICONWARNING);
        worker.channel->Run([&](CSkinFrameWnd& window) {
            window.SetProgress(0);
            window.UpdateWindowSate(kWindow_Init);
            window.SetPathTip(invalid);
        });
        return;
    }

    int needed = NeededFreeMB(remoteBytes);
    int sizeMB = needed / 3;
    if (freeMB < needed) {
        LOGA(1, "OnClickInstall" QV_COLON "filesize:%dMB--FreeSize:%dMB", sizeMB, freeMB);
        std::wstring unit = language.GetString(L"STR_MB");
        if (unit.empty())
            unit = L"MB";
        std::wstring storage = language.GetString(L"STR_STORAGE");
        std::vector<wchar_t> text(storage.size() + unit.size() + 32);
        swprintf(text.data(), text.size(), L"%ls %d %ls", storage.c_str(), needed, unit.c_str());
        if (ShowMessage(worker, text.data(), MB_OK) == IDOK) {
            worker.channel->Run([](CSkinFrameWnd& window) {
                window.SetProgress(0);
                window.UpdateWindowSate(kWindow_Init);
            });
        }
        return;
    }
    std::wstring target = shared.DownloadTarget();
    JudgeDeleteHistoryFile(url, size, target);
    StartDownloadThread(worker, url, target);
}

bool CSkinFrameWnd::StartDownloadThread(const Worker& worker, const std::wstring& url, const std::wstring& target)
{
    if (url.empty() || target.empty())
        return false;
    std::thread([task = DownloadTask{worker, url, target}]() mutable {
        std::lock_guard<std::mutex> oneRun(DownloadRunLock());
        DownloadRequest request;
        request.connections = 16;
        request.owner = &task;
        request.url = task.url;
        request.path = task.target;
        CQVDownload::DownloadFile(request, DownloadCallback);
    }).detach();
    return true;
}

void CSkinFrameWnd::DownloadCallback(int kind, int value, int, void* owner)
{
    const Worker& worker = static_cast<DownloadTask*>(owner)->worker;
    if (kind == 3) {
        SetProgress(worker, value * worker.shared->downloadRatio / 100);
    } else if (kind == 4) {
        // -2 is a download that ended short without a cancel: the user is asked like for any failure
        // (Retry resumes) instead of the window vanishing without a word.
        if (value == 0)
            DownloadSuccess(worker);
        else if (value == -2 || value == -3 || value == -4)
            DownloadFailed(worker);
        else if (value == -1)
            worker.channel->Post(WM_CLOSE, kCloseCode_NoConfirm, 0);
    }
}

void CSkinFrameWnd::DownloadSuccess(const Worker& worker)
{
    LOGA(1, "HttpDownloadEnd" QV_COLON "Success");
    SendGAAsync(kGA_DownloaderInstalled);
    UpdateWindowSate(worker, kWindow_Installing);
    SetProgress(worker, worker.shared->downloadRatio);
}

void CSkinFrameWnd::DownloadFailed(const Worker& worker)
{
    LOGA(1, "HttpDownloadEnd" QV_COLON "Failed");
    worker.channel->Run([](CSkinFrameWnd& window) { window.SetTaskbarState(kTaskbar_Error); });
    const LanguageManager& language = worker.shared->language;
    std::wstring text = language.GetString(L"STR_NETWORK_ERROR") + L"\n\n" + language.GetString(L"STR_OPERATE_TIP");
    int answer = ShowMessage(worker, text, MB_ABORTRETRYIGNORE | MB_ICONWARNING);
    std::wstring url;
    if (answer == IDRETRY || answer == IDIGNORE)
        worker.channel->Run([&](CSkinFrameWnd& window) { url = window.m_downloadUrl; });
    switch (answer) {
    case IDABORT:
        worker.channel->Post(WM_CLOSE, kCloseCode_NoConfirm, 0);
        break;
    case IDRETRY:
        CleanupInstallFiles(*worker.shared);
        CQVDownload::CancelDownload();
        StartDownloadThread(worker, url, worker.shared->DownloadTarget());
        break;
    case IDIGNORE:
        worker.shared->desktop->ShellOpen(worker.channel->GetHwnd(), url);
        CleanupInstallFiles(*worker.shared);
        worker.channel->Run([](CSkinFrameWnd& window) {
            window.SetProgress(0);
            window.UpdateWindowSate(kWindow_Init);
        });
        break;
    }
}

// ---- the silent installer ----------------------------------------------------------------------------

void CSkinFrameWnd::StartInstallExe(const Worker& worker)
{
    const CFlowShared& shared = *worker.shared;
    const LanguageManager& language = shared.language;
    DWORD running = 0;
    if (FindProcess(language.GetExeName(), running)) {
        LOGA(1, "StartInstallExe" QV_COLON "FindProcess");
        worker.channel->Run([](CSkinFrameWnd& window) { window.SetTaskbarState(kTaskbar_Paused); });
        if (ShowMessage(worker, language.GetString(L"STR_SOFT_RUN"), MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
            worker.channel->Post(WM_CLOSE, kCloseCode_NoConfirm, 0);
            return;
        }
        (void)KillProcess(running);
        worker.channel->Run([](CSkinFrameWnd& window) { window.SetTaskbarState(kTaskbar_Normal); });
    }
    std::wstring folder;
    if (!worker.channel->Run([&](CSkinFrameWnd& window) { folder = window.m_installFolder; }))
        return;
    std::wstring productFolder = folder + language.GetInstallSubDir();
    MakeProductFolder(productFolder);
    WriteChannelFile(productFolder, WideToAnsi(language.GetChannelCode()));
    // A progress file of an earlier run is removed before the installer starts, not after, so the new
    // installer's first value cannot be lost.
    if (FILE* stale = _wfopen(shared.progressFile.c_str(), L"r")) {
        fclose(stale);
        DeleteFileW(shared.progressFile.c_str());
    }
    std::thread([worker, folder] {
        RunSilentInstaller(worker.shared->DownloadTarget(), folder, worker.shared->progressFile);
        CGA::GetInstance()->SendInstalledSucceed();
        LOGA(1, "StartInstallExe" QV_COLON "SilentInstallation");
        UpdateWindowSate(worker, kWindow_Finish);
    }).detach();
    worker.channel->Run([](CSkinFrameWnd& window) {
        SetTimer(window.GetHWND(), kTimer_InstallProgress, window.m_progressPollMs, nullptr);
    });
}

void CSkinFrameWnd::OnProgressTimer()
{
    int value = 0;
    if (ReadProgressValue(m_shared->progressFile, value))
        SetProgress(MapInstallProgress(m_shared->downloadRatio, value));
}

void CSkinFrameWnd::ShowFinishPage()
{
    LOGA(1, "InstallExeFinish");
    KillTimer(GetHWND(), kTimer_BannerRotate);
    KillTimer(GetHWND(), kTimer_InstallProgress);
    if (CControlUI* start = manager_.FindControl(L"btn_start"))
        start->SetVisible(true);
    if (CControlUI* install = manager_.FindControl(L"btn_install"))
        install->SetVisible(false);
    for (const wchar_t* name : {L"lineLayout", L"customLayout"}) {
        if (CControlUI* layout = manager_.FindControl(name))
            layout->SetAttribute(L"visible", L"false");
    }
    if (CControlUI* tip = manager_.FindControl(L"control_tip"))
        tip->SetVisible(false);
    SetTaskbarState(kTaskbar_Normal);
    SetTaskbarValue(100, 100);
    if (!IsWindowVisible(GetHWND()))
        ShowWindow(true, true);
}

void CSkinFrameWnd::InstallExeFinish(const Worker& worker)
{
    CleanupInstallFiles(*worker.shared);
    Sleep(kFinishTaskbarHoldMs);
    worker.channel->Run([](CSkinFrameWnd& window) { window.SetTaskbarState(kTaskbar_None); });
    std::wstring page = worker.shared->language.GetInstallUrl();
    if (!page.empty())
        worker.shared->desktop->ShellOpen(worker.channel->GetHwnd(), page);
}

void CSkinFrameWnd::KillSilentInstallProcess()
{
    DWORD companion = 0;
    if (FindProcess(kCompanionProcess, companion)) {
        LOGA(1, "KillSilentInstallProcess");
        (void)KillProcess(companion);
    }
}

void CSkinFrameWnd::CleanupInstallFiles(const CFlowShared& shared)
{
    KillSilentInstallProcess();
    DeleteFileW(shared.DownloadTarget().c_str());
    DeleteFileW(shared.progressFile.c_str());
}

void CSkinFrameWnd::OnStartNow()
{
    const LanguageManager& language = m_shared->language;
    m_shared->desktop->StartProgram(m_installFolder + language.GetExeSubPath(), language.IsRunAsAdmin());
    ::PostMessageW(GetHWND(), WM_CLOSE, kCloseCode_NoConfirm, 0);
}

// ---- the installation folder -------------------------------------------------------------------------

void CSkinFrameWnd::OnCustomizeChanged()
{
    CControlUI* panel = manager_.FindControl(L"bottomLayout");
    if (!panel)
        return;
    bool open = m_chkFold && m_chkFold->IsSelected();
    SIZE client = manager_.GetClientSize();
    panel->SetAttribute(L"visible", open ? L"true" : L"false");
    ResizeClient(client.cx, client.cy + (open ? kFolderPanelHeight : -kFolderPanelHeight));
}

void CSkinFrameWnd::OnBrowseFolder()
{
    std::wstring folder;
    if (!m_shared->desktop->BrowseFolder(GetHWND(), m_shared->language.GetString(L"STR_SELECT_FOLDER"), folder))
        return;
    if (m_editPath)
        m_editPath->SetText(folder);
    SetPathTip(L"");
}

// ---- the carousel ------------------------------------------------------------------------------------

void CSkinFrameWnd::CarouselWorker(Worker worker)
{
    LOGW(1, L"get image start.");
    const CFlowShared& shared = *worker.shared;
    std::string body = GetUrlContent(shared.language.GetCarouselUrl());
    CarouselResponse response;
    if (ParseCarouselResponse(response, response.images, body) && response.code == 1) {
        int count = static_cast<int>(response.images.size());
        worker.channel->Run([count](CSkinFrameWnd& window) { window.m_bannerCount = count; });
        RefreshCarouselImages(response.images, shared.LanguageFolder());
    }
    worker.channel->Run([](CSkinFrameWnd& window) { window.m_bannerImagesReady.exchange(true); });
    LOGW(1, L"get image finished.");
}

void CSkinFrameWnd::StartCarousel()
{
    if (!m_bannerImagesReady)
        return;
    KillTimer(GetHWND(), kTimer_BannerStart);
    CControlUI* dots = manager_.FindControl(L"buttonLayout");
    if (m_bannerCount > 1 && dots) {
        dots->SetVisible(true);
        for (int i = 0; i < kMaxBannerDots; ++i) {
            auto* dot = Find<COptionUI>((L"option_" + std::to_wstring(i)).c_str());
            if (!dot || dot->GetParent() != dots)
                break;
            dot->SetVisible(i < m_bannerCount);
            dot->AddCustomAttribute(L"imageIndex", std::to_wstring(i + 1));
        }
    }
    if (!ShowBannerImage(m_currentBanner + 1))
        ShowBannerImage(1);
    SetTimer(GetHWND(), kTimer_BannerRotate, kBannerRotateMs, nullptr);
}

void CSkinFrameWnd::ShowNextBanner()
{
    if (!ShowBannerImage(m_currentBanner + 1))
        ShowBannerImage(1);
}

bool CSkinFrameWnd::ShowBannerImage(int index)
{
    CControlUI* banner = manager_.FindControl(L"banner");
    if (!banner)
        return false;
    if (m_bannerCount != -1 && m_bannerCount < index)
        return false;
    std::wstring path = BannerImagePath(m_shared->LanguageFolder(), index);
    if (!IsFileExist(path))
        return false;
    auto* dot = Find<COptionUI>((L"option_" + std::to_wstring(index - 1)).c_str());
    if (dot && dot->IsVisible())
        dot->Selected(true, false);
    m_currentBanner = index;
    banner->SetBkImage(path);
    return true;
}
