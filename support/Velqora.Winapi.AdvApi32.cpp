#include "Velqora.Winapi.AdvApi32.h"

#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.Winapi.Kernel32.h"

namespace Velqora::Winapi::AdvApi32 {

using Kernel32::TStringBuffer;

FARPROC GetAdvApi32Proc(const char* AProcName) { return DllRoutines::Call(L"advapi32.dll", AProcName); }

template <typename F>
F Proc(const char* AName) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetAdvApi32Proc(AName)));
}

std::wstring ConvertSidToStringSid(PSID ASid) {
  using F = BOOL(WINAPI*)(PSID, LPWSTR*);
  LPWSTR text = nullptr;
  if (!Proc<F>("ConvertSidToStringSidW")(ASid, &text)) ThrowLastOSError();
  std::wstring result = text ? text : L"";
  LocalFree(text);
  return result;
}

LONG RegDeleteKeyEx(HKEY AKey, const std::wstring& ASubKey, REGSAM ASamDesired, DWORD AReserved) {
  constexpr REGSAM views = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
  if (ASamDesired & views) {
    using F = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    if (auto deleteKeyEx = DllRoutines::Get<F>(L"advapi32.dll", "RegDeleteKeyExW"))
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
  using F = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                          LPPROCESS_INFORMATION);
  TStringBuffer application(AApplicationName), command(ACommandLine), directory(ACurrentDirectory);
  return Proc<F>("CreateProcessWithTokenW")(AToken, ALogonFlags, application.Get(), command.Get(), ACreationFlags,
                                            AEnvironment, directory.Get(), &AStartupInfo, &AProcessInformation);
}

BOOL CreateProcessAsUserW(HANDLE AToken, const std::wstring& AApplicationName, const std::wstring& ACommandLine,
                          LPSECURITY_ATTRIBUTES AProcessAttributes, LPSECURITY_ATTRIBUTES AThreadAttributes,
                          BOOL AInheritHandles, DWORD ACreationFlags, LPVOID AEnvironment,
                          const std::wstring& ACurrentDirectory, STARTUPINFOW& AStartupInfo,
                          PROCESS_INFORMATION& AProcessInformation) {
  using F = BOOL(WINAPI*)(HANDLE, LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                          LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
  TStringBuffer application(AApplicationName), command(ACommandLine), directory(ACurrentDirectory);
  return Proc<F>("CreateProcessAsUserW")(AToken, application.Get(), command.Get(), AProcessAttributes,
                                         AThreadAttributes, AInheritHandles, ACreationFlags, AEnvironment,
                                         directory.Get(), &AStartupInfo, &AProcessInformation);
}

}  // namespace Velqora::Winapi::AdvApi32
