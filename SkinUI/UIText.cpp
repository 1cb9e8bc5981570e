#include "UIText.h"

#include <cwchar>

#include "UIManager.h"

namespace SkinUI {

CTextUI::CTextUI()
{
    textStyle_ = DT_LEFT | DT_TOP | DT_WORDBREAK;
    textPadding_ = {2, 0, 2, 0};
}

void* CTextUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"Text") == 0 ? this : CLabelUI::GetInterface(name);
}

UINT CTextUI::GetControlFlags() const { return IsEnabled() && !links_.empty() ? UIFLAG_SETCURSOR : 0; }

int CTextUI::LinkAt(POINT pt) const
{
    for (size_t i = 0; i < links_.size(); ++i)
        if (PtInRect(&links_[i].rect, pt))
            return static_cast<int>(i);
    return -1;
}

void CTextUI::DoEvent(UIEvent& event)
{
    if (!IsMouseEnabled() && event.type >= UIEVENT_MOUSEMOVE && event.type <= UIEVENT_SCROLLWHEEL) {
        if (parent_)
            parent_->DoEvent(event);
        return;
    }
    switch (event.type) {
    case UIEVENT_SETCURSOR:
        if (LinkAt(event.mouse) >= 0) {
            ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return;
        }
        break;
    case UIEVENT_BUTTONUP:
        if (IsEnabled()) {
            const int link = LinkAt(event.mouse);
            if (link >= 0 && manager_) {
                manager_->SendNotify(this, L"link", static_cast<WPARAM>(link));
                return;
            }
        }
        break;
    case UIEVENT_MOUSEMOVE: {
        const int link = LinkAt(event.mouse);
        if (link != hoverLink_) {
            hoverLink_ = link;
            Invalidate();
        }
        break;
    }
    case UIEVENT_MOUSELEAVE:
        if (hoverLink_ >= 0) {
            hoverLink_ = -1;
            Invalidate();
        }
        break;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CTextUI::PaintText(HDC dc)
{
    links_.clear();
    if (text_.empty())
        return;
    DrawTextIn(dc, text_, GetPaintTextColor(), showHtml_ ? &links_ : nullptr, hoverLink_);
    if (links_.size() > kMaxLinks)
        links_.resize(kMaxLinks);
}

}  // namespace SkinUI
