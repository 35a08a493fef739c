// Periodic and one-shot timers delivered on the GUI thread, independent of
// the system's window timers: a worker thread checks the registered timers
// every 10 milliseconds and posts a registered message, either to the
// caller's window or to a hidden window of the service, which calls the
// caller's procedure or method on the GUI thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "UtilityWindow.h"

namespace Velqora {

class TThread;

class Timer {
public:
  Timer() = delete;

  // Levels of the timer service's log records.
  enum class TTimerLogLevel { tllNone, tllError, tllWarning, tllInfo };
  friend constexpr TTimerLogLevel LastLogLevel(TTimerLogLevel) { return TTimerLogLevel::tllInfo; }

  // A method timer's receiver with the object's class left out, so that
  // timers of any class live in one list: the object, the method's code
  // (compared byte for byte, as the key needs) and a call through the
  // class it came from.
  class TTimerMethod {
  public:
    TTimerMethod() = default;
    template <typename T>
    TTimerMethod(TWndObjectMethod<T> AMethod) : FObject(AMethod.Object), FInvoke(InvokeAs<T>) {
      static_assert(sizeof(AMethod.Method) == sizeof(FCode), "every method pointer has the same size here");
      std::memcpy(FCode, &AMethod.Method, sizeof(FCode));
    }
    explicit operator bool() const noexcept { return FInvoke != nullptr; }
    bool operator==(const TTimerMethod& AOther) const noexcept {
      return FObject == AOther.FObject && FInvoke == AOther.FInvoke && std::memcmp(FCode, AOther.FCode, sizeof(FCode)) == 0;
    }
    void operator()(TWindowMessage& AMessage) const { FInvoke(*this, AMessage); }

  private:
    struct TAnyClass {};
    template <typename T>
    static void InvokeAs(const TTimerMethod& ASelf, TWindowMessage& AMessage) {
      void (T::*method)(TWindowMessage&);
      std::memcpy(&method, ASelf.FCode, sizeof(method));
      (static_cast<T*>(ASelf.FObject)->*method)(AMessage);
    }

    void* FObject = nullptr;
    void (*FInvoke)(const TTimerMethod&, TWindowMessage&) = nullptr;
    unsigned char FCode[sizeof(void (TAnyClass::*)(TWindowMessage&))] = {};
  };

  // One registered timer, or a copy of a fired callback timer waiting for
  // its dispatch.
  class TTimerItem {
  public:
    HWND WndHandle() const noexcept { return FWndHandle; }
    void SetWndHandle(HWND AValue) noexcept { FWndHandle = AValue; }
    TWndClassMethod WndClassMethod() const noexcept { return FWndClassMethod; }
    void SetWndClassMethod(TWndClassMethod AValue) noexcept { FWndClassMethod = AValue; }
    const TTimerMethod& WndObjectMethod() const noexcept { return FWndObjectMethod; }
    void SetWndObjectMethod(const TTimerMethod& AValue) noexcept { FWndObjectMethod = AValue; }
    int32_t ID() const noexcept { return FID; }
    void SetID(int32_t AValue) noexcept { FID = AValue; }
    uint32_t Interval() const noexcept { return FInterval; }
    void SetInterval(uint32_t AValue) noexcept { FInterval = AValue; }
    bool OnceTimer() const noexcept { return FOnceTimer; }
    void SetOnceTimer(bool AValue) noexcept { FOnceTimer = AValue; }

  private:
    friend class Timer;
    void AdvanceNextEvent(uint32_t ANow) noexcept { FNextEvent = NextEventAfter(FNextEvent, FInterval, ANow); }

    HWND FWndHandle = nullptr;
    TWndClassMethod FWndClassMethod = nullptr;
    TTimerMethod FWndObjectMethod;
    int32_t FID = 0;
    uint32_t FNextEvent = 0;
    uint32_t FInterval = 0;
    bool FOnceTimer = false;
    bool FPostFailed = false;  // logged once until a post succeeds again
    bool FDispatching = false;  // a copy whose receiver is being called
  };

  // Timers are keyed by receiver and ID: setting one again replaces it.
  // The ID travels as its 32 bits (WParam = the ID as unsigned; -1 is
  // 0xFFFFFFFF). Intervals are milliseconds, at most MaxInterval. Raises
  // when the service has not started or no receiver is given. A procedure
  // or method that raises loses its waiting copy (a one-shot timer goes
  // with it); the error goes to the window error handler
  // (SetWindowErrorHandler).
  static void SetTimer(HWND AWndHandle, int32_t AID, uint32_t AInterval);
  static void SetTimer(TWndClassMethod AMethod, int32_t AID, uint32_t AInterval);
  static void SetTimer(const TTimerMethod& AMethod, int32_t AID, uint32_t AInterval);
  static void SetOnceTimer(HWND AWndHandle, int32_t AID, uint32_t AInterval);
  static void SetOnceTimer(TWndClassMethod AMethod, int32_t AID, uint32_t AInterval);
  static void SetOnceTimer(const TTimerMethod& AMethod, int32_t AID, uint32_t AInterval);
  // Removes the timer with that key, if any; nothing before Start or after
  // Stop.
  static void KillTimer(HWND AWndHandle, int32_t AID);
  static void KillTimer(TWndClassMethod AMethod, int32_t AID);
  static void KillTimer(const TTimerMethod& AMethod, int32_t AID);
  // A window timer with that key is registered (false before Start or
  // after Stop). A window's timer message can still be queued after
  // KillTimer: receivers ask this first.
  static bool IsValidTimer(HWND AWndHandle, int32_t AID);
  static bool IsValidTimerMessage(const TWindowMessage& AMessage, HWND AWndHandle, int32_t AID);
  // The message number of the service's messages (0 before it starts).
  static UINT TimerMessage() noexcept;

  // Unit start-up (on the GUI thread, which then receives the callbacks)
  // and shut-down; Stop logs "Timer not killed: ..." at tllError for each
  // timer left.
  static void Start();
  static void Stop();

  // The longest interval: the due test tells a time past from one to come
  // within half the 32-bit clock's range.
  static constexpr uint32_t MaxInterval = 0x7FFFFFFF;
  // Whether a timer due at ANextEvent is due at ANow on the 32-bit
  // millisecond clock, across its wrap: ANow lies at or after ANextEvent
  // and less than half the clock's range after it.
  static bool IsTimerDue(uint32_t ANow, uint32_t ANextEvent) noexcept;
  // The due time after a timer due at ANextEvent fired at ANow: one
  // interval later (wrapping as TickAdd does), or ANow when that is still
  // behind ANow (a timer that fell behind fires again in the next round
  // instead of catching up period by period).
  static uint32_t NextEventAfter(uint32_t ANextEvent, uint32_t AInterval, uint32_t ANow) noexcept;

  // The service's state: registered timers, copies waiting for their
  // dispatch, whether the worker exists.
  static size_t TimerCount();
  static size_t PendingCount();
  static bool HasWorker();

  // The receiver and ID that identify a timer (the service's own).
  struct TTimerKey;

private:
  static void AddTimer(const TTimerKey& AKey, uint32_t AInterval, bool AOnceTimer);
  static void RemoveTimer(const TTimerKey& AKey);
  static void TimerThreadProc(TThread& AThread);
  static void FireTimer(size_t AIndex);
  static void DispatchTimer(TWindowMessage& AMessage);
  static void FinishDispatch(const void* ACopy) noexcept;
};

}  // namespace Velqora
