#include "UtilityWindow.h"

#include <utility>

#include "Velqora.System.SysUtils.h"

namespace Velqora {

namespace {

const wchar_t UtilityWindowClass[] = L"Velqora.UtilityWindow";

TWindowErrorHandler WindowErrorHandler = nullptr;
std::exception_ptr PendingWindowError;  // the first one counts

// Forwards each message to the procedure kept in the window's user data.
// Nothing the procedure raises crosses into the system, which would end
// the process: the error is handed on.
LRESULT CALLBACK ForwardingWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  TWindowMessage message{AMsg, AWParam, ALParam, 0};
  try {
    auto proc = reinterpret_cast<TWndClassMethod>(GetWindowLongPtrW(AWnd, GWLP_USERDATA));
    if (proc)
      proc(message);
    else
      DefaultWindowHandler(AWnd, message);
  } catch (...) {
    if (WindowErrorHandler)
      WindowErrorHandler(std::current_exception());
    else if (!PendingWindowError)
      PendingWindowError = std::current_exception();
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
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastSystemError(L"");
  registered = true;
}

}  // namespace

HWND AllocateWindow(TWndClassMethod AProc) {
  RegisterUtilityClass();
  HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW, UtilityWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (!wnd) RaiseLastSystemError(L"");
  if (AProc) {
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(AProc));
    SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForwardingWindowProc));
  }
  return wnd;
}

void DeallocateWindow(HWND AWnd) {
  if (!AWnd) return;
  SetWindowLongPtrW(AWnd, GWLP_USERDATA, 0);
  SetWindowLongPtrW(AWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
  DestroyWindow(AWnd);
}

void DefaultWindowHandler(HWND AWnd, TWindowMessage& AMessage) {
  AMessage.Result = DefWindowProcW(AWnd, AMessage.Msg, AMessage.WParam, AMessage.LParam);
}

void SetWindowErrorHandler(TWindowErrorHandler AHandler) { WindowErrorHandler = AHandler; }

void RaisePendingWindowError() {
  if (std::exception_ptr error = std::exchange(PendingWindowError, nullptr)) std::rethrow_exception(error);
}

}  // namespace Velqora
