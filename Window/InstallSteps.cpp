#include "InstallSteps.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct OwnedHandle {
    HANDLE h;
    explicit OwnedHandle(HANDLE handle) : h(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle()
    {
        if (h)
            CloseHandle(h);
    }
};

struct StdioFile {
    FILE* f;
    explicit StdioFile(FILE* file) : f(file) {}
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;
    ~StdioFile()
    {
        if (f)
            fclose(f);
    }
};

} // namespace

bool CheckFolderPath(const std::wstring& folder)
{
    std::wstring probe = folder;
    if (!probe.empty() && probe.back() == L'\\')
        probe.pop_back();
    probe += L"\\.";
    if (GetFileAttributesW(probe.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    // A missing folder is fine while its parent exists; a missing parent or drive is not.
    return GetLastError() != ERROR_PATH_NOT_FOUND;
}

std::wstring DriveOfFolder(const std::wstring& folder)
{
    size_t colon = folder.find(L':');
    return colon == std::wstring::npos ? std::wstring() : folder.substr(0, colon + 1);
}

std::wstring MakeInstallerCommandLine(const std::wstring& installFolder, const std::wstring& progressFile)
{
    return L" /verysilent /quorvane_down /wait_run /path=\"" + installFolder + L"\" /progress=\"" + progressFile +
           L"\"";
}

bool RunSilentInstaller(const std::wstring& installer, const std::wstring& installFolder,
                        const std::wstring& progressFile)
{
    std::wstring text = MakeInstallerCommandLine(installFolder, progressFile);
    std::vector<wchar_t> line(text.begin(), text.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(installer.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                       &startup, &info)) {
        OwnedHandle thread(info.hThread);
        OwnedHandle process(info.hProcess);
        ResumeThread(thread.h);
        WaitForSingleObject(process.h, INFINITE);
    }
    return true;
}

bool ReadProgressValue(const std::wstring& progressFile, int& value)
{
    StdioFile file(_wfopen(progressFile.c_str(), L"r"));
    if (!file.f)
        return false;
    char buffer[11] = {};
    fread(buffer, 1, 10, file.f);
    value = atoi(buffer);
    return true;
}

void MakeProductFolder(const std::wstring& productFolder)
{
    SHCreateDirectoryExW(nullptr, productFolder.c_str(), nullptr);
    if (GetFileAttributesW(productFolder.c_str()) != FILE_ATTRIBUTE_DIRECTORY)
        CreateDirectoryW(productFolder.c_str(), nullptr);
}

void WriteChannelFile(const std::wstring& productFolder, const std::string& ansiCode)
{
    if (ansiCode.empty())
        return;
    StdioFile file(_wfopen((productFolder + L"domain").c_str(), L"wb"));
    if (file.f)
        fwrite(ansiCode.data(), 1, ansiCode.size(), file.f);
}
