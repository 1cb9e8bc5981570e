// A one-line text field; while it has the focus a native edit box lies over its text area.
#pragma once

#include "UILabel.h"
#include "WindowWnd.h"

namespace SkinUI {

class CEditUI;

// The native edit box of a focused CEditUI; it deletes itself when its window is gone.
class CEditWnd : public CWindowWnd {
public:
    explicit CEditWnd(CEditUI* owner) : owner_(owner) {}
    bool Init();
    void Detach() { owner_ = nullptr; }

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinEditWnd"; }
    const wchar_t* GetSuperClassName() const override { return L"Edit"; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hwnd) override;

private:
    friend class CEditUI;
    bool OnReflected(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    CEditUI* owner_;
    UniqueBrush background_;
    bool initialising_ = false;
};

class CEditUI : public CLabelUI {
public:
    CEditUI();
    ~CEditUI() override;
    const wchar_t* GetClass() const override { return L"Edit"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override;
    HWND GetNativeWindow() const override;
    void SetText(const std::wstring& text) override;
    void SetEnabled(bool enabled) override;
    void SetVisible(bool visible) override;
    void DoEvent(UIEvent& event) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE EstimateSize(SIZE available) override;
    void PaintStatusImage(HDC dc) override;
    void PaintText(HDC dc) override;

    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    bool IsNumberOnly() const { return numberOnly_; }
    bool IsPasswordMode() const { return password_; }
    void SetPasswordMode(bool password);
    wchar_t GetPasswordChar() const { return passwordChar_; }
    bool IsAutoSelAll() const { return autoSelAll_; }
    int GetMaxChar() const { return maxChar_; }
    void SetMaxChar(int maxChar);
    uint32_t GetNativeBkColor() const { return nativeBkColor_; }

private:
    friend class CEditWnd;
    void OnNativeTextChanged(const std::wstring& text);
    void CloseNativeWindow();

    bool readOnly_ = false, numberOnly_ = false, password_ = false, autoSelAll_ = false;
    int maxChar_ = 255;
    wchar_t passwordChar_ = L'*';
    uint32_t nativeBkColor_ = 0xFFFFFFFF;
    UINT state_ = 0;
    CImageDescriptor normalImage_, hotImage_, focusedImage_, disabledImage_;
    CEditWnd* window_ = nullptr;  // owns itself; cleared when it goes
};

}  // namespace SkinUI
