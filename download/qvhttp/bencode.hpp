#pragma once

#include "qvhttp/entry.hpp"

#include <string>
#include <string_view>

namespace qvhttp {

std::string bencode(const entry& value);

// Reads the first complete value of data; whatever follows it is ignored. On malformed input error is
// set and the result is undefined.
entry bdecode(std::string_view data, bool& error);

} // namespace qvhttp
