#include "qvhttp/bencode.hpp"

#include <algorithm>
#include <charconv>

namespace qvhttp {

namespace {

void encode(const entry& value, std::string& out)
{
  switch (value.type()) {
  case entry::int_t:
    out += 'i';
    out += std::to_string(value.integer());
    out += 'e';
    break;
  case entry::string_t:
    out += std::to_string(value.string().size());
    out += ':';
    out += value.string();
    break;
  case entry::list_t:
    out += 'l';
    for (const entry& item : value.list()) encode(item, out);
    out += 'e';
    break;
  case entry::dictionary_t:
    out += 'd';
    for (const auto& [key, item] : value.dict()) {
      out += std::to_string(key.size());
      out += ':';
      out += key;
      encode(item, out);
    }
    out += 'e';
    break;
  case entry::undefined_t:
    break;
  }
}

// Bounds the recursion, so hostile input cannot exhaust the stack.
constexpr int max_dictionary_depth = 100;
constexpr int max_list_depth = 99;

class decoder {
public:
  explicit decoder(std::string_view data) : pos_(data.data()), end_(data.data() + data.size()) {}

  bool value(entry& out, int depth)
  {
    if (pos_ == end_) return false;
    const char c = *pos_;
    if (c == 'd') return dictionary(out, depth + 1);
    if (c == 'l') return list(out, depth + 1);
    if (c == 'i') return integer(out);
    if (c >= '0' && c <= '9') return string(out.string());
    return false;
  }

private:
  bool dictionary(entry& out, int depth)
  {
    if (depth > max_dictionary_depth) return false;
    ++pos_;
    entry::dictionary_type& dict = out.dict();
    while (pos_ != end_ && *pos_ != 'e') {
      std::string key;
      if (!(*pos_ >= '0' && *pos_ <= '9') || !string(key)) return false;
      entry& slot = dict[key];
      slot = entry(); // a repeated key: the later value wins
      if (!value(slot, depth)) return false;
    }
    return close();
  }

  bool list(entry& out, int depth)
  {
    if (depth > max_list_depth) return false;
    ++pos_;
    entry::list_type& items = out.list();
    while (pos_ != end_ && *pos_ != 'e') {
      items.emplace_back();
      if (!value(items.back(), depth)) return false;
    }
    return close();
  }

  bool close()
  {
    if (pos_ == end_) return false;
    ++pos_;
    return true;
  }

  bool integer(entry& out)
  {
    ++pos_;
    const char* stop = std::find(pos_, end_, 'e');
    if (stop == end_ || stop == pos_) return false;
    entry::integer_type number = 0;
    const auto [last, ec] = std::from_chars(pos_, stop, number);
    if (ec != std::errc() || last != stop) return false;
    out.integer() = number;
    pos_ = stop + 1;
    return true;
  }

  bool string(std::string& out)
  {
    const char* colon = std::find(pos_, end_, ':');
    if (colon == end_) return false;
    std::uint64_t length = 0;
    const auto [last, ec] = std::from_chars(pos_, colon, length);
    if (ec != std::errc() || last != colon) return false;
    pos_ = colon + 1;
    if (length > static_cast<std::uint64_t>(end_ - pos_)) return false;
    out.assign(pos_, static_cast<std::size_t>(length));
    pos_ += length;
    return true;
  }

  const char* pos_;
  const char* end_;
};

} // namespace

std::string bencode(const entry& value)
{
  std::string out;
  encode(value, out);
  return out;
}

entry bdecode(std::string_view data, bool& error)
{
  entry result;
  error = !decoder(data).value(result, 0);
  if (error) result = entry();
  return result;
}

} // namespace qvhttp
