#include "ResourcePack.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "LanguageManager.h"
#include "SkinUI/ZipArchive.h"
#include "common/Log/Log.h"
#include "common/System/Handles.h"
#include "common/System/System.h"

namespace {

constexpr int kLanguagePackId = 105;
constexpr int kChannelCodeId = 106;
constexpr size_t kChannelBufferSize = 255;
constexpr uint16_t kZipFlagUtf8 = 0x800;

// The resource's bytes stay mapped for the life of the module; no release is needed.
bool FindOwnResource(int id, const void** data, DWORD* size)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    *data = loaded ? LockResource(loaded) : nullptr;
    *size = *data ? SizeofResource(module, found) : 0;
    return *data != nullptr;
}

bool IsFolder(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

// Our archives never hold such names, but one that climbs out of the target must not be followed.
bool IsSafeEntryName(const std::wstring& name)
{
    if (name.empty() || name[0] == L'\\' || name.find(L':') != std::wstring::npos)
        return false;
    const std::wstring wrapped = L"\\" + name + L"\\";
    return wrapped.find(L"\\..\\") == std::wstring::npos;
}

std::wstring EntryName(const SkinUI::ZipEntry& entry)
{
    if (!(entry.flags & kZipFlagUtf8))
        return AnsiToWide(entry.name);
    std::wstring name(entry.name.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, entry.name.data(), static_cast<int>(entry.name.size()),
                                           name.data(), static_cast<int>(name.size()));
    name.resize(length > 0 ? length : 0);
    return name;
}

void WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    const qvsys::UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void ExtractEntry(const SkinUI::CZipArchive& archive, size_t index, const std::wstring& target)
{
    const SkinUI::ZipEntry& entry = archive.GetEntry(index);
    std::wstring name = EntryName(entry);
    ReplaceAll(name, L"/", L"\\");
    if (!IsSafeEntryName(name))
        return;
    const std::wstring path = target + name;
    // Folders are the entries named with a trailing "/": an empty file stays a file.
    if (entry.IsFolder()) {
        if (!IsFolder(path))
            CreateDirectoryW(path.c_str(), nullptr);
        return;
    }
    std::vector<uint8_t> bytes;
    try {
        if (archive.Unpack(index, bytes) != SkinUI::kZip_Ok)
            return;  // a damaged entry must not replace a good file
    } catch (const std::bad_alloc&) {
        return;
    }
    WriteWholeFile(path, bytes);
}

}  // namespace

bool ExtractZipToFolder(const void* data, size_t size, const std::wstring& target)
{
    SHCreateDirectory(nullptr, target.c_str());
    if (!IsFolder(target))
        CreateDirectoryW(target.c_str(), nullptr);
    SkinUI::CZipArchive archive;
    if (!archive.Open(data, size))
        return false;
    const std::wstring base = !target.empty() && target.back() == L'\\' ? target : target + L"\\";
    for (size_t i = 0; i < archive.GetCount(); ++i)
        ExtractEntry(archive, i, base);
    return true;
}

void LoadResZipFile(const std::wstring& workFolder)
{
    LOGA(1, "LoadResZipFile");
    const void* data = nullptr;
    DWORD size = 0;
    const bool found = FindOwnResource(kLanguagePackId, &data, &size);
    // Without a pack the folder is still made: the carousel keeps its images there.
    if (!ExtractZipToFolder(data, size, workFolder + L"language\\")) {
        LOGA(1, found ? "LoadResZipFile: resource 105 is not a readable zip archive"
                      : "LoadResZipFile: no resource 105");
    }
}

void LoadDomainFile(LanguageManager& language)
{
    LOGA(1, "LoadDomainFile");
    const void* data = nullptr;
    DWORD size = 0;
    char text[kChannelBufferSize] = {};
    // One byte of the buffer always stays zero, so longer data is cut instead of overrunning it.
    if (FindOwnResource(kChannelCodeId, &data, &size))
        std::memcpy(text, data, std::min<size_t>(size, kChannelBufferSize - 1));
    std::wstring code = AnsiToWide(text);
    ReplaceAll(code, L"\r\n", L"");
    language.SetChannelCode(code);
    LOGA(1, "Domain:%s", text);
}
