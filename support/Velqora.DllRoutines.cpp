#include "Velqora.DllRoutines.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "CriticalSection.h"
#include "FileNames.h"
#include "Paths.h"
#include "UniqueHandle.h"
#include "Velqora.Debug.Log.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora {

using TLevel = DllRoutines::TDllLogLevel;
using Debug::TDebugLog;
using Debug::TLogOwner;

namespace {

// Unit state: the owning registry, its lock and the module's log.
constinit std::unique_ptr<std::vector<std::unique_ptr<DllRoutines::TLibraryItem>>> Libraries;
constinit std::unique_ptr<TCriticalSection> LibraryLock;
constinit std::unique_ptr<TDebugLog<TLevel>> LoaderLog;
const TLogOwner Owner(L"DllRoutines");
// Changes whenever the registry starts or stops: routines bound before are
// bound again.
std::atomic<uint32_t> Generation{1};
// While above 0 (under the registry's lock), loads write no log record.
int Quiet = 0;

void LogInfo(const wchar_t* AFormat, const std::wstring& AName) {
  if (LoaderLog && !Quiet && LoaderLog->IsActive(TLevel::dllInfo))
    LoaderLog->WriteLog(TLevel::dllInfo, AFormat, {AName}, Owner);
}

void LogFailure(const std::wstring& AComment, DWORD ACode) {
  if (LoaderLog && !Quiet && LoaderLog->IsActive(TLevel::dllError))
    LoaderLog->LogError(TLevel::dllError, AComment, ACode, Owner);
}

// A system library loaded from the system folder only (never from the
// program's folder or the current one): the system-folder-only search where
// the system offers it, else the full path in the system folder. Null with
// the last error set when it cannot be loaded.
HMODULE TryLoadSystemLibrary(const wchar_t* AName) {
  HMODULE module = LoadLibraryExW(AName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module) return module;
  DWORD error = GetLastError();
  if (error != ERROR_INVALID_PARAMETER) return nullptr;  // the search itself is offered
  // Systems without the system-folder-only search: the full path.
  try {
    return LoadLibraryExW((SystemFolder() + L"\\" + AName).c_str(), nullptr, 0);
  } catch (const std::exception&) {
    return nullptr;  // the last error says why
  }
}

// The registry's lock, when there is one.
class TRegistryLock {
public:
  TRegistryLock() : FLock(LibraryLock.get()) {
    if (FLock) FLock->Enter();
  }
  ~TRegistryLock() {
    if (FLock) FLock->Leave();
  }
  TRegistryLock(const TRegistryLock&) = delete;
  TRegistryLock& operator=(const TRegistryLock&) = delete;

private:
  TCriticalSection* FLock;
};

}  // namespace

// ---- TLibraryItem ----

DllRoutines::TLibraryItem::TLibraryItem(const std::wstring& AName, DWORD ALoadFlag)
    : FLoadFlag(ALoadFlag), FName(AName) {
  Load(FLoadFlag);
}

DllRoutines::TLibraryItem::~TLibraryItem() {
  Unload();
  if (FLoadCounter != 0) {
    LogFailure(Format(L"For library \"%0:s\" load counter = %1:s.", {FName, Format(L"%d", {int64_t(FLoadCounter)})}),
               ERROR_INVALID_HANDLE);
    if (FHandle) {
      ::FreeLibrary(FHandle);
      FLoadCounter = 0;
      FHandle = nullptr;
    }
  }
}

void DllRoutines::TLibraryItem::Load(DWORD AFlag) {
  LogInfo(L"Try load library \"%0:s\".", FName);
  if (!FHandle && !FErrorCode) {
    SetLastError(0);
    FErrorCode = 0;
    // A name without a folder and without flags is a system library: from
    // the system folder only, so that a DLL planted beside the program is
    // never loaded. A bare name that is no safe file name (a device name, a
    // trailing dot) is refused rather than searched for.
    bool bare = FName.find_first_of(L"\\/:") == std::wstring::npos;
    if (AFlag == 0 && bare && !IsSafeFileName(FName)) {
      SetLastError(ERROR_INVALID_NAME);
      FHandle = nullptr;
    } else {
      FHandle = AFlag == 0 && bare ? TryLoadSystemLibrary(FName.c_str())
                                   : LoadLibraryExW(FName.c_str(), nullptr, AFlag);
    }
    if (!FHandle || FHandle == INVALID_HANDLE_VALUE) {
      FHandle = nullptr;
      FErrorCode = GetLastError();
      if (!FErrorCode) FErrorCode = ERROR_FILE_INVALID;
    }
  }
  if (FErrorCode == 0) {
    InterlockedIncrement(&FLoadCounter);
    LogInfo(L"Loaded library \"%0:s\".", FName);
  } else {
    LogFailure(Format(L"Error loading library \"%0:s\".", {FName}), FErrorCode);
  }
}

