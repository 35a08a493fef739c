// advapi32 functions bound at run time; strings instead of raw pointers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Velqora::Winapi::AdvApi32 {

FARPROC GetAdvApi32Proc(const char* AProcName);

// The text form of a SID; raises when the conversion fails.
std::wstring ConvertSidToStringSid(PSID ASid);

// RegDeleteKeyExW when ASamDesired names a registry view and the system
// has it, else RegDeleteKeyW.
LONG RegDeleteKeyEx(HKEY AKey, const std::wstring& ASubKey, REGSAM ASamDesired, DWORD AReserved);

// A token information block of the size the system asks for; raises when
// either query fails.
std::vector<BYTE> QueryTokenInformation(HANDLE AToken, TOKEN_INFORMATION_CLASS AClass);

BOOL CreateProcessWithTokenW(HANDLE AToken, DWORD ALogonFlags, const std::wstring& AApplicationName,
                             const std::wstring& ACommandLine, DWORD ACreationFlags, LPVOID AEnvironment,
                             const std::wstring& ACurrentDirectory, STARTUPINFOW& AStartupInfo,
                             PROCESS_INFORMATION& AProcessInformation);

BOOL CreateProcessAsUserW(HANDLE AToken, const std::wstring& AApplicationName, const std::wstring& ACommandLine,
                          LPSECURITY_ATTRIBUTES AProcessAttributes, LPSECURITY_ATTRIBUTES AThreadAttributes,
                          BOOL AInheritHandles, DWORD ACreationFlags, LPVOID AEnvironment,
                          const std::wstring& ACurrentDirectory, STARTUPINFOW& AStartupInfo,
                          PROCESS_INFORMATION& AProcessInformation);

}  // namespace Velqora::Winapi::AdvApi32
