// The real installer window, driven on this thread, with a desktop that answers dialogs from a script and
// records what would have opened.
#include "SkinFrameWnd.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "Carousel.h"
#include "SkinUI/SkinResources.h"
#include "SkinUI/UICheckBox.h"
#include "SkinUI/UIControl.h"
#include "System.h"

namespace {

class ScriptedDesktop : public IUserDesktop {
public:
    int ShowMessage(HWND, const std::wstring& text, const std::wstring&, UINT) override
    {
        messages.push_back(text);
        if (answers.empty())
            return 0;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool BrowseFolder(HWND, const std::wstring&, std::wstring& path) override
    {
        ++browsed;
        path = folderAnswer;
        return folderChosen;
    }
    void ShellOpen(HWND, const std::wstring& target) override { opened.push_back(target); }
    void StartProgram(const std::wstring& path, bool asAdmin) override { started.emplace_back(path, asAdmin); }

    std::deque<int> answers;
    bool folderChosen = false;
    std::wstring folderAnswer;
    std::vector<std::wstring> messages;
    int browsed = 0;
    std::vector<std::wstring> opened;
    std::vector<std::pair<std::wstring, bool>> started;
};

// Lets pending notifications, posted steps and timers of this thread run.
void Pump(DWORD ms = 50)
{
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

class FrameWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame_ = new CSkinFrameWnd(desktop_);
        frame_->InitEnvironment();
        ASSERT_TRUE(frame_->Create(nullptr, L"frame window test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0,
                                   CW_USEDEFAULT, CW_USEDEFAULT));
        hwnd_ = frame_->GetHWND();
        Pump();
        ASSERT_EQ(frame_->GetWindowState(), kWindow_Init);
    }
    void TearDown() override
    {
        if (hwnd_ && IsWindow(hwnd_))
            DestroyWindow(hwnd_);
        Pump();
        delete frame_;
    }

    SkinUI::CControlUI* Control(const wchar_t* name) const { return frame_->FindControl(name); }
    SkinUI::CCheckBoxUI* Check(const wchar_t* name) const
    {
        return dynamic_cast<SkinUI::CCheckBoxUI*>(Control(name));
    }
    std::wstring Text(const wchar_t* id) const { return frame_->GetLanguageManager().GetString(id); }

