// Small process, shell and system-information helpers. None keeps state, throws or shows anything:
// failure is an empty text, false or an untouched out argument.
#pragma once

#include <windows.h>

#include <string>

[[nodiscard]] std::wstring GetFileDescription(const std::wstring& path);
// "%d.%d.%d.%d" of the fixed file version; empty without a "\VarFileInfo\Translation" block.
[[nodiscard]] std::wstring GetFileVersion(const std::wstring& path);
// The Program Files folder followed by "\" ("\" alone when the shell does not know it).
[[nodiscard]] std::wstring GetProgFilesDir();
// Program Files + "quorvane_down\" + the executable's name without its extension + "\".
[[nodiscard]] std::wstring GetDownloaderDir();
[[nodiscard]] std::wstring GetFileNameFromPath(const std::wstring& path);
[[nodiscard]] std::wstring GetUILanguageId();
// Free megabytes (1048576 bytes, rounded down) of the volume holding folder; mb is untouched on failure.
[[nodiscard]] bool GetDiskFreeSpaceMB(const std::wstring& folder, int& mb);
[[nodiscard]] std::wstring GetWindowsProductName();
[[nodiscard]] bool IsNative64BitOS();
[[nodiscard]] bool IsFileExist(const std::wstring& path);
// Exact, case-sensitive match of the executable file name (without folder).
[[nodiscard]] bool FindProcess(const std::wstring& name, DWORD& process_id);
[[nodiscard]] bool KillProcess(DWORD process_id);
void ShellOpen(HWND owner, const std::wstring& target);
// Elevated through the shell, or as the interactive user without elevation.
void StartProgram(const std::wstring& path, bool as_administrator);
// 32 lower-case hexadecimal digits.
[[nodiscard]] std::string GetFileMd5(const std::wstring& path);

// Through the C runtime after setting its character-conversion locale to the user's default (process-wide).
[[nodiscard]] std::wstring AnsiToWide(const std::string& text);
[[nodiscard]] std::string WideToAnsi(const std::wstring& text);
// Through the ANSI code page directly.
[[nodiscard]] std::wstring AcpToWide(const std::string& text);
[[nodiscard]] std::string WideToUtf8(const std::wstring& text);

// Replaces every occurrence, continuing after each inserted replacement. An empty search changes nothing.
void ReplaceAll(std::wstring& text, const std::wstring& search, const std::wstring& replacement);
// Splits at the first separator (which belongs to neither part). Without one: left = text, right empty, false.
bool SplitOnce(const std::wstring& text, const std::wstring& separator, std::wstring& left, std::wstring& right);
