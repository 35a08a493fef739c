// Run-time binding of system functions through a reference-counted library
// registry. A library that is no KnownDLL is not imported: the loader would
// look for it beside the program first, where a planted copy could wait (a
// downloaded wrapper sits in the Downloads folder). It is loaded from the
// system folder when first needed and its functions bound by name (or
// ordinal); so are functions that older Windows versions lack. KnownDLLs
// most runs never need are bound here so they are not loaded at every
// start.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace Velqora {

class DllRoutines {
public:
  DllRoutines() = delete;

  // Levels of the loader's log records.
  enum class TDllLogLevel { dllNone, dllError, dllWarning, dllInfo };
  friend constexpr TDllLogLevel LastLogLevel(TDllLogLevel) { return TDllLogLevel::dllInfo; }

  using TGetInstanceProc = HRESULT(WINAPI*)(const GUID& AGUID, void** AObj);
  using TDllCanUnloadNowProc = HRESULT(WINAPI*)();

  // One library of the registry: its handle, how often it was requested,
  // and the error of a failed load, which is never tried again.
  class TLibraryItem {
  public:
    TLibraryItem(const std::wstring& AName, DWORD ALoadFlag);
    ~TLibraryItem();
    TLibraryItem(const TLibraryItem&) = delete;
    TLibraryItem& operator=(const TLibraryItem&) = delete;

    LONG LoadCounter() const { return FLoadCounter; }
    DWORD LoadFlag() const { return FLoadFlag; }
    const std::wstring& Name() const { return FName; }
    HMODULE Handle() const { return FHandle; }
    DWORD ErrorCode() const { return FErrorCode; }
    bool IsCanUnload() const;

    // 0 and the function, 6 when the library is not loaded, 1 when it has no
    // such export.
    DWORD GetProcAddr(const char* AProcName, FARPROC& AProc) const;
    DWORD GetProcAddr(WORD AProcIndex, FARPROC& AProc) const;
    HRESULT GetInstance(const GUID& AGUID, void** AObj) const;
    HRESULT GetVersion(DLLVERSIONINFO2& AInfo) const;
    std::wstring GetResourceString(UINT AResId) const;

  private:
    friend class DllRoutines;
    void Load(DWORD AFlag);
    void Unload();
    HRESULT BindInstanceProcs();

    LONG FLoadCounter = 0;
    DWORD FLoadFlag;
    HMODULE FHandle = nullptr;
    DWORD FErrorCode = 0;
    std::wstring FName;
    TGetInstanceProc FGetInstanceProc = nullptr;
    TDllCanUnloadNowProc FDllCanUnloadNowProc = nullptr;
  };

  // Loads the library (or counts one more load) and returns its entry, which
  // may carry an error; none once the unit has stopped. A bare name (a safe
  // file name, FileNames.h) with flags 0 is looked for in the system folder
  // only.
  static TLibraryItem* LoadLibrary(const std::wstring& ALibName, DWORD AFlag);
  // Unloads an entry once; entries stay registered.
  static void FreeLibrary(TLibraryItem* ALibItem);
  static void FreeLibrary(const std::wstring& ALibName);
  static void FreeLibrary(HMODULE AHandle);
  // Removes every entry that can be unloaded, until none is left to remove.
  static void FreeUnusedLibraries();
  static void FreeAllLibraries();

  // A function of a library, bound by name or ordinal; raises ESystemError
  // (the loader's code, or 1 for a missing export). A bare library name is
  // loaded from the system folder only.
  static FARPROC Call(const std::wstring& ALibName, const char* AProcName);
  static FARPROC Call(const std::wstring& ALibName, WORD AProcIndex);
  template <typename F>
  static F Call(const std::wstring& ALibName, const char* AProcName) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(Call(ALibName, AProcName)));
  }
  // The same, answering none instead of raising.
  static FARPROC Get(const std::wstring& ALibName, const char* AProcName);
  static FARPROC Get(const std::wstring& ALibName, WORD AProcIndex);
  template <typename F>
  static F Get(const std::wstring& ALibName, const char* AProcName) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(Get(ALibName, AProcName)));
  }

  // One function of a library, bound through the registry the first time it
  // is needed and kept until the registry stops: each function is resolved
  // once, not at every call. One object per function, at namespace scope:
  //   constinit DllRoutines::TRoutine<BOOL(WINAPI*)(HINTERNET)> CloseHandle{
  //       L"wininet.dll", "InternetCloseHandle"};
  class TRoutineBinding {
  public:
    constexpr TRoutineBinding(const wchar_t* ALibName, const char* AProcName) noexcept
        : FLibName(ALibName), FProcName(AProcName) {}
    constexpr TRoutineBinding(const wchar_t* ALibName, WORD AProcIndex) noexcept
        : FLibName(ALibName), FProcIndex(AProcIndex) {}
    TRoutineBinding(const TRoutineBinding&) = delete;
    TRoutineBinding& operator=(const TRoutineBinding&) = delete;

  protected:
    // Raises ESystemError as Call does.
    FARPROC BindProc();
    // None when the function cannot be bound; raises nothing and writes no
    // log record.
    FARPROC FindProc() noexcept;

  private:
    FARPROC Bound() const noexcept;
    void Keep(FARPROC AProc, uint32_t AGeneration) noexcept;
    const wchar_t* FLibName;
    const char* FProcName = nullptr;
    WORD FProcIndex = 0;
    std::atomic<FARPROC> FProc{nullptr};
    std::atomic<uint32_t> FGeneration{0};
  };
  template <typename F>
  class TRoutine : public TRoutineBinding {
  public:
    using TRoutineBinding::TRoutineBinding;
    // The function; raises ESystemError when it cannot be bound.
    F Get() { return reinterpret_cast<F>(reinterpret_cast<void*>(BindProc())); }
    // The function, or none; raises nothing and writes no log record: for
    // functions a caller can do without, for release functions, which run
    // in destructors, and for the diagnostic log itself, whose folder name
    // needs bound functions (a record of the loader would re-enter it).
    F Find() noexcept { return reinterpret_cast<F>(reinterpret_cast<void*>(FindProc())); }
  };

  // An object from the library's factory export ("DllGetInstance", else
  // "GetInstance"); raises EVelqoraInitException. A failed request gives
  // back only a load it made itself.
  static void GetInstance(const std::wstring& ALibName, const GUID& AGUID, void** AObj);
  static HRESULT TryGetInstance(const std::wstring& ALibName, const GUID& AGUID, void** AObj) noexcept;
  static bool GetVersion(const std::wstring& ALibName, DLLVERSIONINFO2& AInfo) noexcept;
  static bool IsVersion(const std::wstring& ALibName, WORD AMinMajor, WORD AMinMinor, WORD AMaxMajor,
                        WORD AMaxMinor) noexcept;
  static std::wstring GetResourceString(const std::wstring& ALibName, UINT AResId) noexcept;

  // The registered entry of a name (letter case does not matter), if any.
  static TLibraryItem* FindLibrary(const std::wstring& AName);
  static size_t LibraryCount();

  // Unit start-up and shut-down.
  static void Start();
  static void Stop();

private:
  static TLibraryItem* FindLibraryByHandle(HMODULE AHandle);
  static DWORD FindOrLoadLibrary(const std::wstring& AName, DWORD AFlag, TLibraryItem*& AItem);
  static HRESULT InstanceSteps(const std::wstring& ALibName, const GUID& AGUID, void** AObj);
};

}  // namespace Velqora
