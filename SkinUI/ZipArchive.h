// Read-only zip archive over a byte buffer held by the caller (stored and deflated entries).
// Portable: no windows.h, so the parser can be fuzzed natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace SkinUI {

enum ZipResult : int {
    kZip_Ok = 0,
    kZip_BadIndex = 0x100,
    kZip_Unsupported = 0x200,  // encrypted, zip64 or a method other than stored / deflated
    kZip_Corrupt = 0x300,      // inconsistent headers, broken deflate stream or CRC mismatch
    kZip_More = 0x600,         // the buffer was filled and more data exists
};

struct ZipEntry {
    std::string name;  // as stored, "/" separated; folders end with "/"
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t size = 0;
    uint32_t localHeader = 0;  // offset of the local file header
    bool IsFolder() const { return !name.empty() && name.back() == '/'; }
};

class CZipArchive {
public:
    CZipArchive() = default;
    // Not owned: the bytes must outlive the archive. Answers false for anything that is not a readable
    // zip central directory; the archive is then empty.
    bool Open(const void* data, size_t size);
    void Close();
    bool IsOpen() const { return data_ != nullptr; }

    size_t GetCount() const { return entries_.size(); }
    const ZipEntry& GetEntry(size_t index) const { return entries_[index]; }

    // "\" matches "/"; with ignoreCase, ASCII letters match regardless of case. The first match wins.
    // Answers the index, or -1.
    int Find(std::string_view name, bool ignoreCase) const;

    // Fills buffer with the start of the entry. kZip_More when the entry is larger than the buffer;
    // the CRC is checked only when the whole entry was unpacked.
    ZipResult Unpack(size_t index, void* buffer, size_t size) const;
    ZipResult Unpack(size_t index, std::vector<uint8_t>& out) const;

private:
    ZipResult LocateData(const ZipEntry& entry, const uint8_t** data) const;

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    std::vector<ZipEntry> entries_;
};

// Entry names are compared with both separators treated alike.
bool ZipNameEquals(std::string_view a, std::string_view b, bool ignoreCase);

}  // namespace SkinUI
