#include "Velqora.Winapi.Kernel32.h"

#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora::Winapi::Kernel32 {

FARPROC GetKernel32Proc(const char* AProcName) { return DllRoutines::Call(L"kernel32.dll", AProcName); }

template <typename F>
F Proc(const char* AName) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetKernel32Proc(AName)));
}

BOOL CreateProcessW(const std::wstring& AApplicationName, const std::wstring& ACommandLine,
                    LPSECURITY_ATTRIBUTES AProcessAttributes, LPSECURITY_ATTRIBUTES AThreadAttributes,
                    BOOL AInheritHandles, DWORD ACreationFlags, LPVOID AEnvironment,
                    const std::wstring& ACurrentDirectory, STARTUPINFOW& AStartupInfo,
                    PROCESS_INFORMATION& AProcessInformation) {
  using F = BOOL(WINAPI*)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                          LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
  TStringBuffer application(AApplicationName), command(ACommandLine), directory(ACurrentDirectory);
  return Proc<F>("CreateProcessW")(application.Get(), command.Get(), AProcessAttributes, AThreadAttributes,
                                   AInheritHandles, ACreationFlags, AEnvironment, directory.Get(), &AStartupInfo,
                                   &AProcessInformation);
}

bool IsWow64Process(HANDLE AProcess) {
  using F = BOOL(WINAPI*)(HANDLE, PBOOL);
  BOOL wow64 = FALSE;
  if (!Proc<F>("IsWow64Process")(AProcess, &wow64)) ThrowLastOSError();
  return wow64 != FALSE;
}

bool IsWow64Process() { return IsWow64Process(GetCurrentProcess()); }

void Wow64DisableWow64FsRedirection(PVOID& AOldValue) {
  using F = BOOL(WINAPI*)(PVOID*);
  Proc<F>("Wow64DisableWow64FsRedirection")(&AOldValue);
}

void Wow64RevertWow64FsRedirection(PVOID AOldValue) {
  using F = BOOL(WINAPI*)(PVOID);
  Proc<F>("Wow64RevertWow64FsRedirection")(AOldValue);
}

}  // namespace Velqora::Winapi::Kernel32
