#include "UIManager.h"

#include <windowsx.h>

#include <algorithm>
#include <cwctype>

#include "SkinValue.h"
#include "UIControl.h"

namespace SkinUI {

namespace {

// Process-wide tables of resources declared shared="true".
struct SharedResources {
    std::map<int, FontInfo> fonts;
    std::map<std::wstring, std::unique_ptr<ImageInfo>> images;
    std::map<std::wstring, std::wstring> defaults;
};

SharedResources& Shared()
{
    static SharedResources shared;
    return shared;
}

// Managers whose windows take part in the translation before dispatch.
std::vector<CManagerUI*>& TranslatingManagers()
{
    static std::vector<CManagerUI*> managers;
    return managers;
}

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// Registration lists (notifiers, pre-message filters) hold each member once.
template <typename T>
bool AddOnce(std::vector<T*>& list, T* member)
{
    if (!member || std::find(list.begin(), list.end(), member) != list.end())
        return false;
    list.push_back(member);
    return true;
}

template <typename T>
bool RemoveOnce(std::vector<T*>& list, T* member)
{
    const auto it = std::find(list.begin(), list.end(), member);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

CControlUI* HitProc(CControlUI* control, void*) { return control; }

CControlUI* CollectProc(CControlUI* control, void* data)
{
    static_cast<std::vector<CControlUI*>*>(data)->push_back(control);
    return nullptr;
}

}  // namespace

CManagerUI::CManagerUI() : measureDC_(CreateCompatibleDC(nullptr)) { MakeDefaultFont(); }

CManagerUI::~CManagerUI()
{
    auto& managers = TranslatingManagers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
    for (const TimerInfo& t : timers_)
        if (!t.killed && window_)
            ::KillTimer(window_, t.nativeId);
    timers_.clear();
    if (root_) {
        CControlUI* root = root_;
        root_ = nullptr;
        root->Delete();
    }
}

void CManagerUI::Init(HWND window)
{
    window_ = window;
    auto& managers = TranslatingManagers();
    if (window_ && std::find(managers.begin(), managers.end(), this) == managers.end())
        managers.push_back(this);
}

SIZE CManagerUI::GetClientSize() const
{
    if (!window_)
        return initSize_;
    RECT rc{};
    GetClientRect(window_, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

void CManagerUI::SetInitSize(int cx, int cy)
{
    initSize_ = {cx, cy};
    if (!root_ && window_)
        SetWindowPos(window_, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CManagerUI::ApplyWindowAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    const std::wstring key = Lower(name);
    auto toRect = [](RectValue r) { return RECT{r.left, r.top, r.right, r.bottom}; };
    if (key == L"size") {
        const SizeValue s = ParseSize(v);
        SetInitSize(s.cx, s.cy);
    } else if (key == L"sizebox") {
        sizeBox_ = toRect(ParseRect(v));
    } else if (key == L"caption") {
        caption_ = toRect(ParseRect(v));
    } else if (key == L"roundcorner") {
        const SizeValue s = ParseSize(v);
        roundCorner_ = {s.cx, s.cy};
    } else if (key == L"mininfo") {
        const SizeValue s = ParseSize(v);
        minInfo_ = {s.cx, s.cy};
    } else if (key == L"maxinfo") {
        const SizeValue s = ParseSize(v);
        maxInfo_ = {s.cx, s.cy};
    } else if (key == L"showdirty") {
        showDirty_ = ParseBool(v);
    } else if (name == L"noactivate") {
        noActivate_ = ParseBool(v);
    } else if (key == L"disabledfontcolor") {
        disabledColor_ = ParseColor(v);
    } else if (key == L"defaultfontcolor") {
        fontColor_ = ParseColor(v);
    } else if (key == L"linkfontcolor") {
        linkColor_ = ParseColor(v);
    } else if (key == L"linkhoverfontcolor") {
        linkHoverColor_ = ParseColor(v);
    } else if (key == L"selectedcolor") {
        selectedColor_ = ParseColor(v);
    } else {
        windowAttributes_[name] = value;
    }
}

const std::wstring* CManagerUI::GetWindowCustomAttribute(const std::wstring& name) const
{
    const auto it = windowAttributes_.find(name);
    return it == windowAttributes_.end() ? nullptr : &it->second;
}

// ---- fonts, images, defaults

void CManagerUI::FillMetrics(FontInfo& info)
{
    SelectGuard select(measureDC_.get(), info.font.get());
    GetTextMetricsW(measureDC_.get(), &info.metrics);
}

void CManagerUI::MakeDefaultFont()
{
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    defaultFont_.font.reset(CreateFontIndirectW(&lf));
    defaultFont_.faceName = lf.lfFaceName;
    defaultFont_.size = -lf.lfHeight;
    FillMetrics(defaultFont_);
}

FontInfo CManagerUI::MakeFont(const std::wstring& face, int size, bool bold, bool underline, bool italic)
{
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lstrcpynW(lf.lfFaceName, face.c_str(), 32);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -size;
    if (bold)
        lf.lfWeight = std::min<LONG>(lf.lfWeight + FW_BOLD, FW_HEAVY);  // the GDI range ends at 1000
    lf.lfUnderline = underline;
    lf.lfItalic = italic;
    FontInfo info;
    info.font.reset(CreateFontIndirectW(&lf));
    info.faceName = lf.lfFaceName;
    info.size = size;
    info.bold = bold;
    info.underline = underline;
    info.italic = italic;
    FillMetrics(info);
    return info;
}

void CManagerUI::AddFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic,
                         bool isDefault, bool shared)
{
    FontInfo info = MakeFont(face, size, bold, underline, italic);
    if (!info.font)
        return;
    if (isDefault)
        defaultFont_ = MakeFont(face, size, bold, underline, italic);
    if (shared)
        Shared().fonts[id] = std::move(info);
    else
        fonts_[id] = std::move(info);
}

const FontInfo& CManagerUI::GetFontInfo(int id)
{
    if (id >= 0) {
        if (const auto it = fonts_.find(id); it != fonts_.end())
            return it->second;
        if (const auto it = Shared().fonts.find(id); it != Shared().fonts.end())
            return it->second;
    }
    return defaultFont_;
}

HFONT CManagerUI::GetFont(int id) { return GetFontInfo(id).font.get(); }

HFONT CManagerUI::GetStyledFont(HFONT base, bool bold, bool underline, bool italic)
{
    LOGFONTW lf{};
    if (!GetObjectW(base, sizeof(lf), &lf))
        return base;
    if (bold)
        lf.lfWeight = FW_BOLD;
    lf.lfUnderline = lf.lfUnderline || underline;
    lf.lfItalic = lf.lfItalic || italic;
    const std::wstring key = std::wstring(lf.lfFaceName) + L'|' + std::to_wstring(lf.lfHeight) + L'|' +
                             std::to_wstring(lf.lfWeight) + L'|' + std::to_wstring(lf.lfUnderline) +
                             std::to_wstring(lf.lfItalic);
    auto it = styledFonts_.find(key);
    if (it == styledFonts_.end()) {
        FontInfo info;
        info.font.reset(CreateFontIndirectW(&lf));
        if (!info.font)
            return base;
        FillMetrics(info);
        it = styledFonts_.emplace(key, std::move(info)).first;
    }
    return it->second.font.get();
}

const TEXTMETRICW& CManagerUI::GetFontMetrics(HFONT font)
{
    auto it = metrics_.find(font);
    if (it == metrics_.end()) {
        TEXTMETRICW tm{};
        SelectGuard select(measureDC_.get(), font);
        GetTextMetricsW(measureDC_.get(), &tm);
        it = metrics_.emplace(font, tm).first;
    }
    return it->second;
}

void CManagerUI::AddImage(const std::wstring& name, const std::wstring& restype, uint32_t mask, bool shared)
{
    auto image = LoadImageInfo(name, restype, mask);
    if (!image)
        return;
    (shared ? Shared().images : images_)[name] = std::move(image);
}

const ImageInfo* CManagerUI::GetImage(const std::wstring& name) const
{
    if (const auto it = images_.find(name); it != images_.end())
        return it->second.get();
    if (const auto it = Shared().images.find(name); it != Shared().images.end())
        return it->second.get();
    return nullptr;
}

void CManagerUI::AddDefaultAttributeList(const std::wstring& className, const std::wstring& list, bool shared)
{
    (shared ? Shared().defaults : defaultAttributes_)[Lower(className)] = list;
}

const std::wstring* CManagerUI::GetDefaultAttributeList(const std::wstring& className) const
{
    const std::wstring key = Lower(className);
    if (const auto it = defaultAttributes_.find(key); it != defaultAttributes_.end())
        return &it->second;
    if (const auto it = Shared().defaults.find(key); it != Shared().defaults.end())
        return &it->second;
    return nullptr;
}

void CManagerUI::AddMultiLanguageString(int id, const std::wstring& text) { multiLanguage_[id] = text; }

const std::wstring* CManagerUI::GetMultiLanguageString(int id) const
{
    const auto it = multiLanguage_.find(id);
    return it == multiLanguage_.end() ? nullptr : &it->second;
}

// ---- the tree

bool CManagerUI::AttachDialog(CControlUI* root)
{
    if (!root)
        return false;
    SetFocus(nullptr);
    hover_ = click_ = key_ = nullptr;
    if (root_ && root_ != root) {
        CControlUI* old = root_;
        root_ = nullptr;
        old->Delete();
    }
    root_ = root;
    firstLayout_ = true;
    InitControls(root, nullptr);
    root_->RequestLayout();
    updateNeeded_ = true;
    return true;
}

bool CManagerUI::InitControls(CControlUI* control, CControlUI* parent)
{
    if (!control)
        return false;
    control->SetManager(this, parent ? parent : control->GetParent(), true);
    std::vector<CControlUI*> all;
    control->FindControl(CollectProc, &all, UIFIND_ALL);
    for (CControlUI* c : all)
        if (!c->GetName().empty())
            names_[c->GetName()] = c;
    return true;
}

void CManagerUI::ReapObjects(CControlUI* control)
{
    if (focus_ == control)
        focus_ = nullptr;
    if (hover_ == control)
        hover_ = nullptr;
    if (click_ == control)
        click_ = nullptr;
    if (key_ == control)
        key_ = nullptr;
    if (root_ == control)
        root_ = nullptr;
    for (auto it = names_.begin(); it != names_.end();)
        it = it->second == control ? names_.erase(it) : std::next(it);
    KillTimers(control);
    for (auto& group : optionGroups_)
        group.second.erase(std::remove(group.second.begin(), group.second.end(), control), group.second.end());
    nativeChildren_.erase(std::remove_if(nativeChildren_.begin(), nativeChildren_.end(),
                                         [control](const NativeChild& c) { return c.control == control; }),
                          nativeChildren_.end());
    asyncNotify_.erase(std::remove_if(asyncNotify_.begin(), asyncNotify_.end(),
                                      [control](const NotifyMsg& m) { return m.sender == control; }),
                       asyncNotify_.end());
}

CControlUI* CManagerUI::FindControl(const std::wstring& name) const
{
    const auto it = names_.find(name);
    return it == names_.end() ? nullptr : it->second;
}

CControlUI* CManagerUI::FindControl(POINT point) const
{
    if (!root_)
        return nullptr;
    return root_->FindControl(HitProc, &point, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

bool CManagerUI::AddOptionGroup(const std::wstring& group, CControlUI* option)
{
    auto& members = optionGroups_[group];
    if (std::find(members.begin(), members.end(), option) == members.end())
        members.push_back(option);
    return true;
}

const std::vector<CControlUI*>* CManagerUI::GetOptionGroup(const std::wstring& group) const
{
    const auto it = optionGroups_.find(group);
    return it == optionGroups_.end() ? nullptr : &it->second;
}

void CManagerUI::RemoveOptionGroup(const std::wstring& group, CControlUI* option)
{
    const auto it = optionGroups_.find(group);
    if (it == optionGroups_.end())
        return;
    auto& members = it->second;
    members.erase(std::remove(members.begin(), members.end(), option), members.end());
    if (members.empty())
        optionGroups_.erase(it);
}

// ---- focus, capture, timers

void CManagerUI::SetFocus(CControlUI* control)
{
    if (window_ && !noActivate_ && ::GetFocus() != window_ && control != focus_)
        ::SetFocus(window_);
    if (control == focus_)
        return;
    if (CControlUI* old = focus_) {
        focus_ = nullptr;
        SendEvent(old, UIEVENT_KILLFOCUS);
        SendNotify(old, L"killfocus");
    }
    if (control && control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
        focus_ = control;
        SendEvent(control, UIEVENT_SETFOCUS);
        if (focus_ == control)
            SendNotify(control, L"setfocus");
    }
}

bool CManagerUI::SetNextTabControl(bool forward)
{
    if (!root_)
        return false;
    std::vector<CControlUI*> all;
    root_->FindControl(CollectProc, &all, UIFIND_ALL);
    if (!forward)
        std::reverse(all.begin(), all.end());
    const auto at = std::find(all.begin(), all.end(), focus_);
    const size_t start = at == all.end() ? 0 : static_cast<size_t>(at - all.begin()) + 1;
    for (size_t k = 0; k < all.size(); ++k) {
        CControlUI* c = all[(start + k) % all.size()];
        if (c->IsVisible() && c->IsEnabled() && (c->GetControlFlags() & UIFLAG_TABSTOP)) {
            SetFocus(c);
            return true;
        }
    }
    return false;
}

void CManagerUI::SetCapture()
{
    if (window_)
        ::SetCapture(window_);
    captured_ = true;
}

void CManagerUI::ReleaseCapture()
{
    if (captured_ && window_)
        ::ReleaseCapture();
    captured_ = false;
}

bool CManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapse)
{
    if (!window_)
        return false;
    for (TimerInfo& t : timers_) {
        if (t.control == control && t.localId == id) {
            t.killed = false;
            return ::SetTimer(window_, t.nativeId, elapse, nullptr) != 0;
        }
    }
    const UINT_PTR nativeId = nextTimerId_++;
    if (!::SetTimer(window_, nativeId, elapse, nullptr))
        return false;
    timers_.push_back({control, id, nativeId, false});
    return true;
}

bool CManagerUI::KillTimer(CControlUI* control, UINT id)
{
    for (TimerInfo& t : timers_) {
        if (t.control == control && t.localId == id) {
            if (!t.killed && window_)
                ::KillTimer(window_, t.nativeId);
            t.killed = true;
            return true;
        }
    }
    return false;
}

void CManagerUI::KillTimers(CControlUI* control)
{
    for (const TimerInfo& t : timers_)
        if (t.control == control && !t.killed && window_)
            ::KillTimer(window_, t.nativeId);
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                                 [control](const TimerInfo& t) { return t.control == control; }),
                  timers_.end());
}

// ---- notifications

void CManagerUI::SendNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam, LPARAM lParam,
                            bool async, bool allowRepeat)
{
    NotifyMsg msg;
    msg.type = type;
    msg.sender = sender;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, async, allowRepeat);
}

void CManagerUI::SendNotify(NotifyMsg& msg, bool async, bool allowRepeat)
{
    msg.mouse = lastMouse_;
    msg.timestamp = GetTickCount();
    if (msg.sender)
        msg.virtualWnd = msg.sender->GetVirtualWnd();
    if (async) {
        if (!allowRepeat) {
            for (NotifyMsg& queued : asyncNotify_) {
                if (queued.sender == msg.sender && queued.type == msg.type) {
                    queued = msg;
                    return;
                }
            }
        }
        asyncNotify_.push_back(msg);
        if (window_)
            PostMessageW(window_, WM_SKINUI_ASYNC_NOTIFY, 0, 0);
        return;
    }
    if (msg.sender)
        msg.sender->CallNotifySubscribers(msg);
    // A notifier may remove itself or others while the message is handed round.
    const std::vector<INotifyUI*> notifiers = notifiers_;
    for (INotifyUI* n : notifiers)
        if (std::find(notifiers_.begin(), notifiers_.end(), n) != notifiers_.end())
            n->Notify(msg);
}

void CManagerUI::DeliverAsyncNotifications()
{
    while (!asyncNotify_.empty()) {
        NotifyMsg msg = asyncNotify_.front();
        asyncNotify_.pop_front();
        if (msg.sender)
            msg.sender->CallNotifySubscribers(msg);
        const std::vector<INotifyUI*> notifiers = notifiers_;
        for (INotifyUI* n : notifiers)
            if (std::find(notifiers_.begin(), notifiers_.end(), n) != notifiers_.end())
                n->Notify(msg);
    }
}

bool CManagerUI::AddNotifier(INotifyUI* notifier) { return AddOnce(notifiers_, notifier); }

bool CManagerUI::RemoveNotifier(INotifyUI* notifier) { return RemoveOnce(notifiers_, notifier); }

bool CManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) { return AddOnce(preFilters_, filter); }

