#include "UserDesktop.h"

#include <shlobj.h>

#include "System.h"

namespace {

class CSystemDesktop final : public IUserDesktop {
public:
    int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override
    {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
    }

    bool BrowseFolder(HWND owner, const std::wstring& title, std::wstring& path) override
    {
        wchar_t displayName[MAX_PATH] = {};
        BROWSEINFOW info = {};
        info.hwndOwner = owner;
        info.pszDisplayName = displayName;
        info.lpszTitle = title.c_str();
        info.ulFlags = BIF_NEWDIALOGSTYLE;
        PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
        if (!item)
            return false;
        wchar_t chosen[MAX_PATH] = {};
        SHGetPathFromIDListW(item, chosen);
        CoTaskMemFree(item);
        path = chosen;
        return true;
    }

    void ShellOpen(HWND owner, const std::wstring& target) override { ::ShellOpen(owner, target); }

    void StartProgram(const std::wstring& path, bool asAdmin) override { ::StartProgram(path, asAdmin); }
};

} // namespace

std::shared_ptr<IUserDesktop> CreateSystemDesktop()
{
    return std::make_shared<CSystemDesktop>();
}
