// Children stacked top to bottom; children without a height share what the others leave.
#pragma once

#include "UIContainer.h"

namespace SkinUI {

class CVerticalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"VerticalLayout"; }
    void* GetInterface(const wchar_t* name) override;
    void SetPos(RECT rc, bool invalidate = true) override;
};

}  // namespace SkinUI
