// Shared records and interfaces of the framework: events, notifications, flags.
#pragma once

#include <windows.h>

#include <string>

namespace SkinUI {

class CControlUI;

enum UIEventType {
    UIEVENT_KEYDOWN,
    UIEVENT_KEYUP,
    UIEVENT_CHAR,
    UIEVENT_SYSKEY,
    UIEVENT_MOUSEMOVE,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_MOUSEHOVER,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
    UIEVENT_RBUTTONDOWN,
    UIEVENT_DBLCLICK,
    UIEVENT_CONTEXTMENU,
    UIEVENT_SCROLLWHEEL,
    UIEVENT_KILLFOCUS,
    UIEVENT_SETFOCUS,
    UIEVENT_WINDOWSIZE,
    UIEVENT_SETCURSOR,
    UIEVENT_TIMER,
};

struct UIEvent {
    UIEventType type = UIEVENT_MOUSEMOVE;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mouse{};
    wchar_t key = 0;
    WORD keyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct NotifyMsg {
    std::wstring type;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;  // milliseconds since system start
    POINT mouse{};        // last mouse position, client coordinates
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::wstring virtualWnd;
};

// Control flags (GetControlFlags).
constexpr UINT UIFLAG_TABSTOP = 1;
constexpr UINT UIFLAG_SETCURSOR = 2;

// FindControl flags.
constexpr UINT UIFIND_ALL = 0;
constexpr UINT UIFIND_VISIBLE = 1;
constexpr UINT UIFIND_ENABLED = 2;
constexpr UINT UIFIND_HITTEST = 4;
constexpr UINT UIFIND_TOP_FIRST = 8;
constexpr UINT UIFIND_ME_FIRST = 0x80000000;

// Answers a control to stop the search, or null to go on.
using FindControlProc = CControlUI* (*)(CControlUI* control, void* data);

class INotifyUI {
public:
    virtual void Notify(NotifyMsg& msg) = 0;

protected:
    ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateCustomControl(const wchar_t* className) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

class IContainerUI {
public:
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(CControlUI* control) const = 0;
    virtual bool SetItemIndex(CControlUI* control, int index) = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    virtual bool Remove(CControlUI* control) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;

protected:
    ~IContainerUI() = default;
};


}  // namespace SkinUI
