#pragma once
// The resume meta file's contents: which pieces of which download are on disk.

#include "qvhttp/entry.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace qvhttp {

struct meta_state {
  std::string final_url;
  std::int64_t file_size = 0;
  std::int64_t piece_size = 0;
  std::vector<bool> bits; // one per piece, the first piece first
};

entry make_meta(const meta_state& state);

// False when the dictionary lacks a key or its numbers or bitfield cannot describe a download.
// A key of the wrong type throws "invalid type requested from entry".
bool read_meta(const entry& meta, meta_state& state);

// The first piece is the most significant bit of the first byte; unused low bits are zero.
std::string pack_bits(const std::vector<bool>& bits);
std::vector<bool> unpack_bits(const std::string& bytes, std::int64_t count);

} // namespace qvhttp
