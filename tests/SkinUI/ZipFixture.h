// Builds small zip archives in memory for the tests: stored or deflated entries, optional damage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

namespace zipfixture {

struct Item {
    std::string name;
    std::string data;
    bool deflate = true;
};

inline void Put16(std::vector<uint8_t>& v, uint32_t x)
{
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

inline std::string RawDeflate(const std::string& data)
{
    z_stream zs{};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

inline std::vector<uint8_t> Build(const std::vector<Item>& items, const std::string& comment = "")
{
    std::vector<uint8_t> zip, dir;
    for (const Item& it : items) {
        const bool deflated = it.deflate && !it.data.empty();
        const std::string packed = deflated ? RawDeflate(it.data) : it.data;
        const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(it.data.data()),
                                   static_cast<uInt>(it.data.size()));
        const uint32_t offset = static_cast<uint32_t>(zip.size());
        Put32(zip, 0x04034b50);
        Put16(zip, 20);
        Put16(zip, 0);
        Put16(zip, deflated ? 8 : 0);
        Put32(zip, 0);  // time and date
        Put32(zip, crc);
        Put32(zip, static_cast<uint32_t>(packed.size()));
        Put32(zip, static_cast<uint32_t>(it.data.size()));
        Put16(zip, static_cast<uint32_t>(it.name.size()));
        Put16(zip, 0);
        zip.insert(zip.end(), it.name.begin(), it.name.end());
        zip.insert(zip.end(), packed.begin(), packed.end());

        Put32(dir, 0x02014b50);
        Put16(dir, 20);
        Put16(dir, 20);
        Put16(dir, 0);
        Put16(dir, deflated ? 8 : 0);
        Put32(dir, 0);
        Put32(dir, crc);
        Put32(dir, static_cast<uint32_t>(packed.size()));
        Put32(dir, static_cast<uint32_t>(it.data.size()));
        Put16(dir, static_cast<uint32_t>(it.name.size()));
        Put32(dir, 0);  // extra and comment lengths
        Put32(dir, 0);  // disk number and internal attributes
        Put32(dir, it.name.back() == '/' ? 0x10 : 0);
        Put32(dir, offset);
        dir.insert(dir.end(), it.name.begin(), it.name.end());
    }
    const uint32_t dirOffset = static_cast<uint32_t>(zip.size());
    zip.insert(zip.end(), dir.begin(), dir.end());
    Put32(zip, 0x06054b50);
    Put32(zip, 0);
    Put16(zip, static_cast<uint32_t>(items.size()));
    Put16(zip, static_cast<uint32_t>(items.size()));
    Put32(zip, static_cast<uint32_t>(dir.size()));
    Put32(zip, dirOffset);
    Put16(zip, static_cast<uint32_t>(comment.size()));
    zip.insert(zip.end(), comment.begin(), comment.end());
    return zip;
}

// Offset of the central directory record of entry `index` (the records follow each other).
inline size_t DirectoryRecord(const std::vector<uint8_t>& zip, size_t index)
{
    size_t eocd = zip.size() - 22;
    while (!(zip[eocd] == 0x50 && zip[eocd + 1] == 0x4b && zip[eocd + 2] == 5 && zip[eocd + 3] == 6))
        --eocd;
    size_t pos = zip[eocd + 16] | zip[eocd + 17] << 8 | zip[eocd + 18] << 16 | zip[eocd + 19] << 24;
    for (; index > 0; --index)
        pos += 46 + (zip[pos + 28] | zip[pos + 29] << 8);
    return pos;
}

}  // namespace zipfixture
