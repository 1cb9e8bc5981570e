// The real installer window for tests, driven on the test thread, with a desktop that answers dialogs from a script and
// records what would have opened.
#pragma once

#include "SkinFrameWnd.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Carousel.h"
#include "SkinUI/SkinResources.h"
#include "SkinUI/UICheckBox.h"
#include "SkinUI/UIControl.h"
#include "System.h"


class ScriptedDesktop : public IUserDesktop {
public:
    int ShowMessage(HWND, const std::wstring& text, const std::wstring&, UINT) override
    {
        std::lock_guard<std::mutex> hold(lock);
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
    void ShellOpen(HWND, const std::wstring& target) override
    {
        std::lock_guard<std::mutex> hold(lock);
        opened.push_back(target);
    }
    void StartProgram(const std::wstring& path, bool asAdmin) override { started.emplace_back(path, asAdmin); }

    std::mutex lock; // workers ask from their own threads
    std::deque<int> answers;
    bool folderChosen = false;
    std::wstring folderAnswer;
    std::vector<std::wstring> messages;
    int browsed = 0;
    std::vector<std::wstring> opened;
    std::vector<std::pair<std::wstring, bool>> started;
};

// Lets pending notifications, posted steps and timers of this thread run.
inline void Pump(DWORD ms = 50)
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

// Lets the window thread run until done() holds or seconds pass.
template <class Done>
bool PumpUntil(Done done, int seconds)
{
    for (int waited = 0; waited < seconds * 20; ++waited) {
        if (done())
            return true;
        Pump(50);
    }
    return done();
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


int RunFrameTests(int argc, char** argv);
