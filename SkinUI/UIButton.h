// A label that can be pressed: state images and colours, "click" on release inside or Space / Return.
#pragma once

#include "UILabel.h"

namespace SkinUI {

// Button state bits.
constexpr UINT UISTATE_FOCUSED = 0x01;
constexpr UINT UISTATE_SELECTED = 0x02;
constexpr UINT UISTATE_DISABLED = 0x04;
constexpr UINT UISTATE_HOT = 0x08;
constexpr UINT UISTATE_PUSHED = 0x10;
constexpr UINT UISTATE_CAPTURED = 0x40;

class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    const wchar_t* GetClass() const override { return L"Button"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override;
    bool Activate() override;
    void SetEnabled(bool enabled) override;
    void DoEvent(UIEvent& event) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE EstimateSize(SIZE available) override;
    void PaintStatusImage(HDC dc) override;

    UINT GetButtonState() const { return state_; }
    void SetNormalImage(const std::wstring& d) { SetImage(normalImage_, d); }
    void SetHotImage(const std::wstring& d) { SetImage(hotImage_, d); }
    void SetPushedImage(const std::wstring& d) { SetImage(pushedImage_, d); }
    void SetDisabledImage(const std::wstring& d) { SetImage(disabledImage_, d); }

protected:
    uint32_t GetPaintTextColor() const override;
    // The button's own rules; options call them with pushed ignored.
    void PaintButtonImages(HDC dc, bool ignorePushed);
    uint32_t ButtonTextColor(bool ignorePushed) const;
    void SetImage(CImageDescriptor& image, const std::wstring& descriptor);
    void UpdateStateBits();

    UINT state_ = 0;
    CImageDescriptor normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_;
    CImageDescriptor foreImage_, hotForeImage_;
    uint32_t hotBkColor_ = 0, hotTextColor_ = 0, pushedTextColor_ = 0, focusedTextColor_ = 0;
};

}  // namespace SkinUI
