#include "UIVerticalLayout.h"

#include <algorithm>
#include <cwchar>

namespace SkinUI {

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// The limits a child is estimated with: its fixed size (or its maximum), cut to the room there is.
SIZE Limits(const CControlUI* child, int width, int height)
{
    const RECT pad = child->GetPadding();
    int cx = child->GetFixedWidth() ? child->GetFixedWidth() : child->GetMaxWidth();
    int cy = child->GetFixedHeight() ? child->GetFixedHeight() : child->GetMaxHeight();
    cx = std::min(cx, static_cast<int>(width - pad.left - pad.right));
    cy = std::min(cy, height);
    return {cx, cy};
}

}  // namespace

void* CVerticalLayoutUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"VerticalLayout") == 0 ? this : CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool invalidate)
{
    CControlUI::SetPos(rc, invalidate);
    if (items_.empty())
        return;
    const RECT area = ChildArea();
    const int W = area.right - area.left, H = area.bottom - area.top;

    int adjustable = 0, fixedTotal = 0, counted = 0;
    for (CControlUI* child : items_) {
        if (!child->IsVisible() || child->IsFloat())
            continue;
        const RECT pad = child->GetPadding();
        const SIZE sz = child->EstimateSize(Limits(child, W, H));
        if (sz.cy == 0)
            ++adjustable;
        else
            fixedTotal += Clamp(sz.cy, child->GetMinHeight(), child->GetMaxHeight());
        fixedTotal += pad.top + pad.bottom;
        ++counted;
    }
    if (counted > 1)
        fixedTotal += (counted - 1) * childPadding_;
    const int share = adjustable > 0 ? std::max(0, (H - fixedTotal) / adjustable) : 0;

    int y = area.top, remaining = H, fixedRemaining = fixedTotal, adjustableSeen = 0, placed = 0;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = items_[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        const RECT pad = child->GetPadding();
        remaining -= pad.top;
        fixedRemaining -= pad.top + pad.bottom;
        if (placed++ > 0)
            fixedRemaining -= childPadding_;
        SIZE limits = Limits(child, W, H);
        limits.cy = std::min(static_cast<int>(limits.cy), remaining);
        SIZE sz = child->EstimateSize(limits);
        if (sz.cy != 0) {
            sz.cy = Clamp(sz.cy, child->GetMinHeight(), child->GetMaxHeight());
            fixedRemaining -= sz.cy;
        } else {
            sz.cy = ++adjustableSeen == adjustable
                        ? std::max(0, static_cast<int>(remaining - pad.bottom - fixedRemaining))
                        : share;
            sz.cy = Clamp(sz.cy, child->GetMinHeight(), child->GetMaxHeight());
        }
        int width = child->GetMaxWidth() ? child->GetMaxWidth() : static_cast<int>(W - pad.left - pad.right);
        width = std::min(std::max(width, 0), static_cast<int>(limits.cx));
        width = std::max(width, child->GetMinWidth());
        int x;
        switch (childAlign_) {
        case ChildAlign::kCenter: x = area.left + (W - width) / 2; break;
        case ChildAlign::kRight: x = area.right - pad.right - width; break;
        default: x = area.left + pad.left; break;
        }
        child->SetPos({x, y + pad.top, x + width, static_cast<LONG>(y + pad.top + sz.cy)}, false);
        y += sz.cy + pad.top + pad.bottom + childPadding_;
        remaining -= sz.cy + pad.bottom + childPadding_;
    }
}

}  // namespace SkinUI