void DllRoutines::TLibraryItem::Unload() {
  if (!FHandle) return;
  SetLastError(0);
  DWORD error = 0;
  LogInfo(L"Try unload library \"%0:s\".", FName);
  if (FLoadCounter <= 1) {
    if (::FreeLibrary(FHandle)) {
      FHandle = nullptr;
      FErrorCode = 0;
      FGetInstanceProc = nullptr;
      FDllCanUnloadNowProc = nullptr;
    } else {
      error = GetLastError();
      if (!error) error = ERROR_INVALID_HANDLE;
    }
  }
  if (error == 0) {
    InterlockedDecrement(&FLoadCounter);
    LogInfo(L"Unloaded library \"%0:s\".", FName);
  } else {
    LogFailure(Format(L"Error unloading library \"%0:s\".", {FName}), error);
  }
}

bool DllRoutines::TLibraryItem::IsCanUnload() const {
  if (!FHandle) return true;
  if (FDllCanUnloadNowProc) return FDllCanUnloadNowProc() == S_OK;
  return FLoadCounter <= 0;
}

DWORD DllRoutines::TLibraryItem::GetProcAddr(const char* AProcName, FARPROC& AProc) const {
  AProc = nullptr;
  if (!FHandle) return ERROR_INVALID_HANDLE;
  AProc = GetProcAddress(FHandle, AProcName);
  return AProc ? 0 : ERROR_INVALID_FUNCTION;
}

DWORD DllRoutines::TLibraryItem::GetProcAddr(WORD AProcIndex, FARPROC& AProc) const {
  return GetProcAddr(MAKEINTRESOURCEA(AProcIndex), AProc);  // an ordinal in place of a name
}

HRESULT DllRoutines::TLibraryItem::GetInstance(const GUID& AGUID, void** AObj) const {
  if (!FGetInstanceProc) return E_NOINTERFACE;
  return FGetInstanceProc(AGUID, AObj);
}

HRESULT DllRoutines::TLibraryItem::BindInstanceProcs() {
  FGetInstanceProc = nullptr;
  FDllCanUnloadNowProc = nullptr;
  FARPROC proc;
  if (GetProcAddr("DllGetInstance", proc) != 0 && GetProcAddr("GetInstance", proc) != 0) return E_NOTIMPL;
  FGetInstanceProc = reinterpret_cast<TGetInstanceProc>(reinterpret_cast<void*>(proc));
  if (GetProcAddr("DllCanUnloadNow", proc) == 0)
    FDllCanUnloadNowProc = reinterpret_cast<TDllCanUnloadNowProc>(reinterpret_cast<void*>(proc));
  return S_OK;
}

HRESULT DllRoutines::TLibraryItem::GetVersion(DLLVERSIONINFO2& AInfo) const {
  FARPROC proc;
  if (DWORD code = GetProcAddr("DllGetVersion", proc)) return HRESULT(code);
  auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(proc));
  AInfo = {};
  AInfo.info1.cbSize = sizeof(DLLVERSIONINFO2);
  if (getVersion(&AInfo.info1) == S_OK) return S_OK;
  AInfo = {};
  AInfo.info1.cbSize = sizeof(DLLVERSIONINFO);
  return getVersion(&AInfo.info1);
}

std::wstring DllRoutines::TLibraryItem::GetResourceString(UINT AResId) const {
  if (!FHandle) return {};
  wchar_t buffer[260];
  int length = LoadStringW(FHandle, AResId, buffer, 260);
  return length > 0 ? std::wstring(buffer, size_t(length)) : std::wstring();
}

// ---- the registry ----

void DllRoutines::Start() {
  Generation.fetch_add(1);
  LibraryLock = std::make_unique<TCriticalSection>();
  Libraries = std::make_unique<std::vector<std::unique_ptr<TLibraryItem>>>();
  LoaderLog.reset(TDebugLog<TLevel>::CreateProgramLog());
}

void DllRoutines::Stop() {
  if (Libraries) {
    FreeUnusedLibraries();
    FreeAllLibraries();
  }
  // The loader's log goes while the registry still runs: the log may write
  // out its records now, and the name of its folder needs bound functions.
  LoaderLog.reset();
  if (Libraries) FreeAllLibraries();  // what the log bound
  Libraries.reset();
  LibraryLock.reset();
  Generation.fetch_add(1);  // what was bound went with its library
}

