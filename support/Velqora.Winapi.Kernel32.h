// kernel32 functions bound at run time; strings instead of raw pointers.
#pragma once

#include <windows.h>

#include <string>

namespace Velqora::Winapi::Kernel32 {

// A kernel32 function by name; raises ESystemError when it is missing.
FARPROC GetKernel32Proc(const char* AProcName);

// An empty string is passed as a null pointer; the others are copied into
// writable buffers.
BOOL CreateProcessW(const std::wstring& AApplicationName, const std::wstring& ACommandLine,
                    LPSECURITY_ATTRIBUTES AProcessAttributes, LPSECURITY_ATTRIBUTES AThreadAttributes,
                    BOOL AInheritHandles, DWORD ACreationFlags, LPVOID AEnvironment,
                    const std::wstring& ACurrentDirectory, STARTUPINFOW& AStartupInfo,
                    PROCESS_INFORMATION& AProcessInformation);

// Whether the process is 32-bit code on 64-bit Windows; raises when the call
// fails.
bool IsWow64Process(HANDLE AProcess);
bool IsWow64Process();

void Wow64DisableWow64FsRedirection(PVOID& AOldValue);
void Wow64RevertWow64FsRedirection(PVOID AOldValue);

// A string as a writable, zero-terminated buffer; empty gives none.
class TStringBuffer {
public:
  explicit TStringBuffer(const std::wstring& AText) : FText(AText) {}
  wchar_t* Get() { return FText.empty() ? nullptr : FText.data(); }

private:
  std::wstring FText;
};

}  // namespace Velqora::Winapi::Kernel32
