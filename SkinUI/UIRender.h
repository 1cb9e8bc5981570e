// Drawing primitives: colours with alpha, images through AlphaBlend, plain and marked-up text, lines.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "UIImage.h"

namespace SkinUI {

class CManagerUI;

// A link found while drawing marked-up text.
struct MarkupLink {
    RECT rect{};
    std::wstring target;
};

class CUIRender {
public:
    // Alpha 0 draws nothing, 0xFF fills, anything else blends.
    static void DrawColor(HDC dc, const RECT& rc, uint32_t color);
    // item: the control's rectangle; paint: the area being painted; dest overrides the descriptor's dest.
    static bool DrawImage(HDC dc, CManagerUI* manager, const RECT& item, const RECT& paint,
                          CImageDescriptor& image, const RECT* dest = nullptr);
    // Plain text with DrawTextW (no prefix processing); DT_CALCRECT in style measures into rc.
    static void DrawText(HDC dc, CManagerUI* manager, RECT& rc, const std::wstring& text, uint32_t color,
                         int font, UINT style);
    // The text markup of showhtml controls. With DT_CALCRECT only measures (rc gets the extent). Links
    // are collected into links when given (hover: the index of the link under the mouse, or -1).
    static void DrawMarkupText(HDC dc, CManagerUI* manager, RECT& rc, const std::wstring& text, uint32_t color,
                               int font, UINT style, std::vector<MarkupLink>* links = nullptr, int hover = -1);
    static void DrawLine(HDC dc, POINT from, POINT to, int size, uint32_t color, int style = PS_SOLID);
    static void DrawRect(HDC dc, const RECT& rc, int size, uint32_t color, int style = PS_SOLID);
    static void DrawRoundRect(HDC dc, const RECT& rc, int width, int height, int size, uint32_t color,
                              int style = PS_SOLID);

    // "%{id}" tokens replaced by the manager's multi-language texts; unknown ids stay as written.
    static std::wstring ReplaceLanguageTokens(CManagerUI* manager, const std::wstring& text);
    static COLORREF ToColorRef(uint32_t argb)
    {
        return RGB(argb >> 16 & 0xFF, argb >> 8 & 0xFF, argb & 0xFF);
    }
};

}  // namespace SkinUI
