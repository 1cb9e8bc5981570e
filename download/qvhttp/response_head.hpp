#pragma once
// The response head of the HTTP stream, parsed line by line as it arrives. Every line passed in
// still carries its line end; anything but CR LF is malformed.

#include "qvhttp/http_options.hpp"
#include "qvhttp/url.hpp"

#include <boost/system/error_code.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvhttp {

// "HTTP/1.1 200 OK\r\n": the three-digit status, or false.
bool parse_status_line(std::string_view line, int& status);

// A chunk-size line ("1a2b;ext\r\n"): the size, or false.
bool parse_chunk_size_line(std::string_view line, std::uint64_t& size);

struct response_head {
  int status = 0;
  response_opts fields;               // "_status_code" first, then the header fields in order
  std::int64_t content_length = -1;   // "Content-Length", or the total of a later "Content-Range"
  std::int64_t body_length = -1;      // "Content-Length" alone: where the body ends
  std::string location;               // absolute, a relative reference resolved
  bool chunked = false;
  bool connection_close = false;
  std::vector<std::string> set_cookies;
};

class response_head_parser {
public:
  // request_url resolves a relative "Location".
  explicit response_head_parser(const url& request_url) : request_url_(request_url) {}

  // Malformed status line, or a status taken into head.
  boost::system::error_code status_line(std::string_view line);
  // One header line; done is set by the empty line that ends the head.
  boost::system::error_code header_line(std::string_view line, bool& done);

  response_head head;

private:
  boost::system::error_code add_field(const std::string& name, const std::string& value);
  boost::system::error_code flush_pending();

  // Bounds what a server that never ends its head can make us hold.
  static constexpr std::size_t max_head_bytes = 256 * 1024;

  url request_url_;
  std::size_t head_bytes_ = 0;
  std::string pending_name_;
  std::string pending_value_;
  bool have_pending_ = false;
};

// Resolves a "Location" value against the URL of the request that got it.
std::string resolve_location(const url& base, const std::string& location);

} // namespace qvhttp
