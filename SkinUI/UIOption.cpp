#include "UIOption.h"

#include <cwchar>

#include "SkinValue.h"
#include "UIManager.h"

namespace SkinUI {

COptionUI::COptionUI() = default;

COptionUI::~COptionUI()
{
    if (manager_ && !group_.empty())
        manager_->RemoveOptionGroup(group_, this);
}

void* COptionUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"Option") == 0 ? this : CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CManagerUI* manager, CControlUI* parent, bool init)
{
    CButtonUI::SetManager(manager, parent, init);
    if (init && manager && !group_.empty())
        manager->AddOptionGroup(group_, this);
}

void COptionUI::SetGroup(const std::wstring& group)
{
    if (group == group_)
        return;
    if (manager_ && !group_.empty())
        manager_->RemoveOptionGroup(group_, this);
    group_ = group;
    if (manager_ && !group_.empty())
        manager_->AddOptionGroup(group_, this);
    Selected(selected_, false);
}

void COptionUI::Selected(bool selected, bool triggerEvent)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    state_ = selected ? state_ | UISTATE_SELECTED : state_ & ~UISTATE_SELECTED;
    if (manager_) {
        if (!group_.empty()) {
            if (selected_) {
                if (const auto* members = manager_->GetOptionGroup(group_)) {
                    const std::vector<CControlUI*> others = *members;  // Selected() may edit the group
                    for (CControlUI* other : others)
                        if (other != this)
                            static_cast<COptionUI*>(other)->Selected(false, triggerEvent);
                }
                if (triggerEvent)
                    manager_->SendNotify(this, L"selectchanged");
            }
        } else if (triggerEvent) {
            manager_->SendNotify(this, L"selectchanged");
        }
    }
    Invalidate();
}

bool COptionUI::Activate()
{
    if (!CButtonUI::Activate())
        return false;
    Selected(group_.empty() ? !selected_ : true, true);
    return true;
}

void COptionUI::SetEnabled(bool enabled)
{
    CButtonUI::SetEnabled(enabled);
    if (!enabled)
        state_ = selected_ ? UISTATE_SELECTED : 0;
}

void COptionUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"group")
        SetGroup(value);
    else if (name == L"selected")
        Selected(ParseBool(v));
    else if (name == L"selectedimage")
        SetImage(selectedImage_, value);
    else if (name == L"selectedhotimage")
        SetImage(selectedHotImage_, value);
    else if (name == L"foreimage")
        SetImage(optionForeImage_, value);
    else if (name == L"selectedbkcolor")
        selectedBkColor_ = ParseColor(v);
    else if (name == L"selectedtextcolor")
        selectedTextColor_ = ParseColor(v);
    else
        CButtonUI::SetAttribute(name, value);
}

void COptionUI::PaintStatusImage(HDC dc)
{
    UpdateStateBits();
    bool drawn = false;
    if (selected_) {
        if ((state_ & UISTATE_HOT) && !selectedHotImage_.IsEmpty())
            drawn = DrawImage(dc, selectedHotImage_);
        if (!drawn && !selectedImage_.IsEmpty())
            drawn = DrawImage(dc, selectedImage_);
        if (!drawn && selectedBkColor_) {
            CUIRender::DrawColor(dc, item_, selectedBkColor_);
            drawn = true;
        }
    }
    if (!drawn)
        PaintButtonImages(dc, true);  // an option never shows its pushed image
    DrawImage(dc, optionForeImage_);
}

uint32_t COptionUI::GetPaintTextColor() const
{
    if (!selected_)
        return ButtonTextColor(true);
    if (!IsEnabled())
        return CLabelUI::GetPaintTextColor();
    return selectedTextColor_ ? selectedTextColor_ : CLabelUI::GetPaintTextColor();
}

}  // namespace SkinUI
