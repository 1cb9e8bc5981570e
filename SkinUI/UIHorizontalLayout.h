// Children side by side; every child without a width shares what the others leave.
#pragma once

#include "UIContainer.h"

namespace SkinUI {

class CHorizontalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"HorizontalLayout"; }
    void* GetInterface(const wchar_t* name) override;
    void SetPos(RECT rc, bool invalidate = true) override;
};

}  // namespace SkinUI