bool CManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) { return RemoveOnce(preFilters_, filter); }

void CManagerUI::AddNativeWindow(CControlUI* control, HWND child, ReflectHandler reflect)
{
    RemoveNativeWindow(child);
    nativeChildren_.push_back({control, child, std::move(reflect)});
}

void CManagerUI::RemoveNativeWindow(HWND child)
{
    nativeChildren_.erase(std::remove_if(nativeChildren_.begin(), nativeChildren_.end(),
                                         [child](const NativeChild& c) { return c.window == child; }),
                          nativeChildren_.end());
}

// ---- layout and painting

void CManagerUI::Invalidate(const RECT& rc)
{
    if (window_)
        ::InvalidateRect(window_, &rc, FALSE);
}

bool CManagerUI::UpdateLayout()
{
    if (!updateNeeded_ || !root_)
        return false;
    updateNeeded_ = false;
    if (root_->IsUpdateNeeded()) {
        const SIZE client = GetClientSize();
        root_->SetPos({0, 0, client.cx, client.cy}, true);
    } else {
        std::vector<CControlUI*> all;
        root_->FindControl(CollectProc, &all, UIFIND_VISIBLE | UIFIND_ME_FIRST);
        for (CControlUI* c : all)
            if (c->IsUpdateNeeded())  // an ancestor's layout may have placed it already
                c->SetPos(c->IsFloat() ? c->GetRelativePos() : c->GetPos(), true);
    }
    if (firstLayout_ && root_) {
        firstLayout_ = false;
        SendNotify(root_, L"windowinit");
    }
    return true;
}

