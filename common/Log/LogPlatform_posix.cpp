#include "LogPlatform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace qvlog {
namespace {

std::string ToPath(const std::wstring& path) { return WideToRecordBytes(path); }

// Wide formats keep the Windows meaning on every platform: "%s"/"%c" wide, "%S"/"%C" narrow.
std::wstring WindowsWideFormat(const wchar_t* format) {
  std::wstring out;
  for (const wchar_t* p = format; *p != L'\0'; ++p) {
    out += *p;
    if (*p != L'%') continue;
    ++p;
    bool sized = false;
    while (*p != L'\0' && std::wcschr(L"-+ #0123456789.*'hlLqjzt", *p) != nullptr) {
      if (std::wcschr(L"hlLqjzt", *p) != nullptr) sized = true;
      out += *p++;
    }
    if (*p == L'\0') break;
    if (!sized && (*p == L's' || *p == L'c')) out += L'l';
    out += (*p == L'S' ? L's' : *p == L'C' ? L'c' : *p);
  }
  return out;
}

}  // namespace

std::string ModuleFileName() {
  std::vector<char> buffer(PATH_MAX + 1, '\0');
  ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : std::string();
}

std::wstring ExecutableFolder() {
  std::wstring path = NarrowToWide(ModuleFileName());
  std::size_t slash = path.rfind(L'/');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NarrowToWide(const std::string& text) {
  std::wstring out;
  std::mbstate_t state{};
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    wchar_t c = 0;
    std::size_t used = std::mbrtowc(&c, p, static_cast<std::size_t>(end - p), &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
      // Not valid in the C locale's encoding: keep the byte's value rather than lose the name.
      c = static_cast<unsigned char>(*p);
      used = 1;
      state = std::mbstate_t{};
    } else if (used == 0) {
      used = 1;
    }
    out += c;
    p += used;
  }
  return out;
}

std::string WideToRecordBytes(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t wc : text) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0x10000 && c <= 0x10FFFF) {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += '?';  // what a code page's default character does for the unrepresentable
    }
  }
  return out;
}

bool PathExists(const std::wstring& path) {
  struct stat info {};
  return stat(ToPath(path).c_str(), &info) == 0;
}

void MakeDirectory(const std::wstring& path) { mkdir(ToPath(path).c_str(), 0755); }

bool RenameReplacing(const std::wstring& from, const std::wstring& to) {
  return rename(ToPath(from).c_str(), ToPath(to).c_str()) == 0;
}

bool FormatNarrow(std::string& out, const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) return false;
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  if (std::vsnprintf(buffer.data(), buffer.size(), format, args) < 0) return false;
  out.assign(buffer.data(), static_cast<std::size_t>(length));
  return true;
}

bool FormatWide(std::wstring& out, const wchar_t* format, va_list args) {
  const std::wstring translated = WindowsWideFormat(format);
  // vswprintf cannot measure and answers -1 both for "too small" and for a real fault: grow to a bound.
  constexpr std::size_t kLargest = std::size_t{1} << 24;
  for (std::size_t size = 256; size <= kLargest; size *= 4) {
    std::vector<wchar_t> buffer(size, L'\0');
    va_list attempt;
    va_copy(attempt, args);
    errno = 0;
    int length = std::vswprintf(buffer.data(), size, translated.c_str(), attempt);
    va_end(attempt);
    if (length >= 0) {
      out.assign(buffer.data(), static_cast<std::size_t>(length));
      return true;
    }
    if (errno == EILSEQ || errno == EINVAL) return false;
  }
  return false;
}

bool LogFile::Open(const std::wstring& path) {
  Close();
  fd_ = ::open(ToPath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  return IsOpen();
}

void LogFile::Close() {
  if (IsOpen()) ::close(fd_);
  fd_ = -1;
}

bool LogFile::IsOpen() const { return fd_ >= 0; }

bool LogFile::Append(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

std::int64_t LogFile::Size() const {
  struct stat info {};
  return fstat(fd_, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

}  // namespace qvlog
