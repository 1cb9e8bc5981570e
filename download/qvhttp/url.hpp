#pragma once
// An absolute URL split into its components, kept as written (nothing is decoded).

#include <boost/system/error_code.hpp>

#include <string>
#include <string_view>

namespace qvhttp {

class url {
public:
  enum component {
    protocol_component = 1,
    user_info_component = 2,
    host_component = 4,
    port_component = 8,
    path_component = 16,
    query_component = 32,
    fragment_component = 64,
    all_components = 127,
  };

  url() = default;
  // Throws boost::system::system_error (invalid argument) when text is not a URL.
  explicit url(std::string_view text);

  // An empty URL and "invalid argument" when text is not a URL.
  static url from_string(std::string_view text, boost::system::error_code& ec);

  const std::string& protocol() const { return protocol_; } // lower case
  const std::string& user_info() const { return user_info_; }
  const std::string& host() const { return host_; } // without the brackets of an IPv6 literal
  const std::string& port_text() const { return port_; }
  // The explicit port, else the protocol's default (80, 443, 21), else 0.
  int port() const;
  const std::string& path() const { return path_; }
  const std::string& query() const { return query_; }
  const std::string& fragment() const { return fragment_; }
  bool is_ipv6_host() const { return ipv6_host_; }

  std::string to_string(int components = all_components) const;

private:
  std::string protocol_;
  std::string user_info_;
  std::string host_;
  std::string port_;
  std::string path_;
  std::string query_;
  std::string fragment_;
  bool ipv6_host_ = false;
};

} // namespace qvhttp
