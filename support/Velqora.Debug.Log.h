// The typed facade through which a module writes to the diagnostic log: its
// own level enumeration, its module name in every record, procedure frames,
// value and error records, and a list of the running processes.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>

#include "Velqora.Debug.Common.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora::Debug {

// Kinds of the value lists that only have a name to show.
struct TLogClass {  // a class reference; no name: "nil class"
  const wchar_t* Name;
};
struct TLogObject {  // an object reference, by its class name; none: "nil object"
  const wchar_t* ClassName;
};
struct TLogInterface {  // an interface reference
  const void* Pointer;
};
struct TLogCurrency {  // fixed point with four decimals
  int64_t Value;
};

// The class a record names as its writer; none gives "unknown". Explicit,
// so that a braced format argument can never be taken for it.
struct TLogOwner {
  constexpr TLogOwner() = default;
  explicit constexpr TLogOwner(const wchar_t* AName) : Name(AName) {}
  const wchar_t* Name = nullptr;
};

// One value of a value list, with its text form.
class TLogValue {
public:
  TLogValue() = default;  // a kind without text form: "unknown"
  TLogValue(int32_t AValue) : FValue(int64_t(AValue)) {}
  TLogValue(uint32_t AValue) : FValue(int64_t(AValue)) {}
  TLogValue(int64_t AValue) : FValue(AValue) {}
  TLogValue(bool AValue) : FValue(AValue) {}
  TLogValue(char AValue) : FValue(AValue) {}
  TLogValue(wchar_t AValue) : FValue(AValue) {}
  TLogValue(double AValue) : FValue(AValue) {}
  TLogValue(TLogCurrency AValue) : FValue(AValue) {}
  TLogValue(const void* AValue) : FValue(AValue) {}
  TLogValue(const char* AValue) : FValue(std::string(AValue ? AValue : "")) {}
  TLogValue(std::string AValue) : FValue(std::move(AValue)) {}
  TLogValue(const wchar_t* AValue) : FValue(std::wstring(AValue ? AValue : L"")) {}
  TLogValue(std::wstring AValue) : FValue(std::move(AValue)) {}
  TLogValue(TLogObject AValue) : FValue(AValue) {}
  TLogValue(TLogClass AValue) : FValue(AValue) {}
  TLogValue(TLogInterface AValue) : FValue(AValue) {}

  std::wstring Text() const;

private:
  std::variant<std::monostate, int64_t, bool, char, wchar_t, double, TLogCurrency, const void*, std::string,
               std::wstring, TLogObject, TLogClass, TLogInterface>
      FValue;
};
using TLogValues = std::initializer_list<TLogValue>;

// The text forms of AValues joined by ", ".
std::wstring LogValuesText(TLogValues AValues);
// The module field: the name padded to 30 characters, then one blank.
std::wstring LogModuleField(const std::wstring& AModuleName);
// An exception's class name and message.
void DescribeException(const std::exception& AException, std::wstring& AClassName, std::wstring& AMessage);
// The executable's file name, with and without extension.
std::wstring ProgramFileName(bool AWithExtension);

// TLevel is an enumeration whose first value switches a record off; a
// function LastLogLevel(TLevel) found by argument lookup names its last value.
template <typename TLevel>
class TDebugLog {
  static_assert(std::is_enum_v<TLevel>, "log levels are an enumeration");

public:
  // The writer of ALogName is shared with every other facade of that name;
  // the log name "bds" (any letter case) gives no writer: everything is off.
  TDebugLog(const std::wstring& ALogName, const std::wstring& AModuleName, int64_t AMaxFileSize)
      : FModuleName(LogModuleField(AModuleName)), FLogName(ALogName) {
    if (lstrcmpiW(ALogName.c_str(), L"bds") != 0) {
      FDebugLogFile = TDebugLogFile::GetLogInstance(ALogName);
      if (FDebugLogFile) FDebugLogFile->SetMaxFileSize(AMaxFileSize);
    }
  }
  // The program's own log: named after the executable, no size limit.
  static TDebugLog* CreateProgramLog() { return new TDebugLog(ProgramFileName(false), ProgramFileName(true), 0); }
  ~TDebugLog() { TDebugLogFile::FreeLogInstance(FDebugLogFile); }
  TDebugLog(const TDebugLog&) = delete;
  TDebugLog& operator=(const TDebugLog&) = delete;

