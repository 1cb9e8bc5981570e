#include "UITabLayout.h"

#include <algorithm>
#include <cwchar>

#include "SkinValue.h"
#include "UIManager.h"

namespace SkinUI {

void* CTabLayoutUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"TabLayout") == 0 ? this : CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* control, int index)
{
    if (!CContainerUI::AddAt(control, index))
        return false;
    if (index <= current_)
        ++current_;
    if (current_ < 0 && control->IsVisible())
        current_ = index;
    else if (index != current_)
        control->SetVisible(false);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control)
{
    const int index = GetItemIndex(control);
    return index >= 0 && RemoveAt(index);
}

bool CTabLayoutUI::RemoveAt(int index)
{
    if (!CContainerUI::RemoveAt(index))
        return false;
    if (index == current_) {
        current_ = -1;
        if (GetCount() > 0)
            SelectItem(0);
    } else if (index < current_) {
        --current_;
    }
    return true;
}

void CTabLayoutUI::RemoveAll()
{
    current_ = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int index, bool triggerEvent)
{
    if (index < 0 || index >= GetCount())
        return false;
    if (index == current_)
        return true;
    const int old = current_;
    current_ = index;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* page = items_[static_cast<size_t>(i)];
        if (i == index) {
            page->SetVisible(true);
            page->SetFocus();
        } else {
            page->SetVisible(false);
        }
    }
    RequestLayout();
    if (manager_) {
        manager_->SetNextTabControl();
        if (triggerEvent)
            manager_->SendNotify(this, L"tabselect", static_cast<WPARAM>(index), static_cast<LPARAM>(old));
    }
    return true;
}

void CTabLayoutUI::SetPos(RECT rc, bool invalidate)
{
    CControlUI::SetPos(rc, invalidate);
    const RECT area = ChildArea();
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = items_[static_cast<size_t>(i)];
        if (child->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        if (i != current_)
            continue;
        const RECT pad = child->GetPadding();
        const RECT inner{area.left + pad.left, area.top + pad.top, area.right - pad.right, area.bottom - pad.bottom};
        const int w = inner.right - inner.left, h = inner.bottom - inner.top;
        SIZE sz = child->EstimateSize({w, h});
        if (sz.cx == 0)
            sz.cx = w;
        if (sz.cy == 0)
            sz.cy = h;
        sz.cx = std::min(std::max(static_cast<int>(sz.cx), child->GetMinWidth()), child->GetMaxWidth());
        sz.cy = std::min(std::max(static_cast<int>(sz.cy), child->GetMinHeight()), child->GetMaxHeight());
        child->SetPos({inner.left, inner.top, inner.left + sz.cx, inner.top + sz.cy}, false);
    }
}

void CTabLayoutUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"selectedid")
        SelectItem(ParseInt(value.c_str()));
    else
        CContainerUI::SetAttribute(name, value);
}

}  // namespace SkinUI
