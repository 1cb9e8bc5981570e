// The process-wide rolling log. Every operation is safe to call from any thread and never throws;
// a record that cannot be written is lost without telling the caller.
#pragma once

#include <string>

// Starts the log on folder\file. Null or empty arguments fall back to the executable's folder + "Log"
// and the executable's base name + ".log". The first start wins; later calls change nothing.
void InitLog(const wchar_t* file_name, const wchar_t* folder);

// printf-style records. Levels 0 debug, 1 information, 2 warning, 3 error; any other level is dropped.
// Narrow records reach the file byte for byte; wide ones through the OEM code page (UTF-8 off Windows).
// In wide formats "%s" and "%c" take wide arguments on every platform.
void LogFormatA(const char* function, const char* file, int line, int level, const char* format, ...);
void LogFormatW(const wchar_t* function, const wchar_t* file, int line, int level, const wchar_t* format, ...);
// The form LOGW uses: the compiler gives the function name and file only as narrow text.
void LogFormatW(const char* function, const char* file, int line, int level, const wchar_t* format, ...);

// Appends one record (starting the log with its defaults first if nobody has started it).
void WriteLog(int level, const std::string& message);

// Creates path with all missing parents; "/" and "\" both separate. Answers whether the path exists.
bool CreateDirectories(const std::wstring& path);

#if defined(_MSC_VER)
#define QV_LOG_FUNCTION __FUNCTION__
#else
#define QV_LOG_FUNCTION __PRETTY_FUNCTION__
#endif

#define LOGA(level, ...) LogFormatA(QV_LOG_FUNCTION, __FILE__, __LINE__, (level), __VA_ARGS__)
#define LOGW(level, ...) LogFormatW(QV_LOG_FUNCTION, __FILE__, __LINE__, (level), __VA_ARGS__)
