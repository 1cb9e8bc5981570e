#include "UIButton.h"

#include <cwchar>

#include "SkinValue.h"
#include "UIManager.h"

namespace SkinUI {

CButtonUI::CButtonUI() { textStyle_ = DT_CENTER | DT_VCENTER | DT_SINGLELINE; }

void* CButtonUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"Button") == 0 ? this : CLabelUI::GetInterface(name);
}

UINT CButtonUI::GetControlFlags() const
{
    return (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0) | (IsEnabled() ? UIFLAG_SETCURSOR : 0);
}

bool CButtonUI::Activate()
{
    if (!CLabelUI::Activate())
        return false;
    if (manager_)
        manager_->SendNotify(this, L"click");
    return true;
}

void CButtonUI::SetEnabled(bool enabled)
{
    if (enabled == IsEnabled())
        return;
    CLabelUI::SetEnabled(enabled);
    if (!enabled)
        state_ &= UISTATE_SELECTED;  // a disabled button is neither hot nor pushed
}

void CButtonUI::DoEvent(UIEvent& event)
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
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        CLabelUI::DoEvent(event);
        Invalidate();
        return;
    case UIEVENT_KEYDOWN:
        if (IsKeyboardEnabled() && IsEnabled() && (event.key == VK_SPACE || event.key == VK_RETURN)) {
            Activate();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (inside && IsEnabled()) {
            state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (state_ & UISTATE_CAPTURED) {
            const UINT pushed = inside ? UISTATE_PUSHED : 0;
            if ((state_ & UISTATE_PUSHED) != pushed) {
                state_ = (state_ & ~UISTATE_PUSHED) | pushed;
                Invalidate();
            }
        }
        return;
    case UIEVENT_BUTTONUP:
        if (state_ & UISTATE_CAPTURED) {
            state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (inside && IsEnabled())
                Activate();
        }
        return;
    case UIEVENT_MOUSEENTER:
        if (inside && IsEnabled() && !(state_ & UISTATE_HOT)) {
            state_ |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        // A leave onto a child of the button keeps it hot.
        if (!inside && (state_ & UISTATE_HOT)) {
            state_ &= ~UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_SETCURSOR:
        ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::SetImage(CImageDescriptor& image, const std::wstring& descriptor)
{
    image.SetText(descriptor);
    Invalidate();
}

void CButtonUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"normalimage")
        SetImage(normalImage_, value);
    else if (name == L"hotimage")
        SetImage(hotImage_, value);
    else if (name == L"pushedimage")
        SetImage(pushedImage_, value);
    else if (name == L"focusedimage")
        SetImage(focusedImage_, value);
    else if (name == L"disabledimage")
        SetImage(disabledImage_, value);
    else if (name == L"foreimage")
        SetImage(foreImage_, value);
    else if (name == L"hotforeimage")
        SetImage(hotForeImage_, value);
    else if (name == L"hotbkcolor")
        hotBkColor_ = ParseColor(v);
    else if (name == L"hottextcolor")
        hotTextColor_ = ParseColor(v);
    else if (name == L"pushedtextcolor")
        pushedTextColor_ = ParseColor(v);
    else if (name == L"focusedtextcolor")
        focusedTextColor_ = ParseColor(v);
    else
        CLabelUI::SetAttribute(name, value);
}

SIZE CButtonUI::EstimateSize(SIZE)
{
    if (fixedHeight_ > 0)
        return {fixedWidth_, fixedHeight_};
    const int fontHeight = manager_ ? static_cast<int>(manager_->GetFontInfo(font_).metrics.tmHeight) : 0;
    return {fixedWidth_, fontHeight + 8};
}

void CButtonUI::UpdateStateBits()
{
    state_ = IsFocused() ? state_ | UISTATE_FOCUSED : state_ & ~UISTATE_FOCUSED;
    state_ = !IsEnabled() ? state_ | UISTATE_DISABLED : state_ & ~UISTATE_DISABLED;
}

void CButtonUI::PaintButtonImages(HDC dc, bool ignorePushed)
{
    if (state_ & UISTATE_DISABLED) {
        if (!DrawImage(dc, disabledImage_))
            DrawImage(dc, normalImage_);
    } else if ((state_ & UISTATE_PUSHED) && !ignorePushed) {
        if (!DrawImage(dc, pushedImage_))
            DrawImage(dc, normalImage_);
    } else if (state_ & UISTATE_HOT) {
        if (!DrawImage(dc, hotImage_)) {
            CUIRender::DrawColor(dc, item_, hotBkColor_);
            DrawImage(dc, normalImage_);
        }
        DrawImage(dc, hotForeImage_);
    } else if ((state_ & UISTATE_FOCUSED) && !focusedImage_.IsEmpty()) {
        if (!DrawImage(dc, focusedImage_))
            DrawImage(dc, normalImage_);
    } else {
        DrawImage(dc, normalImage_);
    }
    DrawImage(dc, foreImage_);
}

void CButtonUI::PaintStatusImage(HDC dc)
{
    UpdateStateBits();
    PaintButtonImages(dc, false);
}

uint32_t CButtonUI::ButtonTextColor(bool ignorePushed) const
{
    uint32_t color = CLabelUI::GetPaintTextColor();
    if (!IsEnabled())
        return color;
    if ((state_ & UISTATE_PUSHED) && !ignorePushed && pushedTextColor_)
        return pushedTextColor_;
    if ((state_ & UISTATE_HOT) && hotTextColor_)
        return hotTextColor_;
    if ((state_ & UISTATE_FOCUSED) && focusedTextColor_)
        return focusedTextColor_;
    return color;
}

uint32_t CButtonUI::GetPaintTextColor() const { return ButtonTextColor(false); }

}  // namespace SkinUI
