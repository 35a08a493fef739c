#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "SystemUnitsTest.h"
#include "TestSupport.h"
#include "UtilityWindow.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Timer.h"

using namespace Velqora;

namespace {

// ---- the due test on the 32-bit clock ----

TEST(TimerDue, AcrossTheClocksWrap) {
  struct TCase {
    uint32_t Now, NextEvent;
    bool Due;
  };
  const TCase cases[] = {
      {1000, 1000, true},
      {1001, 1000, true},
      {999, 1000, false},
      // Around 0x33333333, where a guess at the wrap from the values alone
      // would take a time to come for one past.
      {0x33333330, 0x33333340, false},
      {0x33333340, 0x33333330, true},
      // Across the wrap after 49.7 days.
      {0xFFFFFFF0, 0x00000010, false},
      {0x00000010, 0xFFFFFFF0, true},
      {0xFFFFFFFF, 0x00000000, false},
      {0x00000000, 0xFFFFFFFF, true},
      // Half the range apart is the limit of what can be told apart.
      {0x7FFFFFFF, 0x00000000, true},
      {0x00000000, 0x7FFFFFFF, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Timer::IsTimerDue(c.Now, c.NextEvent), c.Due) << std::hex << c.Now << " " << c.NextEvent;
}

TEST(TimerDue, TheNextEventAfterFiring) {
  struct TCase {
    uint32_t NextEvent, Interval, Now, After;
  };
  const TCase cases[] = {
      {1000, 30, 1005, 1030},   // on time: one interval later
      {1000, 30, 1040, 1040},   // fell behind: the next round
      {1000, 0, 1000, 1000},    // every round
      {0xFFFFFFF0, 0x20, 0xFFFFFFF5, 0x11},  // wraps as TickAdd does
      {0xFFFFFF00, 100, 0x10, 0x10},  // fell behind across the wrap
      {0xFFFFFFF0, 0x20, 0x05, 0x11},  // on time across the wrap
  };
  for (const auto& c : cases)
    EXPECT_EQ(Timer::NextEventAfter(c.NextEvent, c.Interval, c.Now), c.After) << std::hex << c.NextEvent;
}

// A timer of 100 ms whose due time lies far behind fires in the round that
// notices it and in the next, then every 100 ms from the first of them;
// the same across the wrap (plus the millisecond TickAdd adds there).
TEST(TimerDue, AFallenBehindTimerFiresTwiceThenKeepsItsPeriod) {
  for (uint32_t first : {uint32_t(500000), uint32_t(0xFFFFFFC0)}) {
    SCOPED_TRACE(first);
    uint32_t next = first - 5000;
    std::vector<uint32_t> fired;  // rounds after the first, in ms
    for (uint32_t elapsed = 0; elapsed <= 320; elapsed += 10) {
      uint32_t now = first + elapsed;
      if (!Timer::IsTimerDue(now, next)) continue;
      next = Timer::NextEventAfter(next, 100, now);
      fired.push_back(elapsed);
    }
    std::vector<uint32_t> expected = {0, 10, 100, 200, 300};
    if (first == 0xFFFFFFC0) expected = {0, 10, 110, 210, 310};
    EXPECT_EQ(fired, expected);
  }
}

// ---- the service ----

// What the receivers saw: the WParam of each call or message and, for a
// window, whether the message was valid when it arrived.
struct TCall {
  WPARAM WParam;
  bool Valid;
};
std::vector<TCall> WindowCalls, OtherWindowCalls, ProcedureCalls;
HWND TimerTarget = nullptr, OtherTarget = nullptr;
int32_t ExpectedWindowId = 0;

void RecordWindowMessage(TWindowMessage& AMessage) {
  if (AMessage.Msg == Timer::TimerMessage())
    WindowCalls.push_back({AMessage.WParam, Timer::IsValidTimerMessage(AMessage, TimerTarget, ExpectedWindowId)});
  else
    DefaultWindowHandler(TimerTarget, AMessage);
}
void RecordOtherWindowMessage(TWindowMessage& AMessage) {
  if (AMessage.Msg == Timer::TimerMessage())
    OtherWindowCalls.push_back({AMessage.WParam, true});
  else
    DefaultWindowHandler(OtherTarget, AMessage);
}
void RecordProcedure(TWindowMessage& AMessage) {
  EXPECT_EQ(AMessage.Msg, Timer::TimerMessage());
  EXPECT_EQ(AMessage.LParam, 0);
  ProcedureCalls.push_back({AMessage.WParam, true});
}
void RaiseInProcedure(TWindowMessage&) { throw Exception(L"the receiver failed"); }

struct TReceiver {
  std::vector<TCall> Calls;
  void OnTimer(TWindowMessage& AMessage) { Calls.push_back({AMessage.WParam, true}); }
};
TReceiver Receiver;
const Timer::TTimerMethod ReceiverMethod = TWndObjectMethod<TReceiver>{&Receiver, &TReceiver::OnTimer};

std::vector<std::wstring> Reported;
void CollectError(std::exception_ptr AError) noexcept {
  try {
    std::rethrow_exception(AError);
  } catch (const Exception& e) {
    Reported.push_back(e.Message());
  } catch (...) {
    Reported.push_back(L"?");
  }
}

// The three kinds of receiver, for tables.
enum class TKind { Window, Procedure, Method };
const char* KindName(TKind AKind) {
  return AKind == TKind::Window ? "window" : AKind == TKind::Procedure ? "procedure" : "method";
}

// The utility windows of this thread.
BOOL CALLBACK CollectUtilityWindow(HWND AWnd, LPARAM AParam) {
  wchar_t name[64] = {};
  GetClassNameW(AWnd, name, 64);
  if (std::wstring(name) == L"Velqora.UtilityWindow") reinterpret_cast<std::vector<HWND>*>(AParam)->push_back(AWnd);
  return TRUE;
}
std::vector<HWND> UtilityWindows() {
  std::vector<HWND> found;
  EnumThreadWindows(GetCurrentThreadId(), CollectUtilityWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Waits, without processing anything, until a message AMsg for AWnd is
// queued; answers whether one came within ATimeoutMs.
bool WaitForQueued(HWND AWnd, UINT AMsg, DWORD ATimeoutMs) {
  DWORD start = GetTickCount();
  MSG msg;
  while (!PeekMessageW(&msg, AWnd, AMsg, AMsg, PM_NOREMOVE)) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ATimeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ATimeoutMs - elapsed, QS_POSTMESSAGE);
  }
  return true;
}

// The service started on this thread with the program's log on, two
// windows to receive window timers, and the error report collected.
class TimerTest : public Testing::SystemTest {
protected:
  void SetUp() override {
    SystemTest::SetUp();
    TurnLogOn();
    WindowCalls.clear();
    OtherWindowCalls.clear();
    ProcedureCalls.clear();
    Receiver.Calls.clear();
    Reported.clear();
    SetWindowErrorHandler(CollectError);
    std::vector<HWND> before = UtilityWindows();
    Timer::Start();
    for (HWND wnd : UtilityWindows())
      if (std::find(before.begin(), before.end(), wnd) == before.end()) ServiceWindow = wnd;
    ASSERT_TRUE(ServiceWindow);
    Target.Reset(AllocateWindow(RecordWindowMessage));
    Other.Reset(AllocateWindow(RecordOtherWindowMessage));
    TimerTarget = Target.Get();
    OtherTarget = Other.Get();
  }
  void TearDown() override {
    Timer::Stop();
    Target.Reset();
    Other.Reset();
    SetWindowErrorHandler(nullptr);
    SystemTest::TearDown();
  }

  void Set(TKind AKind, int32_t AID, uint32_t AInterval, bool AOnce = false) {
    switch (AKind) {
      case TKind::Window:
        ExpectedWindowId = AID;
        AOnce ? Timer::SetOnceTimer(Target.Get(), AID, AInterval) : Timer::SetTimer(Target.Get(), AID, AInterval);
        break;
      case TKind::Procedure:
        AOnce ? Timer::SetOnceTimer(RecordProcedure, AID, AInterval) : Timer::SetTimer(RecordProcedure, AID, AInterval);
        break;
      case TKind::Method:
        AOnce ? Timer::SetOnceTimer(ReceiverMethod, AID, AInterval) : Timer::SetTimer(ReceiverMethod, AID, AInterval);
        break;
    }
  }
  void Kill(TKind AKind, int32_t AID) {
    switch (AKind) {
      case TKind::Window: Timer::KillTimer(Target.Get(), AID); break;
      case TKind::Procedure: Timer::KillTimer(RecordProcedure, AID); break;
      case TKind::Method: Timer::KillTimer(ReceiverMethod, AID); break;
    }
  }
  static std::vector<TCall>& Calls(TKind AKind) {
    return AKind == TKind::Window ? WindowCalls : AKind == TKind::Procedure ? ProcedureCalls : Receiver.Calls;
  }
  // Lets the worker run at least ARounds rounds, measured by a periodic
  // timer of the other window, while processing messages.
  void PumpRounds(size_t ARounds) {
    size_t seen = OtherWindowCalls.size();
    Timer::SetTimer(Other.Get(), 99, 10);
    EXPECT_TRUE(Testing::PumpUntil([&] { return OtherWindowCalls.size() >= seen + ARounds; }, 10000));
    Timer::KillTimer(Other.Get(), 99);
  }

  HWND ServiceWindow = nullptr;
  TUniqueUtilityWindow Target, Other;
};

TEST_F(TimerTest, AWindowTimerPostsItsIdUntilKilled) {
  Set(TKind::Window, 5, 30);
  EXPECT_TRUE(Timer::IsValidTimer(Target.Get(), 5));
  EXPECT_FALSE(Timer::IsValidTimer(Target.Get(), 6));
  EXPECT_FALSE(Timer::IsValidTimer(Other.Get(), 5));
  ASSERT_TRUE(Testing::PumpUntil([] { return WindowCalls.size() >= 3; }, 10000));
  for (const auto& call : WindowCalls) {
    EXPECT_EQ(call.WParam, 5u);
    EXPECT_TRUE(call.Valid);
  }
  // One more is queued when the timer is killed: it arrives, recognised as
  // stale, and nothing comes after it.
  ASSERT_TRUE(WaitForQueued(Target.Get(), Timer::TimerMessage(), 10000));
  Kill(TKind::Window, 5);
  EXPECT_FALSE(Timer::IsValidTimer(Target.Get(), 5));
  EXPECT_FALSE(Timer::HasWorker());  // so nothing more can be posted
  size_t before = WindowCalls.size();
  Testing::PumpPending();
  ASSERT_GT(WindowCalls.size(), before);
  for (size_t i = before; i < WindowCalls.size(); ++i) EXPECT_FALSE(WindowCalls[i].Valid);
}

TEST_F(TimerTest, SettingATimerAgainKeepsOneWithTheNewInterval) {
  for (TKind kind : {TKind::Window, TKind::Procedure, TKind::Method}) {
    SCOPED_TRACE(KindName(kind));
    Set(kind, 1, 60000);
    Set(kind, 1, 20);
    EXPECT_EQ(Timer::TimerCount(), 1u);
    EXPECT_TRUE(Testing::PumpUntil([&] { return Calls(kind).size() >= 2; }, 10000));
    Kill(kind, 1);
    EXPECT_EQ(Timer::TimerCount(), 0u);
  }
  // The same ID with another receiver is another timer.
  Set(TKind::Window, 1, 60000);
  Set(TKind::Procedure, 1, 60000);
  Set(TKind::Method, 1, 60000);
  Timer::SetTimer(Other.Get(), 1, 60000);
  EXPECT_EQ(Timer::TimerCount(), 4u);
}

TEST_F(TimerTest, AOneShotTimerFiresOnce) {
  for (TKind kind : {TKind::Window, TKind::Procedure, TKind::Method}) {
    SCOPED_TRACE(KindName(kind));
    Set(kind, 3, 10, true);
    ASSERT_TRUE(Testing::PumpUntil([&] { return !Calls(kind).empty(); }, 10000));
    PumpRounds(10);
    ASSERT_EQ(Calls(kind).size(), 1u);
    EXPECT_EQ(Calls(kind)[0].WParam, 3u);
    EXPECT_EQ(Timer::TimerCount(), 0u);
    EXPECT_EQ(Timer::PendingCount(), 0u);
  }
  // A one-shot window timer goes when it fires: its message already finds
  // it gone.
  EXPECT_FALSE(WindowCalls[0].Valid);
}

// The GUI thread does not process messages for twenty rounds: each callback
// timer has one copy waiting, however often it fell due; afterwards a
// periodic callback runs once for the missed periods, a delayed one-shot
// once, and one killed meanwhile not at all.
TEST_F(TimerTest, ABusyGuiThreadLeavesOneCopyPerTimer) {
  Timer::SetTimer(RecordProcedure, 1, 10);
  Timer::SetTimer(ReceiverMethod, 2, 10);
  Timer::SetOnceTimer(ReceiverMethod, 3, 10);
  Timer::SetTimer(Other.Get(), 99, 10);
  // Only the other window's messages are taken off the queue, to count the
  // rounds; the service's stay queued.
  size_t rounds = 0;
  MSG msg;
  DWORD start = GetTickCount();
  while (rounds < 20 && GetTickCount() - start < 10000) {
    if (PeekMessageW(&msg, Other.Get(), Timer::TimerMessage(), Timer::TimerMessage(), PM_REMOVE))
      ++rounds;
    else
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_POSTMESSAGE);
  }
  ASSERT_EQ(rounds, 20u);
  Timer::KillTimer(Other.Get(), 99);
  EXPECT_EQ(Timer::PendingCount(), 3u);
  // Exactly one message per copy waits for the service's window.
  std::vector<MSG> queued;
  while (PeekMessageW(&msg, ServiceWindow, Timer::TimerMessage(), Timer::TimerMessage(), PM_REMOVE))
    queued.push_back(msg);
  EXPECT_EQ(queued.size(), 3u);
  Timer::KillTimer(ReceiverMethod, 2);
  for (const MSG& m : queued) DispatchMessageW(&m);
  ASSERT_EQ(ProcedureCalls.size(), 1u);
  EXPECT_EQ(ProcedureCalls[0].WParam, 1u);
  ASSERT_EQ(Receiver.Calls.size(), 1u);
  EXPECT_EQ(Receiver.Calls[0].WParam, 3u);
  EXPECT_EQ(Timer::TimerCount(), 1u);  // the procedure's
}

// The message is registered by name, so anyone may post it: a WParam that
// names no waiting copy is ignored, whatever it points to, and so is a copy
// that was dispatched already.
TEST_F(TimerTest, ForgedAndStaleMessagesAreIgnored) {
  Timer::SetTimer(RecordProcedure, 1, 60000);
  Timer::TTimerItem forged;  // looks like a copy of that timer
  forged.SetWndClassMethod(RecordProcedure);
  forged.SetID(1);
  for (WPARAM wParam : {reinterpret_cast<WPARAM>(&forged), WPARAM(0x12345678), WPARAM(0)})
    ASSERT_TRUE(PostMessageW(ServiceWindow, Timer::TimerMessage(), wParam, 0));
  Testing::PumpPending();
  EXPECT_TRUE(ProcedureCalls.empty());
  EXPECT_TRUE(Timer::HasWorker());  // a forged "no timers left" changes nothing

  Timer::SetTimer(RecordProcedure, 2, 1000);
  ASSERT_TRUE(WaitForQueued(ServiceWindow, Timer::TimerMessage(), 10000));
  MSG real;
  ASSERT_TRUE(PeekMessageW(&real, ServiceWindow, Timer::TimerMessage(), Timer::TimerMessage(), PM_REMOVE));
  DispatchMessageW(&real);
  ASSERT_EQ(ProcedureCalls.size(), 1u);
  ASSERT_EQ(Timer::PendingCount(), 0u);  // the next copy is a second away
  // The timer is still registered: a dispatch that trusted the pointer
  // would call it again.
  ASSERT_TRUE(PostMessageW(ServiceWindow, Timer::TimerMessage(), real.wParam, 0));
  Testing::PumpPending();
  EXPECT_EQ(ProcedureCalls.size(), 1u);
}

TEST_F(TimerTest, TheWorkerExistsOnlyWhileTimersAreRegistered) {
  EXPECT_FALSE(Timer::HasWorker());
  Timer::KillTimer(Target.Get(), 1);  // unknown key on an idle service
  EXPECT_FALSE(Timer::HasWorker());
  Set(TKind::Window, 1, 10);
  EXPECT_TRUE(Timer::HasWorker());
  Set(TKind::Procedure, 2, 10);
  Kill(TKind::Window, 1);
  EXPECT_TRUE(Timer::HasWorker());
  Kill(TKind::Procedure, 2);
  EXPECT_FALSE(Timer::HasWorker());  // at once
  // The last timer goes with its firing (a one-shot window timer) or with
  // its dispatch (a one-shot callback).
  for (TKind kind : {TKind::Window, TKind::Procedure, TKind::Method}) {
    SCOPED_TRACE(KindName(kind));
    Set(kind, 3, 10, true);
    EXPECT_TRUE(Timer::HasWorker());
    EXPECT_TRUE(Testing::PumpUntil([] { return !Timer::HasWorker(); }, 10000));
    EXPECT_EQ(Calls(kind).size(), 1u);
  }
}

TEST_F(TimerTest, ANegativeIdTravelsAsItsBits) {
  struct TCase {
    TKind Kind;
    int32_t ID;
    WPARAM WParam;
  };
  const TCase cases[] = {
      {TKind::Window, -7, 0xFFFFFFF9u},
      {TKind::Procedure, -1, 0xFFFFFFFFu},
      {TKind::Method, INT32_MIN, 0x80000000u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(KindName(c.Kind));
    Set(c.Kind, c.ID, 10);
    ASSERT_TRUE(Testing::PumpUntil([&] { return !Calls(c.Kind).empty(); }, 10000));
    Kill(c.Kind, c.ID);
    EXPECT_EQ(Calls(c.Kind)[0].WParam, c.WParam);
    EXPECT_TRUE(Calls(c.Kind)[0].Valid);
    EXPECT_EQ(Timer::TimerCount(), 0u);
  }
}

// An error of the receiver reaches the GUI thread's error report; its copy
// and its one-shot timer still go.
TEST_F(TimerTest, ARaisingCallbackStillFreesItsCopy) {
  Timer::SetOnceTimer(RaiseInProcedure, 1, 10);
  ASSERT_TRUE(Testing::PumpUntil([] { return !Reported.empty(); }, 10000));
  EXPECT_EQ(Reported, std::vector<std::wstring>{L"the receiver failed"});
  EXPECT_EQ(Timer::PendingCount(), 0u);
  EXPECT_EQ(Timer::TimerCount(), 0u);
  EXPECT_FALSE(Timer::HasWorker());
}

TEST_F(TimerTest, TimersLeftAtShutdownAreLogged) {
  Set(TKind::Window, 7, 60000);
  Set(TKind::Procedure, -3, 60000);
  Set(TKind::Method, 12, 60000, true);
  Timer::Stop();
  EXPECT_FALSE(Timer::HasWorker());
  std::wstring log = LogText();
  for (const wchar_t* text : {
           L"Timer not killed: ID - 7; WndHandle: True; WndClassMethod: False; WndObjectMethod: False;.",
           L"Timer not killed: ID - -3; WndHandle: False; WndClassMethod: True; WndObjectMethod: False;.",
           L"Timer not killed: ID - 12; WndHandle: False; WndClassMethod: False; WndObjectMethod: True;.",
       })
    EXPECT_NE(log.find(std::wstring(L"Timer") + std::wstring(21, L' ') + text), std::wstring::npos)
        << WideToUtf8(text) << "\n" << WideToUtf8(log);
  // Stopped, the service answers and removes nothing and registers nothing.
  EXPECT_FALSE(Timer::IsValidTimer(Target.Get(), 7));
  EXPECT_NO_THROW(Timer::KillTimer(Target.Get(), 7));
  EXPECT_THROW(Timer::SetTimer(Target.Get(), 7, 10), Exception);
}

TEST_F(TimerTest, ATimerNeedsAReceiver) {
  EXPECT_THROW(Timer::SetTimer(HWND(nullptr), 1, 10), Exception);
  EXPECT_THROW(Timer::SetOnceTimer(TWndClassMethod(nullptr), 1, 10), Exception);
  EXPECT_THROW(Timer::SetTimer(Timer::TTimerMethod(), 1, 10), Exception);
  EXPECT_EQ(Timer::TimerCount(), 0u);
  EXPECT_FALSE(Timer::HasWorker());
}

}  // namespace