void CManagerUI::PaintTo(HDC dc, const RECT& paint)
{
    DcStateGuard state(dc);
    IntersectClipRect(dc, paint.left, paint.top, paint.right, paint.bottom);
    FillRect(dc, &paint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (root_)
        root_->Paint(dc, paint);
    if (showDirty_) {
        UniqueBrush red(CreateSolidBrush(RGB(255, 0, 0)));
        FrameRect(dc, &paint, red.get());
    }
}

void CManagerUI::OnPaint()
{
    UpdateLayout();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    const SIZE client = GetClientSize();
    if (!backDC_ || backSize_.cx != client.cx || backSize_.cy != client.cy) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = std::max<LONG>(client.cx, 1);
        bi.bmiHeader.biHeight = -std::max<LONG>(client.cy, 1);
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        backDC_.reset();  // the old DC goes first, so its bitmap is no longer selected when deleted
        backBitmap_.reset(CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        backDC_.reset(CreateCompatibleDC(dc));
        SelectObject(backDC_.get(), backBitmap_.get());
        backSize_ = client;
    }
    const RECT& r = ps.rcPaint;
    if (!IsRectEmpty(&r) && backDC_) {
        PaintTo(backDC_.get(), r);
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, backDC_.get(), r.left, r.top, SRCCOPY);
    }
    EndPaint(window_, &ps);
}

