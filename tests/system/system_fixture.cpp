// A program for the helpers' tests to look at, start, find and end.
//   (no argument)  write "<own path>.started" and exit
//   wait           stay for at most 60 s, then exit with 3
//   dir            write GetDownloaderDir() as UTF-16 to "<own path>.dir"
#include "System.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring OwnPath() {
  std::vector<wchar_t> path(32768, L'\0');
  GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size() - 1));
  return path.data();
}

bool WriteFileText(const std::wstring& path, const std::wstring& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  const bool ok = WriteFile(file, text.data(), size, &written, nullptr) && written == size;
  CloseHandle(file);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode.empty()) return WriteFileText(OwnPath() + L".started", L"started") ? 0 : 1;
  if (mode == L"wait") {
    Sleep(60000);
    return 3;
  }
  if (mode == L"dir") return WriteFileText(OwnPath() + L".dir", GetDownloaderDir()) ? 0 : 1;
  return 2;
}
