#include "WindowChannel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

// A real window on the test's thread, standing in for the installer window.
class FakeWindow {
public:
    FakeWindow()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QvChannelTest";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"channel test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, this);
        channel = std::make_shared<CWindowChannel<FakeWindow>>(*this, hwnd);
    }
    ~FakeWindow() { Destroy(); }

    void Destroy()
    {
        if (!hwnd)
            return;
        channel->Detach();
        DestroyWindow(hwnd);
        hwnd = nullptr;
    }

    // Dispatches messages until done() or the time-out; answers done().
    template <class Done>
    bool PumpUntil(Done done, int ms = 10000)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done() && std::chrono::steady_clock::now() < end) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return done();
    }

    HWND hwnd = nullptr;
    std::shared_ptr<CWindowChannel<FakeWindow>> channel;
    std::vector<int> steps;
    DWORD threadId = GetCurrentThreadId();

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<FakeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == kMsg_RunStep && self)
            return self->channel->OnRunStep(lParam);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
};

TEST(WindowChannel, WorkerStepsRunOnTheWindowThreadInOrderAndWaitForIt)
{
    FakeWindow window;
    std::atomic<bool> done{false};
    bool allOnWindowThread = true;
    bool seenAtOnce = true;
    std::thread worker([&, channel = window.channel] {
        for (int i = 0; i < 20; ++i) {
            bool ran = channel->Run([&](FakeWindow& w) {
                allOnWindowThread = allOnWindowThread && GetCurrentThreadId() == w.threadId;
                w.steps.push_back(i);
            });
            // Run returns only after the step: the worker sees its effect at once.
            seenAtOnce = seenAtOnce && ran && window.steps.size() == static_cast<size_t>(i + 1);
        }
        done = true;
    });
    EXPECT_TRUE(window.PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(allOnWindowThread);
    EXPECT_TRUE(seenAtOnce);
    std::vector<int> expected(20);
    for (int i = 0; i < 20; ++i)
        expected[i] = i;
    EXPECT_EQ(window.steps, expected);
}

TEST(WindowChannel, StepAskedOnTheWindowThreadRunsDirectly)
{
    FakeWindow window;
    EXPECT_TRUE(window.channel->Run([](FakeWindow& w) { w.steps.push_back(7); }));
    EXPECT_EQ(window.steps, std::vector<int>{7});
}

TEST(WindowChannel, AfterTheWindowIsGoneStepsAndPostsAreDropped)
{
    auto window = std::make_unique<FakeWindow>();
    auto channel = window->channel;
    window.reset();
    bool ran = false;
    std::thread worker([&] { EXPECT_FALSE(channel->Run([&](FakeWindow&) { ran = true; })); });
    worker.join();
    EXPECT_FALSE(channel->Run([&](FakeWindow&) { ran = true; }));
    EXPECT_FALSE(channel->Post(WM_NULL, 0, 0));
    EXPECT_FALSE(ran);
    EXPECT_EQ(channel->GetHwnd(), nullptr);
}

TEST(WindowChannel, WorkerWaitingWhileTheWindowIsDestroyedIsReleasedWithoutRunningItsStep)
{
    auto window = std::make_unique<FakeWindow>();
    std::atomic<bool> sending{false};
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    std::thread worker([&, channel = window->channel] {
        sending = true;
        result = channel->Run([&](FakeWindow&) { ran = true; }) ? 1 : 0;
    });
    while (!sending)
        std::this_thread::yield();
    // The step is queued (or about to be) while the window thread does not pump; then the window goes.
    Sleep(100);
    window->Destroy();
    MSG msg;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (result == -1 && std::chrono::steady_clock::now() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(10);
    }
    ASSERT_NE(result.load(), -1) << "the worker is still waiting for a window that is gone";
    worker.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran.load());
}

// A message box that a worker opens is owned by the window but blocks only that worker: the window thread
// goes on running the steps of another worker.
TEST(WindowChannel, MessageBoxOfAWorkerBlocksOnlyThatWorker)
{
    FakeWindow window;
    std::atomic<int> answer{-1};
    std::thread asking([&, channel = window.channel] {
        answer = MessageBoxW(channel->GetHwnd(), L"question", L"channel test box", MB_OKCANCEL);
    });
    HWND box = nullptr;
    ASSERT_TRUE(window.PumpUntil([&] { return (box = FindWindowW(L"#32770", L"channel test box")) != nullptr; }));
    std::atomic<bool> done{false};
    std::thread other([&, channel = window.channel] {
        for (int i = 0; i < 5; ++i)
            channel->Run([i](FakeWindow& w) { w.steps.push_back(i); });
        done = true;
    });
    EXPECT_TRUE(window.PumpUntil([&] { return done.load(); }));
    other.join();
    EXPECT_EQ(window.steps.size(), 5u);
    EXPECT_EQ(answer.load(), -1);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(window.PumpUntil([&] { return answer.load() != -1; }));
    asking.join();
    EXPECT_EQ(answer.load(), IDCANCEL);
}

} // namespace
