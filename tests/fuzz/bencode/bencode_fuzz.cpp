// libFuzzer target: the bencode decoder and the meta reader on arbitrary bytes.

#include "qvhttp/bencode.hpp"
#include "qvhttp/meta.hpp"

#include <boost/system/system_error.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string input(reinterpret_cast<const char*>(data), size);
  bool error = false;
  const qvhttp::entry value = qvhttp::bdecode(input, error);
  if (error) return 0;

  // What decodes must encode to something that decodes to the same encoding.
  const std::string encoded = qvhttp::bencode(value);
  bool again = false;
  const qvhttp::entry reread = qvhttp::bdecode(encoded, again);
  if (again || qvhttp::bencode(reread) != encoded) std::abort();

  try {
    qvhttp::meta_state state;
    qvhttp::read_meta(value, state);
  } catch (const boost::system::system_error&) {
    // a key of the wrong type: reported, not a crash
  }
  return 0;
}
