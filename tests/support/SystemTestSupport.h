// Shared set-up of the system support tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include "DefaultBrowser.h"
#include "SystemUnitsTest.h"
#include "TestSupport.h"
#include "UniqueHandle.h"
#include "Velqora.Winapi.User32.h"

namespace Testing {

inline std::wstring SystemFixture(const char* AName) {
  return BuildPath((std::string(BOUNTIQ_SYSTEM_FIXTURES "/") + AName).c_str());
}

// What the fixture program "recorder.exe" wrote into ARecord (its command
// line, UTF-16), once it has; empty when nothing came within ATimeoutMs.
inline std::wstring Recorded(const std::wstring& ARecord, DWORD ATimeoutMs = 10000) {
  if (!PumpUntil([&] { return FileExists(ARecord) && !ReadBytes(ARecord).empty(); }, ATimeoutMs)) return L"";
  std::string bytes = ReadBytes(ARecord);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// The recorder, copied into a folder with a blank in its name, as the
// machine's default browser (the http association) while the object lives.
class TStandInBrowser {
public:
  TStandInBrowser() {
    std::wstring folder = FFolder / L"with blank";
    CreateDirectoryW(folder.c_str(), nullptr);
    FPath = folder + L"\\browser.exe";
    FRecord = folder + L"\\record.txt";
    CopyFileW(SystemFixture("recorder.exe").c_str(), FPath.c_str(), FALSE);
    FCommand.UseProgram(FPath);
  }

  const std::wstring& Path() const { return FPath; }
  // The arguments of the browser's last start, argv[0] first (none when it
  // did not start within ATimeoutMs); the next start is recorded afresh.
  std::vector<std::wstring> Arguments(DWORD ATimeoutMs = 10000) {
    std::wstring line = Recorded(FRecord, ATimeoutMs);
    DeleteFileW(FRecord.c_str());
    std::vector<std::wstring> result;
    if (line.empty()) return result;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    if (!argv) return {line};
    for (int i = 0; i < count; ++i) result.emplace_back(argv[i]);
    LocalFree(argv);
    return result;
  }

private:
  TTempFolder FFolder;
  TDefaultBrowserCommand FCommand;
  std::wstring FPath, FRecord;
};

// The desktop's shell window while it lives (the fixture program that
// makes one): programs started as the desktop user take its owner's token.
class TShellWindow {
public:
  TShellWindow() {
    // This process's desktop first: under Wine a process that has shown no
    // window yet (a test program run first in a fresh session) has none,
    // and would never see the shell window the fixture sets.
    GetDesktopWindow();
    std::wstring exe = SystemFixture("shell-window.exe");
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    CloseHandle(pi.hThread);
    FProcess.Reset(pi.hProcess);
    PumpUntil([] { return Velqora::Winapi::User32::GetShellWindow() != nullptr; });
  }
  ~TShellWindow() {
    if (!FProcess) return;
    PostMessageW(Velqora::Winapi::User32::GetShellWindow(), WM_CLOSE, 0, 0);
    WaitForSingleObject(FProcess.Get(), 10000);
  }
  TShellWindow(const TShellWindow&) = delete;
  TShellWindow& operator=(const TShellWindow&) = delete;
  bool Running() const { return FProcess && Velqora::Winapi::User32::GetShellWindow() != nullptr; }

private:
  Velqora::TUniqueKernelHandle FProcess;
};

}  // namespace Testing
