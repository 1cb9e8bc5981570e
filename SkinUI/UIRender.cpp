#include "UIRender.h"

#include <algorithm>

#include "Handles.h"
#include "UIManager.h"

namespace SkinUI {

namespace {

void Blit(HDC dc, const RECT& dst, HDC src, const RECT& from, bool blend, BYTE fade)
{
    const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    const int sw = from.right - from.left, sh = from.bottom - from.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return;
    if (blend) {
        const BLENDFUNCTION bf{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
        AlphaBlend(dc, dst.left, dst.top, dw, dh, src, from.left, from.top, sw, sh, bf);
    } else if (dw == sw && dh == sh) {
        BitBlt(dc, dst.left, dst.top, dw, dh, src, from.left, from.top, SRCCOPY);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, dst.left, dst.top, dw, dh, src, from.left, from.top, sw, sh, SRCCOPY);
    }
}

// Repeats from over dst along the tiled axes, stretching along the others.
void Tile(HDC dc, const RECT& dst, HDC src, const RECT& from, bool blend, BYTE fade, bool xtiled, bool ytiled)
{
    const int sw = from.right - from.left, sh = from.bottom - from.top;
    if (sw <= 0 || sh <= 0)
        return;
    DcStateGuard state(dc);
    IntersectClipRect(dc, dst.left, dst.top, dst.right, dst.bottom);
    const int stepX = xtiled ? sw : dst.right - dst.left;
    const int stepY = ytiled ? sh : dst.bottom - dst.top;
    if (stepX <= 0 || stepY <= 0)
        return;
    for (int y = dst.top; y < dst.bottom; y += stepY)
        for (int x = dst.left; x < dst.right; x += stepX)
            Blit(dc, {x, y, x + stepX, y + stepY}, src, from, blend, fade);
}

}  // namespace

void CUIRender::DrawColor(HDC dc, const RECT& rc, uint32_t color)
{
    const BYTE alpha = static_cast<BYTE>(color >> 24);
    if (alpha == 0 || IsRectEmpty(&rc))
        return;
    if (alpha == 0xFF) {
        UniqueBrush brush(CreateSolidBrush(ToColorRef(color)));
        FillRect(dc, &rc, brush.get());
        return;
    }
    const auto pixel = CreateColorImage(color | 0xFF000000);
    if (!pixel)
        return;
    UniqueMemoryDC memory(CreateCompatibleDC(dc));
    SelectGuard select(memory.get(), pixel->bitmap.get());
    const BLENDFUNCTION bf{AC_SRC_OVER, 0, alpha, 0};
    AlphaBlend(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memory.get(), 0, 0, 1, 1, bf);
}

bool CUIRender::DrawImage(HDC dc, CManagerUI* manager, const RECT& item, const RECT& paint,
                          CImageDescriptor& image, const RECT* dest)
{
    const ImageInfo* info = image.Resolve(manager);
    if (!info)
        return false;
    const ImageDescriptorItems& d = image.Items();
    RECT to = item;
    if (dest || d.hasDest) {
        const RECT rel = dest ? *dest : RECT{d.dest.left, d.dest.top, d.dest.right, d.dest.bottom};
        to = {item.left + rel.left, item.top + rel.top, item.left + rel.right, item.top + rel.bottom};
        to.right = std::min(to.right, item.right);
        to.bottom = std::min(to.bottom, item.bottom);
    }
    RECT visible;
    if (!IntersectRect(&visible, &to, &item) || !IntersectRect(&visible, &visible, &paint))
        return true;  // the image is there; it just does not show here
    RECT from{0, 0, info->width, info->height};
    if (d.hasSource) {
        from = {d.source.left, d.source.top, std::min(d.source.right, info->width),
                std::min(d.source.bottom, info->height)};
        if (from.right <= from.left || from.bottom <= from.top)
            return true;
    }
    const bool blend = info->alpha || d.fade < 255;
    const BYTE fade = static_cast<BYTE>(d.fade);
    UniqueMemoryDC memory(CreateCompatibleDC(dc));
    SelectGuard select(memory.get(), info->bitmap.get());
    const RectValue& c = d.corner;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        if (d.xtiled || d.ytiled)
            Tile(dc, to, memory.get(), from, blend, fade, d.xtiled, d.ytiled);
        else
            Blit(dc, to, memory.get(), from, blend, fade);
        return true;
    }
    // Nine pieces: corners keep their size, edges stretch one way, the middle both ways.
    const int dx[4] = {static_cast<int>(to.left), static_cast<int>(to.left + c.left),
                       static_cast<int>(to.right - c.right), static_cast<int>(to.right)};
    const int dy[4] = {static_cast<int>(to.top), static_cast<int>(to.top + c.top),
                       static_cast<int>(to.bottom - c.bottom), static_cast<int>(to.bottom)};
    const int sx[4] = {static_cast<int>(from.left), static_cast<int>(from.left + c.left),
                       static_cast<int>(from.right - c.right), static_cast<int>(from.right)};
    const int sy[4] = {static_cast<int>(from.top), static_cast<int>(from.top + c.top),
                       static_cast<int>(from.bottom - c.bottom), static_cast<int>(from.bottom)};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (row == 1 && col == 1 && d.hole)
                continue;
            Blit(dc, {dx[col], dy[row], dx[col + 1], dy[row + 1]}, memory.get(),
                 {sx[col], sy[row], sx[col + 1], sy[row + 1]}, blend, fade);
        }
    }
    return true;
}

