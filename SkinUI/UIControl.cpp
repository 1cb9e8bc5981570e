#include "UIControl.h"

#include <algorithm>
#include <cwchar>

#include "SkinValue.h"
#include "UIManager.h"
#include "UIRender.h"

namespace SkinUI {

namespace {

// Reads up to count numbers separated by single characters, as doubles.
void ParseFractions(const wchar_t* text, double* out, int count)
{
    const wchar_t* p = text;
    for (int i = 0; i < count; ++i) {
        out[i] = 0;
        if (!p)
            continue;
        wchar_t* end = nullptr;
        out[i] = std::wcstod(p, &end);
        p = end && *end ? end + 1 : nullptr;
    }
}

RECT ToRect(RectValue v) { return {v.left, v.top, v.right, v.bottom}; }

}  // namespace

CControlUI::CControlUI() = default;

void CControlUI::Delete() { delete this; }

CControlUI::~CControlUI()
{
    delete cover_;
    if (manager_)
        manager_->ReapObjects(this);
}

void* CControlUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"Control") == 0 ? this : nullptr;
}

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

void CControlUI::SetManager(CManagerUI* manager, CControlUI* parent, bool init)
{
    if (cover_)
        cover_->SetManager(manager, this, init);
    manager_ = manager;
    parent_ = parent;
    if (init)
        Init();
}

void CControlUI::SetCoverControl(CControlUI* cover)
{
    if (cover_ == cover)
        return;
    delete cover_;
    cover_ = cover;
    if (cover_)
        cover_->SetManager(manager_, this, false);
    RequestLayout();
}

void CControlUI::SetText(const std::wstring& text)
{
    if (text_ == text)
        return;
    text_ = text;
    Invalidate();
}

RECT CControlUI::GetRelativePos() const
{
    RECT rc = item_;
    if (parent_) {
        const RECT& p = parent_->GetPos();
        OffsetRect(&rc, -p.left, -p.top);
    }
    return rc;
}

void CControlUI::SetPos(RECT rc, bool invalidate)
{
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    const RECT old = item_;
    if (float_ && parent_) {
        const RECT& p = parent_->GetPos();
        const int w = p.right - p.left, h = p.bottom - p.top;
        item_ = rc;
        OffsetRect(&item_, p.left, p.top);
        fixedXY_.cx = rc.left - static_cast<int>(w * floatPercent_.left);
        fixedXY_.cy = rc.top - static_cast<int>(h * floatPercent_.top);
        fixedWidth_ = std::max(0, static_cast<int>(rc.right - fixedXY_.cx - static_cast<int>(w * floatPercent_.right)));
        fixedHeight_ =
            std::max(0, static_cast<int>(rc.bottom - fixedXY_.cy - static_cast<int>(h * floatPercent_.bottom)));
    } else {
        item_ = rc;
    }
    updateNeeded_ = false;
    if (invalidate && IsVisible() && manager_) {
        RECT both;
        UnionRect(&both, &old, &item_);
        for (CControlUI* p = parent_; p; p = p->parent_)
            if (!IntersectRect(&both, &both, &p->item_))
                return;
        manager_->Invalidate(both);
    }
    if (cover_ && cover_->IsVisible()) {
        if (cover_->IsFloat())
            cover_->SetPos({0, 0, GetWidth(), GetHeight()}, false);
        else
            cover_->SetPos(item_, false);
    }
}

void CControlUI::Move(SIZE offset, bool invalidate)
{
    RECT moved = item_;
    OffsetRect(&moved, offset.cx, offset.cy);
    if (invalidate)
        Invalidate();
    item_ = moved;
    if (invalidate)
        Invalidate();
    if (cover_)
        cover_->Move(offset, false);
}

void CControlUI::SetPadding(RECT padding)
{
    padding_ = padding;
    RequestParentLayout();
}

void CControlUI::SetFixedXY(SIZE xy)
{
    fixedXY_ = xy;
    RequestParentLayout();
}

void CControlUI::SetFloatPercent(FloatPercent percent)
{
    floatPercent_ = percent;
    RequestParentLayout();
}

