// Measures the time from process start to the first visible window of the
// started program, for several programs in alternation, and prints the
// median of each in milliseconds.
//
//   startup-probe ROUNDS PROGRAM [PROGRAM...]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct TSearch {
  DWORD ProcessId;
  HWND Window;
};

BOOL CALLBACK FindVisibleWindow(HWND AWnd, LPARAM AParam) {
  auto search = reinterpret_cast<TSearch*>(AParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(AWnd, &pid);
  if (pid == search->ProcessId && IsWindowVisible(AWnd) && !GetWindow(AWnd, GW_OWNER)) {
    search->Window = AWnd;
    return FALSE;
  }
  return TRUE;
}

// Milliseconds until the program's first visible window; negative on failure.
double Measure(const wchar_t* AProgram) {
  std::vector<wchar_t> command(AProgram, AProgram + wcslen(AProgram) + 1);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(AProgram, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  TSearch search{pi.dwProcessId, nullptr};
  double elapsed = -1;
  for (;;) {
    EnumWindows(FindVisibleWindow, LPARAM(&search));
    QueryPerformanceCounter(&now);
    double ms = double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
    if (search.Window) {
      elapsed = ms;
      break;
    }
    if (ms > 30000 || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  if (search.Window) PostMessageW(search.Window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: startup-probe ROUNDS PROGRAM [PROGRAM...]\n");
    return 2;
  }
  int rounds = _wtoi(argv[1]);
  std::vector<std::vector<double>> times(size_t(argc - 2));
  for (int r = 0; r < rounds; ++r)
    for (int p = 2; p < argc; ++p) {
      double ms = Measure(argv[p]);
      if (ms < 0) {
        fwprintf(stderr, L"startup-probe: %ls showed no window\n", argv[p]);
        return 1;
      }
      times[size_t(p - 2)].push_back(ms);
    }
  for (int p = 2; p < argc; ++p) {
    auto& t = times[size_t(p - 2)];
    std::sort(t.begin(), t.end());
    wprintf(L"%.1f\n", t[t.size() / 2]);
  }
  return 0;
}
