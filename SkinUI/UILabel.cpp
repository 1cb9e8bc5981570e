#include "UILabel.h"

#include <cwchar>

#include "SkinValue.h"
#include "UIManager.h"

namespace SkinUI {

CLabelUI::CLabelUI() = default;

void* CLabelUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"Label") == 0 ? this : CControlUI::GetInterface(name);
}

void CLabelUI::SetText(const std::wstring& text)
{
    if (text == text_)
        return;
    DropEstimate();
    CControlUI::SetText(text);
}

void CLabelUI::SetFont(int id)
{
    font_ = id;
    DropEstimate();
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style)
{
    textStyle_ = style;
    DropEstimate();
    Invalidate();
}

void CLabelUI::SetTextColor(uint32_t color)
{
    textColor_ = color;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(uint32_t color)
{
    disabledTextColor_ = color;
    Invalidate();
}

void CLabelUI::SetTextPadding(RECT padding)
{
    textPadding_ = padding;
    DropEstimate();
    Invalidate();
}

void CLabelUI::SetShowHtml(bool show)
{
    showHtml_ = show;
    DropEstimate();
    Invalidate();
}

void CLabelUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"align") {
        // Tested in this order; a later match wins.
        UINT style = textStyle_;
        if (value.find(L"left") != std::wstring::npos)
            style = (style & ~(DT_CENTER | DT_RIGHT)) | DT_LEFT;
        if (value.find(L"center") != std::wstring::npos)
            style = (style & ~(DT_LEFT | DT_RIGHT)) | DT_CENTER;
        if (value.find(L"right") != std::wstring::npos)
            style = (style & ~(DT_LEFT | DT_CENTER)) | DT_RIGHT;
        SetTextStyle(style);
    } else if (name == L"valign") {
        UINT style = textStyle_;
        if (value.find(L"top") != std::wstring::npos)
            style = (style & ~(DT_BOTTOM | DT_VCENTER)) | DT_TOP;
        if (value.find(L"vcenter") != std::wstring::npos)
            style = (style & ~(DT_TOP | DT_BOTTOM)) | DT_VCENTER;
        if (value.find(L"bottom") != std::wstring::npos)
            style = (style & ~(DT_TOP | DT_VCENTER)) | DT_BOTTOM;
        SetTextStyle(style);
    } else if (name == L"endellipsis") {
        SetTextStyle(ParseBool(v) ? textStyle_ | DT_END_ELLIPSIS : textStyle_ & ~DT_END_ELLIPSIS);
    } else if (name == L"font") {
        SetFont(ParseInt(v));
    } else if (name == L"textcolor") {
        SetTextColor(ParseColor(v));
    } else if (name == L"disabledtextcolor") {
        SetDisabledTextColor(ParseColor(v));
    } else if (name == L"textpadding") {
        const RectValue r = ParseRect(v);
        SetTextPadding({r.left, r.top, r.right, r.bottom});
    } else if (name == L"multiline") {
        SetTextStyle(ParseBool(v) ? (textStyle_ & ~DT_SINGLELINE) | DT_WORDBREAK
                                  : (textStyle_ & ~DT_WORDBREAK) | DT_SINGLELINE);
    } else if (name == L"showhtml") {
        SetShowHtml(ParseBool(v));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

SIZE CLabelUI::MeasureText(int width)
{
    RECT rc{0, 0, width, 9999};
    if (!manager_ || text_.empty())
        return {0, 0};
    HDC dc = manager_->GetPaintDC();
    const std::wstring text = CUIRender::ReplaceLanguageTokens(manager_, text_);
    const UINT style = (textStyle_ & (DT_SINGLELINE | DT_WORDBREAK)) | DT_CALCRECT;
    if (showHtml_)
        CUIRender::DrawMarkupText(dc, manager_, rc, text, 0, font_, style);
    else
        CUIRender::DrawText(dc, manager_, rc, text, 0, font_, style);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

SIZE CLabelUI::EstimateSize(SIZE available)
{
    if (fixedWidth_ > 0 && fixedHeight_ > 0)
        return {fixedWidth_, fixedHeight_};
    const bool wrapped = !(textStyle_ & DT_SINGLELINE);
    if (estimateValid_ && (!wrapped || (estimateFor_.cx == available.cx && estimateFor_.cy == available.cy)))
        return estimate_;
    const int fontHeight = manager_ ? static_cast<int>(manager_->GetFontInfo(font_).metrics.tmHeight) : 0;
    SIZE size{fixedWidth_, fixedHeight_};
    if (!wrapped) {
        if (size.cx == 0)
            size.cx = MeasureText(9999).cx + textPadding_.left + textPadding_.right;
        if (size.cy == 0)
            size.cy = textPadding_.top + fontHeight + textPadding_.bottom + 8;
    } else {
        if (size.cx == 0)
            size.cx = available.cx;
        const int inner = size.cx - textPadding_.left - textPadding_.right;
        size.cy = MeasureText(inner > 0 ? inner : 0).cy + textPadding_.top + textPadding_.bottom;
        if (fixedHeight_ > 0)
            size.cy = fixedHeight_;
    }
    estimate_ = size;
    estimateFor_ = available;
    estimateValid_ = true;
    return size;
}

uint32_t CLabelUI::GetPaintTextColor() const
{
    if (!IsEnabled())
        return disabledTextColor_ ? disabledTextColor_ : manager_ ? manager_->GetDefaultDisabledColor() : 0;
    return textColor_ ? textColor_ : manager_ ? manager_->GetDefaultFontColor() : 0;
}

void CLabelUI::DrawTextIn(HDC dc, const std::wstring& text, uint32_t color, std::vector<MarkupLink>* links,
                          int hover)
{
    RECT rc = item_;
    rc.left += textPadding_.left;
    rc.top += textPadding_.top;
    rc.right -= textPadding_.right;
    rc.bottom -= textPadding_.bottom;
    const std::wstring shown = CUIRender::ReplaceLanguageTokens(manager_, text);
    if (showHtml_)
        CUIRender::DrawMarkupText(dc, manager_, rc, shown, color, font_, textStyle_, links, hover);
    else
        CUIRender::DrawText(dc, manager_, rc, shown, color, font_, textStyle_);
}

void CLabelUI::PaintText(HDC dc)
{
    if (text_.empty())
        return;
    DrawTextIn(dc, text_, GetPaintTextColor());
}

}  // namespace SkinUI
