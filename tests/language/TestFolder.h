// Scratch folders and INI files for the language tests. Paths are full: the private-profile functions
// look for a relative file name in the Windows folder.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace testfolder {

// The folder named name below the current directory, ending with "\".
inline std::wstring Path(const std::wstring& name)
{
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    return std::wstring(cwd) + L"\\" + name + L"\\";
}

// The same folder, freshly emptied.
inline std::wstring Fresh(const std::wstring& name)
{
    const std::wstring path = Path(name);
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

inline std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

// UTF-16 LE with the byte order mark, as the packs store their INI files.
inline void WriteUtf16(const std::wstring& path, const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    WriteBytes(path, bytes);
}

// A source file of the repository, through wine's Z: drive.
inline std::wstring SourcePath(const std::wstring& relative)
{
    const char* root = getenv("QV_SOURCE_DIR");
    std::wstring path = L"Z:";
    for (const char* p = root ? root : ""; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return path + L"\\" + relative;
}

}  // namespace testfolder
