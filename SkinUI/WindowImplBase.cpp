#include "WindowImplBase.h"

#include <windowsx.h>

#include <cwchar>
#include <vector>

#include "MarkupBuilder.h"
#include "SkinResources.h"
#include "SkinValue.h"
#include "UIControl.h"

namespace SkinUI {

WindowImplBase::WindowImplBase()
{
    AddMessageMap({{L"click", L"", [this](NotifyMsg& msg) { OnClick(msg); }, nullptr}});
}

WindowImplBase::~WindowImplBase() = default;

void WindowImplBase::OnClick(NotifyMsg& msg)
{
    const std::wstring& name = msg.sender ? msg.sender->GetName() : std::wstring();
    if (name == L"closebtn")
        Close(1);
    else if (name == L"minbtn")
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn")
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn")
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

LRESULT WindowImplBase::OnDefaultKey(WPARAM key, bool& handled)
{
    if (key == VK_ESCAPE) {
        Close(1);
        handled = true;
        return 0;
    }
    handled = false;  // Return reaches the focused control
    return 0;
}

void WindowImplBase::Notify(NotifyMsg& msg) { NotifyPump(msg); }

LRESULT WindowImplBase::MessageHandler(UINT msg, WPARAM wParam, LPARAM, bool& handled)
{
    if (msg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE))
        return OnDefaultKey(wParam, handled);
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    if (IsIconic(hwnd_)) {
        handled = false;
        return 0;
    }
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    RECT* rc = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
    if (IsZoomed(hwnd_)) {
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &mi);
        rc->right = rc->left + (mi.rcWork.right - mi.rcWork.left);
        rc->bottom = rc->top + (mi.rcWork.bottom - mi.rcWork.top);
    }
    return 0;  // the whole window is client area
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool&) { return 0; }

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&)
{
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd_, &pt);
    RECT client;
    GetClientRect(hwnd_, &client);
    if (!IsZoomed(hwnd_)) {
        const RECT& box = manager_.GetSizeBox();
        const bool left = pt.x < client.left + box.left, right = pt.x >= client.right - box.right;
        if (pt.y < client.top + box.top)
            return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
        if (pt.y >= client.bottom - box.bottom)
            return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
        if (left)
            return HTLEFT;
        if (right)
            return HTRIGHT;
    }
    const RECT& caption = manager_.GetCaptionRect();
    if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
        pt.y < caption.bottom) {
        const CControlUI* control = manager_.FindControl(pt);
        if (control && !EqualsNoCase(control->GetClass(), L"Button") &&
            !EqualsNoCase(control->GetClass(), L"Option") && !EqualsNoCase(control->GetClass(), L"Text"))
            return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &mi);
    info->ptMaxPosition = {mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
    info->ptMaxSize = {mi.rcWork.right - mi.rcWork.left, mi.rcWork.bottom - mi.rcWork.top};
    const SIZE min = manager_.GetMinInfo();
    if (min.cx > 0)
        info->ptMinTrackSize.x = min.cx;
    if (min.cy > 0)
        info->ptMinTrackSize.y = min.cy;
    const SIZE max = manager_.GetMaxInfo();
    if (max.cx > 0)
        info->ptMaxTrackSize.x = max.cx;
    if (max.cy > 0)
        info->ptMaxTrackSize.y = max.cy;
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }
LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& handled) { return handled = false, 0; }

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, bool& handled)
{
    const SIZE corner = manager_.GetRoundCorner();
    if ((corner.cx || corner.cy) && !IsIconic(hwnd_)) {
        RECT rc;
        GetWindowRect(hwnd_, &rc);
        OffsetRect(&rc, -rc.left, -rc.top);
        // The system owns the region once it is set.
        HRGN region = CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, corner.cx, corner.cy);
        SetWindowRgn(hwnd_, region, TRUE);
    }
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool&)
{
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        PostMessage(WM_CLOSE, 0, 0);
        return 0;
    }
    const bool zoomed = IsZoomed(hwnd_) != FALSE;
    const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
    if (zoomed != (IsZoomed(hwnd_) != FALSE)) {
        CControlUI* maxbtn = FindControl(L"maxbtn");
        CControlUI* restorebtn = FindControl(L"restorebtn");
        if (maxbtn && restorebtn) {
            maxbtn->SetVisible(zoomed);
            restorebtn->SetVisible(!zoomed);
        }
    }
    return result;
}

