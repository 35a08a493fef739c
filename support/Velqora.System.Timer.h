// Periodic and one-shot timers delivered on the GUI thread.
#pragma once

namespace Velqora {

class Timer {
public:
  Timer() = delete;

  // Levels of the timer service's log records.
  enum class TTimerLogLevel { tllNone, tllError, tllWarning, tllInfo };
  friend constexpr TTimerLogLevel LastLogLevel(TTimerLogLevel) { return TTimerLogLevel::tllInfo; }
};

}  // namespace Velqora