    std::shared_ptr<ScriptedDesktop> desktop_ = std::make_shared<ScriptedDesktop>();
    CSkinFrameWnd* frame_ = nullptr;
    HWND hwnd_ = nullptr;
};

TEST_F(FrameWindow, InstallNeedsTheAgreementTicked)
{
    SkinUI::CCheckBoxUI* agree = Check(L"chk_agree");
    SkinUI::CControlUI* install = Control(L"btn_install");
    ASSERT_TRUE(agree && install);
    EXPECT_TRUE(agree->IsSelected());
    EXPECT_TRUE(install->IsEnabled());
    agree->Selected(false, true);
    Pump();
    EXPECT_FALSE(install->IsEnabled());
    agree->Selected(true, true);
    Pump();
    EXPECT_TRUE(install->IsEnabled());
}

TEST_F(FrameWindow, AFolderThatCannotBeMadeShowsTheTipAndOpensThePanel)
{
    SkinUI::CControlUI* edit = Control(L"edit_path");
    SkinUI::CControlUI* tip = Control(L"label_tip");
    SkinUI::CCheckBoxUI* fold = Check(L"chk_fold");
    ASSERT_TRUE(edit && tip && fold);
    EXPECT_FALSE(tip->IsVisible());
    edit->SetText(L"C:\\qv_no_such_folder\\deeper\\still\\");
    frame_->OnClickInstall();
    Pump();
    EXPECT_EQ(frame_->GetWindowState(), kWindow_Init) << "no download for a folder that cannot be made";
    EXPECT_TRUE(tip->IsVisible());
    EXPECT_EQ(tip->GetText(), Text(L"STR_PATH_INVALID"));
    EXPECT_TRUE(fold->IsSelected()) << "the tip is shown with the folder panel open";

    // Choosing another folder takes the tip away.
    desktop_->folderChosen = true;
    desktop_->folderAnswer = L"C:\\";
    frame_->OnBrowseFolder();
    Pump();
    EXPECT_FALSE(tip->IsVisible());
}

TEST_F(FrameWindow, TheFolderDialogsAnswerGoesIntoThePathAndCancelKeepsIt)
{
    SkinUI::CControlUI* edit = Control(L"edit_path");
    ASSERT_TRUE(edit);
    const std::wstring before = edit->GetText();
    ASSERT_FALSE(before.empty());
    struct Case {
        const char* name;
        bool chosen;
        std::wstring answer;
        std::wstring expected;
    };
    const Case cases[] = {
        {"cancel keeps the old path", false, L"D:\\ignored\\", before},
        {"a chosen folder", true, L"C:\\Games\\", L"C:\\Games\\"},
        {"cancel after a choice keeps the choice", false, L"", L"C:\\Games\\"},
    };
    for (const Case& c : cases) {
        desktop_->folderChosen = c.chosen;
        desktop_->folderAnswer = c.answer;
        frame_->OnBrowseFolder();
        Pump();
        EXPECT_EQ(edit->GetText(), c.expected) << c.name;
    }
    EXPECT_EQ(desktop_->browsed, 3);
}

TEST_F(FrameWindow, TheFolderPanelGrowsAndShrinksTheWindow)
{
    SkinUI::CCheckBoxUI* fold = Check(L"chk_fold");
    SkinUI::CControlUI* panel = Control(L"bottomLayout");
    ASSERT_TRUE(fold && panel);
    const SIZE closed = frame_->GetClientSize();
    EXPECT_FALSE(panel->IsVisible());
    fold->Selected(true, true);
    Pump();
    EXPECT_TRUE(panel->IsVisible());
    EXPECT_EQ(frame_->GetClientSize().cy, closed.cy + 75);
    EXPECT_EQ(frame_->GetClientSize().cx, closed.cx);
    fold->Selected(false, true);
    Pump();
    EXPECT_FALSE(panel->IsVisible());
    EXPECT_EQ(frame_->GetClientSize().cy, closed.cy);
}

TEST_F(FrameWindow, ClosingTheHomePageAsksFirst)
{
    struct Case {
        const char* name;
        int answer;
        bool closed;
    };
    const Case cases[] = {
        {"No keeps the window", IDNO, false},
        {"no box could be shown keeps the window", 0, false},
        {"Yes closes", IDYES, true},
    };
    for (const Case& c : cases) {
        desktop_->messages.clear();
        desktop_->answers = {c.answer};
        SendMessageW(hwnd_, WM_CLOSE, 0, 0);
        Pump();
        ASSERT_EQ(desktop_->messages.size(), 1u) << c.name;
        EXPECT_EQ(desktop_->messages[0], Text(L"STR_CLOSE_TIP1")) << c.name;
        EXPECT_EQ(!IsWindow(hwnd_), c.closed) << c.name;
        EXPECT_EQ(frame_->GetWindowState(), kWindow_Init) << c.name;
    }
}

// Images an earlier run left in the language folder; the feed is unknown (count -1), so they are shown in
// turn until a file is missing, then from the first again.
TEST_F(FrameWindow, CachedBannersRotateInOrderAndWrapAtTheFirstMissingOne)
{
    // A 1x1 PNG.
    static const unsigned char kPng[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x77, 0x53, 0xDE, 0x00,
        0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x08, 0xD7, 0x63, 0x60, 0x60, 0xF8, 0x0F, 0x00, 0x01, 0x04,
        0x01, 0x00, 0x5F, 0xE5, 0xC3, 0x4B, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60,
        0x82};
    SkinUI::CControlUI* banner = Control(L"banner");
    ASSERT_TRUE(banner);
    const std::wstring folder =
        GetDownloaderDir() + L"language\\" + frame_->GetLanguageManager().GetLanguage() + L"\\";
    for (int i = 1; i <= 4; ++i)
        DeleteFileW(BannerImagePath(folder, i).c_str());

    const std::wstring skinPicture = banner->GetBkImage();
    EXPECT_FALSE(frame_->ShowBannerImage(1));
    frame_->ShowNextBanner();
    EXPECT_EQ(banner->GetBkImage(), skinPicture) << "without images the skin's picture stays";

    for (int i : {1, 2, 4}) { // no pr_3.png: pr_4.png is never reached by the rotation
        HANDLE file = CreateFileW(BannerImagePath(folder, i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << i;
        DWORD written = 0;
        WriteFile(file, kPng, sizeof(kPng), &written, nullptr);
        CloseHandle(file);
    }
    std::vector<std::wstring> shown;
    for (int tick = 0; tick < 5; ++tick) {
        frame_->ShowNextBanner();
        shown.push_back(banner->GetBkImage());
    }
    const std::wstring first = BannerImagePath(folder, 1), second = BannerImagePath(folder, 2);
    EXPECT_EQ(shown, (std::vector<std::wstring>{first, second, first, second, first}));
    for (int i = 1; i <= 4; ++i)
        DeleteFileW(BannerImagePath(folder, i).c_str());
}

TEST_F(FrameWindow, StartNowStartsTheProductFromTheInstallFolderAndCloses)
{
    frame_->OnStartNow();
    Pump(200);
    ASSERT_EQ(desktop_->started.size(), 1u);
    const LanguageManager& language = frame_->GetLanguageManager();
    EXPECT_EQ(desktop_->started[0].first, GetProgFilesDir() + language.GetExeSubPath());
    EXPECT_EQ(desktop_->started[0].second, language.IsRunAsAdmin());
    EXPECT_FALSE(IsWindow(hwnd_)) << "Start Now closes the window without asking";
    EXPECT_TRUE(desktop_->messages.empty());
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    SkinUI::SetInstance(GetModuleHandleW(nullptr));
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder = module;
    SkinUI::SetResourcePath(folder.substr(0, folder.find_last_of(L'\\') + 1));
    return RUN_ALL_TESTS();
}
