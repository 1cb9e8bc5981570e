#include "WindowWnd.h"

#include <algorithm>
#include <map>
#include <string>

#include "SkinResources.h"
#include "UIManager.h"

namespace SkinUI {

namespace {

// The window procedure each superclass replaced, by class name.
std::map<std::wstring, WNDPROC>& SuperProcs()
{
    static std::map<std::wstring, WNDPROC> procs;
    return procs;
}

int RoundUp16(int v) { return (v + 15) / 16 * 16; }

}  // namespace

bool CWindowWnd::RegisterWindowClass()
{
    WNDCLASSW wc{};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass()
{
    auto& procs = SuperProcs();
    const std::wstring name = GetWindowClassName();
    if (const auto it = procs.find(name); it != procs.end()) {
        previousProc_ = it->second;
        return true;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
        !GetClassInfoExW(GetInstance(), GetSuperClassName(), &wc))
        return false;
    previousProc_ = wc.lpfnWndProc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetInstance();
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    procs[name] = previousProc_;
    return true;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                        HMENU menu)
{
    const bool registered = GetSuperClassName() ? RegisterSuperclass() : RegisterWindowClass();
    if (!registered)
        return nullptr;
    hwnd_ = CreateWindowExW(exStyle, GetWindowClassName(), title, style, x, y, cx, cy, parent, menu, GetInstance(),
                            this);
    return hwnd_;
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<CWindowWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        const LRESULT result = CallWindowProcW(self->previousProc_, hwnd, msg, wParam, lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnFinalMessage(hwnd);
        return result;
    }
    return self->HandleMessage(msg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcW(previousProc_, hwnd_, msg, wParam, lParam);
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus)
{
    if (hwnd_)
        ::ShowWindow(hwnd_, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal()
{
    if (!hwnd_)
        return 0;
    const HWND window = hwnd_;
    HWND owner = GetWindow(window, GW_OWNER);
    ::ShowWindow(window, SW_SHOWNORMAL);
    if (owner)
        EnableWindow(owner, FALSE);
    UINT result = 0;
    MSG msg{};
    bool quit = false;
    while (IsWindow(window)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            quit = got == 0;
            break;
        }
        if (msg.message == WM_CLOSE && msg.hwnd == window) {
            result = static_cast<UINT>(msg.wParam);
            if (owner) {
                EnableWindow(owner, TRUE);
                ::SetFocus(owner);
            }
        }
        if (!CManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (owner) {
        EnableWindow(owner, TRUE);
        ::SetFocus(owner);
    }
    if (quit)
        PostQuitMessage(static_cast<int>(msg.wParam));
    return result;
}

void CWindowWnd::Close(UINT code)
{
    if (hwnd_ && IsWindow(hwnd_))
        ::PostMessageW(hwnd_, WM_CLOSE, code, 0);
}

void CWindowWnd::CenterWindow()
{
    if (!hwnd_)
        return;
    RECT window;
    GetWindowRect(hwnd_, &window);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT work = mi.rcWork;
    RECT center = work;
    const HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner && !IsIconic(owner))
        GetWindowRect(owner, &center);
    const int w = window.right - window.left, h = window.bottom - window.top;
    int x = (center.left + center.right) / 2 - w / 2;
    int y = (center.top + center.bottom) / 2 - h / 2;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right - w)));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom - h)));
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT resourceId)
{
    if (!hwnd_)
        return;
    const int big = RoundUp16(GetSystemMetrics(SM_CXICON));
    const int small = RoundUp16(GetSystemMetrics(SM_CXSMICON));
    auto load = [resourceId](int size) {
        return static_cast<HICON>(
            LoadImageW(GetInstance(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    };
    // The icons are shared with the window for its lifetime (not freed: the window may use them to the end).
    if (HICON icon = load(big))
        ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (HICON icon = load(small))
        ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void CWindowWnd::ResizeClient(int cx, int cy)
{
    if (!hwnd_)
        return;
    RECT client, window;
    GetClientRect(hwnd_, &client);
    GetWindowRect(hwnd_, &window);
    // The frame is whatever the window's own non-client handling makes of it.
    const int frameX = (window.right - window.left) - client.right;
    const int frameY = (window.bottom - window.top) - client.bottom;
    const int w = (cx == -1 ? client.right : cx) + frameX;
    const int h = (cy == -1 ? client.bottom : cy) + frameY;
    SetWindowPos(hwnd_, nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(hwnd_, msg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageW(hwnd_, msg, wParam, lParam);
}

}  // namespace SkinUI
