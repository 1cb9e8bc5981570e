#include "qvhttp/url.hpp"

#include <boost/system/system_error.hpp>
#include <gtest/gtest.h>

namespace qvhttp {
namespace {

struct parsed_case {
  const char* text;
  const char* protocol;
  const char* user_info;
  const char* host;
  const char* port;
  const char* path;
  const char* query;
  const char* fragment;
  bool ipv6;
  int port_number;
  const char* written; // to_string() of all components
};

TEST(Url, ParsesIntoComponents) {
  const parsed_case cases[] = {
      {"HTTPS://Dl.Example.COM:8443/a%20b/c.exe?x=1&y=2#top", "https", "", "Dl.Example.COM", "8443", "/a%20b/c.exe",
       "x=1&y=2", "top", false, 8443, "https://Dl.Example.COM:8443/a%20b/c.exe?x=1&y=2#top"},
      {"http://[::1]:8080/p", "http", "", "::1", "8080", "/p", "", "", true, 8080, "http://[::1]:8080/p"},
      {"http://[fe80::1]", "http", "", "fe80::1", "", "/", "", "", true, 80, "http://[fe80::1]/"},
      {"http://host", "http", "", "host", "", "/", "", "", false, 80, "http://host/"},
      {"https://host?q", "https", "", "host", "", "/", "q", "", false, 443, "https://host/?q"},
      {"ftp://host#f", "ftp", "", "host", "", "/", "", "f", false, 21, "ftp://host/#f"},
      {"http://user@host/", "http", "user", "host", "", "/", "", "", false, 80, "http://user@host/"},
      {"http://user:pw@host:81/x", "http", "user:pw", "host", "81", "/x", "", "", false, 81, "http://user:pw@host:81/x"},
      {"http://host:81/a@b", "http", "", "host", "81", "/a@b", "", "", false, 81, "http://host:81/a@b"},
      {"gopher://host/", "gopher", "", "host", "", "/", "", "", false, 0, "gopher://host/"},
      {"http://h/p?a#b?c", "http", "", "h", "", "/p", "a", "b?c", false, 80, "http://h/p?a#b?c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    boost::system::error_code ec;
    const url u = url::from_string(c.text, ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(u.protocol(), c.protocol);
    EXPECT_EQ(u.user_info(), c.user_info);
    EXPECT_EQ(u.host(), c.host);
    EXPECT_EQ(u.port_text(), c.port);
    EXPECT_EQ(u.path(), c.path);
    EXPECT_EQ(u.query(), c.query);
    EXPECT_EQ(u.fragment(), c.fragment);
    EXPECT_EQ(u.is_ipv6_host(), c.ipv6);
    EXPECT_EQ(u.port(), c.port_number);
    EXPECT_EQ(u.to_string(), c.written);
  }
}

TEST(Url, RejectsWhatIsNoUrl) {
  for (const char* text : {"", "http", "http:", "http:/host", "host/path", "http://host:/p", "http://host:8a/",
                           "http://host:-1/", "http://[::1/", "http://[::1]x/", "mailto:a@b", "://host/", "http://a@b@c/", "http://a]b/"}) {
    SCOPED_TRACE(text);
    boost::system::error_code ec;
    const url u = url::from_string(text, ec);
    EXPECT_EQ(ec, boost::system::errc::invalid_argument);
    EXPECT_EQ(u.to_string(), "");
    EXPECT_THROW(url{text}, boost::system::system_error);
  }
}

TEST(Url, WritesTheChosenComponents) {
  const url u("http://u:p@[::1]:81/d/f?q#f");
  EXPECT_EQ(u.to_string(url::path_component | url::query_component), "/d/f?q");
  EXPECT_EQ(u.to_string(url::host_component | url::port_component), "[::1]:81");
  EXPECT_EQ(u.to_string(url::protocol_component | url::host_component), "http://[::1]");
  EXPECT_EQ(u.to_string(url::fragment_component), "#f");
  url copy;
  copy = u;
  EXPECT_EQ(copy.to_string(), u.to_string());
  EXPECT_TRUE(copy.is_ipv6_host());
}

} // namespace
} // namespace qvhttp