DllRoutines::TLibraryItem* DllRoutines::FindLibrary(const std::wstring& AName) {
  TRegistryLock lock;
  if (!Libraries) return nullptr;
  for (auto& item : *Libraries)
    if (lstrcmpiW(item->FName.c_str(), AName.c_str()) == 0) return item.get();
  return nullptr;
}

size_t DllRoutines::LibraryCount() {
  TRegistryLock lock;
  return Libraries ? Libraries->size() : 0;
}

DllRoutines::TLibraryItem* DllRoutines::FindLibraryByHandle(HMODULE AHandle) {
  if (!Libraries || !AHandle) return nullptr;
  for (auto& item : *Libraries)
    if (item->FHandle == AHandle) return item.get();
  return nullptr;
}

DWORD DllRoutines::FindOrLoadLibrary(const std::wstring& AName, DWORD AFlag, TLibraryItem*& AItem) {
  AItem = nullptr;
  if (!Libraries) return ERROR_NOT_ENOUGH_MEMORY;
  AItem = FindLibrary(AName);
  if (!AItem) {
    auto item = std::make_unique<TLibraryItem>(AName, AFlag);
    AItem = item.get();
    Libraries->push_back(std::move(item));
  } else if (AItem->FLoadCounter <= 0 && AItem->FErrorCode == 0) {
    AItem->Load(AFlag);
  }
  return AItem->FErrorCode;
}

DllRoutines::TLibraryItem* DllRoutines::LoadLibrary(const std::wstring& ALibName, DWORD AFlag) {
  TRegistryLock lock;
  if (!Libraries) return nullptr;
  if (TLibraryItem* item = FindLibrary(ALibName)) {
    item->Load(AFlag);
    return item;
  }
  TLibraryItem* item;
  FindOrLoadLibrary(ALibName, AFlag, item);
  return item;
}

void DllRoutines::FreeLibrary(TLibraryItem* ALibItem) {
  TRegistryLock lock;
  if (!Libraries || !ALibItem) return;
  if (std::any_of(Libraries->begin(), Libraries->end(), [&](auto& i) { return i.get() == ALibItem; }))
    ALibItem->Unload();
}

void DllRoutines::FreeLibrary(const std::wstring& ALibName) {
  TRegistryLock lock;
  if (TLibraryItem* item = FindLibrary(ALibName)) item->Unload();
}

void DllRoutines::FreeLibrary(HMODULE AHandle) {
  TRegistryLock lock;
  if (TLibraryItem* item = FindLibraryByHandle(AHandle)) item->Unload();
}

void DllRoutines::FreeUnusedLibraries() {
  TRegistryLock lock;
  if (!Libraries) return;
  for (bool removed = true; removed;) {
    removed = false;
    for (size_t i = Libraries->size(); i-- > 0;) {
      if (!(*Libraries)[i]->IsCanUnload()) continue;
      std::unique_ptr<TLibraryItem> item = std::move((*Libraries)[i]);
      Libraries->erase(Libraries->begin() + ptrdiff_t(i));
      item.reset();
      removed = true;
    }
  }
}

void DllRoutines::FreeAllLibraries() {
  if (!Libraries) return;
  while (!Libraries->empty()) {
    std::unique_ptr<TLibraryItem> item = std::move(Libraries->back());
    Libraries->pop_back();
  }
}

FARPROC DllRoutines::Call(const std::wstring& ALibName, const char* AProcName) {
  TRegistryLock lock;
  TLibraryItem* item;
  DWORD code = FindOrLoadLibrary(ALibName, 0, item);
  if (!item || code) ThrowOSError(code);
  FARPROC proc;
  if (DWORD missing = item->GetProcAddr(AProcName, proc)) ThrowOSError(missing);
  return proc;
}

FARPROC DllRoutines::Call(const std::wstring& ALibName, WORD AProcIndex) {
  return Call(ALibName, MAKEINTRESOURCEA(AProcIndex));  // an ordinal in place of a name
}

FARPROC DllRoutines::Get(const std::wstring& ALibName, const char* AProcName) {
  TRegistryLock lock;
  TLibraryItem* item;
  FARPROC proc = nullptr;
  if (FindOrLoadLibrary(ALibName, 0, item) == 0 && item) item->GetProcAddr(AProcName, proc);
  return proc;
}

FARPROC DllRoutines::Get(const std::wstring& ALibName, WORD AProcIndex) {
  return Get(ALibName, MAKEINTRESOURCEA(AProcIndex));
}

// ---- routines bound once ----

// The generation first: Keep stores it after the function, so a current
// generation here means the function read next is the one bound in it.
FARPROC DllRoutines::TRoutineBinding::Bound() const noexcept {
  if (FGeneration.load(std::memory_order_acquire) != Generation.load()) return nullptr;
  return FProc.load(std::memory_order_acquire);
}

