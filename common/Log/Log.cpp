#include "Log.h"

#include "LogPlatform.h"
#include "RollingFileSink.h"

#include <spdlog/logger.h>

#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>

namespace {

using qvlog::kPathSeparator;

constexpr char kFatalText[] = "***Fatal Error Check,Please Fix it!***";

// The executable's file title: the logger's name and the default log file's base name.
const std::string& AppenderName() {
  static const std::string name = [] {
    const std::string path = qvlog::ModuleFileName();
    const std::size_t slash = path.find_last_of("\\/");
    const std::string title = slash == std::string::npos ? path : path.substr(slash + 1);
    return title.substr(0, title.find('.'));
  }();
  return name;
}

struct LogState {
  std::mutex start_lock;
  std::shared_ptr<spdlog::logger> logger;  // set once, by the first start
};

// Never destroyed: threads and static destructors may still log while the process ends.
LogState& State() {
  static LogState* state = new LogState();
  return *state;
}

void StartLocked(LogState& state, const wchar_t* file_name, const wchar_t* folder) {
  if (state.logger) return;
  const std::wstring dir = folder != nullptr && *folder != L'\0'
                               ? std::wstring(folder)
                               : qvlog::ExecutableFolder() + kPathSeparator + L"Log";
  CreateDirectories(dir);
  const std::wstring name = file_name != nullptr && *file_name != L'\0'
                                ? std::wstring(file_name)
                                : qvlog::NarrowToWide(AppenderName()) + L".log";
  auto sink = std::make_shared<qvlog::RollingFileSink>(dir + kPathSeparator + name);
  auto logger = std::make_shared<spdlog::logger>(AppenderName(), std::move(sink));
  logger->set_level(spdlog::level::debug);
  state.logger = std::move(logger);
}

// "void CSkinFrameWnd::OnClickInstall()" -> "CSkinFrameWnd::OnClickInstall": the compiler's full
// signature cut to the qualified name, as the fatal record shows it.
std::string QualifiedName(const char* signature) {
  const std::string text = signature != nullptr ? signature : "";
  std::size_t start = 0;
  int depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '<') {
      ++depth;
    } else if (c == '>') {
      --depth;
    } else if (depth == 0 && c == ' ') {
      start = i + 1;
    } else if (depth == 0 && c == '(') {
      if (text.compare(i, 2, "()") == 0 && i >= 8 && text.compare(i - 8, 8, "operator") == 0) {
        ++i;  // "operator()" names the function; its parameters come next
        continue;
      }
      return text.substr(start, i - start);
    }
  }
  return text.substr(start);
}

std::string FileNamePart(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The record written instead of a message that cannot be formatted.
std::string FatalRecord(const std::string& function, const std::string& file, int line) {
  return "[" + FileNamePart(file) + ":" + std::to_string(line) + "][" + function + "] " + kFatalText;
}

void VLogA(const char* function, const char* file, int line, int level, const char* format,
           va_list args) {
  try {
    std::string message;
    if (!qvlog::FormatNarrow(message, format, args)) {
      message = FatalRecord(QualifiedName(function), file != nullptr ? file : "", line);
    }
    WriteLog(level, message);
  } catch (...) {
    // out of memory: the record is lost
  }
}

void VLogW(const std::string& function, const std::string& file, int line, int level,
           const wchar_t* format, va_list args) {
  try {
    std::wstring message;
    if (qvlog::FormatWide(message, format, args)) {
      WriteLog(level, qvlog::WideToRecordBytes(message));
    } else {
      WriteLog(level, FatalRecord(function, file, line));
    }
  } catch (...) {
  }
}

std::wstring NormalisePath(const std::wstring& path) {
  std::wstring out;
  for (wchar_t c : path) {
    const bool separator = c == L'/' || c == L'\\';
    // A leading pair stays: it starts a network path.
    if (separator && !out.empty() && out.back() == kPathSeparator && out.size() != 1) continue;
    out += separator ? kPathSeparator : c;
  }
  return out;
}

}  // namespace

void InitLog(const wchar_t* file_name, const wchar_t* folder) {
  try {
    LogState& state = State();
    std::lock_guard<std::mutex> lock(state.start_lock);
    StartLocked(state, file_name, folder);
  } catch (...) {
  }
}

void WriteLog(int level, const std::string& message) {
  try {
    LogState& state = State();
    std::shared_ptr<spdlog::logger> logger;
    {
      std::lock_guard<std::mutex> lock(state.start_lock);
      StartLocked(state, nullptr, nullptr);
      logger = state.logger;
    }
    if (message.empty() || !logger) return;
    spdlog::level::level_enum priority;
    switch (level) {
      case 0: priority = spdlog::level::debug; break;
      case 1: priority = spdlog::level::info; break;
      case 2: priority = spdlog::level::warn; break;
      case 3: priority = spdlog::level::err; break;
      default: return;
    }
    // The string_view form: the message is written as it stands, braces and all.
    logger->log(priority, spdlog::string_view_t(message.data(), message.size()));
  } catch (...) {
  }
}

void LogFormatA(const char* function, const char* file, int line, int level, const char* format, ...) {
  if (format == nullptr || *format == '\0') return;
  va_list args;
  va_start(args, format);
  VLogA(function, file, line, level, format, args);
  va_end(args);
}

void LogFormatW(const wchar_t* function, const wchar_t* file, int line, int level, const wchar_t* format,
                ...) {
  if (format == nullptr || *format == L'\0') return;
  va_list args;
  va_start(args, format);
  try {
    const std::string narrow_function = qvlog::WideToRecordBytes(function != nullptr ? function : L"");
    const std::string narrow_file = qvlog::WideToRecordBytes(file != nullptr ? file : L"");
    VLogW(narrow_function, narrow_file, line, level, format, args);
  } catch (...) {
  }
  va_end(args);
}

void LogFormatW(const char* function, const char* file, int line, int level, const wchar_t* format, ...) {
  if (format == nullptr || *format == L'\0') return;
  va_list args;
  va_start(args, format);
  try {
    VLogW(QualifiedName(function), file != nullptr ? file : "", line, level, format, args);
  } catch (...) {
  }
  va_end(args);
}

bool CreateDirectories(const std::wstring& path) {
  try {
    std::wstring normal = NormalisePath(path);
    if (normal.empty()) return false;
    if (qvlog::PathExists(normal)) return true;
    normal = NormalisePath(normal + kPathSeparator);
    for (std::size_t i = 1; i < normal.size(); ++i) {
      if (normal[i] != kPathSeparator) continue;
      const std::wstring part = normal.substr(0, i);
      if (!qvlog::PathExists(part)) qvlog::MakeDirectory(part);
    }
    qvlog::MakeDirectory(normal);
    return qvlog::PathExists(normal);
  } catch (...) {
    return false;
  }
}
