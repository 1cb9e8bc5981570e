#pragma once
// Cookies that a server set with "set-cookie", sent back on later requests of the same stream.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvhttp {

struct cookie {
  std::string name;
  std::string value;
  std::string domain;
  std::string path;
  std::optional<std::time_t> expires; // UTC; none: kept for the life of the store
  bool http_only = false;
  bool secure = false;
};

// A cookie date ("Sun, 06 Nov 1994 08:49:37 GMT" and the many looser forms servers send) as UTC
// seconds; false when it names no day, month and year or lies before 1970.
bool parse_cookie_date(std::string_view text, std::time_t& out);

class cookie_store {
public:
  // One "set-cookie" value; host is the request's host, the domain of cookies that name none.
  // A value without any cookie in it is ignored.
  void add(std::string_view set_cookie, const std::string& host);

  // The "Cookie" line for a request: "name=value; name=value", empty when nothing matches.
  std::string cookie_line(const std::string& host, const std::string& path, bool secure) const;

  const std::vector<cookie>& cookies() const { return cookies_; }

private:
  std::vector<cookie> cookies_;
};

} // namespace qvhttp
