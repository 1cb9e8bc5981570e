// A native window whose messages go to a virtual HandleMessage.
#pragma once

#include <windows.h>

namespace SkinUI {

class CWindowWnd {
public:
    CWindowWnd() = default;
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;
    virtual ~CWindowWnd() = default;

    HWND GetHWND() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // Registers the class GetWindowClassName on first use (a superclass when GetSuperClassName names one).
    HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
    // Hides, or shows normally, or shows without activation.
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Runs a message loop until the window is gone; answers the wParam of its WM_CLOSE.
    UINT ShowModal();
    // Posts WM_CLOSE with wParam = code.
    void Close(UINT code = IDOK);
    void CenterWindow();
    void SetIcon(UINT resourceId);
    // -1 keeps a dimension.
    void ResizeClient(int cx = -1, int cy = -1);
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual const wchar_t* GetSuperClassName() const { return nullptr; }
    virtual UINT GetClassStyle() const { return 0; }
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // After the native window is gone.
    virtual void OnFinalMessage(HWND) {}

    HWND hwnd_ = nullptr;

private:
    bool RegisterWindowClass();
    bool RegisterSuperclass();
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    WNDPROC previousProc_ = DefWindowProcW;
};

}  // namespace SkinUI
