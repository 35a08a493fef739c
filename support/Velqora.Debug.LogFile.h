// The diagnostic log writer: one shared instance per log name, records in a
// fixed layout, buffered and written in large blocks. Logging is off unless
// the program was started with the debug switch; then a record costs one
// comparison.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CriticalSection.h"
#include "UniqueHandle.h"

namespace Velqora::Debug {

class TDebugLogFile {
public:
  // The shared instance for a log name (letter case does not matter), made
  // on first request; each request must be matched by FreeLogInstance. None
  // once the unit has stopped.
  static TDebugLogFile* GetLogInstance(const std::wstring& ALogName);
  // Releases one request; the last one frees the instance, which writes out
  // what it buffered, and clears ALog.
  static void FreeLogInstance(TDebugLogFile*& ALog);

  // Unit start-up and shut-down.
  static void Start();
  static void Stop();

  explicit TDebugLogFile(const std::wstring& AName);
  ~TDebugLogFile();
  TDebugLogFile(const TDebugLogFile&) = delete;
  TDebugLogFile& operator=(const TDebugLogFile&) = delete;

  const std::wstring& Name() const { return FName; }
  int64_t GetMaxFileSize() const { return FMaxFileSize; }
  // 0: no limit, and a fresh file for each run; negative values count as 0.
  void SetMaxFileSize(int64_t AValue);
  int32_t GetLogLevel() const { return FLogLevel.load(std::memory_order_relaxed); }
  void SetLogLevel(int32_t AValue) { FLogLevel.exchange(AValue); }
  bool GetDirectWrite() const { return FDirectWrite.load(); }
  void SetDirectWrite(bool AValue) { FDirectWrite.exchange(AValue); }
  int32_t InstanceCount() const { return FInstanceCount; }
  // The file the records go to.
  std::wstring FileName() const;

  // Holds the instance's re-entrant lock, so that a group of records stays
  // together.
  void Lock() { FCSLog.Enter(); }
  void Unlock() { FCSLog.Leave(); }

  // Each operation with a level is active only for levels from 1 up to
  // LogLevel: one unsigned comparison covers both bounds (level 0 and below
  // wrap round to large numbers).
  bool IsActive(int32_t ALogLevel) const { return uint32_t(ALogLevel) - 1u < uint32_t(GetLogLevel()); }
  void BeginNesting(int32_t ALogLevel);
  void EndNesting(int32_t ALogLevel);
  void BeginProc(int32_t ALogLevel, const std::wstring& AProcName);
  std::wstring EndProc(int32_t ALogLevel);
  // One record. AOwner names the writing class; none gives "unknown".
  void WriteLog(int32_t ALogLevel, std::wstring_view AModuleName, std::wstring_view AStr,
                const wchar_t* AOwner = nullptr);
  // Writes out what is buffered.
  void Flush();

private:
  void WriteToBuffer(std::wstring_view AModuleName, std::wstring_view AStr, const wchar_t* AOwner);
  void WriteToDebugger(std::wstring_view AModuleName, std::wstring_view AStr, const wchar_t* AOwner);
  void AppendTimestamp();
  void OpenLogFile();
  void FlushBuffer();

  TCriticalSection FCSLog;
  std::map<DWORD, std::vector<std::wstring>> FThreadsProc;
  std::wstring FName;
  int64_t FMaxFileSize = 0;
  std::atomic<int32_t> FLogLevel{0};
  std::atomic<bool> FDirectWrite{false};
  TUniqueFileHandle FFile;
  bool FOpenTried = false;  // a failed attempt is not repeated
  std::wstring FBuffer;  // UTF-16 code units not yet written
  SYSTEMTIME FLastDate{};
  std::wstring FLastDateStr;
  wchar_t FTimeSeparator = L':';
  std::wstring FFixedNesting;
  std::wstring FNesting;
  std::wstring FLineBreak = L"\r\n";
  int32_t FInstanceCount = 0;
};

}  // namespace Velqora::Debug