// ---- input

void CManagerUI::SendEvent(CControlUI* control, UIEventType type, WPARAM wParam, LPARAM lParam)
{
    if (!control)
        return;
    UIEvent event;
    event.type = type;
    event.sender = control;
    event.timestamp = GetTickCount();
    event.mouse = lastMouse_;
    event.key = static_cast<wchar_t>(wParam);
    event.keyState = static_cast<WORD>(wParam);
    event.wParam = wParam;
    event.lParam = lParam;
    control->Event(event);
}

bool CManagerUI::PreMessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const std::vector<IMessageFilterUI*> filters = preFilters_;
    for (IMessageFilterUI* filter : filters) {
        bool handled = false;
        const LRESULT r = filter->MessageHandler(msg, wParam, lParam, handled);
        if (handled) {
            result = r;
            return true;
        }
    }
    switch (msg) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            SetNextTabControl(GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
        break;
    case WM_SYSKEYDOWN:
        if (focus_)
            SendEvent(focus_, UIEVENT_SYSKEY, wParam, lParam);
        break;
    case WM_SYSCHAR: {
        if (!root_)
            break;
        const wchar_t key = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(wParam)));
        std::vector<CControlUI*> all;
        root_->FindControl(CollectProc, &all, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
        for (CControlUI* c : all) {
            if (c->GetShortcut() && std::towupper(c->GetShortcut()) == key &&
                std::wcscmp(c->GetClass(), L"Label") != 0) {
                SetFocus(c);
                c->Activate();
                return true;
            }
        }
        break;
    }
    default:
        break;
    }
    return false;
}

