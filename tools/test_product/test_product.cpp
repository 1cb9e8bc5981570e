// A small stand-in for the product's real setup program, used by the tests and the demo.
//
// Setup:     " /verysilent /quorvane_down /wait_run /path="<folder>" /progress="<file>""
//            writes the progress file from 0 to 100, runs a companion process named quorvane-download.tmp
//            while it works, and puts the product (a copy of itself) into <folder> + the product's folders.
//            The product's folders and executable name come from the productInfo.ini that the web
//            installer extracted beside the progress file, so one build serves every product.
// Companion: "/companion <setup pid>": lives while setup runs and a while after, until it is killed.
// Product:   any other start: records the start in started.txt beside itself and shows a small window.
//
// Environment (inherited through the web installer): QV_TEST_PRODUCT_STEP_MS, the pause between two
// progress values (default 400); QV_TEST_PRODUCT_LIFETIME_S, how long the product window stays (default 60).
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "Handles.h"

namespace {

// Files, processes, threads and snapshots alike: it treats both null and INVALID_HANDLE_VALUE as none.
using Handle = qvsys::UniqueFile;

constexpr DWORD kCompanionAfterSetupMs = 30000;
constexpr DWORD kCompanionLongestMs = 600000;

DWORD EnvNumber(const wchar_t* name, DWORD fallback)
{
    wchar_t text[32] = {};
    if (!GetEnvironmentVariableW(name, text, 32))
        return fallback;
    return static_cast<DWORD>(wcstoul(text, nullptr, 10));
}

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring FolderOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The value of a switch written as name"value" (the quotes are required, as the web installer sends them).
std::wstring QuotedSwitch(const std::wstring& line, const std::wstring& name)
{
    size_t at = line.find(name + L"\"");
    if (at == std::wstring::npos)
        return {};
    size_t begin = at + name.size() + 1;
    size_t end = line.find(L'"', begin);
    return end == std::wstring::npos ? std::wstring() : line.substr(begin, end - begin);
}

std::wstring IniValue(const std::wstring& file, const wchar_t* key)
{
    wchar_t value[256] = {};
    GetPrivateProfileStringW(L"PRODUCT", key, L"", value, 256, file.c_str());
    return value;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.get() && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void AppendLine(const std::wstring& path, const std::wstring& line)
{
    Handle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.get())
        return;
    int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    utf8 += "\r\n";
    DWORD written = 0;
    WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

Handle StartCompanion()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring companion = std::wstring(temp) + L"quorvane-download.tmp";
    // A companion of an earlier run may still hold the file; it is the same program, so reuse it.
    CopyFileW(ModulePath().c_str(), companion.c_str(), FALSE);
    std::wstring line = L"quorvane-download.tmp /companion " + std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(companion.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return Handle(nullptr);
    CloseHandle(pi.hThread);
    return Handle(pi.hProcess);
}

int RunSetup(const std::wstring& line)
{
    std::wstring folder = QuotedSwitch(line, L"/path=");
    std::wstring progress = QuotedSwitch(line, L"/progress=");
    if (folder.empty() || progress.empty())
        return 2;
    std::wstring ini = FolderOf(progress) + L"language\\productInfo.ini";
    std::wstring exeName = IniValue(ini, L"STR_EXE_NAME");
    if (exeName.empty())
        return 3;
    std::wstring productFolder = folder;
    for (const wchar_t* key : {L"STR_DIR1_NAME", L"STR_DIR2_NAME"}) {
        std::wstring part = IniValue(ini, key);
        if (!part.empty())
            productFolder += part + L"\\";
    }

    Handle companion = StartCompanion();
    DWORD step = EnvNumber(L"QV_TEST_PRODUCT_STEP_MS", 400);
    for (int percent = 0; percent <= 100; percent += 10) {
        WriteWholeFile(progress, std::to_string(percent) + "\r\n");
        if (percent == 50) {
            SHCreateDirectoryExW(nullptr, productFolder.c_str(), nullptr);
            if (!CopyFileW(ModulePath().c_str(), (productFolder + exeName).c_str(), FALSE))
                return 4;
            AppendLine(productFolder + L"setup-args.txt", line);
        }
        Sleep(step);
    }
    return 0;
}

int RunCompanion(const std::wstring& line)
{
    size_t at = line.find(L"/companion ");
    DWORD setupPid = at == std::wstring::npos ? 0 : static_cast<DWORD>(wcstoul(line.c_str() + at + 11, nullptr, 10));
    Handle setup(OpenProcess(SYNCHRONIZE, FALSE, setupPid));
    if (setup.get())
        WaitForSingleObject(setup.get(), kCompanionLongestMs);
    Sleep(kCompanionAfterSetupMs);
    return 0;
}

LRESULT CALLBACK ProductWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        wchar_t title[128] = {};
        GetWindowTextW(hwnd, title, 128);
        DrawTextW(dc, title, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int RunProduct(HINSTANCE instance, const std::wstring& line)
{
    std::wstring self = ModulePath();
    AppendLine(FolderOf(self) + L"started.txt", L"started " + self + L" " + line);
    std::wstring name = self.substr(FolderOf(self).size());
    std::wstring title = name.substr(0, name.rfind(L'.')) + L" is running";

    WNDCLASSW wc = {};
    wc.lpfnWndProc = ProductWndProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"QvTestProduct";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 360,
                                160, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 5;
    SetTimer(hwnd, 1, EnvNumber(L"QV_TEST_PRODUCT_LIFETIME_S", 60) * 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    std::wstring line = GetCommandLineW();
    if (line.find(L"/verysilent") != std::wstring::npos)
        return RunSetup(line);
    if (line.find(L"/companion ") != std::wstring::npos)
        return RunCompanion(line);
    return RunProduct(instance, line);
}
