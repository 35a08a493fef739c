#include "Velqora.System.Timer.h"

#include <objbase.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "CriticalSection.h"
#include "UniqueHandle.h"
#include "Velqora.Debug.Common.h"
#include "Velqora.Debug.Log.h"
#include "Velqora.System.HighClock.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Thread.h"

namespace Velqora {

using TLevel = Timer::TTimerLogLevel;
using TTimerItem = Timer::TTimerItem;

struct Timer::TTimerKey {
  HWND WndHandle = nullptr;
  TWndClassMethod WndClassMethod = nullptr;
  TTimerMethod WndObjectMethod;
  int32_t ID = 0;

  static TTimerKey Of(const TTimerItem& AItem) {
    return {AItem.WndHandle(), AItem.WndClassMethod(), AItem.WndObjectMethod(), AItem.ID()};
  }
  // By window when the key has one, else by procedure, else by method.
  bool Matches(const TTimerItem& AItem) const {
    if (AItem.ID() != ID) return false;
    if (WndHandle) return AItem.WndHandle() == WndHandle;
    if (WndClassMethod) return AItem.WndClassMethod() == WndClassMethod;
    if (WndObjectMethod) return AItem.WndObjectMethod() == WndObjectMethod;
    return false;
  }
};

namespace {

const Debug::TLogOwner Owner(L"Timer");
const wchar_t STimerMessageName[] = L"WM_PROJECT_TIMER_B03E8A35-4501-4A39-8C27-8C0A93F97908";
const wchar_t STimerNotKilled[] =
    L"Timer not killed: ID - %0:s; WndHandle: %1:s; WndClassMethod: %2:s; WndObjectMethod: %3:s;.";
const wchar_t STimerNotPosted[] = L"Timer message not posted: ID - %d";
// How often the worker looks at the timers: the resolution of every timer.
constexpr DWORD TimerRound = 10;
// The service's apartment for its worker: single-threaded.
constexpr int TimerCoFlag = COINIT_APARTMENTTHREADED;

using TItems = std::vector<std::unique_ptr<TTimerItem>>;

// The service's state while it runs, in the order it is made; the members
// go in reverse order, as shutting down frees them.
struct TService {
  std::unique_ptr<Debug::TDebugLog<TLevel>> TimerLog;
  std::unique_ptr<THighClock> TimerClock;  // none without a performance counter
  TItems TimerItems;
  TItems PendingItems;  // copies of fired callback timers, at most one per timer
  TCriticalSection TimerLock;  // guards both lists, their items and the worker
  TUniqueUtilityWindow TimerWindow;
  std::unique_ptr<TThread> TimerThread;  // exists while timers do
  bool IdleNoticePosted = false;  // the worker told the GUI thread it has no timers
};

constinit std::unique_ptr<TService> Service;
// Registered once; it stays the same for the process.
UINT TimerMessageNumber = 0;

uint32_t GetTimerTicks(const TService& AService) {
  return AService.TimerClock ? AService.TimerClock->TickCountAsLongWord() : GetTickCount();
}

TItems::iterator FindTimer(TService& AService, const Timer::TTimerKey& AKey) {
  return std::find_if(AService.TimerItems.begin(), AService.TimerItems.end(),
                      [&](const auto& AItem) { return AKey.Matches(*AItem); });
}

void EraseTimer(TService& AService, const Timer::TTimerKey& AKey) {
  auto it = FindTimer(AService, AKey);
  if (it != AService.TimerItems.end()) AService.TimerItems.erase(it);
}

// Under the lock: with no timer left, the worker is taken out and told to
// end. The caller lets it go after releasing the lock, since waiting for it
// under the lock would wait for ever: the worker takes the lock each round.
std::unique_ptr<TThread> TakeIdleWorker(TService& AService) noexcept {
  if (!AService.TimerItems.empty() || !AService.TimerThread) return nullptr;
  AService.TimerThread->Terminate();
  return std::move(AService.TimerThread);
}

}  // namespace

// ---- the due test ----

bool Timer::IsTimerDue(uint32_t ANow, uint32_t ANextEvent) noexcept {
  // Serial-number arithmetic, not ANow >= ANextEvent, which stalls every
  // timer when the clock wraps after 49.7 days; nor TickDiff, whose wrap
  // guess would take a due time just past 0x33333333 for one already past.
  return int32_t(ANow - ANextEvent) >= 0;
}

uint32_t Timer::NextEventAfter(uint32_t ANextEvent, uint32_t AInterval, uint32_t ANow) noexcept {
  uint32_t next = TickAdd(ANextEvent, AInterval);
  return int32_t(next - ANow) < 0 ? ANow : next;
}

// ---- registering and removing ----

void Timer::AddTimer(const TTimerKey& AKey, uint32_t AInterval, bool AOnceTimer) {
  if (!AKey.WndHandle && !AKey.WndClassMethod && !AKey.WndObjectMethod)
    throw Exception(L"A timer needs a window, a procedure or a method");
  TService* service = Service.get();
  if (!service) throw Exception(L"The timer service has not started");
  TLockGuard lock(service->TimerLock);
  EraseTimer(*service, AKey);
  if (!service->TimerThread) {
    auto thread = std::make_unique<TThread>(TimerThreadProc, true, TimerCoFlag);
    thread->SetErrorWindow(service->TimerWindow.Get());
    thread->SetPriority(TThreadPriority::tpHighest);
    thread->Start();
    service->TimerThread = std::move(thread);
  }
  auto item = std::make_unique<TTimerItem>();
  item->FWndHandle = AKey.WndHandle;
  item->FWndClassMethod = AKey.WndClassMethod;
  item->FWndObjectMethod = AKey.WndObjectMethod;
  item->FID = AKey.ID;
  item->FInterval = std::min(AInterval, MaxInterval);
  item->FOnceTimer = AOnceTimer;
  item->FNextEvent = TickAdd(GetTimerTicks(*service), item->FInterval);
  service->TimerItems.push_back(std::move(item));
  service->IdleNoticePosted = false;
}

void Timer::RemoveTimer(const TTimerKey& AKey) {
  TService* service = Service.get();
  if (!service) return;
  std::unique_ptr<TThread> idle;
  {
    TLockGuard lock(service->TimerLock);
    EraseTimer(*service, AKey);
    idle = TakeIdleWorker(*service);
  }
}  // an idle worker is stopped here, after the lock

void Timer::SetTimer(HWND AWndHandle, int32_t AID, uint32_t AInterval) {
  AddTimer({AWndHandle, nullptr, {}, AID}, AInterval, false);
}
void Timer::SetTimer(TWndClassMethod AMethod, int32_t AID, uint32_t AInterval) {
  AddTimer({nullptr, AMethod, {}, AID}, AInterval, false);
}
void Timer::SetTimer(const TTimerMethod& AMethod, int32_t AID, uint32_t AInterval) {
  AddTimer({nullptr, nullptr, AMethod, AID}, AInterval, false);
}
void Timer::SetOnceTimer(HWND AWndHandle, int32_t AID, uint32_t AInterval) {
  AddTimer({AWndHandle, nullptr, {}, AID}, AInterval, true);
}
void Timer::SetOnceTimer(TWndClassMethod AMethod, int32_t AID, uint32_t AInterval) {
  AddTimer({nullptr, AMethod, {}, AID}, AInterval, true);
}
void Timer::SetOnceTimer(const TTimerMethod& AMethod, int32_t AID, uint32_t AInterval) {
  AddTimer({nullptr, nullptr, AMethod, AID}, AInterval, true);
}
void Timer::KillTimer(HWND AWndHandle, int32_t AID) { RemoveTimer({AWndHandle, nullptr, {}, AID}); }
void Timer::KillTimer(TWndClassMethod AMethod, int32_t AID) { RemoveTimer({nullptr, AMethod, {}, AID}); }
void Timer::KillTimer(const TTimerMethod& AMethod, int32_t AID) { RemoveTimer({nullptr, nullptr, AMethod, AID}); }

bool Timer::IsValidTimer(HWND AWndHandle, int32_t AID) {
  TService* service = Service.get();
  if (!service || !AWndHandle) return false;
  TLockGuard lock(service->TimerLock);
  return FindTimer(*service, {AWndHandle, nullptr, {}, AID}) != service->TimerItems.end();
}

bool Timer::IsValidTimerMessage(const TWindowMessage& AMessage, HWND AWndHandle, int32_t AID) {
  return AMessage.Msg == TimerMessageNumber && TimerMessageNumber != 0 &&
         AMessage.WParam == WPARAM(uint32_t(AID)) && IsValidTimer(AWndHandle, AID);
}

UINT Timer::TimerMessage() noexcept { return TimerMessageNumber; }

size_t Timer::TimerCount() {
  TService* service = Service.get();
  if (!service) return 0;
  TLockGuard lock(service->TimerLock);
  return service->TimerItems.size();
}

size_t Timer::PendingCount() {
  TService* service = Service.get();
  if (!service) return 0;
  TLockGuard lock(service->TimerLock);
  return service->PendingItems.size();
}

bool Timer::HasWorker() {
  TService* service = Service.get();
  if (!service) return false;
  TLockGuard lock(service->TimerLock);
  return service->TimerThread != nullptr;
}

// ---- the worker ----

void Timer::TimerThreadProc(TThread& AThread) {
  while (!AThread.Terminated()) {
    AThread.SleepBy(TimerRound);
    if (AThread.Terminated()) break;
    TService& service = *Service;  // it outlives its worker
    TLockGuard lock(service.TimerLock);
    // Whoever stops the worker tells it so under the lock: a round that
    // waited for the lock meanwhile fires nothing more.
    if (AThread.Terminated()) break;
    uint32_t now = GetTimerTicks(service);
    for (size_t i = service.TimerItems.size(); i-- > 0;) {
      TTimerItem& item = *service.TimerItems[i];
      if (!IsTimerDue(now, item.FNextEvent)) continue;
      item.AdvanceNextEvent(now);
      FireTimer(i);
    }
    // The last timer was a one-shot window timer: the worker cannot stop
    // itself, so it asks the GUI thread to, once.
    if (service.TimerItems.empty() && !service.IdleNoticePosted && service.TimerWindow)
      service.IdleNoticePosted = PostMessageW(service.TimerWindow.Get(), TimerMessageNumber, 0, 0) != FALSE;
  }
}

// Under the lock, on the worker.
void Timer::FireTimer(size_t AIndex) {
  TService& service = *Service;
  TTimerItem& item = *service.TimerItems[AIndex];
  bool posted;
  DWORD error = 0;
  if (item.FWndHandle) {
    posted = PostMessageW(item.FWndHandle, TimerMessageNumber, WPARAM(uint32_t(item.FID)), 0) != FALSE;
    if (!posted) error = GetLastError();
  } else {
    if (!service.TimerWindow) return;
    // At most one copy per timer waits for its dispatch: a busy GUI thread
    // does not make the list grow, and a periodic callback runs once when
    // the GUI thread is free again, not once per period it missed.
    TTimerKey key = TTimerKey::Of(item);
    for (const auto& pending : service.PendingItems)
      if (key.Matches(*pending)) return;
    auto copy = std::make_unique<TTimerItem>();
    copy->FWndClassMethod = item.FWndClassMethod;
    copy->FWndObjectMethod = item.FWndObjectMethod;
    copy->FOnceTimer = item.FOnceTimer;
    copy->FID = item.FID;
    TTimerItem* address = copy.get();
    service.PendingItems.push_back(std::move(copy));
    posted = PostMessageW(service.TimerWindow.Get(), TimerMessageNumber, reinterpret_cast<WPARAM>(address), 0) != FALSE;
    if (!posted) {
      error = GetLastError();
      service.PendingItems.pop_back();  // no message will ever name it
    }
  }
  // A failure is logged once, not every period, until a post succeeds.
  if (!posted && !item.FPostFailed && service.TimerLog->IsActive(TLevel::tllWarning))
    service.TimerLog->LogError(TLevel::tllWarning, STimerNotPosted, {int64_t(item.FID)}, error, Owner);
  item.FPostFailed = !posted;
  if (item.FWndHandle && item.FOnceTimer) service.TimerItems.erase(service.TimerItems.begin() + ptrdiff_t(AIndex));
}

// ---- the dispatch, on the GUI thread ----

void Timer::DispatchTimer(TWindowMessage& AMessage) {
  TService* service = Service.get();
  if (!service) return;
  if (AMessage.Msg != TimerMessageNumber) {
    DefaultWindowHandler(service->TimerWindow.Get(), AMessage);
    return;
  }
  AMessage.Result = 0;
  if (AMessage.WParam == 0) {  // the worker has no timers left
    std::unique_ptr<TThread> idle;
    {
      TLockGuard lock(service->TimerLock);
      idle = TakeIdleWorker(*service);
    }
    return;  // an idle worker is stopped here, after the lock
  }
  // The message is registered by name: any process may post it, with any
  // WParam. Only the address of a copy still waiting is taken, by
  // comparison; nothing else is ever read through WParam.
  TTimerItem* copy = nullptr;
  TTimerKey key;
  bool registered = false;
  {
    TLockGuard lock(service->TimerLock);
    for (const auto& pending : service->PendingItems)
      if (reinterpret_cast<WPARAM>(pending.get()) == AMessage.WParam) copy = pending.get();
    // Forged, dispatched already, or in dispatch further up this thread's
    // stack (a receiver that processes messages sees a replayed message).
    if (!copy || copy->FDispatching) return;
    copy->FDispatching = true;
    key = TTimerKey::Of(*copy);
    registered = FindTimer(*service, key) != service->TimerItems.end();
  }
  // Also when the receiver raises, the copy goes (and a one-shot timer with
  // it); the error goes on to the GUI thread's error report.
  auto finish = ScopeExit([copy] { FinishDispatch(copy); });
  if (!registered) return;  // killed before its dispatch
  TWindowMessage message{TimerMessageNumber, WPARAM(uint32_t(key.ID)), 0, 0};
  if (key.WndClassMethod)
    key.WndClassMethod(message);
  else
    key.WndObjectMethod(message);
}

void Timer::FinishDispatch(const void* ACopy) noexcept {
  TService* service = Service.get();
  if (!service) return;  // the receiver stopped the service
  std::unique_ptr<TThread> idle;
  {
    TLockGuard lock(service->TimerLock);
    auto it = std::find_if(service->PendingItems.begin(), service->PendingItems.end(),
                           [&](const auto& AItem) { return AItem.get() == ACopy; });
    if (it == service->PendingItems.end()) return;
    if ((*it)->FOnceTimer) EraseTimer(*service, TTimerKey::Of(**it));
    service->PendingItems.erase(it);
    idle = TakeIdleWorker(*service);
  }
}  // an idle worker is stopped here, after the lock

// ---- start and stop ----

void Timer::Start() {
  if (Service) return;
  auto service = std::make_unique<TService>();
  service->TimerLog.reset(Debug::TDebugLog<TLevel>::CreateProgramLog());
  if (!TimerMessageNumber) {
    TimerMessageNumber = RegisterWindowMessageW(STimerMessageName);
    if (!TimerMessageNumber) ThrowLastOSError();
  }
  service->TimerClock = std::make_unique<THighClock>();
  if (!service->TimerClock->IsExists()) service->TimerClock.reset();
  service->TimerWindow.Reset(AllocateWindow(DispatchTimer));
  Service = std::move(service);
}

void Timer::Stop() {
  TService* service = Service.get();
  if (!service) return;
  std::unique_ptr<TThread> worker;
  {
    TLockGuard lock(service->TimerLock);
    worker = std::move(service->TimerThread);
    if (worker) worker->Terminate();
  }
  worker.reset();
  {
    TLockGuard lock(service->TimerLock);
    if (service->TimerLog->IsActive(TLevel::tllError)) {
      auto yesNo = [](bool AValue) { return std::wstring(AValue ? Debug::SLogTrue : Debug::SLogFalse); };
      for (const auto& item : service->TimerItems)
        service->TimerLog->WriteLog(TLevel::tllError, STimerNotKilled,
                                    {Format(L"%d", {int64_t(item->FID)}), yesNo(item->FWndHandle != nullptr),
                                     yesNo(item->FWndClassMethod != nullptr), yesNo(bool(item->FWndObjectMethod))},
                                    Owner);
    }
  }
  service->TimerWindow.Reset();
  Service.reset();  // the lock, the copies, the timers, the clock, the log
}

}  // namespace Velqora
