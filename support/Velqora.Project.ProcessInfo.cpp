#include "Velqora.Project.ProcessInfo.h"

#include <shellapi.h>

#include <memory>
#include <vector>

#include "Paths.h"
#include "UniqueHandle.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.OSInfo.h"
#include "Velqora.Winapi.AdvApi32.h"
#include "Velqora.Winapi.Kernel32.h"
#include "Velqora.Winapi.SetupApi.h"
#include "Velqora.Winapi.ShlwApi.h"
#include "Velqora.Winapi.User32.h"

namespace Velqora {

namespace {

bool Wow64 = false;
constinit std::unique_ptr<std::vector<PVOID>> RedirectionStack;

constexpr DWORD StartFlags = CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP |
                             NORMAL_PRIORITY_CLASS;  // 0x0C000220

constinit DllRoutines::TRoutine<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)> ShellExecuteExRoutine{L"shell32.dll",
                                                                                       "ShellExecuteExW"};

bool IsVistaOrLater() { return IsWinVersionInRange(TWinVersion::wvWinVista, TWinVersion::wvWinMaximum); }

}  // namespace

void ProcessInfo::Start() {
  RedirectionStack = std::make_unique<std::vector<PVOID>>();
  try {
    Wow64 = Winapi::Kernel32::IsWow64Process();
  } catch (const Exception&) {
    Wow64 = Winapi::ShlwApi::IsOSFeature(30);  // OS_WOW6432
  }
}

void ProcessInfo::Stop() { RedirectionStack.reset(); }

bool ProcessInfo::IsWow64Process() { return Wow64; }

bool ProcessInfo::IsUserAdmin() { return Winapi::SetupApi::IsUserAdmin() != FALSE; }

bool ProcessInfo::IsElevated() {
  TUniqueKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
  try {
    std::vector<BYTE> info = Winapi::AdvApi32::QueryTokenInformation(token.Get(), TokenElevation);
    return info.size() >= sizeof(TOKEN_ELEVATION) &&
           reinterpret_cast<const TOKEN_ELEVATION*>(info.data())->TokenIsElevated != 0;
  } catch (...) {
    return false;
  }
}

std::wstring ProcessInfo::UserName() {
  wchar_t name[260] = {};
  DWORD size = 260;
  if (!GetUserNameW(name, &size)) return {};
  return name;
}

std::wstring ProcessInfo::UserSID() {
  TUniqueKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | READ_CONTROL, FALSE, GetCurrentProcessId()));
  if (!process) ThrowLastOSError();
  TUniqueKernelHandle token;
  if (!OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) ThrowLastOSError();
  std::vector<BYTE> info = Winapi::AdvApi32::QueryTokenInformation(token.Get(), TokenUser);
  return Winapi::AdvApi32::ConvertSidToStringSid(reinterpret_cast<const TOKEN_USER*>(info.data())->User.Sid);
}

bool ProcessInfo::EnablePrivilegie(const std::wstring& AName) {
  TUniqueKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put())) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, AName.c_str(), &privileges.Privileges[0].Luid)) return false;
  return AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
}

void ProcessInfo::Wow64DisableFsRedirection() {
  if (!Wow64 || !RedirectionStack) return;
  try {
    PVOID old = nullptr;
    Winapi::Kernel32::Wow64DisableWow64FsRedirection(old);
    RedirectionStack->push_back(old);
  } catch (...) {
  }
}

void ProcessInfo::Wow64EnableFsRedirection() {
  if (!Wow64 || !RedirectionStack || RedirectionStack->empty()) return;
  try {
    PVOID old = RedirectionStack->back();
    RedirectionStack->pop_back();
    Winapi::Kernel32::Wow64RevertWow64FsRedirection(old);
  } catch (...) {
  }
}

bool ProcessInfo::ShellExecute(HWND AWnd, const std::wstring& AOperation, const std::wstring& AFileName,
                               const std::wstring& AParameters, const std::wstring& ADirectory, int AShowCmd) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_UNICODE | SEE_MASK_FLAG_NO_UI;
  info.hwnd = AWnd;
  if (!AOperation.empty()) info.lpVerb = AOperation.c_str();
  if (!AFileName.empty()) info.lpFile = AFileName.c_str();
  if (!AParameters.empty()) info.lpParameters = AParameters.c_str();
  if (!ADirectory.empty()) info.lpDirectory = ADirectory.c_str();
  info.nShow = AShowCmd;
  try {  // shell32 only when asked, not at every start of the program
    return ShellExecuteExRoutine.Get()(&info) != FALSE;
  } catch (const Exception&) {
    return false;
  }
}

TUniqueKernelHandle ProcessInfo::StartElevated(const std::wstring& AFileName, const std::wstring& AParameters) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  // Synchronous, so that the handle is there on return.
  info.fMask = SEE_MASK_UNICODE | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = AFileName.c_str();
  if (!AParameters.empty()) info.lpParameters = AParameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExRoutine.Get()(&info)) ThrowLastOSError(L"Starting " + AFileName + L" elevated");
  TUniqueKernelHandle process(info.hProcess);
  // Handed to a running instance instead of started: nothing to wait for.
  if (!process) ThrowOSError(ERROR_INVALID_HANDLE, L"Starting " + AFileName + L" elevated gave no process");
  return process;
}

