#pragma once
// The request and response descriptions of the HTTP stream: ordered (key, value) lists of narrow
// strings. Keys beginning with "_" are the stream's own fields, all others are header names.

#include <string>
#include <utility>
#include <vector>

namespace qvhttp {

namespace http_options {
inline constexpr char request_method[] = "_request_method";
inline constexpr char http_version[] = "_http_version";
inline constexpr char request_body[] = "_request_body";
inline constexpr char status_code[] = "_status_code";
inline constexpr char path[] = "_path";
inline constexpr char url[] = "_url";

inline constexpr char host[] = "Host";
inline constexpr char accept[] = "Accept";
inline constexpr char range[] = "Range";
inline constexpr char cookie[] = "Cookie";
inline constexpr char referer[] = "Referer";
inline constexpr char user_agent[] = "User-Agent";
inline constexpr char content_type[] = "Content-Type";
inline constexpr char content_length[] = "Content-Length";
inline constexpr char content_range[] = "Content-Range";
inline constexpr char connection[] = "Connection";
inline constexpr char proxy_connection[] = "Proxy-Connection";
inline constexpr char accept_encoding[] = "Accept-Encoding";
inline constexpr char transfer_encoding[] = "Transfer-Encoding";
inline constexpr char content_encoding[] = "Content-Encoding";
} // namespace http_options

// Keys compare exactly (case-sensitively); a key is normally present once.
class option_list {
public:
  using item = std::pair<std::string, std::string>;

  // Replaces the value of the first item with this key in place, else appends.
  void insert(const std::string& key, const std::string& value);
  // Appends even when the key is present (a response may repeat a header).
  void append(const std::string& key, const std::string& value);
  // Removes every item with this key; false when there was none.
  bool remove(const std::string& key);
  // The value of the first item with this key; empty when absent.
  std::string find(const std::string& key) const;
  bool contains(const std::string& key) const;
  void clear() { items_.clear(); }
  bool empty() const { return items_.empty(); }
  std::size_t size() const { return items_.size(); }
  const std::vector<item>& items() const { return items_; }

private:
  std::vector<item> items_;
};

class request_opts : public option_list {
public:
  // Send the request, then end with "Fake continue" without reading a response.
  bool fake_continue = false;
};

class response_opts : public option_list {};

struct proxy_settings {
  enum proxy_type {
    none = 0,
    socks4 = 1,
    socks5 = 2,
    socks5_pw = 3, // SOCKS5 with user name and password
    http = 4,
    http_pw = 5,   // HTTP proxy with user name and password
  };

  std::string hostname;
  int port = 0;
  std::string username;
  std::string password;
  int type = none;
};

} // namespace qvhttp
