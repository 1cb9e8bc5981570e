// Process-wide framework settings: the module, the resource path and the resource zip, and how skin files
// and images are found in them. Written while a window is created, read on the window thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

void SetInstance(HINSTANCE module);
HINSTANCE GetInstance();
std::wstring GetInstancePath();  // the module's folder with a trailing "\"

void SetResourcePath(const std::wstring& folder);  // a trailing "\" is added when missing
const std::wstring& GetResourcePath();

// Makes bytes held in memory (not copied; they must live as long as the process uses the skin) the
// resource zip, named "membuffer". Called again while "membuffer" is open, it does nothing.
bool OpenResourceArchive(const void* data, size_t size);
// A zip file on disk (resource path + name, or an absolute path) becomes the resource zip.
bool OpenResourceArchiveFile(const std::wstring& name);
// Forgets the resource zip, so loose files are used again.
void CloseResourceArchive();
bool HasResourceArchive();
const std::wstring& GetResourceZipName();

// Names shorter than 256 characters; "\" finds "/". Answers the entry index (or -1) and its size.
int FindArchiveEntry(const std::wstring& name, bool ignoreCase, uint32_t* size);
// 0 on success; 0x600 when the buffer was filled and more data exists.
int UnpackArchiveEntry(int index, void* buffer, size_t size);

// A markup file from the resource zip or the resource path. On failure *error holds the reader's text.
bool ReadSkinFile(const std::wstring& name, std::vector<uint8_t>& bytes, std::wstring& error);
// An image from the resource zip or the resource path, then as a plain file-system path.
bool ReadImageFile(const std::wstring& name, std::vector<uint8_t>& bytes);
// A resource of the module; a decimal name is taken as a numeric id.
bool ReadModuleResource(const std::wstring& name, const wchar_t* type, std::vector<uint8_t>& bytes);

}  // namespace SkinUI
