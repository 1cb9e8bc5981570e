#include "LogPlatform.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace qvlog {
namespace {

std::wstring ModulePathW(HMODULE module) {
  std::vector<wchar_t> buffer(32768, L'\0');
  DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), length);
}

}  // namespace

std::string ModuleFileName() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleFileName), &module);
  std::vector<char> buffer(32768, '\0');
  DWORD length = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::string(buffer.data(), length);
}

std::wstring ExecutableFolder() {
  std::wstring path = ModulePathW(nullptr);
  std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NarrowToWide(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string WideToRecordBytes(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

bool PathExists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }

void MakeDirectory(const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }

bool RenameReplacing(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

// The msvcrt forms, not the C99 ones MinGW substitutes: only they read "%s" in a wide format as wide.
bool FormatNarrow(std::string& out, const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = _vscprintf(format, measure);
  va_end(measure);
  if (length < 0) return false;
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  if (_vsnprintf(buffer.data(), buffer.size(), format, args) < 0) return false;
  out.assign(buffer.data(), static_cast<std::size_t>(length));
  return true;
}

bool FormatWide(std::wstring& out, const wchar_t* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = _vscwprintf(format, measure);
  va_end(measure);
  if (length < 0) return false;
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  if (_vsnwprintf(buffer.data(), buffer.size(), format, args) < 0) return false;
  out.assign(buffer.data(), static_cast<std::size_t>(length));
  return true;
}

bool LogFile::Open(const std::wstring& path) {
  Close();
  // FILE_APPEND_DATA keeps every write at the end even when another process writes the file too.
  handle_ = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

void LogFile::Close() {
  if (IsOpen()) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool LogFile::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

bool LogFile::Append(const char* data, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle_, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

std::int64_t LogFile::Size() const {
  LARGE_INTEGER size{};
  return GetFileSizeEx(handle_, &size) ? size.QuadPart : -1;
}

}  // namespace qvlog
