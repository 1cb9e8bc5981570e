// A 650 by 360 window that paints a known picture: a white client area with a teal block in its middle.
// It closes itself after 60 seconds so a broken test run cannot leave it behind.
#include <windows.h>

namespace {

constexpr UINT_PTR kGiveUpTimer = 1;
constexpr COLORREF kTeal = RGB(0x05, 0xD4, 0xBE);

LRESULT CALLBACK SmokeWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        RECT block = {client.right / 4, client.bottom / 4, client.right * 3 / 4, client.bottom * 3 / 4};
        HBRUSH teal = CreateSolidBrush(kTeal);
        FillRect(dc, &block, teal);
        DeleteObject(teal);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"GUI smoke test", -1, &client, DT_CENTER | DT_TOP | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kGiveUpTimer)
            PostQuitMessage(3);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = SmokeWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = L"QvGuiSmoke";
    if (!RegisterClassW(&wc))
        return 2;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"QV GUI smoke", WS_POPUP | WS_VISIBLE, 100, 100, 650, 360,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 2;
    SetTimer(hwnd, kGiveUpTimer, 60000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
