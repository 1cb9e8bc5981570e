// Everything the log needs from the platform, so that the rest of the log is the same everywhere.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qvlog {

#ifdef _WIN32
constexpr wchar_t kPathSeparator = L'\\';
#else
constexpr wchar_t kPathSeparator = L'/';
#endif

// Path of the module that holds the log's code, in the ANSI code page.
std::string ModuleFileName();
// Folder of the running executable, without a trailing separator.
std::wstring ExecutableFolder();
// ANSI code page text to wide, for the default file name.
std::wstring NarrowToWide(const std::string& text);
// Wide record text to the bytes that reach the file (OEM code page; UTF-8 off Windows).
std::string WideToRecordBytes(const std::wstring& text);

bool PathExists(const std::wstring& path);
void MakeDirectory(const std::wstring& path);
// Renames from to to, replacing an existing to.
bool RenameReplacing(const std::wstring& from, const std::wstring& to);

// printf into a buffer sized for the whole message; false when the format cannot be applied.
// Wide formats follow the Windows rule that "%s" and "%c" take wide arguments.
bool FormatNarrow(std::string& out, const char* format, va_list args);
bool FormatWide(std::wstring& out, const wchar_t* format, va_list args);

// The open log file: appending, created when missing, shared for reading and writing.
class LogFile {
 public:
  LogFile() = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile() { Close(); }

  bool Open(const std::wstring& path);
  void Close();
  bool IsOpen() const;
  bool Append(const char* data, std::size_t size);
  // Current size in bytes, -1 when unknown.
  std::int64_t Size() const;

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));  // INVALID_HANDLE_VALUE
#else
  int fd_ = -1;
#endif
};

}  // namespace qvlog
