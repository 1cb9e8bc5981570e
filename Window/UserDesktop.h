// Everything the installer asks of the user's desktop: message boxes, the folder dialog, opening a page
// in the browser and starting a program. The window reaches them only through this interface, so tests
// can answer dialogs and record what would have opened.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class IUserDesktop {
public:
    virtual ~IUserDesktop() = default;

    // A message box owned by owner; answers the button id, 0 when no box could be shown.
    virtual int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) = 0;
    // The folder dialog. False when the user cancelled; path is empty for an item without a file-system path.
    virtual bool BrowseFolder(HWND owner, const std::wstring& title, std::wstring& path) = 0;
    // Opens a file or URL the way the shell does (a URL in the default browser).
    virtual void ShellOpen(HWND owner, const std::wstring& target) = 0;
    // Starts the installed product, elevated or as the interactive user.
    virtual void StartProgram(const std::wstring& path, bool asAdmin) = 0;
};

// The real desktop: MessageBoxW, SHBrowseForFolderW and the shell helpers.
std::shared_ptr<IUserDesktop> CreateSystemDesktop();
