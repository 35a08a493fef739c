// Units with process-wide state (a Start and a Stop each) and their order.
// Each layer lists its own units in dependency order, and a program's list
// joins the layers' lists with its own units between them (app/uUnits.h):
// the order exists once, and a layer's tests start a part of it from their
// own layer's list without reaching into a layer above.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.Project.ProcessInfo.h"
#include "Velqora.System.Timer.h"

namespace Velqora {

struct TUnit {
  void (*Start)();
  void (*Stop)();
};

// The lists one after the other.
template <size_t... N>
constexpr std::array<TUnit, (N + ...)> JoinUnits(const std::array<TUnit, N>&... AParts) {
  std::array<TUnit, (N + ...)> result{};
  auto out = result.begin();
  ((out = std::copy(AParts.begin(), AParts.end(), out)), ...);
  return result;
}

// The log and the binding registry: they load no library, so whatever
// restricts the library search can follow them before anything loads one.
inline constexpr auto BindingUnits = std::to_array<TUnit>({
    {Debug::TDebugLogFile::Start, Debug::TDebugLogFile::Stop},
    {DllRoutines::Start, DllRoutines::Stop},
});
// The rest of this layer's.
inline constexpr auto SystemUnits = std::to_array<TUnit>({
    {ProcessInfo::Start, ProcessInfo::Stop},
    // Its hidden window belongs to the thread that starts it, the GUI thread.
    {Timer::Start, Timer::Stop},
});
// This layer's units in their order.
inline constexpr auto SupportUnits = JoinUnits(BindingUnits, SystemUnits);

// Starts the units of a list in order, from the one whose Start is AFirst
// (the first without one) up to the one whose Start is ALast (the last
// without one), and stops the started ones in reverse when it goes. A start
// that fails stops those started before it and passes the error on; an
// error in a stop is swallowed, so none leaves the destructor. The list
// outlives the scope.
class TUnitsScope {
public:
  explicit TUnitsScope(std::span<const TUnit> AUnits, void (*ALast)() = nullptr, void (*AFirst)() = nullptr) {
    FUnits = AUnits;
    if (AFirst) FUnits = AUnits.subspan(size_t(std::ranges::find(AUnits, AFirst, &TUnit::Start) - AUnits.begin()));
    try {
      for (const TUnit& unit : FUnits) {
        unit.Start();
        ++FStarted;
        if (unit.Start == ALast) break;
      }
    } catch (...) {
      StopStarted();
      throw;
    }
  }
  ~TUnitsScope() { StopStarted(); }
  TUnitsScope(const TUnitsScope&) = delete;
  TUnitsScope& operator=(const TUnitsScope&) = delete;

private:
  void StopStarted() noexcept {
    while (FStarted > 0) {
      try {
        FUnits[--FStarted].Stop();
      } catch (...) {
      }
    }
  }

  std::span<const TUnit> FUnits;
  size_t FStarted = 0;
};

}  // namespace Velqora