// Sizes below 0 are refused.
void CControlUI::SetFixedWidth(int cx)
{
    if (cx < 0 || cx == fixedWidth_)
        return;
    fixedWidth_ = cx;
    RequestParentLayout();
}

void CControlUI::SetFixedHeight(int cy)
{
    if (cy < 0 || cy == fixedHeight_)
        return;
    fixedHeight_ = cy;
    RequestParentLayout();
}

void CControlUI::SetMinWidth(int cx)
{
    if (cx < 0 || cx == minWidth_)
        return;
    minWidth_ = cx;
    RequestParentLayout();
}

void CControlUI::SetMaxWidth(int cx)
{
    if (cx < 0 || cx == maxWidth_)
        return;
    maxWidth_ = cx;
    RequestParentLayout();
}

void CControlUI::SetMinHeight(int cy)
{
    if (cy < 0 || cy == minHeight_)
        return;
    minHeight_ = cy;
    RequestParentLayout();
}

void CControlUI::SetMaxHeight(int cy)
{
    if (cy < 0 || cy == maxHeight_)
        return;
    maxHeight_ = cy;
    RequestParentLayout();
}

void CControlUI::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    const bool was = IsVisible();
    visible_ = visible;
    if (focused_ && !IsVisible() && manager_)
        manager_->SetFocus(nullptr);
    if (IsVisible() != was)
        RequestParentLayout();
}

void CControlUI::SetInnerVisible(bool visible)
{
    innerVisible_ = visible;
    if (focused_ && !IsVisible() && manager_)
        manager_->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    Invalidate();
}

void CControlUI::SetFocus()
{
    if (manager_)
        manager_->SetFocus(this);
}

void CControlUI::SetFloat(bool isFloat)
{
    if (float_ == isFloat)
        return;
    float_ = isFloat;
    RequestParentLayout();
}

CControlUI* CControlUI::FindControl(FindControlProc proc, void* data, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) && !IsVisible())
        return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled())
        return nullptr;
    if ((flags & UIFIND_HITTEST) && (!mouseEnabled_ || !PtInRect(&item_, *static_cast<POINT*>(data))))
        return nullptr;
    return proc(this, data);
}

void CControlUI::Init() { DoInit(); }

void CControlUI::Event(UIEvent& event) { DoEvent(event); }

void CControlUI::DoEvent(UIEvent& event)
{
    switch (event.type) {
    case UIEVENT_SETCURSOR:
        ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return;
    case UIEVENT_SETFOCUS:
        focused_ = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        focused_ = false;
        Invalidate();
        return;
    case UIEVENT_TIMER:
        if (manager_)
            manager_->SendNotify(this, L"timer", event.wParam, event.lParam);
        return;
    case UIEVENT_CONTEXTMENU:
        if (contextMenu_ && manager_) {
            manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
            return;
        }
        break;
    default:
        break;
    }
    if (parent_)
        parent_->DoEvent(event);
}

void CControlUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"name") {
        SetName(value);
    } else if (name == L"text") {
        SetText(value);
    } else if (name == L"pos") {
        const RectValue r = ParseRect(v);
        SetFixedXY({r.left, r.top});
        SetFixedWidth(r.right - r.left);
        SetFixedHeight(r.bottom - r.top);
    } else if (name == L"padding") {
        SetPadding(ToRect(ParseRect(v)));
    } else if (name == L"width") {
        SetFixedWidth(ParseInt(v));
    } else if (name == L"height") {
        SetFixedHeight(ParseInt(v));
    } else if (name == L"minwidth") {
        SetMinWidth(ParseInt(v));
    } else if (name == L"minheight") {
        SetMinHeight(ParseInt(v));
    } else if (name == L"maxwidth") {
        SetMaxWidth(ParseInt(v));
    } else if (name == L"maxheight") {
        SetMaxHeight(ParseInt(v));
    } else if (name == L"bkcolor" || name == L"bkcolor1") {
        SetBkColor(ParseColor(v, true));
    } else if (name == L"bordercolor") {
        SetBorderColor(ParseColor(v));
    } else if (name == L"focusbordercolor") {
        SetFocusBorderColor(ParseColor(v));
    } else if (name == L"bordersize") {
        if (value.find(L',') == std::wstring::npos) {
            const int size = ParseInt(v);
            SetBorderSize({size, size, size, size});
        } else {
            SetBorderSize(ToRect(ParseRect(v)));
        }
    } else if (name == L"borderround") {
        const SizeValue s = ParseSize(v);
        SetBorderRound({s.cx, s.cy});
    } else if (name == L"borderstyle") {
        borderStyle_ = ParseInt(v);
        Invalidate();
    } else if (name == L"bkimage") {
        SetBkImage(value);
    } else if (name == L"tooltip") {
        SetToolTip(value);
    } else if (name == L"userdata") {
        SetUserData(value);
    } else if (name == L"tag") {
        SetTag(static_cast<UINT_PTR>(ParseInt(v)));
    } else if (name == L"enabled") {
        SetEnabled(ParseBool(v));
    } else if (name == L"mouse") {
        SetMouseEnabled(ParseBool(v));
    } else if (name == L"keyboard") {
        SetKeyboardEnabled(ParseBool(v));
    } else if (name == L"visible") {
        SetVisible(ParseBool(v));
    } else if (name == L"float") {
        if (value.find(L',') == std::wstring::npos) {
            SetFloat(ParseBool(v));
        } else {
            double f[4];
            ParseFractions(v, f, 4);
            SetFloatPercent({f[0], f[1], f[2], f[3]});
            SetFloat(true);
        }
    } else if (name == L"shortcut") {
        SetShortcut(value.empty() ? 0 : value[0]);
    } else if (name == L"menu") {
        SetContextMenuEnabled(ParseBool(v));
    } else if (name == L"virtualwnd") {
        virtualWnd_ = value;
    } else {
        AddCustomAttribute(name, value);
    }
}

void CControlUI::ApplyAttributeList(const std::wstring& list)
{
    size_t i = 0;
    const size_t n = list.size();
    while (i < n) {
        while (i < n && list[i] <= L' ')
            ++i;
        const size_t eq = list.find(L'=', i);
        if (eq == std::wstring::npos)
            return;
        std::wstring name = list.substr(i, eq - i);
        while (!name.empty() && name.back() <= L' ')
            name.pop_back();
        i = eq + 1;
        while (i < n && list[i] <= L' ')
            ++i;
        if (i >= n || list[i] != L'"')
            return;
        const size_t close = list.find(L'"', i + 1);
        if (close == std::wstring::npos)
            return;
        SetAttribute(name, list.substr(i + 1, close - i - 1));
        i = close + 1;
    }
}

SIZE CControlUI::EstimateSize(SIZE) { return {fixedWidth_, fixedHeight_}; }

bool CControlUI::Paint(HDC dc, const RECT& paint)
{
    RECT visible;
    if (!IntersectRect(&visible, &paint, &item_))
        return true;
    return DoPaint(dc, paint);
}

bool CControlUI::DoPaint(HDC dc, const RECT& paint)
{
    if (!IntersectRect(&paintRect_, &paint, &item_))
        return true;
    DcStateGuard state(dc);
    ClipToRoundCorner(dc);
    PaintSteps(dc);
    return true;
}

void CControlUI::ClipToRoundCorner(HDC dc) const
{
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        UniqueRegion round(CreateRoundRectRgn(item_.left, item_.top, item_.right + 1, item_.bottom + 1,
                                              borderRound_.cx, borderRound_.cy));
        ExtSelectClipRgn(dc, round.get(), RGN_AND);
    }
}

void CControlUI::PaintSteps(HDC dc)
{
    PaintBkColor(dc);
    PaintBkImage(dc);
    PaintStatusImage(dc);
    PaintText(dc);
    PaintBorder(dc);
}

void CControlUI::PaintBkColor(HDC dc) { CUIRender::DrawColor(dc, item_, bkColor_); }

void CControlUI::PaintBkImage(HDC dc) { DrawImage(dc, bkImage_); }