bool CManagerUI::TranslateMessage(const MSG* msg)
{
    const std::vector<CManagerUI*> managers = TranslatingManagers();
    auto alive = [](CManagerUI* m) {
        const auto& live = TranslatingManagers();
        return std::find(live.begin(), live.end(), m) != live.end();
    };
    LRESULT result = 0;
    const bool child = (GetWindowLongPtrW(msg->hwnd, GWL_STYLE) & WS_CHILD) != 0;
    if (child) {
        // Child windows (the edit box) let every ancestor's manager see the message, then get it anyway.
        for (CManagerUI* m : managers) {
            if (!alive(m) || !m->window_)
                continue;
            for (HWND p = GetParent(msg->hwnd); p; p = GetParent(p)) {
                if (p == m->window_) {
                    m->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
                    break;
                }
            }
        }
        return false;
    }
    for (CManagerUI* m : managers)
        if (alive(m) && m->window_ == msg->hwnd)
            return m->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
    return false;
}

bool CManagerUI::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_SKINUI_ASYNC_NOTIFY:
        DeliverAsyncNotifications();
        return true;
    case WM_CLOSE:
        if (hover_)
            SendEvent(hover_, UIEVENT_MOUSELEAVE);
        if (click_)
            SendEvent(click_, UIEVENT_BUTTONUP);
        SetFocus(nullptr);
        if (window_ && GetActiveWindow() == window_) {
            if (HWND owner = GetWindow(window_, GW_OWNER))
                ::SetFocus(owner);
        }
        return false;
    case WM_ERASEBKGND:
        result = 1;  // painting covers everything; erasing first would flicker
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_PRINTCLIENT: {
        UpdateLayout();
        const SIZE client = GetClientSize();
        PaintTo(reinterpret_cast<HDC>(wParam), {0, 0, client.cx, client.cy});
        return true;
    }
    case WM_SIZE:
        if (focus_)
            SendEvent(focus_, UIEVENT_WINDOWSIZE);
        if (root_)
            root_->RequestLayout();
        return false;
    case WM_TIMER:
        for (const TimerInfo& t : timers_) {
            if (t.nativeId == wParam && !t.killed) {
                SendEvent(t.control, UIEVENT_TIMER, t.localId, lParam);
                return true;
            }
        }
        return false;
    case WM_MOUSELEAVE:
        mouseTracking_ = false;
        if (hover_ && !captured_) {
            CControlUI* old = hover_;
            hover_ = nullptr;
            lastMouse_ = {-1, -1};
            SendEvent(old, UIEVENT_MOUSELEAVE);
        }
        return false;
    case WM_MOUSEMOVE: {
        if (!mouseTracking_ && window_) {
            TRACKMOUSEEVENT tme{sizeof(tme), TME_HOVER | TME_LEAVE, window_, HOVER_DEFAULT};
            mouseTracking_ = TrackMouseEvent(&tme) != FALSE;
        }
        lastMouse_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        CControlUI* control = FindControl(lastMouse_);
        if (control && control->GetManager() != this)
            return false;
        if (!click_ && control != hover_) {
            CControlUI* old = hover_;
            hover_ = control;
            if (old)
                SendEvent(old, UIEVENT_MOUSELEAVE);
            if (hover_ == control && control)
                SendEvent(control, UIEVENT_MOUSEENTER);
        }
        if (click_)
            SendEvent(click_, UIEVENT_MOUSEMOVE, 0, lParam);
        else if (control)
            SendEvent(control, UIEVENT_MOUSEMOVE, 0, lParam);
        return false;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (window_ && !noActivate_)
            ::SetFocus(window_);
        lastMouse_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        CControlUI* control = FindControl(lastMouse_);
        if (!control || control->GetManager() != this)
            return false;
        click_ = control;
        SetFocus(control);
        SetCapture();
        SendEvent(control, msg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, wParam, lParam);
        return false;
    }
    case WM_LBUTTONUP: {
        lastMouse_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ReleaseCapture();
        CControlUI* control = click_;
        click_ = nullptr;
        if (control)
            SendEvent(control, UIEVENT_BUTTONUP, wParam, lParam);
        return false;
    }
    case WM_RBUTTONDOWN: {
        if (window_ && !noActivate_)
            ::SetFocus(window_);
        lastMouse_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        CControlUI* control = FindControl(lastMouse_);
        if (!control || control->GetManager() != this)
            return false;
        SetFocus(control);
        SendEvent(control, UIEVENT_RBUTTONDOWN, wParam, lParam);
        return false;
    }
    case WM_CONTEXTMENU: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (window_)
            ScreenToClient(window_, &pt);
        CControlUI* control = click_ ? click_ : FindControl(pt);
        SendEvent(control, UIEVENT_CONTEXTMENU, wParam, lParam);
        return false;
    }
    case WM_MOUSEWHEEL: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (window_)
            ScreenToClient(window_, &pt);
        SendEvent(FindControl(pt), UIEVENT_SCROLLWHEEL, wParam, lParam);
        return false;
    }
    case WM_KEYDOWN:
        if (focus_) {
            key_ = focus_;
            SendEvent(focus_, UIEVENT_KEYDOWN, wParam, lParam);
        }
        return false;
    case WM_KEYUP:
        if (key_) {
            CControlUI* control = key_;
            key_ = nullptr;
            SendEvent(control, UIEVENT_KEYUP, wParam, lParam);
        }
        return false;
    case WM_CHAR:
        if (focus_)
            SendEvent(focus_, UIEVENT_CHAR, wParam, lParam);
        return false;
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT || !window_)
            return false;
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(window_, &pt);
        CControlUI* control = FindControl(pt);
        if (control && (control->GetControlFlags() & UIFLAG_SETCURSOR)) {
            const POINT saved = lastMouse_;
            lastMouse_ = pt;
            SendEvent(control, UIEVENT_SETCURSOR, wParam, lParam);
            lastMouse_ = saved;
        } else {
            ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        }
        result = TRUE;
        return true;
    }
    case WM_KILLFOCUS:
        for (const NativeChild& c : nativeChildren_) {
            if (c.window == reinterpret_cast<HWND>(wParam)) {
                focus_ = c.control;
                break;
            }
        }
        return false;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        const HWND child = reinterpret_cast<HWND>(lParam);
        for (const NativeChild& c : nativeChildren_)
            if (c.window == child && c.reflect) {
                const ReflectHandler reflect = c.reflect;  // the handler may remove the child
                return reflect(msg, wParam, lParam, result);
            }
        return false;
    }
    default:
        return false;
    }
}

}  // namespace SkinUI
