// Helpers of the framework's window tests: paths under wine, a test window, message pumping, screenshots.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "SkinUI/UIControl.h"
#include "SkinUI/WindowImplBase.h"

namespace skintest {

// "/work/main" from the environment becomes "Z:\work\main\" (wine maps Z: to the root).
inline std::wstring HostFolder(const char* variable)
{
    const char* value = std::getenv(variable);
    std::wstring path = L"Z:";
    for (const char* p = value ? value : ""; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    if (path.back() != L'\\')
        path += L'\\';
    return path;
}

inline std::wstring SkinFolder() { return HostFolder("QV_SOURCE_DIR") + L"res\\skin\\"; }
inline std::wstring ArtefactFolder()
{
    const std::wstring folder = HostFolder("QV_BINARY_DIR") + L"artefacts\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Dispatches what is queued (through the framework's translation) for about ms milliseconds.
inline void Pump(DWORD ms = 50)
{
    const DWORD end = GetTickCount() + ms;
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!SkinUI::CManagerUI::TranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        Sleep(5);
    } while (GetTickCount() < end);
}

class TestWindow : public SkinUI::WindowImplBase {
public:
    explicit TestWindow(std::wstring skinFile) : skinFile_(std::move(skinFile)) {}

    bool Open(bool visible = true)
    {
        if (!Create(nullptr, L"SkinUI test", WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 40, 40, 300, 200))
            return false;
        UpdateWindow(hwnd_);
        Pump();
        return true;
    }

    SkinUI::CControlUI* Find(const wchar_t* name) { return manager_.FindControl(name); }
    template <typename T>
    T* Find(const wchar_t* name)
    {
        return static_cast<T*>(manager_.FindControl(name));
    }

    // Notifications seen, as "type:sender".
    std::vector<std::wstring> notes;
    std::vector<UINT> closeCodes;

    void Notify(SkinUI::NotifyMsg& msg) override
    {
        notes.push_back(msg.type + L":" + (msg.sender ? msg.sender->GetName() : std::wstring()));
        WindowImplBase::Notify(msg);
    }
    // Close requests are recorded; the window stays until the test destroys it.
    LRESULT OnClose(UINT, WPARAM wParam, LPARAM, bool& handled) override
    {
        closeCodes.push_back(static_cast<UINT>(wParam));
        handled = true;
        return 0;
    }
    ~TestWindow() override
    {
        if (hwnd_)
            DestroyWindow(hwnd_);
    }

    // Client coordinates to the lParam of a mouse message.
    static LPARAM At(int x, int y) { return MAKELPARAM(x, y); }
    static POINT Centre(SkinUI::CControlUI* c)
    {
        const RECT& r = c->GetPos();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void Mouse(UINT msg, POINT pt, WPARAM keys = 0) { SendMessage(msg, keys, At(pt.x, pt.y)); }

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinUITestWindow"; }
    std::wstring GetSkinFolder() override { return L""; }
    std::wstring GetSkinFile() override { return skinFile_; }

private:
    std::wstring skinFile_;
};

// The window's client area as it is on screen, as 0xAARRGGBB pixels.
struct Capture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] | 0xFF000000u; }
};

inline Capture CaptureWindow(HWND hwnd)
{
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Pump(100);
    RECT rc;
    GetClientRect(hwnd, &rc);
    Capture c;
    c.width = rc.right;
    c.height = rc.bottom;
    c.pixels.resize(static_cast<size_t>(c.width) * c.height);
    HDC window = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(window);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = c.width;
    bi.bmiHeader.biHeight = -c.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(window, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, c.width, c.height, window, 0, 0, SRCCOPY);
    GdiFlush();
    memcpy(c.pixels.data(), bits, c.pixels.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, window);
    return c;
}

// Writes the capture as a PNG under the artefacts folder; answers the path.
std::wstring SavePng(const Capture& c, const std::wstring& name);

}  // namespace skintest
