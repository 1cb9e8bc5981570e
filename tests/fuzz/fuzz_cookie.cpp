// Cookie dates and "set-cookie" values: no input may crash the parsers; an accepted date is after 1970.
#include "qvhttp/cookie.hpp"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::time_t t;
  if (qvhttp::parse_cookie_date(text, t) && t < 0) std::abort();
  qvhttp::cookie_store store;
  store.add(text, "host.example");
  (void)store.cookie_line("host.example", "/", true);
  return 0;
}