void CControlUI::PaintBorder(HDC dc)
{
    if (borderSize_.left <= 0 || (borderColor_ == 0 && focusBorderColor_ == 0))
        return;
    const uint32_t color = focused_ && focusBorderColor_ ? focusBorderColor_ : borderColor_;
    const RECT& r = item_;
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        CUIRender::DrawRoundRect(dc, r, borderRound_.cx, borderRound_.cy, borderSize_.left, color, borderStyle_);
        return;
    }
    const RECT& b = borderSize_;
    if (b.left == b.top && b.left == b.right && b.left == b.bottom) {
        CUIRender::DrawRect(dc, r, b.left, color, borderStyle_);
        return;
    }
    CUIRender::DrawLine(dc, {r.left + b.left / 2, r.top}, {r.left + b.left / 2, r.bottom}, b.left, color,
                        borderStyle_);
    if (b.top > 0)
        CUIRender::DrawLine(dc, {r.left + b.left, r.top + b.top / 2}, {r.right - b.right, r.top + b.top / 2},
                            b.top, color, borderStyle_);
    if (b.right > 0)
        CUIRender::DrawLine(dc, {r.right - b.right / 2, r.top}, {r.right - b.right / 2, r.bottom}, b.right,
                            color, borderStyle_);
    if (b.bottom > 0)
        CUIRender::DrawLine(dc, {r.left + b.left, r.bottom - b.bottom / 2},
                            {r.right - b.right, r.bottom - b.bottom / 2}, b.bottom, color, borderStyle_);
}

void CControlUI::RequestLayout()
{
    if (!IsVisible())
        return;
    updateNeeded_ = true;
    Invalidate();
    if (manager_)
        manager_->NeedUpdate();
}

void CControlUI::RequestParentLayout()
{
    if (parent_)
        parent_->RequestLayout();
    else
        RequestLayout();
}

void CControlUI::Invalidate()
{
    if (!IsVisible() || !manager_)
        return;
    RECT rc = item_;
    for (CControlUI* p = parent_; p; p = p->parent_)
        if (!IntersectRect(&rc, &rc, &p->item_))
            return;
    if (!IsRectEmpty(&rc))
        manager_->Invalidate(rc);
}

void CControlUI::SetBkColor(uint32_t color)
{
    if (bkColor_ == color)
        return;
    bkColor_ = color;
    Invalidate();
}

void CControlUI::SetBorderColor(uint32_t color)
{
    borderColor_ = color;
    Invalidate();
}

void CControlUI::SetFocusBorderColor(uint32_t color)
{
    focusBorderColor_ = color;
    Invalidate();
}

void CControlUI::SetBorderSize(RECT sizes)
{
    borderSize_ = sizes;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE round)
{
    borderRound_ = round;
    Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& descriptor)
{
    if (descriptor == bkImage_.GetText() && bkImage_.IsLoaded())
        return;
    bkImage_.SetText(descriptor);
    const ImageInfo* image = bkImage_.Resolve(manager_);
    if (image && float_ && fixedWidth_ == 0 && fixedHeight_ == 0) {
        SetFixedWidth(image->width);
        SetFixedHeight(image->height);
    }
    Invalidate();
}

void CControlUI::AddCustomAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name.empty() || value.empty())
        return;
    customAttributes_.emplace(name, value);
}

const std::wstring* CControlUI::GetCustomAttribute(const std::wstring& name) const
{
    const auto it = customAttributes_.find(name);
    return it == customAttributes_.end() ? nullptr : &it->second;
}

void CControlUI::AddNotifySubscriber(std::function<void(NotifyMsg&)> subscriber)
{
    subscribers_.push_back(std::move(subscriber));
}

void CControlUI::CallNotifySubscribers(NotifyMsg& msg)
{
    for (auto& subscriber : subscribers_)
        subscriber(msg);
}

const std::wstring& CControlUI::GetVirtualWnd() const
{
    for (const CControlUI* c = this; c; c = c->parent_)
        if (!c->virtualWnd_.empty())
            return c->virtualWnd_;
    return virtualWnd_;
}

bool CControlUI::DrawImage(HDC dc, CImageDescriptor& image, const RECT* dest)
{
    return CUIRender::DrawImage(dc, manager_, item_, paintRect_, image, dest);
}

}  // namespace SkinUI
