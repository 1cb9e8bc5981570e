// One per window: owns the control tree, turns native input into control events, holds fonts, images,
// defaults, timers and the notifiers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Handles.h"
#include "UIDefs.h"
#include "UIImage.h"

namespace SkinUI {

class CControlUI;

struct FontInfo {
    UniqueFont font;
    std::wstring faceName;
    int size = 0;
    bool bold = false, underline = false, italic = false;
    TEXTMETRICW metrics{};  // taken once with the font selected
};

// The message that delivers queued asynchronous notifications.
constexpr UINT WM_SKINUI_ASYNC_NOTIFY = WM_APP + 1;

class CManagerUI {
public:
    CManagerUI();
    CManagerUI(const CManagerUI&) = delete;
    CManagerUI& operator=(const CManagerUI&) = delete;
    ~CManagerUI();

    // A null window gives a manager that measures with a memory DC, for building and laying out only.
    void Init(HWND window);
    HWND GetPaintWindow() const { return window_; }
    HDC GetPaintDC() const { return measureDC_.get(); }
    POINT GetMousePos() const { return lastMouse_; }
    SIZE GetClientSize() const;
    SIZE GetInitSize() const { return initSize_; }
    void SetInitSize(int cx, int cy);
    const RECT& GetSizeBox() const { return sizeBox_; }
    const RECT& GetCaptionRect() const { return caption_; }
    SIZE GetRoundCorner() const { return roundCorner_; }
    SIZE GetMinInfo() const { return minInfo_; }
    SIZE GetMaxInfo() const { return maxInfo_; }
    bool IsNoActivate() const { return noActivate_; }
    bool IsShowUpdateRect() const { return showDirty_; }

    uint32_t GetDefaultDisabledColor() const { return disabledColor_; }
    uint32_t GetDefaultFontColor() const { return fontColor_; }
    uint32_t GetDefaultLinkFontColor() const { return linkColor_; }
    uint32_t GetDefaultLinkHoverFontColor() const { return linkHoverColor_; }
    uint32_t GetDefaultSelectedBkColor() const { return selectedColor_; }

    void ApplyWindowAttribute(const std::wstring& name, const std::wstring& value);
    const std::wstring* GetWindowCustomAttribute(const std::wstring& name) const;

    // Fonts by id; an unknown id (or -1) is the default font.
    void AddFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic,
                 bool isDefault, bool shared);
    HFONT GetFont(int id);
    const FontInfo& GetFontInfo(int id);
    // The same face and size with other style flags; cached.
    HFONT GetStyledFont(HFONT base, bool bold, bool underline, bool italic);
    const TEXTMETRICW& GetFontMetrics(HFONT font);

    void AddImage(const std::wstring& name, const std::wstring& restype, uint32_t mask, bool shared);
    const ImageInfo* GetImage(const std::wstring& name) const;
    void AddDefaultAttributeList(const std::wstring& className, const std::wstring& list, bool shared);
    const std::wstring* GetDefaultAttributeList(const std::wstring& className) const;
    void AddMultiLanguageString(int id, const std::wstring& text);
    const std::wstring* GetMultiLanguageString(int id) const;

