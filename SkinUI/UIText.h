// A label that wraps its text and raises "link" for clicks on the links of its markup.
#pragma once

#include <vector>

#include "UILabel.h"

namespace SkinUI {

class CTextUI : public CLabelUI {
public:
    static constexpr size_t kMaxLinks = 8;

    CTextUI();
    const wchar_t* GetClass() const override { return L"Text"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override;
    void DoEvent(UIEvent& event) override;
    void PaintText(HDC dc) override;

    size_t GetLinkCount() const { return links_.size(); }
    const MarkupLink& GetLink(size_t index) const { return links_[index]; }

private:
    int LinkAt(POINT pt) const;

    std::vector<MarkupLink> links_;
    int hoverLink_ = -1;
};

}  // namespace SkinUI
