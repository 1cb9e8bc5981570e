#include "qvhttp/response_head.hpp"

#include "qvhttp/error_codes.hpp"

#include <gtest/gtest.h>

namespace qvhttp {
namespace {

TEST(ResponseHead, StatusLines) {
  const struct {
    const char* line;
    int status; // 0: malformed
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n", 200}, {"HTTP/1.0 206 Partial Content\r\n", 206}, {"HTTP/12.34 404 \r\n", 404},
      {"HTTP/1.1 200 caf\xc3\xa9\r\n", 200}, {"HTTP/1.1 200\r\n", 0}, {"HTTP/1.1 200 OK\n", 0},
      {"HTTP/1.1  200 OK\r\n", 0}, {"HTTP/1 200 OK\r\n", 0}, {"HTTP/1.1 20 OK\r\n", 0}, {"HTTP/1.1 2000 OK\r\n", 0},
      {"http/1.1 200 OK\r\n", 0}, {"HTTP/1.1 200 O\x01K\r\n", 0}, {"HTTP/1.1 200 OK\r\r\n", 0}, {"\r\n", 0},
      {"ICY 200 OK\r\n", 0},
  };
  for (const auto& c : cases) {
    int status = 0;
    EXPECT_EQ(parse_status_line(c.line, status), c.status != 0) << c.line;
    if (c.status) {
      EXPECT_EQ(status, c.status) << c.line;
    }
  }
}

// Feeds a head given as text; returns the first error.
boost::system::error_code parse(const std::string& text, response_head& out, const char* request = "http://h:81/d/f?q") {
  response_head_parser parser{url(request)};
  std::size_t at = text.find('\n') + 1;
  auto ec = parser.status_line(text.substr(0, at));
  for (bool done = false; !ec && !done && at < text.size();) {
    const std::size_t end = text.find('\n', at);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    ec = parser.header_line(std::string_view(text).substr(at, next - at), done);
    at = next;
  }
  out = parser.head;
  return ec;
}

TEST(ResponseHead, AcceptedHeaders) {
  response_head head;
  ASSERT_FALSE(parse("HTTP/1.1 206 Partial\r\n"
                     "content-length:  100 \r\n"
                     "Content-Range: bytes 0-99/1000\r\n"
                     "X-Folded: a\r\n"
                     " b\r\n"
                     "\tc\r\n"
                     "X-Ctl: a\x01\x7f" "b\r\n"
                     "Set-Cookie: s=1\r\n"
                     "set-cookie: t=2\r\n"
                     "TRANSFER-ENCODING: Chunked\r\n"
                     "Connection: Close\r\n"
                     "Empty:\r\n"
                     "\r\n",
                     head));
  EXPECT_EQ(head.status, 206);
  EXPECT_EQ(head.content_length, 1000);
  EXPECT_EQ(head.body_length, 100);
  EXPECT_TRUE(head.chunked);
  EXPECT_TRUE(head.connection_close);
  EXPECT_EQ(head.set_cookies, (std::vector<std::string>{"s=1", "t=2"}));
  EXPECT_EQ(head.fields.find("_status_code"), "206");
  EXPECT_EQ(head.fields.find("content-length"), "100");
  EXPECT_EQ(head.fields.find("X-Folded"), "a b c");
  EXPECT_EQ(head.fields.find("X-Ctl"), "ab");
  EXPECT_TRUE(head.fields.contains("Empty"));
  EXPECT_EQ(head.fields.items().front().first, "_status_code");
}

TEST(ResponseHead, ContentLengthAfterContentRange) {
  response_head head;
  ASSERT_FALSE(parse("HTTP/1.1 206 P\r\nContent-Range: bytes 0-99/1000\r\nContent-Length: 100\r\n\r\n", head));
  EXPECT_EQ(head.content_length, 100);
  ASSERT_FALSE(parse("HTTP/1.1 206 P\r\nContent-Range: bytes 0-99/*\r\n\r\n", head));
  EXPECT_EQ(head.content_length, -1);
}

TEST(ResponseHead, MalformedHeaders) {
  for (const char* text : {
           "HTTP/1.1 200 OK\r\nNo colon here\r\n\r\n",
           "HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nBad{: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nBad|: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nBad^: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nBad`: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nBad\x01: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nBad\xc3\xa9: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\n: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nLf: only\n\r\n",
           "HTTP/1.1 200 OK\r\n continuation first\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
       }) {
    response_head head;
    EXPECT_EQ(parse(text, head), errc::malformed_response_headers) << text;
  }
}

TEST(ResponseHead, HeadSizeIsBounded) {
  response_head_parser parser{url("http://h/")};
  ASSERT_FALSE(parser.status_line("HTTP/1.1 200 OK\r\n"));
  const std::string line = "X: " + std::string(1000, 'a') + "\r\n";
  boost::system::error_code ec;
  bool done = false;
  for (int i = 0; i < 1000 && !ec; ++i) ec = parser.header_line(line, done);
  EXPECT_EQ(ec, errc::malformed_response_headers);
}

TEST(ResponseHead, LocationResolution) {
  const struct {
    const char* base;
    const char* location;
    const char* resolved;
  } cases[] = {
      {"http://h:81/d/f?q", "https://x/y", "https://x/y"},
      {"http://h:81/d/f?q", "/new?a", "http://h:81/new?a"},
      {"http://h:81/d/f?q", "g.exe", "http://h:81/d/g.exe"},
      {"http://h:81/d/f?q", "../g", "http://h:81/d/../g"},
      {"https://u@[::1]/f", "g", "https://u@[::1]/g"},
      {"http://h/d/f", "//other/p", "http://other/p"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolve_location(url(c.base), c.location), c.resolved) << c.location;
  response_head head;
  ASSERT_FALSE(parse("HTTP/1.1 302 Found\r\nLocation: next.bin\r\n\r\n", head));
  EXPECT_EQ(head.location, "http://h:81/d/next.bin");
  EXPECT_EQ(head.fields.find("Location"), "next.bin");
}

TEST(ResponseHead, ChunkSizeLines) {
  const struct {
    const char* line;
    bool ok;
    std::uint64_t size;
  } cases[] = {
      {"0\r\n", true, 0}, {"1a\r\n", true, 26}, {"FF;name=value\r\n", true, 255}, {"10 \r\n", true, 16},
      {"\r\n", false, 0}, {"g\r\n", false, 0}, {"10\n", false, 0}, {"-1\r\n", false, 0},
      {"1000000000000000\r\n", false, 0}, {"0x10\r\n", false, 0},
  };
  for (const auto& c : cases) {
    std::uint64_t size = 0;
    EXPECT_EQ(parse_chunk_size_line(c.line, size), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(size, c.size) << c.line;
    }
  }
}

} // namespace
} // namespace qvhttp
