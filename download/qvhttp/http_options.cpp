#include "qvhttp/http_options.hpp"

#include <algorithm>

namespace qvhttp {

void option_list::insert(const std::string& key, const std::string& value) {
  for (auto& item : items_) {
    if (item.first == key) {
      item.second = value;
      return;
    }
  }
  items_.emplace_back(key, value);
}

void option_list::append(const std::string& key, const std::string& value) { items_.emplace_back(key, value); }

bool option_list::remove(const std::string& key) {
  const auto old_size = items_.size();
  items_.erase(std::remove_if(items_.begin(), items_.end(), [&](const item& i) { return i.first == key; }),
               items_.end());
  return items_.size() != old_size;
}

std::string option_list::find(const std::string& key) const {
  for (const auto& item : items_)
    if (item.first == key) return item.second;
  return {};
}

bool option_list::contains(const std::string& key) const {
  return std::any_of(items_.begin(), items_.end(), [&](const item& i) { return i.first == key; });
}

} // namespace qvhttp
