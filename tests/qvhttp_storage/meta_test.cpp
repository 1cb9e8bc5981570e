#include "qvhttp/meta.hpp"

#include "qvhttp/bencode.hpp"
#include "qvhttp/range_field.hpp"

#include <boost/system/system_error.hpp>
#include <gtest/gtest.h>

namespace {

using qvhttp::entry;

TEST(Meta, ExampleFileHasTheExactLayout)
{
  qvhttp::range_field downloaded;
  downloaded.resize(1000000);
  downloaded.update(0, 16384 * 9 + 100); // pieces 0..8 whole, piece 9 partly
  downloaded.update(16384 * 61, 1000000); // the short last piece
  qvhttp::meta_state state;
  state.final_url = "http://127.0.0.1:8080/files/setup.exe";
  state.file_size = 1000000;
  state.piece_size = 16384;
  state.bits = downloaded.to_bitfield(16384);

  const std::string expected = std::string("d8:bitfield8:") + "\xff\x80" + std::string(5, '\0') + "\x04" +
                               "9:file_sizei1000000e9:final_url37:http://127.0.0.1:8080/files/setup.exe"
                               "9:piece_numi62e10:piece_sizei16384ee";
  EXPECT_EQ(qvhttp::bencode(qvhttp::make_meta(state)), expected);
}

TEST(Meta, ReadBackRestoresTheBits)
{
  qvhttp::meta_state written;
  written.final_url = "https://example.invalid/a b";
  written.file_size = 95;
  written.piece_size = 10;
  written.bits = {1, 0, 1, 1, 0, 0, 0, 0, 1, 1};
  // Stale bytes of a longer earlier write stay behind the value: they must not matter.
  const std::string bytes = qvhttp::bencode(qvhttp::make_meta(written)) + "0:stale";
  bool error = true;
  const entry decoded = qvhttp::bdecode(bytes, error);
  ASSERT_FALSE(error);
  qvhttp::meta_state read;
  ASSERT_TRUE(qvhttp::read_meta(decoded, read));
  EXPECT_EQ(read.final_url, written.final_url);
  EXPECT_EQ(read.file_size, 95);
  EXPECT_EQ(read.piece_size, 10);
  EXPECT_EQ(read.bits, written.bits);
}

TEST(Meta, UnusableFilesAreRefusedAndWrongTypesThrow)
{
  auto with = [](const std::string& key, entry value) {
    qvhttp::meta_state state;
    state.final_url = "http://h/";
    state.file_size = 100;
    state.piece_size = 10;
    state.bits.assign(10, false);
    entry meta = qvhttp::make_meta(state);
    if (value.type() == entry::undefined_t)
      meta.dict().erase(key);
    else
      meta[key] = value;
    return meta;
  };
  qvhttp::meta_state state;
  for (const char* key : {"bitfield", "file_size", "final_url", "piece_num", "piece_size"})
    EXPECT_FALSE(qvhttp::read_meta(with(key, entry()), state)) << "without " << key;
  EXPECT_FALSE(qvhttp::read_meta(with("bitfield", entry("\0")), state)) << "bitfield too short";
  EXPECT_FALSE(qvhttp::read_meta(with("piece_size", entry::integer_type(0)), state));
  EXPECT_FALSE(qvhttp::read_meta(with("piece_size", entry::integer_type(-16384)), state));
  EXPECT_FALSE(qvhttp::read_meta(with("piece_size", entry::integer_type(1) << 40), state));
  EXPECT_FALSE(qvhttp::read_meta(with("file_size", entry::integer_type(-1)), state));
  EXPECT_FALSE(qvhttp::read_meta(with("piece_num", entry::integer_type(-1)), state));
  EXPECT_TRUE(qvhttp::read_meta(with("piece_num", entry::integer_type(0)), state));
  EXPECT_TRUE(state.bits.empty());

  EXPECT_THROW(qvhttp::read_meta(with("file_size", entry("100")), state), boost::system::system_error);
  EXPECT_THROW(qvhttp::read_meta(with("bitfield", entry::integer_type(1)), state), boost::system::system_error);
  EXPECT_THROW(qvhttp::read_meta(entry(entry::list_t), state), boost::system::system_error);
}

} // namespace
