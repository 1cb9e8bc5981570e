#include "qvhttp/cookie.hpp"

#include <gtest/gtest.h>

namespace qvhttp {
namespace {

TEST(CookieDate, ParsesTheFormsServersSend) {
  const struct {
    const char* text;
    std::time_t expected;
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
      {"Sun, 06-Nov-1994 08:49:37 GMT", 784111777},
      {"Sun Nov  6 08:49:37 1994", 784111777},
      {"06 Nov 1994 09:49:37 +0100", 784111777},
      {"06 Nov 1994 03:49:37 EST", 784111777},
      {"06 Nov 1994 08:49:37 z", 784111777},
      {"19941106 08:49:37", 784111777},
      {"6 nov 1994 8:49:37", 784111777},
      {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
      {"1 Jan 2038 00:00:00 UTC", 2145916800},
      {"29 Feb 2000", 951782400},
  };
  for (const auto& c : cases) {
    std::time_t t = -1;
    EXPECT_TRUE(parse_cookie_date(c.text, t)) << c.text;
    EXPECT_EQ(t, c.expected) << c.text;
  }
}

TEST(CookieDate, RejectsIncompleteOrImpossibleDates) {
  for (const char* text : {"", "Sun, 06 Nov", "Nov 1994", "06 1994 08:49:37", "06 Nov 1969 00:00:00 GMT",
                           "31 Feb 2001", "32 Jan 2001", "06 Foo 1994", "06 Nov 1994 1994", "3600",
                           "06 Nov 1994 25:00:00", "999999999999 Nov 1"}) {
    std::time_t t;
    EXPECT_FALSE(parse_cookie_date(text, t)) << text;
  }
}

TEST(CookieStore, ParsesAttributesAndMatchesRequests) {
  cookie_store store;
  store.add("a=1; Path=/dl; Secure; HttpOnly", "dl.example.com");
  store.add(" b = 2 ;c=3; domain=.Example.com; expires=Sun, 06 Nov 2099 08:49:37 GMT", "dl.example.com");
  store.add("old=x; expires=Sun, 06 Nov 1994 08:49:37 GMT", "dl.example.com");
  store.add("empty=; path=/", "dl.example.com");
  store.add("soon=y; expires=3600", "dl.example.com");
  store.add("; ;", "dl.example.com");
  ASSERT_EQ(store.cookies().size(), 6u);
  EXPECT_EQ(store.cookies()[1].domain, ".Example.com");
  EXPECT_TRUE(store.cookies()[0].secure && store.cookies()[0].http_only);
  const auto soon = store.cookies()[5].expires;
  ASSERT_TRUE(soon.has_value());
  EXPECT_NEAR(static_cast<double>(*soon - std::time(nullptr)), 3600, 5);
  ASSERT_TRUE(store.cookies()[3].expires.has_value());
  EXPECT_EQ(*store.cookies()[3].expires, 784111777);

  const struct {
    const char* host;
    const char* path;
    bool secure;
    const char* line;
  } cases[] = {
      {"dl.example.com", "/dl/file", true, "a=1; b=2; c=3; soon=y"},
      {"DL.example.COM", "/DL/file", false, "b=2; c=3; soon=y"},
      {"example.com", "/", false, "b=2; c=3"},
      {"www.example.com", "/", true, "b=2; c=3"},
      {"badexample.com", "/", true, ""},
      {"other.org", "/dl", true, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(store.cookie_line(c.host, c.path, c.secure), c.line) << c.host << c.path;
}

TEST(CookieStore, SameNameKeepsEarlierCookie) {
  cookie_store store;
  store.add("id=1", "h");
  store.add("id=2", "h");
  EXPECT_EQ(store.cookie_line("h", "/", false), "id=1; id=2");
}

} // namespace
} // namespace qvhttp
