#include "qvhttp/error_codes.hpp"

#include <gtest/gtest.h>

namespace qvhttp {
namespace {

TEST(ErrorCodes, MessagesAndCategory) {
  const struct {
    int code;
    const char* message;
  } cases[] = {
      {1, "Malformed status line"}, {2, "Malformed response headers"}, {10, "invalid type requested from entry"},
      {11, "Invalid chunked encoding"}, {12, "Invalid redirect address"}, {100, "Continue"},
      {203, "Non-authoritative information"}, {206, "Partial content"}, {302, "Found"}, {307, "Temporary redirect"},
      {407, "Proxy authentication required"}, {408, "Request time-out"}, {416, "Requested range not satisfiable"},
      {504, "Gateway time-out"}, {505, "HTTP version not supported"}, {1000, "SOCKS unsupported version"},
      {1003, "SOCKS authentication error"}, {1006, "SOCKS no identd running"}, {1007, "SOCKS no identd running"},
      {1008, "Fake continue"}, {0, "Unknown HTTP error"}, {306, "Unknown HTTP error"}, {999, "Unknown HTTP error"},
      {-1, "Unknown HTTP error"},
  };
  for (const auto& c : cases) {
    const boost::system::error_code ec(c.code, error_category());
    EXPECT_EQ(ec.message(), c.message) << c.code;
    EXPECT_STREQ(ec.category().name(), "HTTP");
  }
  const boost::system::error_code from_enum = errc::fake_continue;
  EXPECT_EQ(from_enum.value(), 1008);
  EXPECT_EQ(from_enum.category(), error_category());
}

TEST(ErrorCodes, GenericConditions) {
  EXPECT_EQ(boost::system::error_code(errc::unauthorized), boost::system::errc::permission_denied);
  EXPECT_EQ(boost::system::error_code(errc::forbidden), boost::system::errc::permission_denied);
  EXPECT_EQ(boost::system::error_code(errc::not_found), boost::system::errc::no_such_file_or_directory);
  const boost::system::error_code gone = errc::gone;
  EXPECT_EQ(gone.default_error_condition(), boost::system::error_condition(410, error_category()));
  EXPECT_NE(gone, boost::system::errc::no_such_file_or_directory);
}

} // namespace
} // namespace qvhttp
