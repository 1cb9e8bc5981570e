#pragma once
// A bencoded value: integer, byte string, list or dictionary, or not yet defined.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qvhttp {

class entry {
public:
  enum data_type { int_t = 0, string_t = 1, list_t = 2, dictionary_t = 3, undefined_t = 4 };
  using integer_type = std::int64_t;
  using string_type = std::string;
  using list_type = std::vector<entry>;
  // std::string orders its keys by unsigned bytes, the order bencoding requires.
  using dictionary_type = std::map<std::string, entry>;

  entry() = default;
  explicit entry(data_type type);
  entry(integer_type value);
  entry(string_type value);
  entry(const char* value) : entry(string_type(value)) {}

  data_type type() const { return type_; }

  // An undefined entry becomes the requested type; any other mismatch throws the "HTTP" category's
  // "invalid type requested from entry" as a system error.
  integer_type& integer();
  string_type& string();
  list_type& list();
  dictionary_type& dict();
  const integer_type& integer() const;
  const string_type& string() const;
  const list_type& list() const;
  const dictionary_type& dict() const;

  // Inserts an undefined entry when the key is missing.
  entry& operator[](const std::string& key);
  // Null when the key is missing or this is not a dictionary.
  const entry* find_key(const std::string& key) const;

private:
  void become(data_type type);
  void require(data_type type) const;

  data_type type_ = undefined_t;
  integer_type integer_ = 0;
  string_type string_;
  list_type list_;
  dictionary_type dict_;
};

} // namespace qvhttp
