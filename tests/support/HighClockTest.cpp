#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

#include "Velqora.System.HighClock.h"
#include "Velqora.System.SysUtils.h"

using Velqora::THighClock;

namespace {

TEST(HighClock, CountsMillisecondsFromItsReset) {
  THighClock clock;
  ASSERT_TRUE(clock.IsExists());  // every system since XP has the counter
  EXPECT_LT(clock.TickCountAsLongWord(), 1000u);  // 0 or a few milliseconds
  LARGE_INTEGER rate;
  QueryPerformanceFrequency(&rate);
  EXPECT_DOUBLE_EQ(clock.MinimumResolution(), 1000.0 / double(rate.QuadPart));
  double first = clock.TickCountAsDouble();
  double second = clock.TickCountAsDouble();
  EXPECT_GE(first, 0.0);
  EXPECT_GE(second, first);
}

TEST(HighClock, ReadingsFromCounts) {
  const int64_t rate = 10000000;  // 10 MHz, as Windows 10 and Wine count
  EXPECT_DOUBLE_EQ(THighClock::ElapsedMilliseconds(rate, 0, rate), 1000.0);
  EXPECT_DOUBLE_EQ(THighClock::ElapsedMilliseconds(1005, 1000, rate), 0.0005);
  EXPECT_DOUBLE_EQ(THighClock::ElapsedMilliseconds(-100, -200, rate), 0.01);
  EXPECT_DOUBLE_EQ(THighClock::ElapsedMilliseconds(INT64_MAX, 0, 1000), double(INT64_MAX));
  // The difference of the counter values must fit 64 bits.
  EXPECT_THROW(THighClock::ElapsedMilliseconds(INT64_MIN, 1, rate), Velqora::EIntOverflow);
  EXPECT_THROW(THighClock::ElapsedMilliseconds(INT64_MAX, -1, rate), Velqora::EIntOverflow);
}

// Whole milliseconds, ties to even, the low 32 bits: the reading wraps
// after 2^32 ms.
TEST(HighClock, TheThirtyTwoBitReading) {
  struct TCase {
    double Milliseconds;
    uint32_t Reading;
  };
  const TCase cases[] = {
      {0.0, 0},
      {0.4999, 0},
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {2.5001, 3},
      {4294967294.5, 0xFFFFFFFEu},
      {4294967295.0, 0xFFFFFFFFu},
      {4294967295.4, 0xFFFFFFFFu},
      {4294967295.5, 0},  // 2^32, even
      {4294967296.0, 0},
      {4294967297.5, 2},
      {3 * 4294967296.0 + 7.0, 7},
  };
  for (const auto& c : cases) EXPECT_EQ(THighClock::RoundToLongWord(c.Milliseconds), c.Reading) << c.Milliseconds;
}

}  // namespace
