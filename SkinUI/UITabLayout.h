// Pages of which one is shown at a time.
#pragma once

#include "UIContainer.h"

namespace SkinUI {

class CTabLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"TabLayout"; }
    void* GetInterface(const wchar_t* name) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    void SetPos(RECT rc, bool invalidate = true) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

    int GetCurSel() const { return current_; }
    // False for an index outside the pages; the current index answers true at once.
    virtual bool SelectItem(int index, bool triggerEvent = true);

private:
    int current_ = -1;
};

}  // namespace SkinUI
