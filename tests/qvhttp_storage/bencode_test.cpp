#include "qvhttp/bencode.hpp"

#include "qvhttp/error_codes.hpp"

#include <boost/system/system_error.hpp>
#include <gtest/gtest.h>

#include <string>

namespace {

using qvhttp::entry;

TEST(Bencode, DecodesAndReencodesValidInput)
{
  struct Case {
    std::string input;
    std::string reencoded; // what the decoded value encodes to
  };
  const Case cases[] = {
      {"i0e", "i0e"},
      {"i-42e", "i-42e"},
      {"i9223372036854775807e", "i9223372036854775807e"},
      {"i-9223372036854775808e", "i-9223372036854775808e"},
      {"i007e", "i7e"},
      {"0:", "0:"},
      {"4:spam", "4:spam"},
      {std::string("3:\0\xff\n", 5), std::string("3:\0\xff\n", 5)},
      {"le", "le"},
      {"l4:spami1ee", "l4:spami1ee"},
      {"de", "de"},
      {"d3:cow3:moo4:spam4:eggse", "d3:cow3:moo4:spam4:eggse"},
      // Keys come out in unsigned byte order whatever order they came in.
      {"d1:b1:x1:a1:y2:\xff\x01i1ee", "d1:a1:y1:b1:x2:\xff\x01i1ee"},
      {"d4:listl1:ad1:bi2eeee", "d4:listl1:ad1:bi2eeee"},
      // A repeated key, even with a value of another type: the later value wins.
      {"d1:ad1:bi1ee1:ali2eee", "d1:ali2eee"},
      // Trailing bytes after the first complete value are ignored.
      {"i5egarbage", "i5e"},
      {"d1:ai1eeXYZ", "d1:ai1ee"},
  };
  for (const Case& c : cases) {
    bool error = true;
    const entry value = qvhttp::bdecode(c.input, error);
    EXPECT_FALSE(error) << c.input;
    EXPECT_EQ(qvhttp::bencode(value), c.reencoded) << c.input;
  }
}

TEST(Bencode, RejectsMalformedInput)
{
  const std::string cases[] = {
      "",
      "x",
      "e",
      "i",
      "ie",
      "i12",
      "i1x2e",
      "i+1e",
      "i--1e",
      "i9223372036854775808e", // one past the 64-bit range
      "4",
      "4:spa",
      "99999999999999999999999:x",
      "l",
      "li1e",
      "d",
      "d1:a",
      "di1ei2ee", // a key must be a string
      "d1:ae",    // a key without its value
      "-1:x",
  };
  for (const std::string& input : cases) {
    bool error = false;
    const entry value = qvhttp::bdecode(input, error);
    EXPECT_TRUE(error) << input;
    EXPECT_EQ(value.type(), entry::undefined_t) << input;
  }
}

TEST(Bencode, NestingIsLimited)
{
  auto nested = [](char open, int depth, const std::string& inner) {
    return std::string(depth, open) + inner + std::string(depth, 'e');
  };
  // Dictionaries nest through a one-letter key.
  auto dicts = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += i + 1 < depth ? "d1:k" : "d";
    return s + std::string(depth, 'e');
  };
  bool error = true;
  qvhttp::bdecode(dicts(100), error);
  EXPECT_FALSE(error);
  qvhttp::bdecode(dicts(101), error);
  EXPECT_TRUE(error);
  qvhttp::bdecode(nested('l', 99, ""), error);
  EXPECT_FALSE(error);
  qvhttp::bdecode(nested('l', 100, ""), error);
  EXPECT_TRUE(error);
  // Deep hostile input fails without exhausting the stack.
  qvhttp::bdecode(std::string(1000000, 'l'), error);
  EXPECT_TRUE(error);
}

TEST(Entry, UndefinedBecomesTheTypeAskedForOtherMismatchesThrowCode10)
{
  entry e;
  EXPECT_EQ(e.type(), entry::undefined_t);
  EXPECT_TRUE(e.string().empty());
  EXPECT_EQ(e.type(), entry::string_t);
  try {
    e.integer();
    FAIL() << "no throw";
  } catch (const boost::system::system_error& error) {
    EXPECT_EQ(error.code().value(), 10);
    EXPECT_STREQ(error.code().category().name(), "HTTP");
    EXPECT_EQ(error.code().message(), "invalid type requested from entry");
  }
  const entry number(entry::integer_type(3));
  EXPECT_THROW(number.dict(), boost::system::system_error);
  EXPECT_THROW(number.list(), boost::system::system_error);

  entry dict;
  dict["missing"];
  EXPECT_EQ(dict.type(), entry::dictionary_t);
  ASSERT_NE(dict.find_key("missing"), nullptr);
  EXPECT_EQ(dict.find_key("missing")->type(), entry::undefined_t);
  EXPECT_EQ(dict.find_key("other"), nullptr);
  // An undefined node is written as nothing.
  EXPECT_EQ(qvhttp::bencode(dict), "d7:missinge");
}

} // namespace
