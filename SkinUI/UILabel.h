// A control that draws a text: font, alignment, colours, padding and the optional text markup.
#pragma once

#include "UIControl.h"
#include "UIRender.h"

namespace SkinUI {

class CLabelUI : public CControlUI {
public:
    CLabelUI();
    const wchar_t* GetClass() const override { return L"Label"; }
    void* GetInterface(const wchar_t* name) override;

    void SetText(const std::wstring& text) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE EstimateSize(SIZE available) override;
    void PaintText(HDC dc) override;

    void SetFont(int id);
    int GetFont() const { return font_; }
    void SetTextStyle(UINT style);
    UINT GetTextStyle() const { return textStyle_; }
    void SetTextColor(uint32_t color);
    uint32_t GetTextColor() const { return textColor_; }
    void SetDisabledTextColor(uint32_t color);
    void SetTextPadding(RECT padding);
    RECT GetTextPadding() const { return textPadding_; }
    void SetShowHtml(bool show);
    bool IsShowHtml() const { return showHtml_; }

protected:
    // The colour the text is drawn in now; kinds with more states refine it.
    virtual uint32_t GetPaintTextColor() const;
    void DropEstimate() { estimateValid_ = false; }
    // Draws text (plain or markup) in the text rectangle; links are collected when given.
    void DrawTextIn(HDC dc, const std::wstring& text, uint32_t color, std::vector<MarkupLink>* links = nullptr,
                    int hover = -1);

    int font_ = -1;
    UINT textStyle_ = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
    uint32_t textColor_ = 0, disabledTextColor_ = 0;
    RECT textPadding_{};
    bool showHtml_ = false;

private:
    SIZE MeasureText(int width);

    bool estimateValid_ = false;
    SIZE estimateFor_{};
    SIZE estimate_{};
};

}  // namespace SkinUI
