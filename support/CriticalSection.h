// A re-entrant lock over a critical section, and its scope guard.
#pragma once

#include <windows.h>

namespace Velqora {

class TCriticalSection {
public:
  TCriticalSection() noexcept { InitializeCriticalSection(&FSection); }
  ~TCriticalSection() { DeleteCriticalSection(&FSection); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;
  void Enter() noexcept { EnterCriticalSection(&FSection); }
  void Leave() noexcept { LeaveCriticalSection(&FSection); }

private:
  CRITICAL_SECTION FSection;
};

class TLockGuard {
public:
  explicit TLockGuard(TCriticalSection& ALock) noexcept : FLock(ALock) { FLock.Enter(); }
  ~TLockGuard() { FLock.Leave(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;

private:
  TCriticalSection& FLock;
};

}  // namespace Velqora
