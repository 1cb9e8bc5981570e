#include "qvhttp/url.hpp"

#include <boost/system/system_error.hpp>

#include <cctype>
#include <cstdlib>

namespace qvhttp {
namespace {

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

} // namespace

url::url(std::string_view text) {
  boost::system::error_code ec;
  *this = from_string(text, ec);
  if (ec) throw boost::system::system_error(ec);
}

url url::from_string(std::string_view text, boost::system::error_code& ec) {
  ec = make_error_code(boost::system::errc::invalid_argument);
  url u;
  const auto colon = text.find(':');
  // An empty protocol could not be written back as a URL.
  if (colon == 0 || colon == std::string_view::npos || text.substr(colon, 3) != "://") return url();
  for (char c : text.substr(0, colon)) u.protocol_ += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string_view rest = text.substr(colon + 3);

  auto stop = rest.find_first_of("@:[/?#");
  if (stop != std::string_view::npos && rest[stop] == '@') {
    u.user_info_ = rest.substr(0, stop);
    rest.remove_prefix(stop + 1);
  } else if (stop != std::string_view::npos && rest[stop] == ':') {
    const auto at = rest.find_first_of("@/?#", stop);
    if (at != std::string_view::npos && rest[at] == '@') {
      u.user_info_ = rest.substr(0, at);
      rest.remove_prefix(at + 1);
    }
  }

  if (!rest.empty() && rest[0] == '[') {
    const auto close = rest.find(']');
    if (close == std::string_view::npos) return url();
    u.host_ = rest.substr(1, close - 1);
    u.ipv6_host_ = true;
    rest.remove_prefix(close + 1);
    if (!rest.empty() && std::string_view(":/?#").find(rest[0]) == std::string_view::npos) return url();
  } else {
    const auto end = rest.find_first_of(":/?#");
    u.host_ = rest.substr(0, end);
    // A second "@" or a stray bracket would make the written URL mean another host.
    if (u.host_.find_first_of("@[]") != std::string::npos) return url();
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  }

  if (!rest.empty() && rest[0] == ':') {
    const auto end = rest.find_first_of("/?#");
    u.port_ = rest.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
    if (!all_digits(u.port_)) return url();
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  }

  const auto path_end = rest.find_first_of("?#");
  u.path_ = rest.substr(0, path_end);
  if (u.path_.empty()) u.path_ = "/";
  rest.remove_prefix(path_end == std::string_view::npos ? rest.size() : path_end);
  if (!rest.empty() && rest[0] == '?') {
    const auto hash = rest.find('#');
    u.query_ = rest.substr(1, hash == std::string_view::npos ? std::string_view::npos : hash - 1);
    rest.remove_prefix(hash == std::string_view::npos ? rest.size() : hash);
  }
  if (!rest.empty()) u.fragment_ = rest.substr(1);

  ec.clear();
  return u;
}

int url::port() const {
  if (!port_.empty()) {
    // Digits only, checked by the parser; a value past 16 bits is no port.
    const unsigned long value = std::strtoul(port_.c_str(), nullptr, 10);
    return value <= 65535 && port_.size() <= 5 ? static_cast<int>(value) : 0;
  }
  if (protocol_ == "http") return 80;
  if (protocol_ == "https") return 443;
  if (protocol_ == "ftp") return 21;
  return 0;
}

std::string url::to_string(int components) const {
  std::string out;
  if ((components & protocol_component) && !protocol_.empty()) out += protocol_ + "://";
  if ((components & user_info_component) && !user_info_.empty()) out += user_info_ + "@";
  if (components & host_component) out += ipv6_host_ ? "[" + host_ + "]" : host_;
  if ((components & port_component) && !port_.empty()) out += ":" + port_;
  if ((components & path_component) && !path_.empty()) out += path_;
  if ((components & query_component) && !query_.empty()) out += "?" + query_;
  if ((components & fragment_component) && !fragment_.empty()) out += "#" + fragment_;
  return out;
}

} // namespace qvhttp
