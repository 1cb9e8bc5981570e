// A bar whose fore image is stretched over the filled part.
#pragma once

#include "UILabel.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();
    const wchar_t* GetClass() const override { return L"Progress"; }
    void* GetInterface(const wchar_t* name) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    void PaintStatusImage(HDC dc) override;

    bool IsHorizontal() const { return horizontal_; }
    void SetHorizontal(bool horizontal);
    int GetMinValue() const { return min_; }
    void SetMinValue(int min);
    int GetMaxValue() const { return max_; }
    void SetMaxValue(int max);
    int GetValue() const { return value_; }
    // Cut to the maximum, then raised to the minimum.
    void SetValue(int value);
    void SetForeImage(const std::wstring& descriptor);
    // The filled part relative to the control's top-left corner.
    RECT GetFilledRect() const;

private:
    bool horizontal_ = true;
    int min_ = 0, max_ = 100, value_ = 0;
    CImageDescriptor foreImage_;
};

}  // namespace SkinUI
