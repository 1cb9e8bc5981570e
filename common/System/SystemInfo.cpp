// Versions, folders, the operating system and free space.
#include "System.h"

#include "Handles.h"

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

// The version resource of path, empty when it has none.
std::vector<BYTE> ReadVersionInfo(const std::wstring& path) {
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
  if (size == 0) return {};
  std::vector<BYTE> info(size, 0);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data())) return {};
  return info;
}

bool QueryValue(std::vector<BYTE>& info, const wchar_t* name, void*& value, UINT& length) {
  value = nullptr;
  length = 0;
  return VerQueryValueW(info.data(), name, &value, &length) && value != nullptr;
}

}  // namespace

std::wstring GetFileDescription(const std::wstring& path) {
  std::vector<BYTE> info = ReadVersionInfo(path);
  if (info.empty()) return {};
  void* value = nullptr;
  UINT length = 0;
  if (!QueryValue(info, L"\\", value, length)) return {};
  // Only the US English, Unicode string table is consulted.
  if (!QueryValue(info, L"\\StringFileInfo\\040904b0\\FileDescription", value, length)) return {};
  const auto* text = static_cast<const wchar_t*>(value);
  return std::wstring(text, wcsnlen(text, length));
}

std::wstring GetFileVersion(const std::wstring& path) {
  std::vector<BYTE> info = ReadVersionInfo(path);
  if (info.empty()) return {};
  void* value = nullptr;
  UINT length = 0;
  if (!QueryValue(info, L"\\VarFileInfo\\Translation", value, length)) return {};
  if (!QueryValue(info, L"\\", value, length) || length < sizeof(VS_FIXEDFILEINFO)) return {};
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  wchar_t text[64] = {};
  swprintf(text, 64, L"%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
           HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  return text;
}

std::wstring GetProgFilesDir() {
  wchar_t path[MAX_PATH] = {};
  PIDLIST_ABSOLUTE list = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, &list))) {
    SHGetPathFromIDListW(list, path);
    CoTaskMemFree(list);
  }
  return std::wstring(path) + L"\\";
}

std::wstring GetDownloaderDir() {
  // Longer than the classic 260 units: a cut path would name the wrong work folder.
  std::vector<wchar_t> path(32768, L'\0');
  GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size() - 1));
  std::wstring name = GetFileNameFromPath(path.data());
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return GetProgFilesDir() + L"quorvane_down\\" + name + L"\\";
}

std::wstring GetFileNameFromPath(const std::wstring& path) {
  std::wstring normal = path;
  ReplaceAll(normal, L"/", L"\\");
  const std::size_t slash = normal.rfind(L'\\');
  return slash == std::wstring::npos ? normal : normal.substr(slash + 1);
}

std::wstring GetUILanguageId() { return std::to_wstring(GetUserDefaultUILanguage()); }

bool GetDiskFreeSpaceMB(const std::wstring& folder, int& mb) {
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  ULARGE_INTEGER free_bytes{};
  if (!GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &free_bytes)) return false;
  // The volume's free bytes, not the caller's quota.
  mb = static_cast<int>(free_bytes.QuadPart >> 20);
  return true;
}

std::wstring GetWindowsProductName() {
  qvsys::UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                    KEY_READ | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS) {
    return {};
  }
  // 2048 bytes for the value plus one unit that stays null, so an unterminated value still ends.
  wchar_t buffer[1024 + 1] = {};
  DWORD size = 2048;
  if (RegQueryValueExW(key.get(), L"ProductName", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return buffer;
}

bool IsNative64BitOS() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return false;
  using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
  auto get_native = reinterpret_cast<GetNativeSystemInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
  if (get_native == nullptr) return false;
  SYSTEM_INFO info{};
  get_native(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

bool IsFileExist(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rt");
  if (file == nullptr) return false;
  fclose(file);
  return true;
}
