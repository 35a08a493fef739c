#include "TestSupport.h"

#include "Forms.h"

namespace Testing {

void PumpPending() {
  if (Gui::Application) {
    Gui::Application->ProcessMessages();
    return;
  }
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& ACondition, DWORD ATimeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    PumpPending();
    if (ACondition()) return true;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ATimeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(50, ATimeoutMs - elapsed), QS_ALLINPUT);
  }
}

void ClickAt(int AX, int AY) {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  INPUT input[3] = {};
  for (INPUT& i : input) {
    i.type = INPUT_MOUSE;
    i.mi.dx = (AX * 65535 + w / 2) / (w - 1);
    i.mi.dy = (AY * 65535 + h / 2) / (h - 1);
  }
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, input, sizeof(INPUT));
}

void ClickWindow(HWND AWnd) {
  RECT r;
  GetWindowRect(AWnd, &r);
  ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void PressKeys(std::initializer_list<WORD> AKeys) {
  std::vector<INPUT> inputs;
  for (WORD k : AKeys) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    inputs.push_back(i);
  }
  for (auto it = AKeys.end(); it != AKeys.begin();) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = *--it;
    i.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(i);
  }
  SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool FindCloseBox(HWND AWnd, POINT& APoint) {
  RECT window, client;
  GetWindowRect(AWnd, &window);
  GetClientRect(AWnd, &client);
  MapWindowPoints(AWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
  for (int y = window.top; y < client.top; ++y)
    for (int x = window.right - 1; x > window.left; --x)
      if (SendMessageW(AWnd, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
        // The middle of the box: scan on to its left edge.
        int right = x;
        while (x > window.left && SendMessageW(AWnd, WM_NCHITTEST, 0, MAKELPARAM(x - 1, y)) == HTCLOSE) --x;
        APoint = {(x + right) / 2, y + 4};
        return true;
      }
  return false;
}

RECT WindowRectIn(HWND AWnd, HWND AReference) {
  RECT r;
  GetWindowRect(AWnd, &r);
  MapWindowPoints(nullptr, AReference, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring BuildPath(const char* ALinuxPath) {
  std::wstring result = L"Z:";
  for (const char* p = ALinuxPath; *p; ++p) result += *p == '/' ? L'\\' : wchar_t(*p);
  return result;
}

}  // namespace Testing
