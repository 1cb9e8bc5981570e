// The installer window's download branches against a vendor site that has no installer (every answer a 404).
#include "FrameTestSupport.h"

#include "SkinUI/UIText.h"

namespace {

TEST_F(FrameWindow, AFailedDownloadAsksAndIgnoreOpensTheDownloadInTheBrowser)
{
    desktop_->answers = {IDIGNORE};
    frame_->OnClickInstall();
    Pump();
    EXPECT_EQ(frame_->GetWindowState(), kWindow_Downloading);
    ASSERT_TRUE(PumpUntil([&] { return frame_->GetWindowState() == kWindow_Init; }, 90))
        << "Ignore leads back to the home page";
    std::lock_guard<std::mutex> hold(desktop_->lock);
    ASSERT_EQ(desktop_->messages.size(), 1u);
    EXPECT_EQ(desktop_->messages[0], Text(L"STR_NETWORK_ERROR") + L"\n\n" + Text(L"STR_OPERATE_TIP"));
    ASSERT_EQ(desktop_->opened.size(), 1u);
    EXPECT_EQ(desktop_->opened[0], frame_->GetLanguageManager().GetDownloadUrl());
    SkinUI::CControlUI* install = Control(L"btn_install");
    ASSERT_TRUE(install);
    EXPECT_TRUE(install->IsVisible() && install->IsEnabled()) << "Install can be clicked again";
    SkinUI::CControlUI* percent = Control(L"label_progress");
    ASSERT_TRUE(percent);
    EXPECT_EQ(percent->GetText(), L"0 %");
}

TEST_F(FrameWindow, AFailedDownloadRetriedAsksAgainAndAbortCloses)
{
    desktop_->answers = {IDRETRY, IDABORT};
    frame_->OnClickInstall();
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd_); }, 120)) << "Abort closes the window";
    std::lock_guard<std::mutex> hold(desktop_->lock);
    EXPECT_EQ(desktop_->messages.size(), 2u) << "the retried download fails again and asks again";
    EXPECT_TRUE(desktop_->opened.empty());
}

} // namespace

int main(int argc, char** argv)
{
    return RunFrameTests(argc, argv);
}
