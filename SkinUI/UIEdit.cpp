#include "UIEdit.h"

#include <cwchar>

#include "SkinValue.h"
#include "UIButton.h"
#include "UIManager.h"

namespace SkinUI {

// ---- the native edit box

bool CEditWnd::Init()
{
    CManagerUI* manager = owner_->GetManager();
    if (!manager || !manager->GetPaintWindow())
        return false;
    RECT rc = owner_->GetPos();
    const RECT pad = owner_->GetTextPadding();
    rc.left += pad.left;
    rc.top += pad.top;
    rc.right -= pad.right;
    rc.bottom -= pad.bottom;
    // An edit box is as high as its font; centre it in the text area.
    const int fontHeight = manager->GetFontInfo(owner_->GetFont()).metrics.tmHeight;
    if (rc.bottom - rc.top > fontHeight) {
        rc.top += (rc.bottom - rc.top - fontHeight) / 2;
        rc.bottom = rc.top + fontHeight;
    }
    DWORD style = WS_CHILD | ES_AUTOHSCROLL;
    if (owner_->IsPasswordMode())
        style |= ES_PASSWORD;
    if (owner_->IsReadOnly())
        style |= ES_READONLY;
    if (owner_->IsNumberOnly())
        style |= ES_NUMBER;
    if (!Create(manager->GetPaintWindow(), nullptr, style, 0, rc.left, rc.top, rc.right - rc.left,
                rc.bottom - rc.top))
        return false;
    background_.reset(CreateSolidBrush(CUIRender::ToColorRef(owner_->GetNativeBkColor())));
    manager->AddNativeWindow(owner_, hwnd_, [this](UINT msg, WPARAM w, LPARAM l, LRESULT& result) {
        return OnReflected(msg, w, l, result);
    });
    initialising_ = true;
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFont(owner_->GetFont())), TRUE);
    ::SendMessageW(hwnd_, EM_LIMITTEXT, static_cast<WPARAM>(owner_->GetMaxChar()), 0);
    if (owner_->IsPasswordMode())
        ::SendMessageW(hwnd_, EM_SETPASSWORDCHAR, owner_->GetPasswordChar(), 0);
    SetWindowTextW(hwnd_, owner_->GetText().c_str());
    initialising_ = false;
    const int length = GetWindowTextLengthW(hwnd_);
    ::SendMessageW(hwnd_, EM_SETSEL, owner_->IsAutoSelAll() ? 0 : length, length);
    EnableWindow(hwnd_, owner_->IsEnabled());
    ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    ::SetFocus(hwnd_);
    return true;
}

bool CEditWnd::OnReflected(UINT msg, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (msg == WM_COMMAND) {
        if (HIWORD(wParam) != EN_CHANGE || initialising_ || !owner_)
            return false;
        const int length = GetWindowTextLengthW(hwnd_);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        GetWindowTextW(hwnd_, &text[0], length + 1);
        text.resize(static_cast<size_t>(length));
        owner_->OnNativeTextChanged(text);
        return true;
    }
    // WM_CTLCOLOREDIT, or WM_CTLCOLORSTATIC for a read-only box.
    if (!owner_ || !background_)
        return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkColor(dc, CUIRender::ToColorRef(owner_->GetNativeBkColor()));
    ::SetTextColor(dc, CUIRender::ToColorRef(owner_->GetTextColor() ? owner_->GetTextColor() : 0xFF000000));
    result = reinterpret_cast<LRESULT>(background_.get());
    return true;
}

LRESULT CEditWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KILLFOCUS: {
        const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
        PostMessage(WM_CLOSE);
        return result;
    }
    case WM_CHAR:
        if (wParam == VK_RETURN) {
            if (owner_ && owner_->GetManager())
                owner_->GetManager()->SendNotify(owner_, L"return");
            return 0;  // no beep
        }
        break;
    default:
        break;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

void CEditWnd::OnFinalMessage(HWND hwnd)
{
    if (owner_) {
        if (CManagerUI* manager = owner_->GetManager())
            manager->RemoveNativeWindow(hwnd);
        owner_->window_ = nullptr;
        owner_->Invalidate();
    }
    delete this;
}

// ---- the control

CEditUI::CEditUI()
{
    textPadding_ = {4, 3, 4, 3};
    bkColor_ = 0xFFFFFFFF;
}

CEditUI::~CEditUI() { CloseNativeWindow(); }

void CEditUI::CloseNativeWindow()
{
    if (!window_)
        return;
    CEditWnd* window = window_;
    window_ = nullptr;
    if (manager_)
        manager_->RemoveNativeWindow(window->GetHWND());
    window->Detach();
    if (window->GetHWND())
        DestroyWindow(window->GetHWND());  // deletes the object in OnFinalMessage
}

void* CEditUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"Edit") == 0 ? this : CLabelUI::GetInterface(name);
}

UINT CEditUI::GetControlFlags() const { return IsEnabled() ? UIFLAG_TABSTOP | UIFLAG_SETCURSOR : 0; }

HWND CEditUI::GetNativeWindow() const { return window_ ? window_->GetHWND() : nullptr; }

