#include "Velqora.Winapi.User32.h"

#include "Velqora.DllRoutines.h"

namespace Velqora::Winapi::User32 {

FARPROC GetUser32Proc(const char* AProcName) { return DllRoutines::Call(L"user32.dll", AProcName); }

HWND GetShellWindow() {
  using F = HWND(WINAPI*)();
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetUser32Proc("GetShellWindow")))();
}

}  // namespace Velqora::Winapi::User32
