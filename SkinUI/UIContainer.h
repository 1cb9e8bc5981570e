// A control that owns and places children: inset, child padding and alignment, floating children.
#pragma once

#include <vector>

#include "UIControl.h"

namespace SkinUI {

enum class ChildAlign { kLeft, kCenter, kRight };
enum class ChildVAlign { kTop, kVCenter, kBottom };

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;
    const wchar_t* GetClass() const override { return L"Container"; }
    void* GetInterface(const wchar_t* name) override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override { return static_cast<int>(items_.size()); }
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    void SetManager(CManagerUI* manager, CControlUI* parent, bool init = true) override;
    void SetVisible(bool visible) override;
    void SetInnerVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void SetPos(RECT rc, bool invalidate = true) override;
    void Move(SIZE offset, bool invalidate = true) override;
    CControlUI* FindControl(FindControlProc proc, void* data, UINT flags) override;
    bool DoPaint(HDC dc, const RECT& paint) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

    RECT GetInset() const { return inset_; }
    void SetInset(RECT inset);
    int GetChildPadding() const { return childPadding_; }
    void SetChildPadding(int padding);
    ChildAlign GetChildAlign() const { return childAlign_; }
    ChildVAlign GetChildVAlign() const { return childVAlign_; }
    bool IsMouseChildEnabled() const { return mouseChild_; }
    void SetMouseChildEnabled(bool enabled) { mouseChild_ = enabled; }
    // Places a floating child by its fixed position and float ratios, relative to this container.
    virtual void SetFloatPos(int index);

protected:
    // The item rectangle less the inset.
    RECT ChildArea() const;

    std::vector<CControlUI*> items_;  // owned
    RECT inset_{};
    int childPadding_ = 0;
    ChildAlign childAlign_ = ChildAlign::kLeft;
    ChildVAlign childVAlign_ = ChildVAlign::kTop;
    bool mouseChild_ = true;
};

}  // namespace SkinUI
