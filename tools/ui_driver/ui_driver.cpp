// ui_driver: drives the installer window from outside, the way a person would, for the end-to-end tests
// and the demo. It finds windows by title and posts mouse clicks at the controls' skin positions.
//
//   ui_driver [-rtl] wait TITLE [MS]             wait until a visible top-level window has that title
//   ui_driver [-rtl] click TITLE CONTROL         click a control of the installer skin by its name
//   ui_driver click-at TITLE X Y                 click at a client point
//   ui_driver answer CAPTION BUTTON [MS]         wait for a message box, print its text, press the button
//                                                (ok, cancel, abort, retry, ignore, yes, no)
//   ui_driver browse OWNER_TITLE FOLDER [MS]     pick FOLDER in the folder dialog opened by that window
//   ui_driver close TITLE [CODE]                 post WM_CLOSE with wParam CODE (default 1)
//   ui_driver state TITLE                        print visible, iconic, foreground and the client size
//   ui_driver process NAME                       exit 0 when a process with that file name runs
//   ui_driver wait-process NAME [MS]             wait until a process with that file name runs
//   ui_driver wait-gone NAME [MS]                wait until no process with that file name runs
//   ui_driver exec APP LINE                      CreateProcess(APP, LINE) and return its exit code
//
// Exit codes: 0 done, 1 not found or timed out, 2 usage.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "Handles.h"
#include <vector>

namespace {

// Files, processes, threads and snapshots alike: it treats both null and INVALID_HANDLE_VALUE as none.
using Handle = qvsys::UniqueFile;

constexpr DWORD kDefaultWaitMs = 20000;
constexpr DWORD kPollMs = 100;
constexpr DWORD kDialogSettleMs = 1500;

// Centres of the controls in client coordinates, for the left-to-right and the right-to-left skin.
struct ControlSpot {
    const wchar_t* name;
    POINT ltr;
    POINT rtl;
};

const ControlSpot kSpots[] = {
    {L"minbtn", {599, 22}, {51, 22}},
    {L"closebtn", {629, 22}, {21, 22}},
    {L"btn_install", {325, 208}, {325, 208}},
    {L"btn_start", {325, 208}, {325, 208}},
    {L"chk_agree", {28, 336}, {328, 336}},
    {L"btn_lisence", {120, 336}, {480, 336}},
    {L"chk_fold", {618, 336}, {28, 336}},
    {L"btn_browse", {564, 397}, {86, 397}},
    {L"edit_path", {354, 397}, {331, 397}},
    {L"btn_hide", {554, 327}, {96, 327}},
    {L"option_0", {310, 255}, {310, 255}},
    {L"option_1", {326, 255}, {326, 255}},
    {L"option_2", {342, 255}, {342, 255}},
};

bool g_rtl = false;

DWORD ParseMs(int argc, wchar_t** argv, int index)
{
    return argc > index ? static_cast<DWORD>(wcstoul(argv[index], nullptr, 10)) : kDefaultWaitMs;
}

template <class Found>
bool Poll(DWORD ms, Found found)
{
    for (DWORD waited = 0;; waited += kPollMs) {
        if (found())
            return true;
        if (waited >= ms)
            return false;
        Sleep(kPollMs);
    }
}

HWND FindVisibleWindow(const std::wstring& title)
{
    HWND hwnd = FindWindowW(nullptr, title.c_str());
    return hwnd && IsWindowVisible(hwnd) ? hwnd : nullptr;
}

std::wstring WindowText(HWND hwnd)
{
    wchar_t text[2048] = {};
    GetWindowTextW(hwnd, text, 2048);
    return text;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

void PrintLine(const std::wstring& text)
{
    // Console output goes out as UTF-8 so that Arabic texts survive the pipe.
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PostClick(HWND hwnd, POINT at)
{
    LPARAM pos = MAKELPARAM(at.x, at.y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, pos);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, pos);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, pos);
}

int CmdWait(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    HWND hwnd = nullptr;
    if (!Poll(ParseMs(argc, argv, 3), [&] { return (hwnd = FindVisibleWindow(argv[2])) != nullptr; }))
        return 1;
    PrintLine(std::to_wstring(reinterpret_cast<UINT_PTR>(hwnd)));
    return 0;
}

int CmdClick(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    HWND hwnd = FindVisibleWindow(argv[2]);
    if (!hwnd)
        return 1;
    for (const ControlSpot& spot : kSpots) {
        if (std::wcscmp(spot.name, argv[3]) == 0) {
            PostClick(hwnd, g_rtl ? spot.rtl : spot.ltr);
            return 0;
        }
    }
    PrintLine(L"unknown control " + std::wstring(argv[3]));
    return 2;
}

int CmdClickAt(int argc, wchar_t** argv)
{
    if (argc < 5)
        return 2;
    HWND hwnd = FindVisibleWindow(argv[2]);
    if (!hwnd)
        return 1;
    PostClick(hwnd, {std::wcstol(argv[3], nullptr, 10), std::wcstol(argv[4], nullptr, 10)});
    return 0;
}

struct DialogSearch {
    std::wstring caption;
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<DialogSearch*>(param);
    if (ClassOf(hwnd) != L"#32770" || !IsWindowVisible(hwnd))
        return TRUE;
    if (!search->caption.empty() && WindowText(hwnd) != search->caption)
        return TRUE;
    if (search->owner && GetWindow(hwnd, GW_OWNER) != search->owner)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND FindDialog(const std::wstring& caption, HWND owner)
{
    DialogSearch search{caption, owner, nullptr};
    EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK PrintStaticProc(HWND child, LPARAM)
{
    std::wstring text = WindowText(child);
    if (ClassOf(child) == L"Static" && !text.empty()) {
        LONG style = GetWindowLongW(child, GWL_STYLE);
        LONG exStyle = GetWindowLongW(child, GWL_EXSTYLE);
        PrintLine(L"text: " + text);
        PrintLine(L"text-right: " + std::to_wstring((style & SS_TYPEMASK) == SS_RIGHT) +
                  L" text-rtlreading: " + std::to_wstring((exStyle & WS_EX_RTLREADING) != 0));
    }
    return TRUE;
}

int ButtonId(const std::wstring& name)
{
    const struct {
        const wchar_t* name;
        int id;
    } buttons[] = {{L"ok", IDOK},       {L"cancel", IDCANCEL}, {L"abort", IDABORT}, {L"retry", IDRETRY},
                   {L"ignore", IDIGNORE}, {L"yes", IDYES},       {L"no", IDNO}};
    for (const auto& button : buttons) {
        if (name == button.name)
            return button.id;
    }
    return 0;
}

int CmdAnswer(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    int id = ButtonId(argv[3]);
    if (!id)
        return 2;
    HWND dialog = nullptr;
    if (!Poll(ParseMs(argc, argv, 4), [&] { return (dialog = FindDialog(argv[2], nullptr)) != nullptr; }))
        return 1;
    LONG exStyle = GetWindowLongW(dialog, GWL_EXSTYLE);
    PrintLine(L"dialog-rtlreading: " + std::to_wstring((exStyle & WS_EX_RTLREADING) != 0) +
              L" dialog-layoutrtl: " + std::to_wstring((exStyle & WS_EX_LAYOUTRTL) != 0));
    EnumChildWindows(dialog, PrintStaticProc, 0);
    HWND button = GetDlgItem(dialog, id);
    if (!button) {
        PrintLine(L"the dialog has no button " + std::wstring(argv[3]));
        return 1;
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

// The folder dialog lives in the installer's process, so the path for BFFM_SETSELECTIONW has to be
// written into that process's memory first.
int CmdBrowse(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    HWND owner = FindVisibleWindow(argv[2]);
    if (!owner)
        return 1;
    HWND dialog = nullptr;
    if (!Poll(ParseMs(argc, argv, 4), [&] { return (dialog = FindDialog(L"", owner)) != nullptr; }))
        return 1;
    // The dialog fills its folder tree after it appears; a selection sent earlier is lost.
    Sleep(1500);
    // The dialog fills its folder tree after it shows; a selection made before that is lost.
    Sleep(kDialogSettleMs);
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    Handle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid));
    if (!process.get())
        return 1;
    std::wstring folder = argv[3];
    size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process.get(), nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return 1;
    bool written = WriteProcessMemory(process.get(), remote, folder.c_str(), bytes, nullptr);
    if (written)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote));
    VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    if (!written)
        return 1;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return 0;
}

int CmdClose(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    HWND hwnd = FindVisibleWindow(argv[2]);
    if (!hwnd)
        return 1;
    WPARAM code = argc > 3 ? std::wcstoul(argv[3], nullptr, 10) : 1;
    PostMessageW(hwnd, WM_CLOSE, code, 0);
    return 0;
}

int CmdState(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    HWND hwnd = FindWindowW(nullptr, argv[2]);
    if (!hwnd)
        return 1;
    RECT client = {};
    GetClientRect(hwnd, &client);
    PrintLine(L"visible=" + std::to_wstring(IsWindowVisible(hwnd) != 0) + L" iconic=" +
              std::to_wstring(IsIconic(hwnd) != 0) + L" foreground=" +
              std::to_wstring(GetForegroundWindow() == hwnd) + L" client=" + std::to_wstring(client.right) + L"x" +
              std::to_wstring(client.bottom));
    return 0;
}

bool ProcessRuns(const std::wstring& name)
{
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.get())
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, name.c_str()) == 0)
            return true;
    }
    return false;
}

