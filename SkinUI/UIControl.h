// The base control: geometry, state, attributes, events and the paint steps every control shares.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "UIDefs.h"
#include "UIImage.h"

namespace SkinUI {

class CManagerUI;

struct FloatPercent {
    double left = 0, top = 0, right = 0, bottom = 0;
};

class CControlUI {
public:
    CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;
    virtual void Delete();
    virtual ~CControlUI();

    virtual const std::wstring& GetName() const { return name_; }
    virtual void SetName(const std::wstring& name) { name_ = name; }
    virtual const wchar_t* GetClass() const { return L"Control"; }
    // Answers this control for its kind's interface name ("Control", "Button", "IContainer", ...).
    virtual void* GetInterface(const wchar_t* name);
    virtual UINT GetControlFlags() const { return 0; }
    virtual HWND GetNativeWindow() const { return nullptr; }
    virtual bool Activate();
    virtual CManagerUI* GetManager() const { return manager_; }
    virtual void SetManager(CManagerUI* manager, CControlUI* parent, bool init = true);
    virtual CControlUI* GetParent() const { return parent_; }
    virtual CControlUI* GetCoverControl() const { return cover_; }
    virtual void SetCoverControl(CControlUI* cover);  // owned from now on

    virtual std::wstring GetText() const { return text_; }
    virtual void SetText(const std::wstring& text);

    // Rectangles in window client coordinates, except GetRelativePos (to the parent's item rectangle).
    virtual const RECT& GetPos() const { return item_; }
    virtual RECT GetRelativePos() const;
    virtual RECT GetClientPos() const { return item_; }
    virtual void SetPos(RECT rc, bool invalidate = true);
    virtual void Move(SIZE offset, bool invalidate = true);
    virtual int GetWidth() const { return item_.right - item_.left; }
    virtual int GetHeight() const { return item_.bottom - item_.top; }
    virtual int GetX() const { return item_.left; }
    virtual int GetY() const { return item_.top; }
    virtual RECT GetPadding() const { return padding_; }
    virtual void SetPadding(RECT padding);
    virtual SIZE GetFixedXY() const { return fixedXY_; }
    virtual void SetFixedXY(SIZE xy);
    virtual FloatPercent GetFloatPercent() const { return floatPercent_; }
    virtual void SetFloatPercent(FloatPercent percent);
    virtual int GetFixedWidth() const { return fixedWidth_; }
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const { return fixedHeight_; }
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const { return minWidth_; }
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const { return maxWidth_ < minWidth_ ? minWidth_ : maxWidth_; }
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const { return minHeight_; }
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const { return maxHeight_ < minHeight_ ? minHeight_ : maxHeight_; }
    virtual void SetMaxHeight(int cy);

    virtual std::wstring GetToolTip() const { return toolTip_; }
    virtual void SetToolTip(const std::wstring& text) { toolTip_ = text; }
    virtual void SetToolTipWidth(int width) { toolTipWidth_ = width; }
    virtual int GetToolTipWidth() const { return toolTipWidth_; }
    virtual wchar_t GetShortcut() const { return shortcut_; }
    virtual void SetShortcut(wchar_t ch) { shortcut_ = ch; }
    virtual bool IsContextMenuEnabled() const { return contextMenu_; }
    virtual void SetContextMenuEnabled(bool enabled) { contextMenu_ = enabled; }
    virtual const std::wstring& GetUserData() const { return userData_; }
    virtual void SetUserData(const std::wstring& text) { userData_ = text; }
    virtual UINT_PTR GetTag() const { return tag_; }
    virtual void SetTag(UINT_PTR tag) { tag_ = tag; }

    // Visible and not hidden by an ancestor.
    virtual bool IsVisible() const { return visible_ && innerVisible_; }
    virtual void SetVisible(bool visible);
    virtual void SetInnerVisible(bool visible);  // set by the parent
    virtual bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    virtual bool IsMouseEnabled() const { return mouseEnabled_; }
    virtual void SetMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
    virtual bool IsKeyboardEnabled() const { return keyboardEnabled_; }
    virtual void SetKeyboardEnabled(bool enabled) { keyboardEnabled_ = enabled; }
    virtual bool IsFocused() const { return focused_; }
    virtual void SetFocus();
    virtual bool IsFloat() const { return float_; }
    virtual void SetFloat(bool isFloat);