LONG WindowImplBase::GetStyle() { return GetWindowLongW(hwnd_, GWL_STYLE) & ~WS_CAPTION; }

bool WindowImplBase::OpenSkinSource()
{
    switch (GetResourceType()) {
    case kSkin_ZipFile:
        OpenResourceArchiveFile(GetArchiveFileName());  // a broken archive is reported by the markup read
        return true;
    case kSkin_ZipResource: {
        if (GetResourceZipName() == L"membuffer")
            return true;
        std::vector<uint8_t> bytes;
        if (!ReadModuleResource(GetResourceID(), L"ZIPRES", bytes))
            return false;
        // One copy for the life of the process: the archive reads from it whenever a file is needed.
        static std::vector<uint8_t>* const archive = new std::vector<uint8_t>(std::move(bytes));
        return OpenResourceArchive(archive->data(), archive->size());
    }
    default:
        return true;
    }
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&)
{
    const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
    SetWindowLongW(hwnd_, GWL_STYLE, (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    SetWindowPos(hwnd_, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
    manager_.Init(hwnd_);
    manager_.AddPreMessageFilter(this);
    if (GetResourcePath().empty())
        SetResourcePath(GetInstancePath() + GetSkinFolder());
    if (OpenSkinSource()) {
        CMarkupBuilder builder;
        const int type = GetResourceType();
        CControlUI* root = builder.Build(GetSkinFile(), type == kSkin_Resource ? L"xml" : nullptr, this, &manager_);
        if (!root) {
            MessageBoxW(nullptr, L"加载资源文件失败", L"SkinUI", MB_OK | MB_ICONERROR);
            ExitProcess(1);
        }
        manager_.AttachDialog(root);
    }
    manager_.AddNotifier(this);
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = true;
    switch (msg) {
    case WM_CREATE: result = OnCreate(msg, wParam, lParam, handled); break;
    case WM_CLOSE: result = OnClose(msg, wParam, lParam, handled); break;
    case WM_DESTROY: result = OnDestroy(msg, wParam, lParam, handled); break;
    case WM_NCACTIVATE: result = OnNcActivate(msg, wParam, lParam, handled); break;
    case WM_NCCALCSIZE: result = OnNcCalcSize(msg, wParam, lParam, handled); break;
    case WM_NCPAINT: result = OnNcPaint(msg, wParam, lParam, handled); break;
    case WM_NCHITTEST: result = OnNcHitTest(msg, wParam, lParam, handled); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(msg, wParam, lParam, handled); break;
    case WM_MOUSEWHEEL: result = OnMouseWheel(msg, wParam, lParam, handled); break;
    case WM_MOUSEHOVER: result = OnMouseHover(msg, wParam, lParam, handled); break;
    case WM_SIZE: result = OnSize(msg, wParam, lParam, handled); break;
    case WM_CHAR: result = OnChar(msg, wParam, lParam, handled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(msg, wParam, lParam, handled); break;
    case WM_KEYDOWN: result = OnKeyDown(msg, wParam, lParam, handled); break;
    case WM_KILLFOCUS: result = OnKillFocus(msg, wParam, lParam, handled); break;
    case WM_SETFOCUS: result = OnSetFocus(msg, wParam, lParam, handled); break;
    case WM_LBUTTONDOWN: result = OnLButtonDown(msg, wParam, lParam, handled); break;
    case WM_LBUTTONUP: result = OnLButtonUp(msg, wParam, lParam, handled); break;
    case WM_MOUSEMOVE: result = OnMouseMove(msg, wParam, lParam, handled); break;
    default: handled = false; break;
    }
    if (handled)
        return result;
    handled = true;
    result = HandleCustomMessage(msg, wParam, lParam, handled);
    if (handled)
        return result;
    if (manager_.MessageHandler(msg, wParam, lParam, result))
        return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

void WindowImplBase::OnFinalMessage(HWND)
{
    manager_.RemovePreMessageFilter(this);
    manager_.RemoveNotifier(this);
}

}  // namespace SkinUI
