// Closing the installer window while its download runs, against a site that sends the installer slowly.
#include "FrameTestSupport.h"

namespace {

TEST_F(FrameWindow, ClosingDuringTheDownloadAsksNoResumesAndYesCloses)
{
    SkinUI::CControlUI* percent = Control(L"label_progress");
    ASSERT_TRUE(percent);
    frame_->OnClickInstall();
    ASSERT_TRUE(PumpUntil([&] { return _wtoi(percent->GetText().c_str()) >= 1; }, 60)) << "the download moves";

    desktop_->answers = {IDNO};
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
    {
        std::lock_guard<std::mutex> hold(desktop_->lock);
        ASSERT_EQ(desktop_->messages.size(), 1u);
        EXPECT_EQ(desktop_->messages[0], Text(L"STR_CLOSE_TIP2"));
    }
    ASSERT_TRUE(IsWindow(hwnd_));
    EXPECT_EQ(frame_->GetWindowState(), kWindow_Downloading);
    int asked = _wtoi(percent->GetText().c_str());
    ASSERT_TRUE(PumpUntil([&] { return _wtoi(percent->GetText().c_str()) > asked; }, 60))
        << "No goes on with the download";
    EXPECT_TRUE(IsWindow(hwnd_)) << "a resumed download must not close the window";

    desktop_->answers = {IDYES};
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
    Pump(200);
    EXPECT_FALSE(IsWindow(hwnd_)) << "Yes closes";
    std::lock_guard<std::mutex> hold(desktop_->lock);
    EXPECT_EQ(desktop_->messages.size(), 2u);
    EXPECT_TRUE(desktop_->opened.empty());
}

} // namespace

int main(int argc, char** argv)
{
    return RunFrameTests(argc, argv);
}
