#include "ZipArchive.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

namespace SkinUI {

namespace {

constexpr uint32_t kEndOfDirectorySig = 0x06054b50;
constexpr uint32_t kDirectoryEntrySig = 0x02014b50;
constexpr uint32_t kLocalHeaderSig = 0x04034b50;
constexpr size_t kEndOfDirectorySize = 22;
constexpr size_t kDirectoryEntrySize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagEncrypted = 1;
// Deflate cannot expand by more than about 1032:1, so a larger claimed size is a lie; checking it keeps a
// forged header from making us allocate gigabytes.
constexpr uint64_t kMaxDeflateRatio = 1032;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Read32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

char Fold(char c, bool ignoreCase)
{
    if (c == '\\')
        return '/';
    if (ignoreCase && c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}

// Unpacks into [out, out + size); answers the number of bytes produced through *produced.
ZipResult Inflate(const uint8_t* in, uint32_t inSize, uint8_t* out, size_t size, uint32_t expected,
                  size_t* produced)
{
    if (expected == 0 && inSize == 0) {
        *produced = 0;
        return kZip_Ok;
    }
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return kZip_Corrupt;
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = inSize;
    const size_t want = std::min<size_t>(size, expected);
    zs.next_out = out;
    zs.avail_out = static_cast<uInt>(want);
    int rc = Z_OK;
    while (zs.avail_out > 0 && rc == Z_OK)
        rc = inflate(&zs, Z_SYNC_FLUSH);
    *produced = want - zs.avail_out;
    ZipResult result = kZip_Ok;
    if (*produced < want)
        result = kZip_Corrupt;  // the stream ended (or broke) before the claimed size
    else if (rc != Z_STREAM_END && rc != Z_OK && rc != Z_BUF_ERROR)
        result = kZip_Corrupt;
    else if (want == expected && rc != Z_STREAM_END) {
        // Everything claimed arrived; the stream must end here and not hold more.
        uint8_t extra;
        zs.next_out = &extra;
        zs.avail_out = 1;
        rc = inflate(&zs, Z_SYNC_FLUSH);
        if (rc != Z_STREAM_END || zs.avail_out == 0)
            result = kZip_Corrupt;
    }
    inflateEnd(&zs);
    return result;
}

}  // namespace

bool ZipNameEquals(std::string_view a, std::string_view b, bool ignoreCase)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i], ignoreCase) != Fold(b[i], ignoreCase))
            return false;
    return true;
}

bool CZipArchive::Open(const void* data, size_t size)
{
    Close();
    if (!data || size < kEndOfDirectorySize)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    // The end record sits at the end, followed by a comment of at most 65535 bytes.
    const size_t lowest = size > kEndOfDirectorySize + 0xFFFF ? size - kEndOfDirectorySize - 0xFFFF : 0;
    size_t end = size - kEndOfDirectorySize + 1;
    const uint8_t* eocd = nullptr;
    while (end-- > lowest) {
        if (Read32(bytes + end) == kEndOfDirectorySig) {
            eocd = bytes + end;
            break;
        }
    }
    if (!eocd)
        return false;
    const size_t eocdPos = static_cast<size_t>(eocd - bytes);
    const uint16_t count = Read16(eocd + 10);
    const uint32_t dirSize = Read32(eocd + 12);
    const uint32_t dirOffset = Read32(eocd + 16);
    if (count == 0xFFFF || dirOffset == 0xFFFFFFFF)
        return false;  // zip64
    if (dirOffset > eocdPos || dirSize > eocdPos - dirOffset)
        return false;

    std::vector<ZipEntry> entries;
    entries.reserve(count);
    size_t pos = dirOffset;
    const size_t dirEnd = size_t{dirOffset} + dirSize;
    for (uint16_t i = 0; i < count; ++i) {
        if (dirEnd - pos < kDirectoryEntrySize)
            return false;
        const uint8_t* h = bytes + pos;
        if (Read32(h) != kDirectoryEntrySig)
            return false;
        const size_t nameLen = Read16(h + 28);
        const size_t variable = nameLen + Read16(h + 30) + Read16(h + 32);
        if (dirEnd - pos - kDirectoryEntrySize < variable)
            return false;
        ZipEntry e;
        e.flags = Read16(h + 8);
        e.method = Read16(h + 10);
        e.crc = Read32(h + 16);
        e.packedSize = Read32(h + 20);
        e.size = Read32(h + 24);
        e.localHeader = Read32(h + 42);
        e.name.assign(reinterpret_cast<const char*>(h + kDirectoryEntrySize), nameLen);
        entries.push_back(std::move(e));
        pos += kDirectoryEntrySize + variable;
    }
    data_ = bytes;
    size_ = size;
    entries_ = std::move(entries);
    return true;
}

