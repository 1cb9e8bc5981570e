#include "qvhttp/range_field.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace {

using intervals = std::initializer_list<std::pair<std::int64_t, std::int64_t>>;

void fill(qvhttp::range_field& field, std::int64_t size, intervals list)
{
  field.resize(size);
  for (auto [b, e] : list) EXPECT_TRUE(field.update(b, e)) << b << "-" << e;
}

TEST(RangeField, UpdateRefusesIntervalsOutsideTheFile)
{
  qvhttp::range_field field;
  field.resize(100);
  EXPECT_FALSE(field.update(-1, 5));
  EXPECT_FALSE(field.update(5, 5));
  EXPECT_FALSE(field.update(6, 5));
  EXPECT_FALSE(field.update(90, 101));
  EXPECT_TRUE(field.update(0, 100));
  EXPECT_TRUE(field.is_full());
}

TEST(RangeField, OverlappingAndTouchingIntervalsJoin)
{
  struct Case {
    intervals list;
    std::int64_t count;
    bool full;
  };
  const Case cases[] = {
      {{{0, 10}, {10, 20}}, 20, false},
      {{{10, 20}, {0, 10}, {20, 100}}, 100, true},
      {{{0, 50}, {10, 20}}, 50, false},
      {{{0, 50}, {0, 10}}, 50, false}, // a shorter interval at the same start loses nothing
      {{{5, 15}, {30, 40}, {10, 35}}, 35, false},
      {{{0, 30}, {60, 100}, {30, 60}}, 100, true},
  };
  for (const Case& c : cases) {
    qvhttp::range_field field;
    fill(field, 100, c.list);
    EXPECT_EQ(field.byte_count(), c.count);
    EXPECT_EQ(field.is_full(), c.full);
  }
}

TEST(RangeField, FreeGapPrefersTheGapAtOrAfterPosition)
{
  qvhttp::range_field field;
    fill(field, 100, {{10, 20}, {40, 60}});
  struct Case {
    std::int64_t position, begin, end;
  };
  for (const Case& c : {Case{0, 0, 10}, Case{5, 0, 10}, Case{10, 20, 40}, Case{25, 20, 40}, Case{60, 60, 100},
                        Case{99, 60, 100}, Case{100, 0, 10}}) {
    qvhttp::byte_range gap;
    ASSERT_TRUE(field.free_gap(c.position, gap)) << c.position;
    EXPECT_EQ(gap.begin, c.begin) << c.position;
    EXPECT_EQ(gap.end, c.end) << c.position;
  }
  qvhttp::range_field full;
    fill(full, 100, {{0, 100}});
  qvhttp::byte_range gap;
  EXPECT_FALSE(full.free_gap(0, gap));
  qvhttp::range_field empty;
    fill(empty, 0, {});
  EXPECT_FALSE(empty.free_gap(0, gap));
}

TEST(RangeField, BitfieldCountsOnlyWholePiecesIncludingTheShortLastOne)
{
  // 10 pieces of 10 bytes, the last one 5 bytes long.
  struct Case {
    intervals list;
    std::vector<bool> bits;
  };
  const Case cases[] = {
      {{}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {{{0, 95}}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {{{0, 94}}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
      {{{5, 30}}, {0, 1, 1, 0, 0, 0, 0, 0, 0, 0}},
      {{{5, 29}}, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {{{10, 19}, {20, 40}}, {0, 0, 1, 1, 0, 0, 0, 0, 0, 0}},
      {{{90, 95}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    qvhttp::range_field field;
    fill(field, 95, c.list);
    EXPECT_EQ(field.to_bitfield(10), c.bits);
  }
}

TEST(RangeField, BitfieldRunsBecomeIntervalsClippedToTheFile)
{
  qvhttp::range_field field;
  field.resize(95);
  field.update(50, 60); // replaced by what the bits say
  field.from_bitfield({1, 1, 0, 1, 0, 0, 0, 0, 1, 1}, 10);
  EXPECT_EQ(field.byte_count(), 20 + 10 + 15);
  qvhttp::byte_range gap;
  ASSERT_TRUE(field.free_gap(0, gap));
  EXPECT_EQ(gap.begin, 20);
  EXPECT_EQ(gap.end, 30);
  ASSERT_TRUE(field.free_gap(40, gap));
  EXPECT_EQ(gap.begin, 40);
  EXPECT_EQ(gap.end, 80);
  EXPECT_EQ(field.to_bitfield(10), (std::vector<bool>{1, 1, 0, 1, 0, 0, 0, 0, 1, 1}));
}

} // namespace
