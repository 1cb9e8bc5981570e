// How worker threads reach the installer window. Workers never touch the window object or its controls:
// they hand a step to the window thread and wait until it has run there, so steps keep the order in which
// a worker asks for them. Once the window is being destroyed the channel is detached and steps are dropped,
// so a worker that outlives the window never reaches freed objects; it holds the channel, not the window.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// The private message that carries one step; lParam points at the step, the answer is 1 when it ran.
constexpr UINT kMsg_RunStep = WM_APP + 0x51;

template <class Window>
class CWindowChannel {
public:
    using Step = std::function<void(Window&)>;

    CWindowChannel(Window& window, HWND hwnd) : m_window(&window), m_hwnd(hwnd) {}
    CWindowChannel(const CWindowChannel&) = delete;
    CWindowChannel& operator=(const CWindowChannel&) = delete;

    // Runs step on the window thread and returns once it has run: at once when called there, otherwise
    // through the window's message queue (the window thread keeps dispatching while workers wait). False,
    // and the step not run, when the window is gone.
    bool Run(const Step& step)
    {
        HWND hwnd = m_hwnd.load();
        if (!hwnd)
            return false;
        if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId())
            return Execute(step);
        return SendMessageW(hwnd, kMsg_RunStep, 0, reinterpret_cast<LPARAM>(&step)) == 1;
    }

    // The window's own handling of kMsg_RunStep (window thread).
    LRESULT OnRunStep(LPARAM lParam) { return Execute(*reinterpret_cast<const Step*>(lParam)) ? 1 : 0; }

    // Window thread, when the window is being destroyed: later steps are dropped.
    void Detach()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_window = nullptr;
        m_hwnd.store(nullptr);
    }

    bool IsAttached() const { return m_hwnd.load() != nullptr; }

    // The native window, for owning message boxes and for posting; null once detached.
    HWND GetHwnd() const { return m_hwnd.load(); }

    // Posts a message to the window from any thread; false when the window is gone.
    bool Post(UINT message, WPARAM wParam, LPARAM lParam)
    {
        HWND hwnd = m_hwnd.load();
        return hwnd && PostMessageW(hwnd, message, wParam, lParam);
    }

private:
    bool Execute(const Step& step)
    {
        Window* window = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            window = m_window;
        }
        // Detach runs on this same thread, so the window cannot go away while the step runs.
        if (!window)
            return false;
        step(*window);
        return true;
    }

    std::mutex m_lock;
    Window* m_window; // not owned: the window object outlives its native window
    std::atomic<HWND> m_hwnd;
};
