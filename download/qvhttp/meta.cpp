#include "qvhttp/meta.hpp"

#include <limits>

namespace qvhttp {

namespace {

std::int64_t piece_count(std::int64_t file_size, std::int64_t piece_size)
{
  return file_size / piece_size + (file_size % piece_size != 0 ? 1 : 0);
}

} // namespace

std::string pack_bits(const std::vector<bool>& bits)
{
  std::string bytes((bits.size() + 7) / 8, '\0');
  for (std::size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) bytes[i / 8] = static_cast<char>(static_cast<unsigned char>(bytes[i / 8]) | (0x80u >> (i % 8)));
  return bytes;
}

std::vector<bool> unpack_bits(const std::string& bytes, std::int64_t count)
{
  std::vector<bool> bits(static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < bits.size(); ++i)
    bits[i] = (static_cast<unsigned char>(bytes[i / 8]) & (0x80u >> (i % 8))) != 0;
  return bits;
}

entry make_meta(const meta_state& state)
{
  entry meta(entry::dictionary_t);
  meta["final_url"] = state.final_url;
  meta["file_size"] = state.file_size;
  meta["piece_size"] = state.piece_size;
  meta["piece_num"] = state.piece_size > 0 ? piece_count(state.file_size, state.piece_size) : 0;
  meta["bitfield"] = pack_bits(state.bits);
  return meta;
}

bool read_meta(const entry& meta, meta_state& state)
{
  meta.dict(); // throws unless it is a dictionary
  const entry* bitfield = meta.find_key("bitfield");
  const entry* file_size = meta.find_key("file_size");
  const entry* final_url = meta.find_key("final_url");
  const entry* piece_num = meta.find_key("piece_num");
  const entry* piece_size = meta.find_key("piece_size");
  if (!bitfield || !file_size || !final_url || !piece_num || !piece_size) return false;

  const std::int64_t size = file_size->integer();
  const std::int64_t piece = piece_size->integer();
  const std::int64_t pieces = piece_num->integer();
  const std::string& bytes = bitfield->string();
  // Guards against files that would divide by zero, place pieces at negative offsets or overflow
  // the downloader's 32-bit piece size.
  if (size < 0 || piece <= 0 || piece > std::numeric_limits<int>::max() || pieces < 0) return false;
  if (static_cast<std::uint64_t>(bytes.size()) < (static_cast<std::uint64_t>(pieces) + 7) / 8) return false;

  state.final_url = final_url->string();
  state.file_size = size;
  state.piece_size = piece;
  state.bits = unpack_bits(bytes, pieces);
  return true;
}

} // namespace qvhttp
