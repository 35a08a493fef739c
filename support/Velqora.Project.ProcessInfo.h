// Facts about the running process, privileges, file-system redirection and
// starting programs as the current user or, when elevated, as the desktop
// user (so that web pages never open elevated).
#pragma once

#include <windows.h>
#include <shellapi.h>  // ShellExecute is a macro there: keep the names alike

#include <string>

#include "UniqueHandle.h"

namespace Velqora {

class ProcessInfo {
public:
  ProcessInfo() = delete;

  // 32-bit code on 64-bit Windows; decided once when the unit starts.
  static bool IsWow64Process();
  static bool IsUserAdmin();
  static bool IsElevated();
  // Empty when it cannot be had.
  static std::wstring UserName();
  // Raises ESystemError when it cannot be had.
  static std::wstring UserSID();
  // Whether the privilege could be switched on; false for unknown names.
  static bool EnablePrivilegie(const std::wstring& AName);
  // Nesting pairs; nothing happens outside Wow64 or without a matching
  // disable.
  static void Wow64DisableFsRedirection();
  static void Wow64EnableFsRedirection();
  static bool ShellExecute(HWND AWnd, const std::wstring& AOperation, const std::wstring& AFileName,
                           const std::wstring& AParameters, const std::wstring& ADirectory, int AShowCmd);
  // Starts AFileName with AParameters through the elevation prompt and
  // hands over the new process's handle. Raises ESystemError when it does
  // not start: ERROR_CANCELLED when the user refused the prompt. Shows no
  // error message of its own.
  static TUniqueKernelHandle StartElevated(const std::wstring& AFileName, const std::wstring& AParameters);

  // Starts ACmd with the arguments AParam with the own process's token. The
  // first form closes the new process's handles, the second hands them over.
  static void CreateProcessAsCurrentUser(const std::wstring& ACmd, const std::wstring& AParam);
  static void CreateProcessAsCurrentUser(const std::wstring& ACmd, const std::wstring& AParam,
                                         PROCESS_INFORMATION& AProcInfo);
  // The same as the desktop shell's user when elevated on Vista or later:
  // through a hidden command processor that starts the program.
  static void CreateProcessAsLUAUser(const std::wstring& ACmd, const std::wstring& AParam);
  static void CreateProcessAsLUAUser(const std::wstring& ACmd, const std::wstring& AParam,
                                     PROCESS_INFORMATION& AProcInfo);

  // The command the command processor starts: ACmd quoted (inner quotes
  // doubled), a blank and AParam, whose command operators outside quotes
  // (& | < > ^ ( )) are escaped with ^.
  static std::wstring InnerCommand(const std::wstring& ACmd, const std::wstring& AParam);
  // The command line of a program started directly (when the command
  // processor cannot be): ACmd quoted first, as the program's own name, then
  // a blank and AParam.
  static std::wstring DirectCommandLine(const std::wstring& ACmd, const std::wstring& AParam);

  // Unit start-up and shut-down.
  static void Start();
  static void Stop();

private:
  static void CreateProcessFromProcess(HANDLE AProcess, const std::wstring& ACmd, const std::wstring& AParam,
                                       PROCESS_INFORMATION& AProcInfo);
  static void CreateProcessWithToken(HANDLE AToken, const std::wstring& ACmd, const std::wstring& AParam,
                                     PROCESS_INFORMATION& AProcInfo);
  static BOOL StartWithToken(HANDLE AToken, const std::wstring& AApplication, const std::wstring& ACommandLine,
                             STARTUPINFOW& AStartupInfo, PROCESS_INFORMATION& AProcInfo);
};

}  // namespace Velqora
