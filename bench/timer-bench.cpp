// The timer service's clock and its timers under the system at hand: the
// clock's resolution (what the counter promises and the smallest step a
// reader sees, beside GetTickCount's, which the service falls back to) and
// the jitter of a 30 ms window timer, beside the system's own window timer
// of 30 ms measured in the same run.
//   timer-bench [PERIODS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "UtilityWindow.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.HighClock.h"
#include "Velqora.System.Timer.h"

using namespace Velqora;

namespace {

constexpr UINT Interval = 30;
constexpr UINT_PTR SystemTimerId = 1;

THighClock* Clock = nullptr;
std::vector<double> Arrivals;  // ms on the clock
UINT Watched = 0;              // the message whose arrivals are taken

void RecordArrival(TWindowMessage& AMessage) {
  if (AMessage.Msg == Watched)
    Arrivals.push_back(Clock->TickCountAsDouble());
  else
    DefaultWindowHandler(nullptr, AMessage);
}

// The smallest step between two different readings, over ASamples steps.
// The readings are stored before they are compared: on i686 a double just
// returned still has the x87 unit's extra bits, and two readings of the
// same count would differ in them.
template <typename F>
double SmallestStep(F ARead, int ASamples) {
  double smallest = 1e9;
  for (int i = 0; i < ASamples; ++i) {
    volatile double first = ARead(), next;
    do
      next = ARead();
    while (next == first);
    smallest = std::min(smallest, next - first);
  }
  return smallest;
}

// Messages are processed until APeriods periods have arrived after the first.
void Collect(size_t APeriods) {
  Arrivals.clear();
  MSG msg;
  while (Arrivals.size() < APeriods + 1 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

struct TSpread {
  double Min, Median, Max;
};
// Deviations of the periods from the interval, in ms.
TSpread Deviations() {
  std::vector<double> d;
  for (size_t i = 1; i < Arrivals.size(); ++i) d.push_back(Arrivals[i] - Arrivals[i - 1] - Interval);
  std::sort(d.begin(), d.end());
  return {d.front(), d[d.size() / 2], d.back()};
}

void Print(const wchar_t* AName, const TSpread& ASpread) {
  wprintf(L"  %-38ls min %+7.2f  median %+7.2f  max %+7.2f ms\n", AName, ASpread.Min, ASpread.Median, ASpread.Max);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const size_t periods = argc > 1 ? size_t(std::max(10, _wtoi(argv[1]))) : 200;
  Debug::TDebugLogFile::Start();
  DllRoutines::Start();
  Timer::Start();
  THighClock clock;
  Clock = &clock;
  if (!clock.IsExists()) {
    wprintf(L"No performance counter: the service counts with GetTickCount\n");
    return 1;
  }

  wprintf(L"Clock\n");
  wprintf(L"  counter's resolution (MinimumResolution)   %.6f ms\n", clock.MinimumResolution());
  wprintf(L"  smallest step a reader sees                %g ms\n",
          SmallestStep([&] { return clock.TickCountAsDouble(); }, 1000));
  wprintf(L"  smallest step of the 32-bit reading        %.0f ms\n",
          SmallestStep([&] { return double(clock.TickCountAsLongWord()); }, 20));
  wprintf(L"  smallest step of GetTickCount              %.0f ms\n",
          SmallestStep([] { return double(GetTickCount()); }, 20));

  HWND wnd = AllocateWindow(RecordArrival);
  wprintf(L"Periods of a %u ms window timer (%zu periods each), deviation from %u ms\n", Interval, periods, Interval);
  Watched = Timer::TimerMessage();
  Timer::SetTimer(wnd, 1, Interval);
  Collect(periods);
  Timer::KillTimer(wnd, 1);
  TSpread ours = Deviations();
  Print(L"the timer service", ours);

  Watched = WM_TIMER;
  ::SetTimer(wnd, SystemTimerId, Interval, nullptr);
  Collect(periods);
  ::KillTimer(wnd, SystemTimerId);
  TSpread system = Deviations();
  Print(L"the system's window timer (reference)", system);
  wprintf(L"Spread (max - min): %.2f ms against %.2f ms, %.2fx the reference's\n", ours.Max - ours.Min,
          system.Max - system.Min, (ours.Max - ours.Min) / std::max(0.001, system.Max - system.Min));

  DeallocateWindow(wnd);
  Timer::Stop();
  DllRoutines::Stop();
  Debug::TDebugLogFile::Stop();
  return 0;
}