void CEditUI::SetText(const std::wstring& text)
{
    if (text == text_)
        return;
    CLabelUI::SetText(text);
    if (window_ && window_->GetHWND()) {
        window_->initialising_ = true;
        SetWindowTextW(window_->GetHWND(), text_.c_str());
        window_->initialising_ = false;
    }
}

void CEditUI::OnNativeTextChanged(const std::wstring& text)
{
    text_ = text;
    DropEstimate();
    if (manager_)
        manager_->SendNotify(this, L"textchanged");
}

void CEditUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (!IsEnabled())
        state_ = 0;
    if (window_ && window_->GetHWND())
        EnableWindow(window_->GetHWND(), enabled);
}

void CEditUI::SetVisible(bool visible)
{
    CLabelUI::SetVisible(visible);
    if (!IsVisible())
        CloseNativeWindow();
}

void CEditUI::SetReadOnly(bool readOnly)
{
    if (readOnly_ == readOnly)
        return;
    readOnly_ = readOnly;
    if (window_ && window_->GetHWND())
        ::SendMessageW(window_->GetHWND(), EM_SETREADONLY, readOnly, 0);
    Invalidate();
}

void CEditUI::SetPasswordMode(bool password)
{
    password_ = password;
    Invalidate();
}

void CEditUI::SetMaxChar(int maxChar)
{
    maxChar_ = maxChar;
    if (window_ && window_->GetHWND())
        ::SendMessageW(window_->GetHWND(), EM_LIMITTEXT, static_cast<WPARAM>(maxChar_), 0);
}

void CEditUI::DoEvent(UIEvent& event)
{
    const bool mouse = event.type >= UIEVENT_MOUSEMOVE && event.type <= UIEVENT_SCROLLWHEEL;
    if (mouse && !IsMouseEnabled()) {
        if (parent_)
            parent_->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }
    const bool inside = PtInRect(&item_, event.mouse) != FALSE;
    switch (event.type) {
    case UIEVENT_SETCURSOR:
        ::SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
        return;
    case UIEVENT_WINDOWSIZE:
        return;
    case UIEVENT_SETFOCUS:
        CLabelUI::DoEvent(event);
        if (IsEnabled() && !window_) {
            window_ = new CEditWnd(this);
            if (!window_->Init()) {
                delete window_;
                window_ = nullptr;
            }
        }
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        CLabelUI::DoEvent(event);
        Invalidate();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (inside && IsEnabled() && manager_) {
            manager_->ReleaseCapture();
            if (HWND box = GetNativeWindow()) {
                // The click lands in the box at the same place.
                POINT pt = event.mouse;
                MapWindowPoints(manager_->GetPaintWindow(), box, &pt, 1);
                ::SendMessageW(box, WM_LBUTTONDOWN, event.wParam, MAKELPARAM(pt.x, pt.y));
            }
        }
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) {
            state_ |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        if (IsEnabled()) {
            state_ &= ~UISTATE_HOT;
            Invalidate();
        }
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"readonly")
        SetReadOnly(ParseBool(v));
    else if (name == L"numberonly")
        numberOnly_ = ParseBool(v);
    else if (name == L"password")
        SetPasswordMode(ParseBool(v));
    else if (name == L"autoselall")
        autoSelAll_ = ParseBool(v);
    else if (name == L"maxchar")
        SetMaxChar(ParseInt(v));
    else if (name == L"normalimage")
        normalImage_.SetText(value);
    else if (name == L"hotimage")
        hotImage_.SetText(value);
    else if (name == L"focusedimage")
        focusedImage_.SetText(value);
    else if (name == L"disabledimage")
        disabledImage_.SetText(value);
    else if (name == L"nativebkcolor")
        nativeBkColor_ = ParseColor(v);
    else
        CLabelUI::SetAttribute(name, value);
}

SIZE CEditUI::EstimateSize(SIZE)
{
    if (fixedHeight_ > 0)
        return {fixedWidth_, fixedHeight_};
    const int fontHeight = manager_ ? static_cast<int>(manager_->GetFontInfo(font_).metrics.tmHeight) : 0;
    return {fixedWidth_, fontHeight + 8};
}

void CEditUI::PaintStatusImage(HDC dc)
{
    CImageDescriptor* image = &normalImage_;
    if (!IsEnabled())
        image = &disabledImage_;
    else if (IsFocused())
        image = &focusedImage_;
    else if (state_ & UISTATE_HOT)
        image = &hotImage_;
    if (image != &normalImage_ && !image->IsEmpty() && DrawImage(dc, *image))
        return;
    DrawImage(dc, normalImage_);
}

void CEditUI::PaintText(HDC dc)
{
    if (text_.empty())
        return;
    const std::wstring shown = password_ ? std::wstring(text_.size(), passwordChar_) : text_;
    RECT rc = item_;
    rc.left += textPadding_.left;
    rc.top += textPadding_.top;
    rc.right -= textPadding_.right;
    rc.bottom -= textPadding_.bottom;
    CUIRender::DrawText(dc, manager_, rc, shown, CLabelUI::GetPaintTextColor(), font_,
                        (textStyle_ & ~DT_WORDBREAK) | DT_SINGLELINE);
}

}  // namespace SkinUI
