// The real installer window, driven on this thread, with a desktop that answers dialogs from a script and
// records what would have opened.
#include "FrameTestSupport.h"

#include "Carousel.h"
#include "System.h"

namespace {

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
    return RunFrameTests(argc, argv);
}