void CZipArchive::Close()
{
    data_ = nullptr;
    size_ = 0;
    entries_.clear();
}

int CZipArchive::Find(std::string_view name, bool ignoreCase) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (ZipNameEquals(entries_[i].name, name, ignoreCase))
            return static_cast<int>(i);
    return -1;
}

ZipResult CZipArchive::LocateData(const ZipEntry& entry, const uint8_t** data) const
{
    if (entry.flags & kFlagEncrypted)
        return kZip_Unsupported;
    if (entry.method != kMethodStored && entry.method != kMethodDeflated)
        return kZip_Unsupported;
    if (entry.packedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF)
        return kZip_Unsupported;
    if (entry.localHeader > size_ || size_ - entry.localHeader < kLocalHeaderSize)
        return kZip_Corrupt;
    const uint8_t* h = data_ + entry.localHeader;
    if (Read32(h) != kLocalHeaderSig)
        return kZip_Corrupt;
    const size_t start = size_t{entry.localHeader} + kLocalHeaderSize + Read16(h + 26) + Read16(h + 28);
    if (start > size_ || size_ - start < entry.packedSize)
        return kZip_Corrupt;
    if (entry.method == kMethodStored && entry.packedSize != entry.size)
        return kZip_Corrupt;
    *data = data_ + start;
    return kZip_Ok;
}

ZipResult CZipArchive::Unpack(size_t index, void* buffer, size_t size) const
{
    if (index >= entries_.size())
        return kZip_BadIndex;
    const ZipEntry& entry = entries_[index];
    const uint8_t* packed = nullptr;
    if (ZipResult rc = LocateData(entry, &packed); rc != kZip_Ok)
        return rc;
    if (size > 0 && !buffer)
        return kZip_BadIndex;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t produced = 0;
    if (entry.method == kMethodStored) {
        produced = std::min<size_t>(size, entry.size);
        if (produced)
            std::memcpy(out, packed, produced);
    } else if (ZipResult rc = Inflate(packed, entry.packedSize, out, size, entry.size, &produced);
               rc != kZip_Ok) {
        return rc;
    }
    if (produced < entry.size)
        return kZip_More;
    const uLong crc = crc32(crc32(0, nullptr, 0), out, static_cast<uInt>(produced));
    return crc == entry.crc ? kZip_Ok : kZip_Corrupt;
}

ZipResult CZipArchive::Unpack(size_t index, std::vector<uint8_t>& out) const
{
    out.clear();
    if (index >= entries_.size())
        return kZip_BadIndex;
    const ZipEntry& entry = entries_[index];
    if (entry.method == kMethodDeflated && entry.size > uint64_t{entry.packedSize} * kMaxDeflateRatio + 64)
        return kZip_Corrupt;
    if (entry.method == kMethodStored && entry.size != entry.packedSize)
        return kZip_Corrupt;
    out.resize(entry.size);
    ZipResult rc = Unpack(index, out.data(), out.size());
    if (rc != kZip_Ok)
        out.clear();
    return rc;
}

}  // namespace SkinUI