  const std::wstring& LogName() const { return FLogName; }
  const std::wstring& ModuleField() const { return FModuleName; }
  TDebugLogFile* Writer() const { return FDebugLogFile; }

  TLevel GetLogLevel() const {
    if (!FDebugLogFile) return TLevel{};
    return TLevel(std::clamp<int32_t>(FDebugLogFile->GetLogLevel(), 0, int32_t(LastLogLevel(TLevel{}))));
  }
  void SetLogLevel(TLevel AValue) {
    if (FDebugLogFile) FDebugLogFile->SetLogLevel(int32_t(AValue));
  }
  bool GetDirectWrite() const { return FDebugLogFile && FDebugLogFile->GetDirectWrite(); }
  void SetDirectWrite(bool AValue) {
    if (FDebugLogFile) FDebugLogFile->SetDirectWrite(AValue);
  }
  // Whether a record at ALevel would be written: for the hot paths of
  // callers that build costly texts.
  bool IsActive(TLevel ALevel) const { return FDebugLogFile && FDebugLogFile->IsActive(int32_t(ALevel)); }

  void BeginNesting(TLevel ALevel) {
    if (FDebugLogFile) FDebugLogFile->BeginNesting(int32_t(ALevel));
  }
  void EndNesting(TLevel ALevel) {
    if (FDebugLogFile) FDebugLogFile->EndNesting(int32_t(ALevel));
  }

  // Off, these are a pointer test and one comparison; nothing is built,
  // not even the length of a text.
  void WriteLog(TLevel ALevel, std::wstring_view AStr, TLogOwner AOwner = {}) {
    if (FDebugLogFile && FDebugLogFile->IsActive(int32_t(ALevel)))
      FDebugLogFile->WriteLog(int32_t(ALevel), FModuleName, AStr, AOwner.Name);
  }
  void WriteLog(TLevel ALevel, const wchar_t* AStr, TLogOwner AOwner = {}) {
    if (FDebugLogFile && FDebugLogFile->IsActive(int32_t(ALevel)))
      FDebugLogFile->WriteLog(int32_t(ALevel), FModuleName, AStr, AOwner.Name);
  }
  // Formats first (a format that does not fit raises, logging on or off).
  // The owner is not optional here ({} for none): a braced argument list
  // can then never be taken for an owner by the plain form.
  void WriteLog(TLevel ALevel, std::wstring_view AFormat, std::initializer_list<TFormatArg> AArgs,
                TLogOwner AOwner) {
    std::wstring text = Format(AFormat, AArgs);
    WriteLog(ALevel, text, AOwner);
  }

  void BeginProc(TLevel ALevel, const std::wstring& AProcName, TLogOwner AOwner = {}) {
    if (!FDebugLogFile || !FDebugLogFile->IsActive(int32_t(ALevel))) return;
    TLocked lock(*FDebugLogFile);
    FDebugLogFile->BeginProc(int32_t(ALevel), AProcName);
    WriteLog(ALevel, Format(SLogBeginProc, {AProcName}), AOwner);
    FDebugLogFile->BeginNesting(int32_t(ALevel));
  }
  void BeginProc(TLevel ALevel, const std::wstring& AProcName, TLogValues AParams, TLogOwner AOwner = {}) {
    if (!FDebugLogFile || !FDebugLogFile->IsActive(int32_t(ALevel))) return;
    TLocked lock(*FDebugLogFile);
    BeginProc(ALevel, AProcName, AOwner);
    LogValues(ALevel, SLogParams, AParams, AOwner);
  }
  void EndProc(TLevel ALevel, const std::wstring& AResult = {}, TLogOwner AOwner = {}) {
    if (!FDebugLogFile || !FDebugLogFile->IsActive(int32_t(ALevel))) return;
    TLocked lock(*FDebugLogFile);
    FDebugLogFile->EndNesting(int32_t(ALevel));
    std::wstring name = FDebugLogFile->EndProc(int32_t(ALevel));
    WriteLog(ALevel, AResult.empty() ? Format(SLogEndProc, {name}) : Format(SLogEndProcResult, {name, AResult}),
             AOwner);
    WriteLog(ALevel, std::wstring(), AOwner);
  }

