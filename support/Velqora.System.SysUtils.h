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

// The UTF conversions come with the formatting: callers of one use the other.
#include "Utf.h"

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

// The silent abort: ends what raised it without any report (a worker
// thread's body swallows it).
class EAbort : public Exception {
public:
  EAbort() : Exception(L"Operation aborted") {}
  const wchar_t* ClassName() const noexcept override { return L"EAbort"; }
};

// An integer operation whose result does not fit its type.
class EIntOverflow : public Exception {
public:
  EIntOverflow() : Exception(L"Arithmetic overflow") {}
  const wchar_t* ClassName() const noexcept override { return L"EIntOverflow"; }
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

// The one way to raise a system error: ESystemError carrying ACode, with
// the message "System Error.  Code: %d." CR LF and the system's text (or
// "A call to an OS function failed" for code 0), after AContext and ": "
// when a context is given ("Opening C:\\x.exe: System Error.  Code: 5." ...).
[[noreturn]] void ThrowOSError(DWORD ACode, std::wstring_view AContext = {});
// ThrowOSError with GetLastError().
[[noreturn]] void ThrowLastOSError(std::wstring_view AContext = {});

// Leading and trailing blanks and control characters removed.
std::wstring Trim(std::wstring_view AText);

// The tick count AInterval milliseconds after ATick.
DWORD TickAdd(DWORD ATick, DWORD AInterval);
// Milliseconds elapsed from AStart to ANow; a counter that wrapped (now low,
// start high) counts across the wrap, a clock that went back counts the
// difference.
DWORD TickDiff(DWORD ANow, DWORD AStart);

// The strings of a list of zero-terminated strings that ends with an empty
// string.
std::vector<std::wstring> MultiStringToArray(const wchar_t* AText);

}  // namespace Velqora
