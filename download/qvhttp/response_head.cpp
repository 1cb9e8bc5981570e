#include "qvhttp/response_head.hpp"

#include "qvhttp/error_codes.hpp"

#include <boost/algorithm/string/predicate.hpp>

#include <charconv>

namespace qvhttp {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The line without its CR LF; false when it does not end in CR LF.
bool strip_crlf(std::string_view& line) {
  if (line.size() < 2 || line[line.size() - 2] != '\r' || line.back() != '\n') return false;
  line.remove_suffix(2);
  return true;
}

bool is_name_char(unsigned char c) {
  return c > 0x20 && c < 0x7f && c != '^' && c != '`' && c != '{' && c != '|' && c != '}' && c != ':';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Control characters are dropped, surrounding blanks trimmed.
std::string clean_value(std::string_view raw) {
  std::string out;
  for (char c : trim(raw)) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7f) out += c;
  }
  return std::string(trim(out));
}

bool parse_decimal(std::string_view s, std::int64_t& out) {
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && out >= 0;
}

boost::system::error_code malformed() { return make_error_code(errc::malformed_response_headers); }

} // namespace

bool parse_status_line(std::string_view line, int& status) {
  if (!strip_crlf(line) || line.substr(0, 5) != "HTTP/") return false;
  std::size_t i = 5;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < line.size() && is_digit(line[i])) ++i;
    return i > start;
  };
  if (!digits() || i >= line.size() || line[i++] != '.' || !digits()) return false;
  if (i >= line.size() || line[i++] != ' ') return false;
  if (i + 3 > line.size() || !is_digit(line[i]) || !is_digit(line[i + 1]) || !is_digit(line[i + 2])) return false;
  const int code = (line[i] - '0') * 100 + (line[i + 1] - '0') * 10 + (line[i + 2] - '0');
  i += 3;
  if (i >= line.size() || line[i++] != ' ') return false;
  for (; i < line.size(); ++i) {
    const auto u = static_cast<unsigned char>(line[i]);
    if (u < 0x20 || u == 0x7f) return false;
  }
  status = code;
  return true;
}

bool parse_chunk_size_line(std::string_view line, std::uint64_t& size) {
  if (!strip_crlf(line)) return false;
  const auto ext = line.find(';');
  const std::string_view hex = trim(line.substr(0, ext));
  if (hex.empty() || hex.size() > 15) return false; // 15 hex digits: no overflow of later sums
  const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), size, 16);
  return ec == std::errc() && end == hex.data() + hex.size();
}

std::string resolve_location(const url& base, const std::string& location) {
  if (location.find("://") != std::string::npos) return location;
  if (location.compare(0, 2, "//") == 0) return base.protocol() + ":" + location;
  const std::string origin = base.to_string(url::protocol_component | url::user_info_component |
                                            url::host_component | url::port_component);
  if (!location.empty() && location[0] == '/') return origin + location;
  const std::string& path = base.path();
  return origin + path.substr(0, path.rfind('/') + 1) + location;
}

boost::system::error_code response_head_parser::status_line(std::string_view line) {
  if (!parse_status_line(line, head.status)) return make_error_code(errc::malformed_status_line);
  head.fields.clear();
  head.fields.append(http_options::status_code, std::to_string(head.status));
  return {};
}

boost::system::error_code response_head_parser::header_line(std::string_view line, bool& done) {
  done = false;
  head_bytes_ += line.size();
  if (head_bytes_ > max_head_bytes || !strip_crlf(line)) return malformed();
  if (line.empty()) {
    done = true;
    return flush_pending();
  }
  if (line[0] == ' ' || line[0] == '\t') {
    if (!have_pending_) return malformed();
    const std::string more = clean_value(line);
    if (!more.empty()) pending_value_ += (pending_value_.empty() ? "" : " ") + more;
    return {};
  }
  const auto colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return malformed();
  for (std::size_t i = 0; i < colon; ++i)
    if (!is_name_char(static_cast<unsigned char>(line[i]))) return malformed();
  if (auto ec = flush_pending()) return ec;
  pending_name_ = line.substr(0, colon);
  pending_value_ = clean_value(line.substr(colon + 1));
  have_pending_ = true;
  return {};
}

boost::system::error_code response_head_parser::flush_pending() {
  if (!have_pending_) return {};
  have_pending_ = false;
  return add_field(pending_name_, pending_value_);
}

boost::system::error_code response_head_parser::add_field(const std::string& name, const std::string& value) {
  using boost::algorithm::iequals;
  if (iequals(name, "Content-Length")) {
    std::int64_t length;
    if (!parse_decimal(value, length)) return malformed();
    head.content_length = head.body_length = length;
  } else if (iequals(name, "Content-Range")) {
    const auto slash = value.find('/');
    std::int64_t total;
    if (slash != std::string::npos && parse_decimal(value.substr(slash + 1), total)) head.content_length = total;
  } else if (iequals(name, "Location")) {
    head.location = resolve_location(request_url_, value);
  } else if (iequals(name, "Transfer-Encoding")) {
    head.chunked = iequals(value, "chunked");
  } else if (iequals(name, "Connection")) {
    if (iequals(value, "close")) head.connection_close = true;
  } else if (iequals(name, "set-cookie")) {
    head.set_cookies.push_back(value);
  }
  head.fields.append(name, value);
  return {};
}

} // namespace qvhttp
