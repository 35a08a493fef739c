#include "Velqora.System.HighClock.h"

#include <windows.h>

#include <cmath>

#include "Velqora.System.SysUtils.h"

namespace Velqora {

namespace {

int64_t Counter() {
  LARGE_INTEGER value;
  QueryPerformanceCounter(&value);
  return value.QuadPart;
}

}  // namespace

THighClock::THighClock() {
  LARGE_INTEGER rate;
  FIsExists = QueryPerformanceFrequency(&rate) && rate.QuadPart > 0;
  if (FIsExists) {
    FClockRate = rate.QuadPart;
    ResetClock();
  }
}

void THighClock::ResetClock() {
  if (FIsExists) FResetClock = Counter();
}

double THighClock::TickCountAsDouble() const {
  return FIsExists ? ElapsedMilliseconds(Counter(), FResetClock, FClockRate) : 0;
}

uint32_t THighClock::TickCountAsLongWord() const { return RoundToLongWord(TickCountAsDouble()); }

double THighClock::MinimumResolution() const noexcept { return FIsExists ? 1000.0 / double(FClockRate) : 0; }

double THighClock::ElapsedMilliseconds(int64_t ACounter, int64_t AResetClock, int64_t AClockRate) {
  int64_t counts;
  if (__builtin_sub_overflow(ACounter, AResetClock, &counts)) throw EIntOverflow();
  return double(counts) * 1000.0 / double(AClockRate);
}

uint32_t THighClock::RoundToLongWord(double AMilliseconds) noexcept {
  // llrint rounds in the current mode, to nearest with ties to even.
  return uint32_t(uint64_t(std::llrint(AMilliseconds)));
}

}  // namespace Velqora
