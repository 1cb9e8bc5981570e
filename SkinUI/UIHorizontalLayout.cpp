#include "UIHorizontalLayout.h"

#include <algorithm>
#include <cwchar>

namespace SkinUI {

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

SIZE Limits(const CControlUI* child, int width, int height)
{
    const RECT pad = child->GetPadding();
    int cx = child->GetFixedWidth() ? child->GetFixedWidth() : child->GetMaxWidth();
    int cy = child->GetFixedHeight() ? child->GetFixedHeight() : child->GetMaxHeight();
    cx = std::min(cx, width);
    cy = std::min(cy, static_cast<int>(height - pad.top - pad.bottom));
    return {cx, cy};
}

}  // namespace

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"HorizontalLayout") == 0 ? this : CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool invalidate)
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
        if (child->GetFixedWidth() == 0) {
            ++adjustable;
        } else {
            const SIZE sz = child->EstimateSize(Limits(child, W, H));
            if (sz.cx == 0)
                ++adjustable;
            else
                fixedTotal += Clamp(sz.cx, child->GetMinWidth(), child->GetMaxWidth());
        }
        fixedTotal += pad.left + pad.right;
        ++counted;
    }
    if (counted > 1)
        fixedTotal += (counted - 1) * childPadding_;
    const int share = adjustable > 0 ? std::max(0, (W - fixedTotal) / adjustable) : 0;

    int x = area.left, remaining = W, fixedRemaining = fixedTotal, adjustableSeen = 0, placed = 0;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = items_[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        const RECT pad = child->GetPadding();
        remaining -= pad.left;
        fixedRemaining -= pad.left + pad.right;
        if (placed++ > 0)
            fixedRemaining -= childPadding_;
        SIZE limits = Limits(child, W, H);
        limits.cx = std::min(static_cast<int>(limits.cx), remaining);
        SIZE sz = child->EstimateSize(limits);
        if (child->GetFixedWidth() != 0 && sz.cx != 0) {
            sz.cx = Clamp(sz.cx, child->GetMinWidth(), child->GetMaxWidth());
            fixedRemaining -= sz.cx;
        } else {
            sz.cx = ++adjustableSeen == adjustable
                        ? std::max(0, static_cast<int>(remaining - pad.right - fixedRemaining))
                        : share;
            sz.cx = Clamp(sz.cx, child->GetMinWidth(), child->GetMaxWidth());
        }
        int height = child->GetMaxHeight() ? child->GetMaxHeight() : static_cast<int>(H - pad.top - pad.bottom);
        height = std::max(height, 0);
        height = std::min(height, child->GetFixedHeight() ? child->GetFixedHeight() : child->GetMaxHeight());
        height = std::min(height, static_cast<int>(H - pad.top - pad.bottom));
        height = std::max(height, child->GetMinHeight());
        int y;
        switch (childVAlign_) {
        case ChildVAlign::kVCenter: y = area.top + (H - height) / 2; break;
        case ChildVAlign::kBottom: y = area.bottom - pad.bottom - height; break;
        default: y = area.top + pad.top; break;
        }
        child->SetPos({static_cast<LONG>(x + pad.left), y, static_cast<LONG>(x + pad.left + sz.cx), y + height},
                      false);
        x += sz.cx + pad.left + pad.right + childPadding_;
        remaining -= sz.cx + pad.right + childPadding_;
    }
}

}  // namespace SkinUI
