#pragma once
// The set of byte intervals of a file that are requested or downloaded. Locks itself: the downloader's
// I/O thread updates it while other threads read the counts.

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace qvhttp {

struct byte_range {
  std::int64_t begin = 0;
  std::int64_t end = 0; // exclusive
};

class range_field {
public:
  void resize(std::int64_t size);
  std::int64_t size() const;

  // Records [begin, end); false when it does not lie inside [0, size).
  bool update(std::int64_t begin, std::int64_t end);

  // The lowest uncovered gap that contains or follows position, else the lowest gap at all.
  bool free_gap(std::int64_t position, byte_range& gap) const;

  bool is_full() const;
  std::int64_t byte_count() const;

  // One bit per piece; a bit is set when its whole piece lies inside one recorded interval.
  std::vector<bool> to_bitfield(std::int64_t piece_size) const;
  // Replaces the intervals by the pieces whose bits are set.
  void from_bitfield(const std::vector<bool>& bits, std::int64_t piece_size);

private:
  mutable std::mutex mutex_;
  std::int64_t size_ = 0;
  // begin -> end, disjoint and never touching: neighbours are joined as they are recorded.
  std::map<std::int64_t, std::int64_t> intervals_;
};

} // namespace qvhttp
