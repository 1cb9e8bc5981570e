// An option with its own class name; checked is selected.
#pragma once

#include "UIOption.h"

namespace SkinUI {

class CCheckBoxUI : public COptionUI {
public:
    const wchar_t* GetClass() const override { return L"CheckBox"; }
    void* GetInterface(const wchar_t* name) override;
    bool IsChecked() const { return IsSelected(); }
    void SetCheck(bool checked, bool triggerEvent = true) { Selected(checked, triggerEvent); }
};

}  // namespace SkinUI
