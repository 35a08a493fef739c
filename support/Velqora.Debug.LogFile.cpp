#include "Velqora.Debug.LogFile.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "FolderTree.h"
#include "Velqora.Debug.Common.h"
#include "Velqora.Debug.Helper.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora::Debug {

namespace {

// The registry of instances; it does not own them.
constinit std::unique_ptr<std::vector<TDebugLogFile*>> Registry;
constinit std::unique_ptr<TCriticalSection> RegistryLock;
bool DebuggerPresent = false;

}  // namespace

void TDebugLogFile::Start() {
  DebuggerPresent = IsDebuggerPresent() != FALSE;
  RegistryLock = std::make_unique<TCriticalSection>();
  Registry = std::make_unique<std::vector<TDebugLogFile*>>();
}

void TDebugLogFile::Stop() {
  Registry.reset();
  RegistryLock.reset();
}

TDebugLogFile* TDebugLogFile::GetLogInstance(const std::wstring& ALogName) {
  if (!Registry) return nullptr;
  TLockGuard guard(*RegistryLock);
  auto it = std::find_if(Registry->begin(), Registry->end(),
                         [&](TDebugLogFile* l) { return lstrcmpiW(l->FName.c_str(), ALogName.c_str()) == 0; });
  TDebugLogFile* log = it != Registry->end() ? *it : nullptr;
  if (!log) {
    auto made = std::make_unique<TDebugLogFile>(ALogName);
    Registry->push_back(made.get());
    log = made.release();
  }
  ++log->FInstanceCount;
  return log;
}

void TDebugLogFile::FreeLogInstance(TDebugLogFile*& ALog) {
  if (!Registry || !ALog) return;
  TDebugLogFile* doomed = nullptr;
  {
    TLockGuard guard(*RegistryLock);
    auto it = std::find(Registry->begin(), Registry->end(), ALog);
    if (it == Registry->end()) return;
    if (--ALog->FInstanceCount <= 0) {
      Registry->erase(it);
      doomed = std::exchange(ALog, nullptr);
    }
  }
  delete doomed;  // writes out what it buffered, outside the registry lock
}

TDebugLogFile::TDebugLogFile(const std::wstring& AName)
    : FName(AName), FFixedNesting(LogDateTimeLength + LogTextColumnOffset, LogFillChar) {
  FLogLevel = DebugSwitchOn() ? INT32_MAX : 0;
  wchar_t separator[4] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 4) > 1) FTimeSeparator = separator[0];
}

TDebugLogFile::~TDebugLogFile() {
  if (!FBuffer.empty()) FlushBuffer();
}

void TDebugLogFile::SetMaxFileSize(int64_t AValue) {
  TLockGuard guard(FCSLog);
  FMaxFileSize = std::max<int64_t>(AValue, 0);
}

std::wstring TDebugLogFile::FileName() const { return GetLogFolder() + FName + L".log"; }

void TDebugLogFile::BeginNesting(int32_t ALogLevel) {
  if (!IsActive(ALogLevel)) return;
  TLockGuard guard(FCSLog);
  FNesting += L"  ";
}

void TDebugLogFile::EndNesting(int32_t ALogLevel) {
  if (!IsActive(ALogLevel)) return;
  TLockGuard guard(FCSLog);
  if (FNesting.size() > 1) FNesting.erase(0, 2);
}

void TDebugLogFile::BeginProc(int32_t ALogLevel, const std::wstring& AProcName) {
  if (!IsActive(ALogLevel)) return;
  TLockGuard guard(FCSLog);
  FThreadsProc[GetCurrentThreadId()].push_back(AProcName);
}

std::wstring TDebugLogFile::EndProc(int32_t ALogLevel) {
  if (!IsActive(ALogLevel)) return {};
  TLockGuard guard(FCSLog);
  auto it = FThreadsProc.find(GetCurrentThreadId());
  if (it == FThreadsProc.end()) return {};
  std::wstring name;
  if (!it->second.empty()) {
    name = std::move(it->second.back());
    it->second.pop_back();
  }
  if (it->second.empty()) FThreadsProc.erase(it);
  return name;
}

