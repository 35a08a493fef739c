// user32 functions bound at run time.
#pragma once

#include <windows.h>

namespace Velqora::Winapi::User32 {

FARPROC GetUser32Proc(const char* AProcName);
// The desktop shell's window; 0 when no shell registered one.
HWND GetShellWindow();

}  // namespace Velqora::Winapi::User32
