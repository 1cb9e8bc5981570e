#include "qvhttp/entry.hpp"

#include "qvhttp/error_codes.hpp"

#include <boost/system/system_error.hpp>

namespace qvhttp {

entry::entry(data_type type) { become(type); }

entry::entry(integer_type value) : type_(int_t), integer_(value) {}

entry::entry(string_type value) : type_(string_t), string_(std::move(value)) {}

void entry::become(data_type type)
{
  type_ = type;
  integer_ = 0;
  string_.clear();
  list_.clear();
  dict_.clear();
}

void entry::require(data_type type) const
{
  if (type_ != type)
    throw boost::system::system_error(make_error_code(errc::invalid_entry_type));
}

entry::integer_type& entry::integer()
{
  if (type_ == undefined_t) become(int_t);
  require(int_t);
  return integer_;
}

entry::string_type& entry::string()
{
  if (type_ == undefined_t) become(string_t);
  require(string_t);
  return string_;
}

entry::list_type& entry::list()
{
  if (type_ == undefined_t) become(list_t);
  require(list_t);
  return list_;
}

entry::dictionary_type& entry::dict()
{
  if (type_ == undefined_t) become(dictionary_t);
  require(dictionary_t);
  return dict_;
}

const entry::integer_type& entry::integer() const
{
  require(int_t);
  return integer_;
}

const entry::string_type& entry::string() const
{
  require(string_t);
  return string_;
}

const entry::list_type& entry::list() const
{
  require(list_t);
  return list_;
}

const entry::dictionary_type& entry::dict() const
{
  require(dictionary_t);
  return dict_;
}

entry& entry::operator[](const std::string& key) { return dict()[key]; }

const entry* entry::find_key(const std::string& key) const
{
  if (type_ != dictionary_t) return nullptr;
  const auto found = dict_.find(key);
  return found == dict_.end() ? nullptr : &found->second;
}

} // namespace qvhttp