  void LogValue(TLevel ALevel, const std::wstring& AComment, bool AValue, TLogOwner AOwner = {}) {
    WriteLog(ALevel, Format(SLogValueString, {AComment, std::wstring(AValue ? SLogTrue : SLogFalse)}), AOwner);
  }
  void LogValue(TLevel ALevel, const std::wstring& AComment, uint32_t AValue, TLogOwner AOwner = {}) {
    WriteLog(ALevel, Format(SLogValueUnsigned, {AComment, uint64_t(AValue)}), AOwner);
  }
  void LogValue(TLevel ALevel, const std::wstring& AComment, int32_t AValue, TLogOwner AOwner = {}) {
    WriteLog(ALevel, Format(SLogValueSigned, {AComment, int64_t(AValue)}), AOwner);
  }
  void LogValue(TLevel ALevel, const std::wstring& AComment, const std::wstring& AValue,
                TLogOwner AOwner = {}) {
    WriteLog(ALevel, Format(SLogValueString, {AComment, AValue}), AOwner);
  }
  void LogValues(TLevel ALevel, const std::wstring& AComment, TLogValues AValues, TLogOwner AOwner = {}) {
    WriteLog(ALevel, Format(SLogValueString, {AComment, LogValuesText(AValues)}), AOwner);
  }

  void LogError(TLevel ALevel, const std::wstring& AComment, DWORD AErrorCode, TLogOwner AOwner = {}) {
    WriteLog(ALevel,
             Format(SLogErrorCode, {AComment, Format(L"%.8x", {uint64_t(AErrorCode)}), SysErrorMessage(AErrorCode)}),
             AOwner);
  }
  void LogError(TLevel ALevel, const std::wstring& AComment, const std::exception& AException,
                TLogOwner AOwner = {}) {
    std::wstring className, message;
    DescribeException(AException, className, message);
    WriteLog(ALevel, Format(SLogErrorException, {AComment, className, message}), AOwner);
  }
  void LogError(TLevel ALevel, std::wstring_view AComment, std::initializer_list<TFormatArg> AArgs, DWORD AErrorCode,
                TLogOwner AOwner = {}) {
    LogError(ALevel, Format(AComment, AArgs), AErrorCode, AOwner);
  }
  void LogError(TLevel ALevel, std::wstring_view AComment, std::initializer_list<TFormatArg> AArgs,
                const std::exception& AException, TLogOwner AOwner = {}) {
    LogError(ALevel, Format(AComment, AArgs), AException, AOwner);
  }

  // The names of the running processes, in a frame; without owner.
  void LogProcessList(TLevel ALevel) {
    if (!FDebugLogFile || int32_t(ALevel) <= 0 || int32_t(ALevel) > FDebugLogFile->GetLogLevel()) return;
    TLocked lock(*FDebugLogFile);
    WriteLog(ALevel, Format(SLogBeginProc, {std::wstring(SLogProcessList)}));
    FDebugLogFile->BeginNesting(int32_t(ALevel));
    try {
      ForEachProcessName([&](const std::wstring& AName) { WriteLog(ALevel, AName); });
    } catch (...) {
    }
    FDebugLogFile->EndNesting(int32_t(ALevel));
    WriteLog(ALevel, Format(SLogEndProc, {std::wstring(SLogProcessList)}));
    WriteLog(ALevel, std::wstring());
  }

private:
  struct TLocked {
    explicit TLocked(TDebugLogFile& AFile) : File(AFile) { File.Lock(); }
    ~TLocked() { File.Unlock(); }
    TDebugLogFile& File;
  };
  template <typename F>
  static void ForEachProcessName(F AEach);

  std::wstring FModuleName;
  TDebugLogFile* FDebugLogFile = nullptr;
  std::wstring FLogName;
};

// Calls AEach with the executable name of every running process.
void EnumProcessNames(void (*AEach)(const std::wstring&, void*), void* AContext);

template <typename TLevel>
template <typename F>
void TDebugLog<TLevel>::ForEachProcessName(F AEach) {
  EnumProcessNames([](const std::wstring& AName, void* AContext) { (*static_cast<F*>(AContext))(AName); }, &AEach);
}

}  // namespace Velqora::Debug
