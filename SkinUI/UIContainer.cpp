#include "UIContainer.h"

#include <cwchar>

#include "SkinValue.h"
#include "UIManager.h"

namespace SkinUI {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() { RemoveAll(); }

void* CContainerUI::GetInterface(const wchar_t* name)
{
    if (std::wcscmp(name, L"IContainer") == 0)
        return static_cast<IContainerUI*>(this);
    if (std::wcscmp(name, L"Container") == 0)
        return static_cast<CContainerUI*>(this);
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    return index >= 0 && index < GetCount() ? items_[static_cast<size_t>(index)] : nullptr;
}

int CContainerUI::GetItemIndex(CControlUI* control) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == control)
            return static_cast<int>(i);
    return -1;
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index)
{
    const int from = GetItemIndex(control);
    if (from < 0 || index < 0 || index >= GetCount())
        return false;
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + index, control);
    RequestLayout();
    return true;
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (!control || index < 0 || index > GetCount())
        return false;
    if (manager_)
        manager_->InitControls(control, this);
    else
        control->SetManager(nullptr, this, false);
    control->SetInnerVisible(IsVisible());
    items_.insert(items_.begin() + index, control);
    RequestLayout();
    return true;
}

bool CContainerUI::Remove(CControlUI* control)
{
    const int index = GetItemIndex(control);
    return index >= 0 && RemoveAt(index);
}

bool CContainerUI::RemoveAt(int index)
{
    CControlUI* control = GetItemAt(index);
    if (!control)
        return false;
    items_.erase(items_.begin() + index);
    RequestLayout();
    control->Delete();
    return true;
}

void CContainerUI::RemoveAll()
{
    std::vector<CControlUI*> items;
    items.swap(items_);
    for (CControlUI* control : items)
        control->Delete();
    if (!items.empty())
        RequestLayout();
}

void CContainerUI::SetManager(CManagerUI* manager, CControlUI* parent, bool init)
{
    for (CControlUI* control : items_)
        control->SetManager(manager, this, init);
    CControlUI::SetManager(manager, parent, init);
}

void CContainerUI::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    CControlUI::SetVisible(visible);
    for (CControlUI* control : items_)
        control->SetInnerVisible(IsVisible());
}

void CContainerUI::SetInnerVisible(bool visible)
{
    CControlUI::SetInnerVisible(visible);
    for (CControlUI* control : items_)
        control->SetInnerVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    Invalidate();
}

RECT CContainerUI::ChildArea() const
{
    return {item_.left + inset_.left, item_.top + inset_.top, item_.right - inset_.right,
            item_.bottom - inset_.bottom};
}

void CContainerUI::SetPos(RECT rc, bool invalidate)
{
    CControlUI::SetPos(rc, invalidate);
    if (items_.empty())
        return;
    const RECT area = ChildArea();
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = items_[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat())
            SetFloatPos(i);
        else
            child->SetPos(area, false);
    }
}

void CContainerUI::Move(SIZE offset, bool invalidate)
{
    CControlUI::Move(offset, invalidate);
    for (CControlUI* control : items_)
        if (control->IsVisible())
            control->Move(offset, false);
}

void CContainerUI::SetFloatPos(int index)
{
    CControlUI* child = GetItemAt(index);
    if (!child || !child->IsVisible() || !child->IsFloat())
        return;
    const int w = GetWidth(), h = GetHeight();
    const SIZE xy = child->GetFixedXY();
    const FloatPercent f = child->GetFloatPercent();
    RECT rc;
    rc.left = static_cast<int>(w * f.left) + xy.cx;
    rc.top = static_cast<int>(h * f.top) + xy.cy;
    rc.right = static_cast<int>(w * f.right) + xy.cx + child->GetFixedWidth();
    rc.bottom = static_cast<int>(h * f.bottom) + xy.cy + child->GetFixedHeight();
    child->SetPos(rc, false);  // relative to this container's corner
}

CControlUI* CContainerUI::FindControl(FindControlProc proc, void* data, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) && !IsVisible())
        return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled())
        return nullptr;
    const bool hitTest = (flags & UIFIND_HITTEST) != 0;
    if (hitTest) {
        if (!PtInRect(&item_, *static_cast<POINT*>(data)))
            return nullptr;
        if (!mouseChild_)
            return IsMouseEnabled() ? proc(this, data) : nullptr;
    }
    if (flags & UIFIND_ME_FIRST) {
        if (!hitTest || IsMouseEnabled())
            if (CControlUI* found = proc(this, data))
                return found;
    }
    if (flags & UIFIND_TOP_FIRST) {
        for (auto it = items_.rbegin(); it != items_.rend(); ++it)
            if (CControlUI* found = (*it)->FindControl(proc, data, flags))
                return found;
    } else {
        for (CControlUI* control : items_)
            if (CControlUI* found = control->FindControl(proc, data, flags))
                return found;
    }
    if (flags & UIFIND_ME_FIRST)
        return nullptr;
    if (hitTest && !IsMouseEnabled())
        return nullptr;
    return proc(this, data);
}

bool CContainerUI::DoPaint(HDC dc, const RECT& paint)
{
    RECT visible;
    if (!IntersectRect(&visible, &paint, &item_))
        return true;
    SetPaintRect(visible);
    DcStateGuard state(dc);
    ClipToRoundCorner(dc);
    PaintSteps(dc);
    if (items_.empty())
        return true;
    const RECT area = ChildArea();
    RECT areaPaint;
    const bool areaVisible = IntersectRect(&areaPaint, &visible, &area) != FALSE;
    for (CControlUI* child : items_) {
        if (!child->IsVisible())
            continue;
        // Floating children may use the whole item rectangle; the others only the child area.
        const RECT& clip = child->IsFloat() ? visible : areaPaint;
        if (!child->IsFloat() && !areaVisible)
            continue;
        RECT childPaint;
        if (!IntersectRect(&childPaint, &clip, &child->GetPos()))
            continue;
        DcStateGuard childState(dc);
        IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
        child->Paint(dc, clip);
    }
    return true;
}

void CContainerUI::SetInset(RECT inset)
{
    inset_ = inset;
    RequestLayout();
}

void CContainerUI::SetChildPadding(int padding)
{
    childPadding_ = padding;
    RequestLayout();
}

void CContainerUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"inset") {
        const RectValue r = ParseRect(v);
        SetInset({r.left, r.top, r.right, r.bottom});
    } else if (name == L"childpadding") {
        SetChildPadding(ParseInt(v));
    } else if (name == L"childalign") {
        childAlign_ = value == L"center" ? ChildAlign::kCenter
                      : value == L"right" ? ChildAlign::kRight
                                          : ChildAlign::kLeft;
        RequestLayout();
    } else if (name == L"childvalign") {
        childVAlign_ = value == L"vcenter" ? ChildVAlign::kVCenter
                       : value == L"bottom" ? ChildVAlign::kBottom
                                            : ChildVAlign::kTop;
        RequestLayout();
    } else if (name == L"mousechild") {
        SetMouseChildEnabled(ParseBool(v));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

}  // namespace SkinUI
