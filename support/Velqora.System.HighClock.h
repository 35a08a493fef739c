// A millisecond clock on the high-resolution performance counter, counted
// from a reset point.
#pragma once

#include <cstdint>

namespace Velqora {

class THighClock {
public:
  // Counts from now; without a performance counter IsExists is false and
  // every reading is 0.
  THighClock();
  // Counts from now again.
  void ResetClock();

  bool IsExists() const noexcept { return FIsExists; }
  // Milliseconds since the reset.
  double TickCountAsDouble() const;
  // The same rounded to whole milliseconds (ties to even) and kept to its
  // low 32 bits: it wraps after about 49.7 days.
  uint32_t TickCountAsLongWord() const;
  // Milliseconds per count of the counter.
  double MinimumResolution() const noexcept;

  // The steps of the readings, for any counter values: milliseconds from
  // AResetClock to ACounter at AClockRate counts a second (EIntOverflow
  // when the difference does not fit 64 bits) ...
  static double ElapsedMilliseconds(int64_t ACounter, int64_t AResetClock, int64_t AClockRate);
  // ... and those rounded to the 32-bit reading.
  static uint32_t RoundToLongWord(double AMilliseconds) noexcept;

private:
  int64_t FClockRate = 0;
  int64_t FResetClock = 0;
  bool FIsExists = false;
};

}  // namespace Velqora
