#include "SkinResources.h"

#include <memory>

#include "Handles.h"
#include "SkinXml.h"
#include "ZipArchive.h"

namespace SkinUI {

namespace {

struct Settings {
    HINSTANCE instance = nullptr;
    std::wstring resourcePath;
    std::wstring zipName;
    CZipArchive zip;
    std::vector<uint8_t> zipFileBytes;  // the archive read from disk, when the zip is a file
};

Settings& TheSettings()
{
    static Settings settings;
    return settings;
}

enum class ReadResult { kOk, kCannotOpen, kEmpty, kTooLarge, kCannotRead };

ReadResult ReadDiskFile(const std::wstring& path, std::vector<uint8_t>& bytes, size_t limit)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ReadResult::kCannotOpen;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return ReadResult::kCannotRead;
    if (size.QuadPart == 0)
        return ReadResult::kEmpty;
    if (static_cast<unsigned long long>(size.QuadPart) > limit)
        return ReadResult::kTooLarge;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
        bytes.clear();
        return ReadResult::kCannotRead;
    }
    return ReadResult::kOk;
}

bool IsAbsolute(const std::wstring& path)
{
    return (path.size() > 1 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

// Reads a zip entry whole; a size over limit is reported without unpacking.
ReadResult ReadZipEntry(const std::wstring& name, std::vector<uint8_t>& bytes, size_t limit)
{
    uint32_t size = 0;
    const int index = FindArchiveEntry(name, true, &size);
    if (index < 0)
        return ReadResult::kCannotOpen;
    if (size == 0)
        return ReadResult::kEmpty;
    if (size > limit)
        return ReadResult::kTooLarge;
    if (TheSettings().zip.Unpack(static_cast<size_t>(index), bytes) != kZip_Ok)
        return ReadResult::kCannotRead;
    return ReadResult::kOk;
}

}  // namespace

void SetInstance(HINSTANCE module) { TheSettings().instance = module; }

HINSTANCE GetInstance() { return TheSettings().instance ? TheSettings().instance : GetModuleHandleW(nullptr); }

std::wstring GetInstancePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(GetInstance(), &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void SetResourcePath(const std::wstring& folder)
{
    std::wstring& path = TheSettings().resourcePath;
    path = folder;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
}

const std::wstring& GetResourcePath() { return TheSettings().resourcePath; }

bool OpenResourceArchive(const void* data, size_t size)
{
    Settings& s = TheSettings();
    if (s.zipName == L"membuffer")
        return true;
    if (!s.zip.Open(data, size))
        return false;
    s.zipName = L"membuffer";
    s.zipFileBytes.clear();
    return true;
}

bool OpenResourceArchiveFile(const std::wstring& name)
{
    Settings& s = TheSettings();
    std::vector<uint8_t> bytes;
    const std::wstring path = IsAbsolute(name) ? name : s.resourcePath + name;
    if (ReadDiskFile(path, bytes, SIZE_MAX) != ReadResult::kOk)
        bytes.clear();
    CloseResourceArchive();
    // The name stays even when the file is unusable, so markup reads report the broken archive.
    s.zipName = name;
    s.zipFileBytes = std::move(bytes);
    if (!s.zip.Open(s.zipFileBytes.data(), s.zipFileBytes.size())) {
        s.zipFileBytes.clear();
        return false;
    }
    return true;
}

void CloseResourceArchive()
{
    Settings& s = TheSettings();
    s.zip.Close();
    s.zipName.clear();
    s.zipFileBytes.clear();
}

bool HasResourceArchive() { return TheSettings().zip.IsOpen(); }

const std::wstring& GetResourceZipName() { return TheSettings().zipName; }

int FindArchiveEntry(const std::wstring& name, bool ignoreCase, uint32_t* size)
{
    const Settings& s = TheSettings();
    if (!s.zip.IsOpen() || name.size() >= 256)
        return -1;
    const int n = WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), &narrow[0], n, nullptr, nullptr);
    const int index = s.zip.Find(narrow, ignoreCase);
    if (index >= 0 && size)
        *size = s.zip.GetEntry(static_cast<size_t>(index)).size;
    return index;
}

int UnpackArchiveEntry(int index, void* buffer, size_t size)
{
    if (index < 0)
        return kZip_BadIndex;
    return TheSettings().zip.Unpack(static_cast<size_t>(index), buffer, size);
}

bool ReadSkinFile(const std::wstring& name, std::vector<uint8_t>& bytes, std::wstring& error)
{
    bytes.clear();
    if (!GetResourceZipName().empty() && !HasResourceArchive()) {
        error = L"Error opening zip file";
        return false;
    }
    if (HasResourceArchive()) {
        switch (ReadZipEntry(name, bytes, CSkinXml::kMaxFileSize)) {
        case ReadResult::kOk: return true;
        case ReadResult::kCannotOpen: error = L"Could not find ziped file"; break;
        case ReadResult::kEmpty: error = L"File is empty"; break;
        case ReadResult::kTooLarge: error = L"File too large"; break;
        case ReadResult::kCannotRead: error = L"Could not unzip file"; break;
        }
        return false;
    }
    switch (ReadDiskFile(GetResourcePath() + name, bytes, CSkinXml::kMaxFileSize)) {
    case ReadResult::kOk: return true;
    case ReadResult::kCannotOpen: error = L"Error opening file"; break;
    case ReadResult::kEmpty: error = L"File is empty"; break;
    case ReadResult::kTooLarge: error = L"File too large"; break;
    case ReadResult::kCannotRead: error = L"Could not read file"; break;
    }
    return false;
}

bool ReadImageFile(const std::wstring& name, std::vector<uint8_t>& bytes)
{
    // Decoded images are bounded by the decoder; the limit only refuses absurd files.
    constexpr size_t kImageLimit = 256u << 20;
    bytes.clear();
    if (name.empty())
        return false;
    const ReadResult found = HasResourceArchive() ? ReadZipEntry(name, bytes, kImageLimit)
                                                  : ReadDiskFile(GetResourcePath() + name, bytes, kImageLimit);
    if (found == ReadResult::kOk)
        return true;
    // Files that are not part of the skin (the carousel's cache) are read as plain paths.
    return ReadDiskFile(name, bytes, kImageLimit) == ReadResult::kOk;
}

bool ReadModuleResource(const std::wstring& name, const wchar_t* type, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    const wchar_t* id = name.c_str();
    if (!name.empty() && name.find_first_not_of(L"0123456789") == std::wstring::npos)
        id = MAKEINTRESOURCEW(_wtoi(name.c_str()));
    HINSTANCE module = GetInstance();
    HRSRC info = FindResourceW(module, id, type);
    if (!info)
        return false;
    const DWORD size = SizeofResource(module, info);
    HGLOBAL handle = LoadResource(module, info);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data || size == 0)
        return false;
    bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return true;
}

}  // namespace SkinUI
