// URL parser: no input may crash it, and whatever it accepts must write back to text that parses
// into the same URL.
#include "qvhttp/url.hpp"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  boost::system::error_code ec;
  const qvhttp::url u = qvhttp::url::from_string(text, ec);
  if (ec) return 0;
  (void)u.port();
  const std::string written = u.to_string();
  const qvhttp::url again = qvhttp::url::from_string(written, ec);
  if (ec || again.to_string() != written || again.host() != u.host() || again.path() != u.path() ||
      again.query() != u.query() || again.fragment() != u.fragment() || again.port_text() != u.port_text())
    std::abort();
  return 0;
}
