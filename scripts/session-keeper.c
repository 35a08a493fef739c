/* Runs for the whole of a Wine session, doing nothing: while one program is
   left, Wine keeps the session's desktop and services up. Without it, each
   program started after a pause brings them up again and waits seconds for
   a system service. (scripts/wine-session.sh builds and starts it.) */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show) {
  MSG msg;
  (void)instance; (void)previous; (void)command; (void)show;
  CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
  while (GetMessageW(&msg, NULL, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
