// The installer window from a finished download to the finish page, against a site that serves the test
// product's installer; a stand-in for the product runs meanwhile.
#include "FrameTestSupport.h"

#include <cstring>

namespace {

// This program, copied under the product's process name and started with --stay.
class RunningProduct {
public:
    explicit RunningProduct(const std::wstring& exeName)
    {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring folder = GetDownloaderDir() + L"running\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        path_ = folder + exeName;
        CopyFileW(self, path_.c_str(), FALSE);
        std::wstring command = L"\"" + path_ + L"\" --stay";
        STARTUPINFOW startup = {sizeof(startup)};
        if (CreateProcessW(path_.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process_)) {
            CloseHandle(process_.hThread);
            Sleep(500);
        }
    }
    ~RunningProduct()
    {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 0);
            WaitForSingleObject(process_.hProcess, 5000);
            CloseHandle(process_.hProcess);
        }
        DeleteFileW(path_.c_str());
    }
    bool Started() const { return process_.hProcess != nullptr; }
    bool Running() const { return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

private:
    std::wstring path_;
    PROCESS_INFORMATION process_{};
};

TEST_F(FrameWindow, ARunningProductAndCancelClosesWithoutInstalling)
{
    RunningProduct product(frame_->GetLanguageManager().GetExeName());
    ASSERT_TRUE(product.Started());
    desktop_->answers = {IDCANCEL};
    frame_->OnClickInstall();
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd_); }, 120)) << "Cancel closes the window";
    std::lock_guard<std::mutex> hold(desktop_->lock);
    ASSERT_EQ(desktop_->messages.size(), 1u);
    EXPECT_EQ(desktop_->messages[0], Text(L"STR_SOFT_RUN"));
    EXPECT_TRUE(product.Running()) << "Cancel leaves the product alone";
    EXPECT_TRUE(desktop_->opened.empty()) << "no install page without an installation";
}

TEST_F(FrameWindow, ARunningProductAndOkEndsItInstallsAndShowsStartNow)
{
    RunningProduct product(frame_->GetLanguageManager().GetExeName());
    ASSERT_TRUE(product.Started());
    desktop_->answers = {IDOK};
    frame_->OnClickInstall();
    SkinUI::CControlUI* start = Control(L"btn_start");
    ASSERT_TRUE(start);
    ASSERT_TRUE(PumpUntil([&] { return frame_->GetWindowState() == kWindow_Finish; }, 180));
    EXPECT_FALSE(product.Running()) << "OK ends the running product";
    EXPECT_TRUE(start->IsVisible());
    if (SkinUI::CControlUI* install = Control(L"btn_install"))
        EXPECT_FALSE(install->IsVisible());
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard<std::mutex> hold(desktop_->lock);
        return !desktop_->opened.empty();
    }, 30));
    {
        std::lock_guard<std::mutex> hold(desktop_->lock);
        EXPECT_EQ(desktop_->opened, std::vector<std::wstring>{frame_->GetLanguageManager().GetInstallUrl()});
        EXPECT_EQ(desktop_->messages.size(), 1u);
    }
    frame_->OnStartNow();
    Pump(200);
    ASSERT_EQ(desktop_->started.size(), 1u);
    EXPECT_FALSE(IsWindow(hwnd_));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--stay") == 0) {
        Sleep(120000);
        return 0;
    }
    return RunFrameTests(argc, argv);
}
