#include "Velqora.Winapi.User32.h"

#include "Velqora.DllRoutines.h"

namespace Velqora::Winapi::User32 {

FARPROC GetUser32Proc(const char* AProcName) { return DllRoutines::Call(L"user32.dll", AProcName); }

namespace {
constinit DllRoutines::TRoutine<HWND(WINAPI*)()> GetShellWindowRoutine{L"user32.dll", "GetShellWindow"};
}

HWND GetShellWindow() { return GetShellWindowRoutine.Get()(); }

}  // namespace Velqora::Winapi::User32
