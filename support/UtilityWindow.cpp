#include "UtilityWindow.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "Velqora.System.SysUtils.h"

namespace Velqora {

namespace {

const wchar_t UtilityWindowClass[] = L"Velqora.UtilityWindow";

TWindowErrorHandler WindowErrorHandler = nullptr;
std::exception_ptr PendingWindowError;  // the first one counts

// Errors other threads hand over, waiting for a utility window's procedure
// to take them. The message that announces them carries nothing: the
// window takes whatever waits, so a message that did not come from
// PostWindowError finds nothing or delivers real errors a little early.
// A slim lock, initialised as a constant: it needs no start-up.
constexpr UINT HandedErrorMessage = 0xBFFF;  // the last of the class's private messages
SRWLOCK HandedErrorsLock = SRWLOCK_INIT;
std::vector<std::exception_ptr> HandedErrors;

class THandedErrorsLock {
public:
  THandedErrorsLock() noexcept { AcquireSRWLockExclusive(&HandedErrorsLock); }
  ~THandedErrorsLock() { ReleaseSRWLockExclusive(&HandedErrorsLock); }
  THandedErrorsLock(const THandedErrorsLock&) = delete;
  THandedErrorsLock& operator=(const THandedErrorsLock&) = delete;
};

void TakeHandedErrors() noexcept {
  std::vector<std::exception_ptr> errors;
  {
    THandedErrorsLock lock;
    errors.swap(HandedErrors);
  }
  for (auto& error : errors) HandOnWindowError(std::move(error));
}

// Forwards each message to the procedure kept in the window's user data.
// Nothing the procedure raises crosses into the system, which would end
// the process: the error is handed on.
LRESULT CALLBACK ForwardingWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  TWindowMessage message{AMsg, AWParam, ALParam, 0};
  if (AMsg == HandedErrorMessage) {
    TakeHandedErrors();
    return 0;
  }
  try {
    auto proc = reinterpret_cast<TWndClassMethod>(GetWindowLongPtrW(AWnd, GWLP_USERDATA));
    if (proc)
      proc(message);
    else
      DefaultWindowHandler(AWnd, message);
  } catch (...) {
    HandOnWindowError(std::current_exception());
  }
  return message.Result;
}

void RegisterUtilityClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = UtilityWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) ThrowLastOSError();
  registered = true;
}

}  // namespace

HWND AllocateWindow(TWndClassMethod AProc) {
  RegisterUtilityClass();
  HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW, UtilityWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (!wnd) ThrowLastOSError();
  if (AProc) {
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(AProc));
    SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForwardingWindowProc));
  }
  return wnd;
}

void DeallocateWindow(HWND AWnd) noexcept {
  if (!AWnd) return;
  SetWindowLongPtrW(AWnd, GWLP_USERDATA, 0);
  SetWindowLongPtrW(AWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
  DestroyWindow(AWnd);
}

void DefaultWindowHandler(HWND AWnd, TWindowMessage& AMessage) {
  AMessage.Result = DefWindowProcW(AWnd, AMessage.Msg, AMessage.WParam, AMessage.LParam);
}

void SetWindowErrorHandler(TWindowErrorHandler AHandler) { WindowErrorHandler = AHandler; }

void HandOnWindowError(std::exception_ptr AError) noexcept {
  if (WindowErrorHandler)
    WindowErrorHandler(std::move(AError));
  else if (!PendingWindowError)
    PendingWindowError = std::move(AError);
}

bool PostWindowError(HWND AWnd, std::exception_ptr AError) noexcept {
  if (!AError) return false;
  try {
    THandedErrorsLock lock;
    HandedErrors.push_back(AError);
  } catch (...) {
    return false;  // no memory to keep it
  }
  if (PostMessageW(AWnd, HandedErrorMessage, 0, 0)) return true;
  // Not posted: take it back unless a window took it meanwhile.
  THandedErrorsLock lock;
  auto it = std::find(HandedErrors.rbegin(), HandedErrors.rend(), AError);
  if (it != HandedErrors.rend()) HandedErrors.erase(std::next(it).base());
  return false;
}

void RaisePendingWindowError() {
  if (std::exception_ptr error = std::exchange(PendingWindowError, nullptr)) std::rethrow_exception(error);
}

}  // namespace Velqora
