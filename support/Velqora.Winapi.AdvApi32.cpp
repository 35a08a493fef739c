#include "Velqora.Winapi.AdvApi32.h"

#include "UniqueHandle.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.Winapi.Kernel32.h"

namespace Velqora::Winapi::AdvApi32 {

using Kernel32::TStringBuffer;

FARPROC GetAdvApi32Proc(const char* AProcName) { return DllRoutines::Call(L"advapi32.dll", AProcName); }

namespace {
template <typename F>
using TRoutine = DllRoutines::TRoutine<F>;
constinit TRoutine<BOOL(WINAPI*)(PSID, LPWSTR*)> ConvertSidRoutine{L"advapi32.dll", "ConvertSidToStringSidW"};
constinit TRoutine<LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD)> DeleteKeyExRoutine{L"advapi32.dll",
                                                                                  "RegDeleteKeyExW"};
constinit TRoutine<BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                                 LPPROCESS_INFORMATION)>
    CreateWithTokenRoutine{L"advapi32.dll", "CreateProcessWithTokenW"};
constinit TRoutine<BOOL(WINAPI*)(HANDLE, LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                 LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION)>
    CreateAsUserRoutine{L"advapi32.dll", "CreateProcessAsUserW"};
}  // namespace

std::wstring ConvertSidToStringSid(PSID ASid) {
  LPWSTR text = nullptr;
  if (!ConvertSidRoutine.Get()(ASid, &text)) ThrowLastOSError();
  TUniqueLocalMemory owner(text);
  return text ? text : L"";
}

LONG RegDeleteKeyEx(HKEY AKey, const std::wstring& ASubKey, REGSAM ASamDesired, DWORD AReserved) {
  constexpr REGSAM views = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
  if (ASamDesired & views) {
    if (auto deleteKeyEx = DeleteKeyExRoutine.Find())
      return deleteKeyEx(AKey, ASubKey.c_str(), ASamDesired, AReserved);
  }
  return RegDeleteKeyW(AKey, ASubKey.c_str());
}

std::vector<BYTE> QueryTokenInformation(HANDLE AToken, TOKEN_INFORMATION_CLASS AClass) {
  DWORD length = 0;
  GetTokenInformation(AToken, AClass, nullptr, 0, &length);
  if (length == 0) ThrowLastOSError();
  std::vector<BYTE> buffer(length);
  if (!GetTokenInformation(AToken, AClass, buffer.data(), length, &length)) ThrowLastOSError();
  return buffer;
}

BOOL CreateProcessWithTokenW(HANDLE AToken, DWORD ALogonFlags, const std::wstring& AApplicationName,
                             const std::wstring& ACommandLine, DWORD ACreationFlags, LPVOID AEnvironment,
                             const std::wstring& ACurrentDirectory, STARTUPINFOW& AStartupInfo,
                             PROCESS_INFORMATION& AProcessInformation) {
  TStringBuffer application(AApplicationName), command(ACommandLine), directory(ACurrentDirectory);
  return CreateWithTokenRoutine.Get()(AToken, ALogonFlags, application.Get(), command.Get(), ACreationFlags,
                                      AEnvironment, directory.Get(), &AStartupInfo, &AProcessInformation);
}

BOOL CreateProcessAsUserW(HANDLE AToken, const std::wstring& AApplicationName, const std::wstring& ACommandLine,
                          LPSECURITY_ATTRIBUTES AProcessAttributes, LPSECURITY_ATTRIBUTES AThreadAttributes,
                          BOOL AInheritHandles, DWORD ACreationFlags, LPVOID AEnvironment,
                          const std::wstring& ACurrentDirectory, STARTUPINFOW& AStartupInfo,
                          PROCESS_INFORMATION& AProcessInformation) {
  TStringBuffer application(AApplicationName), command(ACommandLine), directory(ACurrentDirectory);
  return CreateAsUserRoutine.Get()(AToken, application.Get(), command.Get(), AProcessAttributes, AThreadAttributes,
                                   AInheritHandles, ACreationFlags, AEnvironment, directory.Get(), &AStartupInfo,
                                   &AProcessInformation);
}

}  // namespace Velqora::Winapi::AdvApi32