void DllRoutines::TRoutineBinding::Keep(FARPROC AProc, uint32_t AGeneration) noexcept {
  FProc.store(AProc, std::memory_order_release);
  FGeneration.store(AGeneration, std::memory_order_release);
}

FARPROC DllRoutines::TRoutineBinding::BindProc() {
  if (FARPROC proc = Bound()) return proc;
  TRegistryLock lock;
  uint32_t generation = Generation.load();
  FARPROC proc = FProcName ? Call(FLibName, FProcName) : Call(FLibName, FProcIndex);
  Keep(proc, generation);
  return proc;
}

FARPROC DllRoutines::TRoutineBinding::FindProc() noexcept {
  if (FARPROC proc = Bound()) return proc;
  try {
    TRegistryLock lock;
    ++Quiet;
    auto loud = ScopeExit([] { --Quiet; });
    uint32_t generation = Generation.load();
    FARPROC proc = FProcName ? Get(FLibName, FProcName) : Get(FLibName, FProcIndex);
    if (proc) Keep(proc, generation);
    return proc;
  } catch (...) {
    return nullptr;
  }
}

HRESULT DllRoutines::InstanceSteps(const std::wstring& ALibName, const GUID& AGUID, void** AObj) {
  if (!AObj) return E_POINTER;
  *AObj = nullptr;
  TRegistryLock lock;
  TLibraryItem* existing = FindLibrary(ALibName);
  LONG before = existing ? existing->FLoadCounter : 0;
  TLibraryItem* item;
  HRESULT code = HRESULT(FindOrLoadLibrary(ALibName, 0, item));
  if (!item) return code;
  if (code == 0) code = item->BindInstanceProcs();
  if (code == 0) code = item->GetInstance(AGUID, AObj);
  // A failed request gives back only the load it made itself: holders that
  // loaded the library before keep it.
  if (code != 0 && item->FLoadCounter > before) item->Unload();
  return code;
}

HRESULT DllRoutines::TryGetInstance(const std::wstring& ALibName, const GUID& AGUID, void** AObj) noexcept {
  try {
    return InstanceSteps(ALibName, AGUID, AObj);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void DllRoutines::GetInstance(const std::wstring& ALibName, const GUID& AGUID, void** AObj) {
  HRESULT code;
  try {
    code = InstanceSteps(ALibName, AGUID, AObj);
  } catch (...) {
    code = 2;
  }
  if (code != 0)
    throw EVelqoraInitException(Format(
        L"An error occurred while loading library \"%s\".\r\n\r\nError code: 0x%s\r\nError message: %s\r\n\r\n"
        L"It may have been removed. Please reinstall the application. If the problem persists, contact technical "
        L"support.",
        {ALibName, Format(L"%.8x", {uint64_t(uint32_t(code))}), SysErrorMessage(DWORD(code))}));
}

bool DllRoutines::GetVersion(const std::wstring& ALibName, DLLVERSIONINFO2& AInfo) noexcept {
  AInfo = {};
  try {
    TRegistryLock lock;
    TLibraryItem* item = FindLibrary(ALibName);
    if (item)
      item->Load(0);
    else
      FindOrLoadLibrary(ALibName, 0, item);
    if (!item) return false;
    bool ok = item->GetVersion(AInfo) == 0;
    item->Unload();
    return ok;
  } catch (...) {
    return false;
  }
}

bool DllRoutines::IsVersion(const std::wstring& ALibName, WORD AMinMajor, WORD AMinMinor, WORD AMaxMajor,
                            WORD AMaxMinor) noexcept {
  DLLVERSIONINFO2 info;
  if (!GetVersion(ALibName, info)) return false;
  uint32_t value = uint32_t(WORD(info.info1.dwMajorVersion)) << 16 | WORD(info.info1.dwMinorVersion);
  return (uint32_t(AMinMajor) << 16 | AMinMinor) <= value && value <= (uint32_t(AMaxMajor) << 16 | AMaxMinor);
}

std::wstring DllRoutines::GetResourceString(const std::wstring& ALibName, UINT AResId) noexcept {
  try {
    TRegistryLock lock;
    TLibraryItem* item = FindLibrary(ALibName);
    if (item)
      item->Load(LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    else
      FindOrLoadLibrary(ALibName, LOAD_LIBRARY_AS_IMAGE_RESOURCE, item);
    if (!item) return {};
    std::wstring text = item->GetResourceString(AResId);
    item->Unload();
    return text;
  } catch (...) {
    return {};
  }
}

}  // namespace Velqora