void TDebugLogFile::WriteLog(int32_t ALogLevel, std::wstring_view AModuleName, std::wstring_view AStr,
                             const wchar_t* AOwner) {
  if (!IsActive(ALogLevel)) return;
  TLockGuard guard(FCSLog);
  try {
    if (DebuggerPresent) WriteToDebugger(AModuleName, AStr, AOwner);
    WriteToBuffer(AModuleName, AStr, AOwner);
    if (FDirectWrite || FBuffer.size() * sizeof(wchar_t) >= LogBufferSize) FlushBuffer();
  } catch (...) {
    // The log never disturbs its callers (out of memory included).
  }
}

void TDebugLogFile::Flush() {
  TLockGuard guard(FCSLog);
  if (!FBuffer.empty()) FlushBuffer();
}

void TDebugLogFile::AppendTimestamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  if (FLastDateStr.empty() || memcmp(&now, &FLastDate, sizeof(now)) != 0) {
    wchar_t text[32];
    wsprintfW(text, L"%02u.%02u.%04u %02u%c%02u%c%02u.%03u ", now.wDay, now.wMonth, now.wYear, now.wHour,
              FTimeSeparator, now.wMinute, FTimeSeparator, now.wSecond, now.wMilliseconds);
    FLastDate = now;
    FLastDateStr = text;
  }
  FBuffer += FLastDateStr;
}

void TDebugLogFile::WriteToBuffer(std::wstring_view AModuleName, std::wstring_view AStr, const wchar_t* AOwner) {
  AppendTimestamp();
  FBuffer += AModuleName;
  std::wstring_view owner = AOwner ? AOwner : SLogUnknown;
  FBuffer += owner;
  if (owner.size() < LogOwnerFieldWidth) FBuffer.append(LogOwnerFieldWidth - owner.size(), LogFillChar);
  FBuffer += FNesting;
  // Continuation lines start in the column of the text.
  size_t start = 0;
  for (size_t pos; (pos = AStr.find(L"\r\n", start)) != std::wstring_view::npos; start = pos + 2) {
    FBuffer += AStr.substr(start, pos + 2 - start);
    FBuffer += FFixedNesting;
    FBuffer += FNesting;
  }
  FBuffer += AStr.substr(start);
  FBuffer += FLineBreak;
}

void TDebugLogFile::WriteToDebugger(std::wstring_view AModuleName, std::wstring_view AStr, const wchar_t* AOwner) {
  std::wstring_view owner = AOwner ? AOwner : SLogUnknown;
  std::wstring text(AModuleName);
  text += owner;
  if (owner.size() < LogOwnerFieldWidth) text.append(LogOwnerFieldWidth - owner.size(), LogFillChar);
  text += FNesting;
  text += AStr;
  text += L"    ";
  OutputDebugStringW(text.c_str());
}

void TDebugLogFile::OpenLogFile() {
  if (std::exchange(FOpenTried, true)) return;
  std::wstring folder = GetLogFolder();
  ForceFolders(folder);
  std::wstring file = folder + FName + L".log";
  if (FMaxFileSize <= 0 && GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) DeleteFileW(file.c_str());
  FFile.Reset(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (FFile) SetFilePointer(FFile.Get(), 0, nullptr, FILE_END);
}

void TDebugLogFile::FlushBuffer() {
  OpenLogFile();
  if (!FFile) {
    // The file will not be opened: what is buffered can never reach it, so
    // it is dropped rather than kept growing.
    FBuffer.clear();
    return;
  }
  DWORD bytes = DWORD(FBuffer.size() * sizeof(wchar_t));
  HANDLE file = FFile.Get();
  DWORD size = GetFileSize(file, nullptr);
  if (size == INVALID_FILE_SIZE) size = 0;
  if (FMaxFileSize != 0 && int64_t(size) + bytes > FMaxFileSize) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    size = 0;
  }
  DWORD written;
  if (size == 0) {
    const wchar_t bom = LogByteOrderMark;
    WriteFile(file, &bom, sizeof(bom), &written, nullptr);
  }
  WriteFile(file, FBuffer.data(), bytes, &written, nullptr);
  FBuffer.clear();
}

}  // namespace Velqora::Debug