    virtual CControlUI* FindControl(FindControlProc proc, void* data, UINT flags);

    virtual void Init();
    virtual void DoInit() {}
    virtual void Event(UIEvent& event);
    virtual void DoEvent(UIEvent& event);

    // The markup attribute of the same name; names no kind knows become custom attributes.
    virtual void SetAttribute(const std::wstring& name, const std::wstring& value);
    // Pairs name="value" separated by blanks (a Default element's value).
    virtual void ApplyAttributeList(const std::wstring& list);

    virtual SIZE EstimateSize(SIZE available);

    virtual bool Paint(HDC dc, const RECT& paint);
    virtual bool DoPaint(HDC dc, const RECT& paint);
    virtual void PaintBkColor(HDC dc);
    virtual void PaintBkImage(HDC dc);
    virtual void PaintStatusImage(HDC) {}
    virtual void PaintText(HDC) {}
    virtual void PaintBorder(HDC dc);

    // When visible: mark this control and the window for layout, and invalidate.
    void RequestLayout();
    void RequestParentLayout();
    bool IsUpdateNeeded() const { return updateNeeded_; }
    // Adds the rectangle, clipped by every ancestor, to the window's invalid area.
    void Invalidate();

    void SetBkColor(uint32_t color);
    uint32_t GetBkColor() const { return bkColor_; }
    void SetBorderColor(uint32_t color);
    void SetFocusBorderColor(uint32_t color);
    void SetBorderSize(RECT sizes);
    void SetBorderRound(SIZE round);
    const std::wstring& GetBkImage() const { return bkImage_.GetText(); }
    // Loaded at once; an unchanged descriptor whose image is loaded does nothing. A floating control
    // without a fixed size takes the image's size.
    void SetBkImage(const std::wstring& descriptor);

    // The first value stored under a name stays; empty names and values are ignored.
    void AddCustomAttribute(const std::wstring& name, const std::wstring& value);
    const std::wstring* GetCustomAttribute(const std::wstring& name) const;

    // Called with every notification this control sends, before the window's notifiers.
    void AddNotifySubscriber(std::function<void(NotifyMsg&)> subscriber);
    void CallNotifySubscribers(NotifyMsg& msg);

    const std::wstring& GetVirtualWnd() const;

protected:
    // Draws a descriptor into the item rectangle (or the given destination) clipped by the paint area.
    bool DrawImage(HDC dc, CImageDescriptor& image, const RECT* dest = nullptr);
    const RECT& PaintRect() const { return paintRect_; }
    void SetPaintRect(const RECT& rc) { paintRect_ = rc; }
    // The rounded clip of borderround (the caller saves the DC state).
    void ClipToRoundCorner(HDC dc) const;
    // Background colour, background image, state image, text, border.
    void PaintSteps(HDC dc);

    CManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    CControlUI* cover_ = nullptr;
    RECT item_{};
    RECT padding_{};
    SIZE fixedXY_{};
    int fixedWidth_ = 0, fixedHeight_ = 0;
    int minWidth_ = 0, minHeight_ = 0;
    int maxWidth_ = 9999, maxHeight_ = 9999;
    bool float_ = false;
    FloatPercent floatPercent_;
    bool visible_ = true, innerVisible_ = true;
    bool enabled_ = true, mouseEnabled_ = true, keyboardEnabled_ = true;
    bool focused_ = false;
    bool updateNeeded_ = true;
    std::wstring text_;
    uint32_t bkColor_ = 0;
    uint32_t borderColor_ = 0, focusBorderColor_ = 0;
    RECT borderSize_{};
    SIZE borderRound_{};
    int borderStyle_ = PS_SOLID;
    CImageDescriptor bkImage_;

private:
    std::wstring name_;
    std::wstring toolTip_;
    int toolTipWidth_ = 300;
    std::wstring userData_;
    UINT_PTR tag_ = 0;
    wchar_t shortcut_ = 0;
    bool contextMenu_ = false;
    std::wstring virtualWnd_;
    std::map<std::wstring, std::wstring> customAttributes_;
    std::vector<std::function<void(NotifyMsg&)>> subscribers_;
    RECT paintRect_{};
};

}  // namespace SkinUI
