// The response head as it arrives, line by line, then chunk-size lines: no input may crash the
// parser, and a head it accepts keeps its invariants.
#include "qvhttp/response_head.hpp"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto next_line = [&] {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
    text.remove_prefix(line.size());
    return line;
  };
  qvhttp::response_head_parser parser{qvhttp::url("http://h:81/d/f?q")};
  if (parser.status_line(next_line())) return 0;
  if (parser.head.status < 0 || parser.head.status > 999) std::abort();
  bool done = false;
  while (!done && !text.empty())
    if (parser.header_line(next_line(), done)) return 0;
  if (done && parser.head.fields.find("_status_code") != std::to_string(parser.head.status)) std::abort();
  if (parser.head.body_length < -1 || parser.head.content_length < -1) std::abort();
  while (!text.empty()) {
    std::uint64_t chunk = 0;
    if (qvhttp::parse_chunk_size_line(next_line(), chunk) && chunk >= (std::uint64_t{1} << 60)) std::abort();
  }
  return 0;
}