void ProcessInfo::CreateProcessAsCurrentUser(const std::wstring& ACmd, const std::wstring& AParam) {
  PROCESS_INFORMATION info{};
  CreateProcessAsCurrentUser(ACmd, AParam, info);
  TUniqueProcessInformation started(info);  // not kept
}

void ProcessInfo::CreateProcessAsCurrentUser(const std::wstring& ACmd, const std::wstring& AParam,
                                             PROCESS_INFORMATION& AProcInfo) {
  CreateProcessFromProcess(GetCurrentProcess(), ACmd, AParam, AProcInfo);
}

void ProcessInfo::CreateProcessAsLUAUser(const std::wstring& ACmd, const std::wstring& AParam) {
  PROCESS_INFORMATION info{};
  CreateProcessAsLUAUser(ACmd, AParam, info);
  TUniqueProcessInformation started(info);  // not kept
}

void ProcessInfo::CreateProcessAsLUAUser(const std::wstring& ACmd, const std::wstring& AParam,
                                         PROCESS_INFORMATION& AProcInfo) {
  if (!IsVistaOrLater() || !IsElevated()) {
    CreateProcessAsCurrentUser(ACmd, AParam, AProcInfo);
    return;
  }
  HWND shell = Winapi::User32::GetShellWindow();
  if (!shell) ThrowLastOSError();
  DWORD processId = 0;
  if (!GetWindowThreadProcessId(shell, &processId) || !processId) ThrowLastOSError();
  TUniqueKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) ThrowLastOSError();
  CreateProcessFromProcess(process.Get(), ACmd, AParam, AProcInfo);
}

void ProcessInfo::CreateProcessFromProcess(HANDLE AProcess, const std::wstring& ACmd, const std::wstring& AParam,
                                           PROCESS_INFORMATION& AProcInfo) {
  TUniqueKernelHandle token, duplicate;
  if (!OpenProcessToken(AProcess, TOKEN_ALL_ACCESS, token.Put())) ThrowLastOSError();
  if (!DuplicateTokenEx(token.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                        duplicate.Put()))
    ThrowLastOSError();
  CreateProcessWithToken(duplicate.Get(), ACmd, AParam, AProcInfo);
}

std::wstring ProcessInfo::InnerCommand(const std::wstring& ACmd, const std::wstring& AParam) {
  std::wstring inner;
  if (!ACmd.empty()) {
    inner = L"\"";
    for (wchar_t c : ACmd) {
      inner += c;
      if (c == L'"') inner += L'"';
    }
    inner += L"\"";
  }
  if (!AParam.empty()) {
    if (!inner.empty()) inner += L' ';
    // The command processor reads the parameters: outside double quotes its
    // operators are escaped, so that an address with "&" stays one argument
    // and nothing after it runs as a command of its own.
    bool quoted = false;
    for (wchar_t c : AParam) {
      if (c == L'"') quoted = !quoted;
      if (!quoted && wcschr(L"&|<>^()", c)) inner += L'^';
      inner += c;
    }
  }
  return inner;
}

std::wstring ProcessInfo::DirectCommandLine(const std::wstring& ACmd, const std::wstring& AParam) {
  std::wstring line = L"\"" + ACmd + L"\"";
  if (!AParam.empty()) line += L" " + AParam;
  return line;
}

void ProcessInfo::CreateProcessWithToken(HANDLE AToken, const std::wstring& ACmd, const std::wstring& AParam,
                                         PROCESS_INFORMATION& AProcInfo) {
  for (const wchar_t* privilege : {L"SeImpersonatePrivilege", L"SeIncreaseQuotaPrivilege",
                                   L"SeAssignPrimaryTokenPrivilege"})
    EnablePrivilegie(privilege);
  std::wstring processor = Format(L"%0:s\\cmd.exe", {SystemFolder()});
  std::wstring arguments = Format(L"/C \"start \"title\" %0:s\"", {InnerCommand(ACmd, AParam)});
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  if (StartWithToken(AToken, processor, arguments, startup, AProcInfo)) return;
  startup = {};
  startup.cb = sizeof(startup);
  if (StartWithToken(AToken, ACmd, DirectCommandLine(ACmd, AParam), startup, AProcInfo)) return;
  throw Exception(Format(L"CreateProcess. Error execute command: \"%0:s %1:s\". Message: %2:s.",
                         {ACmd, AParam, SysErrorMessage(GetLastError())}));
}

BOOL ProcessInfo::StartWithToken(HANDLE AToken, const std::wstring& AApplication, const std::wstring& ACommandLine,
                                 STARTUPINFOW& AStartupInfo, PROCESS_INFORMATION& AProcInfo) {
  SECURITY_ATTRIBUTES security{sizeof(security), nullptr, TRUE};
  PROCESS_INFORMATION info{};
  BOOL started = FALSE;
  if (IsVistaOrLater())
    started = Winapi::AdvApi32::CreateProcessWithTokenW(AToken, 0, AApplication, ACommandLine, StartFlags, nullptr,
                                                         L"", AStartupInfo, info);
  if (!started)
    started = Winapi::AdvApi32::CreateProcessAsUserW(AToken, AApplication, ACommandLine, &security, &security, TRUE,
                                                      StartFlags, nullptr, L"", AStartupInfo, info);
  if (!started)
    started = Winapi::Kernel32::CreateProcessW(AApplication, ACommandLine, &security, &security, TRUE, StartFlags,
                                               nullptr, L"", AStartupInfo, info);
  if (started) AProcInfo = info;  // the caller's record gets handles only on success
  return started;
}

}  // namespace Velqora
