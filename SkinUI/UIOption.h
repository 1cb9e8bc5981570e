// A button with a selected state; options of one group in a window exclude each other.
#pragma once

#include "UIButton.h"

namespace SkinUI {

class COptionUI : public CButtonUI {
public:
    COptionUI();
    ~COptionUI() override;
    const wchar_t* GetClass() const override { return L"Option"; }
    void* GetInterface(const wchar_t* name) override;
    void SetManager(CManagerUI* manager, CControlUI* parent, bool init = true) override;
    bool Activate() override;
    void SetEnabled(bool enabled) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    void PaintStatusImage(HDC dc) override;

    virtual void Selected(bool selected, bool triggerEvent = true);
    bool IsSelected() const { return selected_; }
    const std::wstring& GetGroup() const { return group_; }
    void SetGroup(const std::wstring& group);

protected:
    uint32_t GetPaintTextColor() const override;

private:
    bool selected_ = false;
    std::wstring group_;
    CImageDescriptor selectedImage_, selectedHotImage_, optionForeImage_;
    uint32_t selectedBkColor_ = 0, selectedTextColor_ = 0;
};

}  // namespace SkinUI
