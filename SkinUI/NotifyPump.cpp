#include "NotifyPump.h"

#include <cwctype>

#include "UIControl.h"

namespace SkinUI {

namespace {

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

}  // namespace

bool CNotifyPump::AddVirtualWnd(const std::wstring& name, CNotifyPump* pump)
{
    return pump && virtualWnds_.emplace(Lower(name), pump).second;
}

bool CNotifyPump::RemoveVirtualWnd(const std::wstring& name) { return virtualWnds_.erase(Lower(name)) > 0; }

bool CNotifyPump::NotifyPump(NotifyMsg& msg)
{
    if (!msg.virtualWnd.empty()) {
        const auto it = virtualWnds_.find(Lower(msg.virtualWnd));
        if (it != virtualWnds_.end() && it->second->Dispatch(msg))
            return true;
    }
    return Dispatch(msg);
}

bool CNotifyPump::Dispatch(NotifyMsg& msg)
{
    const std::wstring& sender = msg.sender ? msg.sender->GetName() : std::wstring();
    for (const NotifyMap& map : maps_) {
        const NotifyMapEntry* match = nullptr;
        for (const NotifyMapEntry& e : map) {
            if (e.type != msg.type)
                continue;
            if (!e.control.empty() && e.control == sender) {
                match = &e;  // the sender's own entry wins at once
                break;
            }
            if (e.control.empty())
                match = &e;
        }
        if (!match)
            continue;
        if (match->onNotify)
            match->onNotify(msg);
        else if (match->onParams)
            match->onParams(msg.wParam, msg.lParam);
        return true;
    }
    return false;
}

}  // namespace SkinUI
