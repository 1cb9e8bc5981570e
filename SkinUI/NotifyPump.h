// Routes notifications to handlers by type and control name; maps of derived classes come first.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "UIDefs.h"

namespace SkinUI {

struct NotifyMapEntry {
    std::wstring type;     // compared exactly
    std::wstring control;  // empty: any sender
    // One of the two handler kinds.
    std::function<void(NotifyMsg&)> onNotify;
    std::function<void(WPARAM, LPARAM)> onParams;
};
using NotifyMap = std::vector<NotifyMapEntry>;

class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;

    // Notifications whose virtual window name matches (without case) go to that pump first.
    bool AddVirtualWnd(const std::wstring& name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const std::wstring& name);
    // Answers whether a handler took the notification.
    bool NotifyPump(NotifyMsg& msg);

    // The class maps, most derived first.
    const std::vector<NotifyMap>& GetMessageMap() const { return maps_; }

protected:
    // Each class level adds its map in its constructor; later (more derived) maps are searched first.
    void AddMessageMap(NotifyMap map) { maps_.insert(maps_.begin(), std::move(map)); }

private:
    bool Dispatch(NotifyMsg& msg);

    std::vector<NotifyMap> maps_;
    std::map<std::wstring, CNotifyPump*> virtualWnds_;
};

}  // namespace SkinUI
