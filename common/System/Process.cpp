// Finding, ending and starting processes; the shell.
#include "System.h"

#include "Handles.h"

#include <shellapi.h>
#include <tlhelp32.h>


bool FindProcess(const std::wstring& name, DWORD& process_id) {
  qvsys::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpW(entry.szExeFile, name.c_str()) == 0) {
      process_id = entry.th32ProcessID;
      return true;
    }
  }
  return false;
}

bool KillProcess(DWORD process_id) {
  constexpr DWORD kAccess = PROCESS_TERMINATE | PROCESS_CREATE_THREAD | PROCESS_VM_OPERATION | PROCESS_VM_WRITE |
                            PROCESS_QUERY_INFORMATION;  // 0x042B
  qvsys::UniqueObject process(OpenProcess(kAccess, FALSE, process_id));
  if (!process) return false;
  return TerminateProcess(process.get(), 0) != FALSE;
}

void ShellOpen(HWND owner, const std::wstring& target) {
  ShellExecuteW(owner, L"Open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {

// Starts path in the interactive user's own, unelevated context. Windows' wdc.dll does it; without the
// library or its export nothing is started.
void RunAsInteractiveUser(const std::wstring& path) {
  HMODULE wdc = LoadLibraryW(L"wdc.dll");  // stays loaded
  if (wdc == nullptr) return;
  using RunTaskFn = HRESULT(WINAPI*)(const wchar_t*, const wchar_t*, DWORD);
  auto run = reinterpret_cast<RunTaskFn>(
      reinterpret_cast<void*>(GetProcAddress(wdc, "WdcRunTaskAsInteractiveUser")));
  if (run != nullptr) run(path.c_str(), nullptr, 57);
}

}  // namespace

void StartProgram(const std::wstring& path, bool as_administrator) {
  if (as_administrator) {
    // The downloader itself runs elevated, so the shell starts the program elevated too.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpParameters = L"";
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
    return;
  }
  RunAsInteractiveUser(path);
}