void CUIRender::DrawText(HDC dc, CManagerUI* manager, RECT& rc, const std::wstring& text, uint32_t color,
                         int font, UINT style)
{
    if (text.empty()) {
        if (style & DT_CALCRECT)
            rc.right = rc.left, rc.bottom = rc.top;
        return;
    }
    HFONT hfont = manager ? manager->GetFont(font) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SelectGuard select(dc, hfont);
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ToColorRef(color));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, style | DT_NOPREFIX);
}

void CUIRender::DrawLine(HDC dc, POINT from, POINT to, int size, uint32_t color, int style)
{
    UniquePen pen(CreatePen(style, size, ToColorRef(color)));
    SelectGuard select(dc, pen.get());
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
}

void CUIRender::DrawRect(HDC dc, const RECT& rc, int size, uint32_t color, int style)
{
    // An inside-frame pen keeps a solid outline within the rectangle.
    UniquePen pen(CreatePen(style == PS_SOLID ? PS_INSIDEFRAME : style, size, ToColorRef(color)));
    SelectGuard selectPen(dc, pen.get());
    SelectGuard selectBrush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
}

void CUIRender::DrawRoundRect(HDC dc, const RECT& rc, int width, int height, int size, uint32_t color, int style)
{
    UniquePen pen(CreatePen(style == PS_SOLID ? PS_INSIDEFRAME : style, size, ToColorRef(color)));
    SelectGuard selectPen(dc, pen.get());
    SelectGuard selectBrush(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, width, height);
}

std::wstring CUIRender::ReplaceLanguageTokens(CManagerUI* manager, const std::wstring& text)
{
    if (!manager || text.find(L"%{") == std::wstring::npos)
        return text;
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, 2, L"%{") == 0) {
            size_t j = i + 2;
            while (j < text.size() && text[j] >= L'0' && text[j] <= L'9')
                ++j;
            if (j > i + 2 && j < text.size() && text[j] == L'}' && j - i - 2 <= 9) {
                const int id = std::stoi(text.substr(i + 2, j - i - 2));
                if (const std::wstring* s = manager->GetMultiLanguageString(id)) {
                    out += *s;
                    i = j + 1;
                    continue;
                }
            }
        }
        out += text[i++];
    }
    return out;
}

}  // namespace SkinUI
