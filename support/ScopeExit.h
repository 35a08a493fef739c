// An action run when a scope ends, by leaving it or by an exception: in
// place of a catch-all that cleans up and raises again. Free of system
// headers; UniqueHandle.h's ScopeExit also keeps the caller's last error.
#pragma once

#include <utility>

namespace Velqora {

// Runs AAction when the scope ends unless Release was called first. The
// action must not raise.
template <typename F>
class TScopeExit {
public:
  explicit TScopeExit(F AAction) noexcept : FAction(std::move(AAction)) {}
  ~TScopeExit() {
    if (FActive) FAction();
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;
  // The action will not run.
  void Release() noexcept { FActive = false; }

private:
  F FAction;
  bool FActive = true;
};

}  // namespace Velqora
