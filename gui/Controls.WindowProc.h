// Inside the GUI layer: the window procedure of all our windows and the way
// the exceptions it catches travel.
//
// An exception our window procedure catches never crosses into the system.
// When one of our calls is waiting for the message (CreateWindowExW,
// SetWindowPos, SendMessageW, ... made through Sending), the exception is
// kept and raised again in that call once the system has returned; otherwise
// (the message loop dispatched the message) it goes to the error sink, and
// the application reports it after the message.
#pragma once

#include <windows.h>

#include <exception>

#include "Controls.h"

namespace Gui {

LRESULT CALLBACK ControlWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) noexcept;

// Hands AError to the error sink, if one is installed.
void ReportError(std::exception_ptr AError) noexcept;

// Decides where the window procedure puts what it catches while this scope
// is the innermost one. Scopes nest; the first error a scope takes counts.
class TErrorScope {
public:
  enum class TRoute : uint8_t {
    rtCaller,  // kept for the call of ours that waits: Rethrow
    rtSink,    // to the error sink (messages of the message loop)
  };
  explicit TErrorScope(TRoute ARoute) noexcept;
  // What the scope still holds goes to the sink: nothing is lost.
  ~TErrorScope();
  TErrorScope(const TErrorScope&) = delete;
  TErrorScope& operator=(const TErrorScope&) = delete;

  bool Failed() const noexcept { return bool(FError); }
  // Raises the error the scope took, if any.
  void Rethrow();

  // The window procedure's catch: the innermost scope takes AError.
  static void Catch(std::exception_ptr AError) noexcept;

private:
  TRoute FRoute;
  TErrorScope* FOuter;
  std::exception_ptr FError;
};

// Runs ACall, a system call that sends messages to our windows and returns
// when they have been handled, and raises what a handler raised meanwhile.
template <typename TCall>
auto Sending(TCall&& ACall) {
  TErrorScope scope(TErrorScope::TRoute::rtCaller);
  auto result = ACall();
  scope.Rethrow();
  return result;
}

// Runs AStep; what it raises goes to the error sink instead (for clean-up
// that must not raise, such as destructors).
template <typename TStep>
void ReportingErrors(TStep&& AStep) noexcept {
  try {
    AStep();
  } catch (...) {
    ReportError(std::current_exception());
  }
}

}  // namespace Gui
