// The base of a skinned window: builds the skin on WM_CREATE, borderless frame with size box and caption
// dragging, default keys, and the notification map.
#pragma once

#include <string>

#include "NotifyPump.h"
#include "UIManager.h"
#include "WindowWnd.h"

namespace SkinUI {

class CControlUI;

// Where the skin comes from (GetResourceType).
enum SkinResourceType {
    kSkin_Files = 1,        // loose files under the resource path
    kSkin_ZipFile = 2,      // a zip file on disk (GetArchiveFileName)
    kSkin_Resource = 3,     // markup in the module's resources, type "xml", GetSkinFile is the id
    kSkin_ZipResource = 4,  // a zip in the module's resources, type "ZIPRES", id GetResourceID
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    virtual void InitWindow() {}
    virtual void OnClick(NotifyMsg& msg);
    virtual std::wstring GetSkinFolder() = 0;
    virtual std::wstring GetSkinFile() = 0;
    // Return and Escape from the pre-filter: Escape closes with code 1 and is consumed.
    virtual LRESULT OnDefaultKey(WPARAM key, bool& handled);
    virtual int GetResourceType() const { return kSkin_Files; }
    virtual std::wstring GetArchiveFileName() const { return {}; }
    virtual std::wstring GetResourceID() const { return {}; }

    // Message handlers: the handled flag starts true; one that leaves the message on sets it false.
    virtual LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcActivate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcCalcSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcPaint(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcHitTest(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnGetMinMaxInfo(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseWheel(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseHover(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnChar(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKeyDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKillFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSetFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonUp(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    // The current window style without the caption bits.
    virtual LONG GetStyle();

    void Notify(NotifyMsg& msg) override;
    LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    CControlUI* CreateCustomControl(const wchar_t*) override { return nullptr; }

    CManagerUI& GetManager() { return manager_; }
    // The control of that exact name, or null.
    CControlUI* FindControl(const std::wstring& name) const { return manager_.FindControl(name); }
    SIZE GetClientSize() const { return manager_.GetClientSize(); }

protected:
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hwnd) override;

    CManagerUI manager_;

private:
    // Makes the skin's source the resource zip; false when a zip resource is missing.
    bool OpenSkinSource();
};

}  // namespace SkinUI