    // Takes the tree: gives every control the manager, registers names, plans the first layout.
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return root_; }
    bool InitControls(CControlUI* control, CControlUI* parent);
    // A control being deleted: forget every reference to it.
    void ReapObjects(CControlUI* control);

    CControlUI* FindControl(const std::wstring& name) const;
    CControlUI* FindControl(POINT point) const;

    bool AddOptionGroup(const std::wstring& group, CControlUI* option);
    const std::vector<CControlUI*>* GetOptionGroup(const std::wstring& group) const;
    void RemoveOptionGroup(const std::wstring& group, CControlUI* option);

    CControlUI* GetFocus() const { return focus_; }
    void SetFocus(CControlUI* control);
    bool SetNextTabControl(bool forward = true);
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const { return captured_; }

    bool SetTimer(CControlUI* control, UINT id, UINT elapse);
    bool KillTimer(CControlUI* control, UINT id);
    void KillTimers(CControlUI* control);

    void SendNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool async = false, bool allowRepeat = false);
    void SendNotify(NotifyMsg& msg, bool async = false, bool allowRepeat = false);
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);
    // A native child window (the edit box) that belongs to a control. reflect receives the messages the
    // child sends its parent (WM_COMMAND, WM_CTLCOLOREDIT, WM_CTLCOLORSTATIC); it answers whether it handled one.
    using ReflectHandler = std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
    void AddNativeWindow(CControlUI* control, HWND child, ReflectHandler reflect);
    void RemoveNativeWindow(HWND child);

    void NeedUpdate() { updateNeeded_ = true; }
    bool IsUpdateNeeded() const { return updateNeeded_; }
    void Invalidate(const RECT& rc);
    // Lays out what is marked; the first layout sends "windowinit". Answers whether layout ran.
    bool UpdateLayout();
    // Paints the part of the tree inside paint into dc (client coordinates).
    void PaintTo(HDC dc, const RECT& paint);

    // Input and painting of the window; true when the message is handled (result in *result).
    bool MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool PreMessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The framework's translation before dispatch: answers true when the message was consumed.
    static bool TranslateMessage(const MSG* msg);

private:
    struct TimerInfo {
        CControlUI* control;
        UINT localId;
        UINT_PTR nativeId;
        bool killed;
    };
    struct NativeChild {
        CControlUI* control;
        HWND window;
        ReflectHandler reflect;
    };

    void OnPaint();
    void DeliverAsyncNotifications();
    void MakeDefaultFont();
    FontInfo MakeFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
    void FillMetrics(FontInfo& info);
    void SendEvent(CControlUI* control, UIEventType type, WPARAM wParam = 0, LPARAM lParam = 0);

    HWND window_ = nullptr;
    UniqueMemoryDC measureDC_;
    UniqueBitmap backBitmap_;  // the back buffer of painting; declared first so its DC goes first
    UniqueMemoryDC backDC_;
    SIZE backSize_{};
    CControlUI* root_ = nullptr;
    CControlUI* focus_ = nullptr;
    CControlUI* hover_ = nullptr;
    CControlUI* click_ = nullptr;
    CControlUI* key_ = nullptr;
    bool captured_ = false;
    bool mouseTracking_ = false;
    bool updateNeeded_ = false;
    bool firstLayout_ = true;
    POINT lastMouse_{-1, -1};
    std::unordered_map<std::wstring, CControlUI*> names_;
    std::map<std::wstring, std::vector<CControlUI*>> optionGroups_;
    std::vector<INotifyUI*> notifiers_;
    std::vector<IMessageFilterUI*> preFilters_;
    std::vector<TimerInfo> timers_;
    UINT_PTR nextTimerId_ = 0x1000;  // window timers below this are the window's own
    std::vector<NativeChild> nativeChildren_;
    std::deque<NotifyMsg> asyncNotify_;

    std::map<int, FontInfo> fonts_;
    FontInfo defaultFont_;
    std::map<HFONT, TEXTMETRICW> metrics_;
    std::map<std::wstring, FontInfo> styledFonts_;
    std::map<std::wstring, std::unique_ptr<ImageInfo>> images_;
    std::map<std::wstring, std::wstring> defaultAttributes_;
    std::map<int, std::wstring> multiLanguage_;

    SIZE initSize_{};
    RECT sizeBox_{};
    RECT caption_{};
    SIZE roundCorner_{};
    SIZE minInfo_{}, maxInfo_{};
    bool showDirty_ = false;
    bool noActivate_ = false;
    uint32_t disabledColor_ = 0xFFA7A6AA, fontColor_ = 0xFF000000, linkColor_ = 0xFF0000FF,
             linkHoverColor_ = 0xFFD3215F, selectedColor_ = 0xFFBAE4FF;
    std::map<std::wstring, std::wstring> windowAttributes_;
};

}  // namespace SkinUI
