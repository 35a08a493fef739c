// Hidden utility windows whose messages go to a plain procedure, for code
// below the GUI layer (a service that receives posted messages).
#pragma once

#include <windows.h>

#include <exception>

#include "UniqueHandle.h"

namespace Velqora {

// A window message as a plain procedure sees it; Result goes back to the
// system.
struct TWindowMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// A plain procedure receiving window messages.
using TWndClassMethod = void (*)(TWindowMessage& Message);

// A method of an object receiving window messages: the pair compares equal
// for the same object and method, which receivers are keyed by.
template <typename T>
struct TWndObjectMethod {
  T* Object;
  void (T::*Method)(TWindowMessage& Message);
  void operator()(TWindowMessage& AMessage) const { (Object->*Method)(AMessage); }
  bool operator==(const TWndObjectMethod&) const = default;
};

// A hidden utility window of the program's own class whose messages go to
// AProc (DefWindowProcW without one). Raises ESystemError when no window
// results; call it on a thread with a message loop. An exception AProc
// raises never crosses into the system: the window procedure catches it and
// hands it on (see SetWindowErrorHandler).
HWND AllocateWindow(TWndClassMethod AProc = nullptr);
// Restores the default procedure and destroys the window; ignores 0.
void DeallocateWindow(HWND AWnd) noexcept;

namespace detail {
inline void DeallocateUtilityWindow(HWND AWnd) noexcept { DeallocateWindow(AWnd); }
}  // namespace detail
// The owner of a window made with AllocateWindow.
using TUniqueUtilityWindow = TUniqueHandle<HWND, detail::DeallocateUtilityWindow>;
// Stores DefWindowProcW's answer to AMessage in AMessage.Result.
void DefaultWindowHandler(HWND AWnd, TWindowMessage& AMessage);

// Where an exception raised in a window procedure goes, a utility window's
// or a control's of the GUI layer: the program sets its error reporting
// here (the GUI application does). Without a handler the first such error
// is kept until RaisePendingWindowError raises it again, after the call
// into the system has returned. The windows live on the GUI thread.
using TWindowErrorHandler = void (*)(std::exception_ptr AError) noexcept;
void SetWindowErrorHandler(TWindowErrorHandler AHandler);
// Hands an error a window procedure caught to the handler (or keeps it).
void HandOnWindowError(std::exception_ptr AError) noexcept;
// Raises the error kept from a utility window's procedure, if any, once.
void RaisePendingWindowError();

// Hands AError from any thread to the thread that owns AWnd, a utility
// window made with a procedure: it is posted there and goes on as if that window's procedure had
// raised it (SetWindowErrorHandler). A worker thread's error thus reaches
// the GUI's error report on the GUI thread. False when it could not be
// posted (the window is gone, its queue is full); the error is then
// dropped.
bool PostWindowError(HWND AWnd, std::exception_ptr AError) noexcept;

}  // namespace Velqora
