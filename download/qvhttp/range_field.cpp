#include "qvhttp/range_field.hpp"

#include <algorithm>
#include <iterator>

namespace qvhttp {

void range_field::resize(std::int64_t size)
{
  std::lock_guard<std::mutex> lock(mutex_);
  size_ = size;
  intervals_.clear();
}

std::int64_t range_field::size() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return size_;
}

bool range_field::update(std::int64_t begin, std::int64_t end)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (begin < 0 || begin >= end || end > size_) return false;
  // Join every interval that overlaps or touches [begin, end).
  auto first = intervals_.upper_bound(begin);
  if (first != intervals_.begin() && std::prev(first)->second >= begin) --first;
  auto last = first;
  while (last != intervals_.end() && last->first <= end) {
    begin = std::min(begin, last->first);
    end = std::max(end, last->second);
    ++last;
  }
  intervals_.erase(first, last);
  intervals_.emplace(begin, end);
  return true;
}

bool range_field::free_gap(std::int64_t position, byte_range& gap) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  bool found_any = false;
  byte_range lowest;
  std::int64_t cursor = 0;
  auto consider = [&](std::int64_t b, std::int64_t e) {
    if (b >= e) return false;
    if (!found_any) {
      lowest = {b, e};
      found_any = true;
    }
    if (e > position) {
      gap = {b, e};
      return true;
    }
    return false;
  };
  for (const auto& [b, e] : intervals_) {
    if (consider(cursor, b)) return true;
    cursor = e;
  }
  if (consider(cursor, size_)) return true;
  if (found_any) gap = lowest;
  return found_any;
}

bool range_field::is_full() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return intervals_.size() == 1 && intervals_.begin()->first == 0 && intervals_.begin()->second == size_;
}

std::int64_t range_field::byte_count() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t total = 0;
  for (const auto& [b, e] : intervals_) total += e - b;
  return total;
}

std::vector<bool> range_field::to_bitfield(std::int64_t piece_size) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (piece_size <= 0) return {};
  std::vector<bool> bits(static_cast<std::size_t>((size_ + piece_size - 1) / piece_size));
  for (const auto& [b, e] : intervals_) {
    // Pieces that begin inside [b, e) and end inside it too (the last piece may be short).
    for (std::int64_t piece = (b + piece_size - 1) / piece_size;
         piece * piece_size < e && std::min((piece + 1) * piece_size, size_) <= e; ++piece)
      bits[static_cast<std::size_t>(piece)] = true;
  }
  return bits;
}

void range_field::from_bitfield(const std::vector<bool>& bits, std::int64_t piece_size)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    intervals_.clear();
  }
  if (piece_size <= 0) return;
  for (std::size_t a = 0; a < bits.size();) {
    if (!bits[a]) {
      ++a;
      continue;
    }
    std::size_t b = a;
    while (b + 1 < bits.size() && bits[b + 1]) ++b;
    const std::int64_t begin = static_cast<std::int64_t>(a) * piece_size;
    const std::int64_t end = std::min(static_cast<std::int64_t>(b + 1) * piece_size, size());
    update(begin, end);
    a = b + 1;
  }
}

} // namespace qvhttp
