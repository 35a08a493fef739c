#include "Velqora.Winapi.Kernel32.h"

#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora::Winapi::Kernel32 {

FARPROC GetKernel32Proc(const char* AProcName) { return DllRoutines::Call(L"kernel32.dll", AProcName); }

namespace {
template <typename F>
using TRoutine = DllRoutines::TRoutine<F>;
constinit TRoutine<BOOL(WINAPI*)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                 LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION)>
    CreateProcessRoutine{L"kernel32.dll", "CreateProcessW"};
constinit TRoutine<BOOL(WINAPI*)(HANDLE, PBOOL)> IsWow64ProcessRoutine{L"kernel32.dll", "IsWow64Process"};
constinit TRoutine<BOOL(WINAPI*)(PVOID*)> DisableRedirectionRoutine{L"kernel32.dll",
                                                                    "Wow64DisableWow64FsRedirection"};
constinit TRoutine<BOOL(WINAPI*)(PVOID)> RevertRedirectionRoutine{L"kernel32.dll", "Wow64RevertWow64FsRedirection"};
}  // namespace

BOOL CreateProcessW(const std::wstring& AApplicationName, const std::wstring& ACommandLine,
                    LPSECURITY_ATTRIBUTES AProcessAttributes, LPSECURITY_ATTRIBUTES AThreadAttributes,
                    BOOL AInheritHandles, DWORD ACreationFlags, LPVOID AEnvironment,
                    const std::wstring& ACurrentDirectory, STARTUPINFOW& AStartupInfo,
                    PROCESS_INFORMATION& AProcessInformation) {
  TStringBuffer application(AApplicationName), command(ACommandLine), directory(ACurrentDirectory);
  return CreateProcessRoutine.Get()(application.Get(), command.Get(), AProcessAttributes, AThreadAttributes,
                                   AInheritHandles, ACreationFlags, AEnvironment, directory.Get(), &AStartupInfo,
                                   &AProcessInformation);
}

bool IsWow64Process(HANDLE AProcess) {
  BOOL wow64 = FALSE;
  if (!IsWow64ProcessRoutine.Get()(AProcess, &wow64)) ThrowLastOSError();
  return wow64 != FALSE;
}

bool IsWow64Process() { return IsWow64Process(GetCurrentProcess()); }

void Wow64DisableWow64FsRedirection(PVOID& AOldValue) {
  DisableRedirectionRoutine.Get()(&AOldValue);
}

void Wow64RevertWow64FsRedirection(PVOID AOldValue) {
  RevertRedirectionRoutine.Get()(AOldValue);
}

}  // namespace Velqora::Winapi::Kernel32
