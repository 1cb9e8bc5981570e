// The installer's entry point: one-time set-up, the single-instance rule, the window and its loop.
#include <windows.h>

#include <string>

#include "SkinFrameWnd.h"
#include "SkinUI/SkinResources.h"
#include "System.h"

namespace {

// The executable's file name without its extension (the whole name when it has no dot).
std::wstring BaseName(const std::wstring& path)
{
    std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    CSkinFrameWnd frame;
    frame.InitEnvironment();
    std::wstring title = frame.GetLanguageManager().GetString(L"STR_MESSAGEBOX_TITLE");

    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring mutexName = GetFileDescription(module);
    if (mutexName.empty())
        mutexName = BaseName(module);
    // Never closed: the mutex is held until the process ends.
    HANDLE instanceMutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
    if (!instanceMutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND first = FindWindowW(nullptr, title.c_str())) {
            ShowWindow(first, SW_RESTORE);
            SetForegroundWindow(first);
        }
        return -1;
    }

    SkinUI::SetInstance(instance);
    SkinUI::SetResourcePath(FolderOf(module));
    frame.Create(nullptr, title.c_str(), WS_POPUP | WS_VISIBLE | WS_BORDER | WS_DLGFRAME | WS_SYSMENU |
                 WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    frame.CenterWindow();
    frame.ShowModal();
    return 0;
}
