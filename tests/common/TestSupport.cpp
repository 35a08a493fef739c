#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>

#include "FolderTree.h"
#include "Forms.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"

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

void ClickAt(int AX, int AY, int ACount) {
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
  // The pointer first, and the press only once it is there: Wine may take
  // a press sent right behind the move at the pointer's old place (the last
  // click's), which then presses whatever lies there now.
  SendInput(1, input, sizeof(INPUT));
  PumpUntil(
      [&] {
        POINT at{};
        return GetCursorPos(&at) && at.x == AX && at.y == AY;
      },
      2000);
  Sleep(50);
  for (int i = 0; i < ACount; ++i) SendInput(2, input + 1, sizeof(INPUT));
}

void ClickWindow(HWND AWnd, int ACount) {
  RECT r;
  GetWindowRect(AWnd, &r);
  ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, ACount);
}

void HoldKey(WORD AKey, int ARepeats, DWORD AIntervalMs) {
  INPUT key{};
  key.type = INPUT_KEYBOARD;
  key.ki.wVk = AKey;
  for (int i = 0; i <= ARepeats; ++i) {
    if (i > 0) Sleep(AIntervalMs);
    SendInput(1, &key, sizeof(INPUT));
  }
  key.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &key, sizeof(INPUT));
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

TTempFolder::TTempFolder() {
  wchar_t temp[MAX_PATH];
  DWORD length = GetTempPathW(MAX_PATH, temp);
  std::wstring base(temp, length);
  for (unsigned i = 0;; ++i) {
    FPath = base + L"bountiq-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(i);
    if (CreateDirectoryW(FPath.c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      ADD_FAILURE() << "cannot create a temp folder";
      break;
    }
  }
}

TTempFolder::~TTempFolder() { Velqora::DeleteFolderTree(FPath); }

void WriteBytes(const std::wstring& AFileName, const std::string& ABytes) {
  Velqora::TUniqueFileHandle file(
      CreateFileW(AFileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << "cannot write a file: " << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.Get(), ABytes.data(), DWORD(ABytes.size()), &written, nullptr));
  ASSERT_EQ(written, ABytes.size());
}

std::string ReadBytes(const std::wstring& AFileName) {
  Velqora::TUniqueFileHandle file(CreateFileW(AFileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    ADD_FAILURE() << "cannot read a file: " << GetLastError();
    return {};
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) {
    ADD_FAILURE() << "cannot size a file: " << GetLastError();
    return {};
  }
  std::string bytes(size_t(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file.Get(), bytes.data(), DWORD(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

int RunProgram(const std::wstring& AProgram, const std::wstring& AArguments, DWORD AWaitMs) {
  std::wstring command = L"\"" + AProgram + L"\" " + AArguments;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(AProgram.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  Velqora::TUniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
  if (AWaitMs == 0) return 0;
  if (WaitForSingleObject(pi.hProcess, AWaitMs) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 99);
    return -1;
  }
  DWORD code = DWORD(-1);
  GetExitCodeProcess(pi.hProcess, &code);
  return int(code);
}

bool FileExists(const std::wstring& AFileName) { return GetFileAttributesW(AFileName.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {

// Starts a program as a user does, its path first on its command line; a
// test failure when it cannot start.
bool StartProgram(const std::wstring& AExe, const std::wstring& AArguments, TWrapperRun& ARun) {
  std::wstring command = L"\"" + AExe + L"\" " + AArguments;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(AExe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
    return false;
  }
  CloseHandle(pi.hThread);
  ARun.Process.Reset(pi.hProcess);
  ARun.ProcessId = pi.dwProcessId;
  return true;
}

}  // namespace

TWrapperRun StartWrapper(const std::wstring& AExe, const std::wstring& AArguments) {
  TWrapperRun run;
  if (!StartProgram(AExe, AArguments, run)) return run;
  PumpUntil(
      [&] {
        HWND wnd = FindWindowW(nullptr, L"Bountiq - Software Installation");
        DWORD pid = 0;
        if (wnd) GetWindowThreadProcessId(wnd, &pid);
        if (pid == run.ProcessId && IsWindowVisible(wnd)) run.Window = wnd;
        return run.Window != nullptr || WaitForSingleObject(run.Process.Get(), 0) == WAIT_OBJECT_0;
      },
      30000);
  return run;
}

DWORD WaitForExit(TWrapperRun& ARun, DWORD ATimeoutMs) {
  if (!ARun.Process) return DWORD(-1);
  if (WaitForSingleObject(ARun.Process.Get(), ATimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(ARun.Process.Get(), 99);
    return DWORD(-1);
  }
  DWORD code = 1;
  GetExitCodeProcess(ARun.Process.Get(), &code);
  return code;
}

namespace {

BOOL CALLBACK AddIfVisible(HWND AWnd, LPARAM AParam) {
  if (IsWindowVisible(AWnd)) reinterpret_cast<std::set<HWND>*>(AParam)->insert(AWnd);
  return TRUE;
}

// Top-level windows visible now.
std::set<HWND> VisibleWindows() {
  std::set<HWND> windows;
  EnumWindows(AddIfVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

}  // namespace

DWORD RunUnseen(const std::wstring& AExe, const std::wstring& AArguments) {
  const std::set<HWND> before = VisibleWindows();
  TWrapperRun run;
  if (!StartProgram(AExe, AArguments, run)) return DWORD(-1);
  std::set<HWND> seen;
  const ULONGLONG start = GetTickCount64();
  while (WaitForSingleObject(run.Process.Get(), 10) == WAIT_TIMEOUT) {
    if (GetTickCount64() - start > 120000) {
      TerminateProcess(run.Process.Get(), 99);
      ADD_FAILURE() << "did not end within two minutes";
      return DWORD(-1);
    }
    for (HWND window : VisibleWindows()) {
      if (before.count(window) || !seen.insert(window).second) continue;
      wchar_t title[128] = {}, kind[64] = {};
      GetWindowTextW(window, title, 128);
      GetClassNameW(window, kind, 64);
      ADD_FAILURE() << "a window showed: \"" << Velqora::WideToUtf8(title) << "\" (" << Velqora::WideToUtf8(kind) << ")";
    }
  }
  return WaitForExit(run, 0);
}

namespace {
struct TChildSearch {
  const wchar_t* Text;
  HWND Found;
  static BOOL CALLBACK Visit(HWND AWnd, LPARAM AParam) {
    auto self = reinterpret_cast<TChildSearch*>(AParam);
    wchar_t text[64] = {};
    GetWindowTextW(AWnd, text, 64);
    if (IsWindowVisible(AWnd) && lstrcmpW(text, self->Text) == 0) {
      self->Found = AWnd;
      return FALSE;
    }
    return TRUE;
  }
};
}  // namespace

HWND FindVisibleChild(HWND AParent, const wchar_t* AText) {
  TChildSearch search{AText, nullptr};
  EnumChildWindows(AParent, TChildSearch::Visit, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

}  // namespace Testing
