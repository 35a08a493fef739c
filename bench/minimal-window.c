/* The reference for the wrapper's size and start-up: a program that opens
   one window and nothing else, built by the same toolchain. */
#include <windows.h>

static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmd, int show) {
  WNDCLASSW wc = {0};
  MSG msg;
  HWND wnd;
  (void)prev;
  (void)cmd;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = L"MinimalWindow";
  RegisterClassW(&wc);
  wnd = CreateWindowExW(0, wc.lpszClassName, L"Minimal window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        561, 419, NULL, NULL, instance, NULL);
  ShowWindow(wnd, show);
  while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
