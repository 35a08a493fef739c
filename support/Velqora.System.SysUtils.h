// Small system-level helpers shared by the whole program: the exception
// hierarchy, raising failed system calls, the positional format function and
// the system's text for an error code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace Velqora {

// Base of every exception the program raises; carries a UTF-16 message.
class Exception : public std::exception {
public:
  explicit Exception(std::wstring AMessage) : FMessage(std::move(AMessage)) {}
  const std::wstring& Message() const noexcept { return FMessage; }
  // The exception's class name, for logs.
  virtual const wchar_t* ClassName() const noexcept { return L"Exception"; }
  // UTF-8 form of the message, for code that only knows std::exception.
  const char* what() const noexcept override;

private:
  std::wstring FMessage;
  mutable std::shared_ptr<char[]> FNarrow;  // made on first use
};

// A component the program needs cannot be initialised.
class EVelqoraInitException : public Exception {
public:
  using Exception::Exception;
  const wchar_t* ClassName() const noexcept override { return L"EVelqoraInitException"; }
};

// A failed system call.
class ESystemError : public Exception {
public:
  ESystemError(std::wstring AMessage, DWORD ACode) : Exception(std::move(AMessage)), ErrorCode(ACode) {}
  const wchar_t* ClassName() const noexcept override { return L"ESystemError"; }
  DWORD ErrorCode;
};

// One argument of Format: a number or a text.
using TFormatArg = std::variant<int64_t, uint64_t, std::wstring>;

// Positional format: "%0:s" and "%1:s" take the first and second argument,
// plain specifiers the argument after the last one used; %s, %d, %u and %x
// (upper-case hexadecimal) with optional "-", width and precision
// ("%.8x" pads to eight digits); "%%" is a percent sign. A specifier that does
// not fit its argument, or that has none, raises Exception.
std::wstring Format(std::wstring_view AFormat, std::span<const TFormatArg> AArgs);
inline std::wstring Format(std::wstring_view AFormat, std::initializer_list<TFormatArg> AArgs) {
  return Format(AFormat, std::span<const TFormatArg>(AArgs.begin(), AArgs.size()));
}

// The system's message text for an error code, without trailing blanks,
// control characters and full stops; empty when the system has none.
std::wstring SysErrorMessage(DWORD ACode);

// Raise ESystemError for ACode: "System Error.  Code: %d." CR LF and the
// system's text, or "A call to an OS function failed" for code 0.
[[noreturn]] void ThrowOSError(DWORD ACode);
// ThrowOSError with GetLastError().
[[noreturn]] void ThrowLastOSError();

// Raise ESystemError for ACode with additional text: "System Error. Code:
// %0:d. %1:s. %2:s" (code, system text, AInfo), or "A call to an OS function
// failed. %0:s" for code 0; trimmed either way.
[[noreturn]] void RaiseSystemError(DWORD ACode, std::wstring_view AInfo);
// RaiseSystemError with GetLastError().
[[noreturn]] void RaiseLastSystemError(std::wstring_view AInfo);

// Leading and trailing blanks and control characters removed.
std::wstring Trim(std::wstring_view AText);

// A window message as a plain procedure sees it; Result goes back to the
// system.
struct TWindowMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// A plain procedure receiving window messages.
using TWndClassMethod = void (*)(TWindowMessage& Message);

// A method of an object receiving window messages: the pair compares equal
// for the same object and method, which receivers are keyed by.
template <typename T>
struct TWndObjectMethod {
  T* Object;
  void (T::*Method)(TWindowMessage& Message);
  void operator()(TWindowMessage& AMessage) const { (Object->*Method)(AMessage); }
  bool operator==(const TWndObjectMethod&) const = default;
};

// A hidden utility window of the program's own class whose messages go to
// AProc (DefWindowProcW without one). Raises ESystemError when no window
// results; call it on a thread with a message loop. An exception AProc
// raises never crosses into the system: the window procedure catches it and
// hands it on (see SetWindowErrorHandler).
HWND AllocateWindow(TWndClassMethod AProc = nullptr);
// Restores the default procedure and destroys the window; ignores 0.
void DeallocateWindow(HWND AWnd);
// Stores DefWindowProcW's answer to AMessage in AMessage.Result.
void DefaultWindowHandler(HWND AWnd, TWindowMessage& AMessage);

// Where an exception raised in a utility window's procedure goes: the
// program sets its error reporting here (the GUI application's). Without a
// handler the first such error is kept until RaisePendingWindowError raises
// it again, after the call into the system has returned. Utility windows
// live on the GUI thread.
using TWindowErrorHandler = void (*)(std::exception_ptr AError) noexcept;
void SetWindowErrorHandler(TWindowErrorHandler AHandler);
// Raises the error kept from a utility window's procedure, if any, once.
void RaisePendingWindowError();

// The tick count AInterval milliseconds after ATick.
DWORD TickAdd(DWORD ATick, DWORD AInterval);
// Milliseconds elapsed from AStart to ANow; a counter that wrapped (now low,
// start high) counts across the wrap, a clock that went back counts the
// difference.
DWORD TickDiff(DWORD ANow, DWORD AStart);

// Creates every missing folder of AFolder (a path ending in a backslash);
// failures are not reported.
void ForceFolders(const std::wstring& AFolder);
// Deletes the folder (no trailing backslash) with everything in it; links
// in it are removed, never followed. Answers whether the folder is gone.
bool DeleteFolderTree(const std::wstring& AFolder);

// Whether AName is a bare file name (no folder, no drive).
bool IsBareFileName(std::wstring_view AName);
// The system folder, without trailing backslash.
std::wstring SystemFolder();

// The strings of a list of zero-terminated strings that ends with an empty
// string.
std::vector<std::wstring> MultiStringToArray(const wchar_t* AText);

// UTF-8 to UTF-16.
std::wstring Utf8ToWide(std::string_view AText);
// UTF-16 to UTF-8. Inline, so that programs that never call it do not carry
// the narrow string class.
inline std::string WideToUtf8(std::wstring_view AText) {
  if (AText.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), nullptr, 0, nullptr, nullptr);
  std::string result(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), result.data(), size, nullptr, nullptr);
  return result;
}

}  // namespace Velqora