int CmdProcess(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    return ProcessRuns(argv[2]) ? 0 : 1;
}

int CmdWaitProcess(int argc, wchar_t** argv, bool present)
{
    if (argc < 3)
        return 2;
    return Poll(ParseMs(argc, argv, 3), [&] { return ProcessRuns(argv[2]) == present; }) ? 0 : 1;
}

int CmdExec(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    std::wstring line = argv[3];
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(argv[2], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        PrintLine(L"CreateProcess failed " + std::to_wstring(GetLastError()));
        return 1;
    }
    Handle thread(pi.hThread);
    Handle process(pi.hProcess);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    PrintLine(L"exit " + std::to_wstring(code));
    return static_cast<int>(code);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && std::wcscmp(argv[1], L"-rtl") == 0) {
        g_rtl = true;
        --argc;
        ++argv;
    }
    if (argc < 2)
        return 2;
    std::wstring command = argv[1];
    if (command == L"wait")
        return CmdWait(argc, argv);
    if (command == L"click")
        return CmdClick(argc, argv);
    if (command == L"click-at")
        return CmdClickAt(argc, argv);
    if (command == L"answer")
        return CmdAnswer(argc, argv);
    if (command == L"browse")
        return CmdBrowse(argc, argv);
    if (command == L"close")
        return CmdClose(argc, argv);
    if (command == L"state")
        return CmdState(argc, argv);
    if (command == L"process")
        return CmdProcess(argc, argv);
    if (command == L"wait-process")
        return CmdWaitProcess(argc, argv, true);
    if (command == L"wait-gone")
        return CmdWaitProcess(argc, argv, false);
    if (command == L"exec")
        return CmdExec(argc, argv);
    return 2;
}
