// Helpers for tests that drive real windows: waiting for a condition with a
// bound while messages are processed, and real mouse and keyboard input.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "UniqueHandle.h"

namespace Testing {

// Processes messages until ACondition holds or ATimeoutMs has passed;
// answers whether it holds.
bool PumpUntil(const std::function<bool()>& ACondition, DWORD ATimeoutMs = 10000);
// Processes the messages that are waiting now.
void PumpPending();

// A left click at screen point (AX, AY), through the system's input queue;
// ACount clicks in a row (2: a double click).
void ClickAt(int AX, int AY, int ACount = 1);
// A left click in the middle of AWnd.
void ClickWindow(HWND AWnd, int ACount = 1);
// A key held down: its key-down, ARepeats more as the keyboard repeats a
// held key (AIntervalMs apart), then its key-up.
void HoldKey(WORD AKey, int ARepeats, DWORD AIntervalMs);
// Presses the keys in order and releases them in reverse (Alt+F4:
// {VK_MENU, VK_F4}).
void PressKeys(std::initializer_list<WORD> AKeys);
// The screen point in AWnd's title bar where the close box is, found by
// hit-testing; false when there is none.
bool FindCloseBox(HWND AWnd, POINT& APoint);

// RECT of AWnd's window in the client coordinates of AReference.
RECT WindowRectIn(HWND AWnd, HWND AReference);

// Windows path of a file of the build (a Linux path under Wine's Z: drive).
std::wstring BuildPath(const char* ALinuxPath);

// A new empty folder under the temp folder, removed with everything in it.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::wstring& Path() const { return FPath; }
  // A path in the folder.
  std::wstring operator/(const std::wstring& AName) const { return FPath + L"\\" + AName; }

private:
  std::wstring FPath;
};

// Whole-file helpers; they fail the test when the file cannot be used.
void WriteBytes(const std::wstring& AFileName, const std::string& ABytes);
std::string ReadBytes(const std::wstring& AFileName);
bool FileExists(const std::wstring& AFileName);

// Starts a program with a command line; waits for it when AWaitMs is not 0
// and answers its exit code (or -1 when it could not start or did not end).
int RunProgram(const std::wstring& AProgram, const std::wstring& AArguments, DWORD AWaitMs = 30000);

// A wrapper program started as a user starts it, and its wizard window
// (null when none showed within 30 seconds).
struct TWrapperRun {
  Velqora::TUniqueKernelHandle Process;
  DWORD ProcessId = 0;
  HWND Window = nullptr;
};
TWrapperRun StartWrapper(const std::wstring& AExe, const std::wstring& AArguments = L"");
// Waits for the program to end and answers its exit code; terminates it
// and answers -1 when it does not end in time.
DWORD WaitForExit(TWrapperRun& ARun, DWORD ATimeoutMs = 30000);
// Runs a wrapper as a deployment tool does: no window may show at any
// time, the wrapper's or anything's it starts (a test failure names each
// one that does). Answers the exit code (-1 when it did not end within two
// minutes).
DWORD RunUnseen(const std::wstring& AExe, const std::wstring& AArguments);
// The visible child window with the given text (the wizard's buttons carry
// their captions as window text); null when there is none.
HWND FindVisibleChild(HWND AParent, const wchar_t* AText);

}  // namespace Testing
