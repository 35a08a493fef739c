// Owners for system handles: one template, parameterised by the release
// function and by the value that means "no handle", with one alias per kind;
// borrowed handles, which are used but never released; and a clean-up that
// runs when its scope ends.
#pragma once

#include <windows.h>
#include <cstdint>
#include <utility>

#include "ScopeExit.h"

namespace Velqora {

// A handle that is used but not owned (a stock object, the program's own
// module, a handle an owner lends): nothing releases it through this type.
template <typename T, intptr_t InvalidValue = 0>
class TBorrowedHandle {
public:
  constexpr TBorrowedHandle() noexcept = default;
  constexpr explicit TBorrowedHandle(T AHandle) noexcept : FHandle(AHandle) {}
  T Get() const noexcept { return FHandle; }
  explicit operator bool() const noexcept { return FHandle != reinterpret_cast<T>(InvalidValue); }

private:
  T FHandle = reinterpret_cast<T>(InvalidValue);
};

// InvalidValue is the "no handle" value as an integer (0 or -1), since a
// pointer-typed handle such as INVALID_HANDLE_VALUE is no constant expression.
template <typename T, auto Free, intptr_t InvalidValue = 0>
class TUniqueHandle {
  static T Invalid() noexcept { return reinterpret_cast<T>(InvalidValue); }

public:
  TUniqueHandle() noexcept = default;
  explicit TUniqueHandle(T AHandle) noexcept : FHandle(AHandle) {}
  TUniqueHandle(TUniqueHandle&& AOther) noexcept : FHandle(AOther.Release()) {}
  TUniqueHandle& operator=(TUniqueHandle&& AOther) noexcept {
    Reset(AOther.Release());
    return *this;
  }
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  ~TUniqueHandle() { Reset(); }

  T Get() const noexcept { return FHandle; }
  explicit operator bool() const noexcept { return FHandle != Invalid(); }
  // The handle lent out: it stays this owner's.
  TBorrowedHandle<T, InvalidValue> Borrow() const noexcept { return TBorrowedHandle<T, InvalidValue>(FHandle); }

  // Gives up ownership without releasing.
  T Release() noexcept { return std::exchange(FHandle, Invalid()); }

  // Releases the held handle and lends the storage to a call that makes a
  // handle through an out-parameter (and writes none or this owner's "no
  // handle" when it fails): OpenProcessToken(process, access, token.Put()).
  T* Put() noexcept {
    Reset();
    return &FHandle;
  }

  // Releases the held handle (keeping the caller's last error intact) and
  // takes AHandle.
  void Reset(T AHandle = Invalid()) noexcept {
    T old = std::exchange(FHandle, AHandle);
    if (old != Invalid()) {
      DWORD error = GetLastError();
      Free(old);
      SetLastError(error);
    }
  }

private:
  T FHandle = Invalid();
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) noexcept { CloseHandle(h); }
inline void DeleteGdiObject(HGDIOBJ h) noexcept { DeleteObject(h); }
inline void DeleteMemoryDC(HDC h) noexcept { DeleteDC(h); }
inline void DestroyWindowHandle(HWND h) noexcept { DestroyWindow(h); }
inline void ReleaseModule(HMODULE h) noexcept { FreeLibrary(h); }
inline void DestroyIconHandle(HICON h) noexcept { DestroyIcon(h); }
inline void UnmapView(void* h) noexcept { UnmapViewOfFile(h); }
inline void CloseFind(HANDLE h) noexcept { FindClose(h); }
inline void FreeLocalMemory(void* h) noexcept { LocalFree(h); }
inline void CloseRegistryKey(HKEY h) noexcept { RegCloseKey(h); }
}  // namespace detail

using TUniqueKernelHandle = TUniqueHandle<HANDLE, detail::CloseKernelHandle>;
using TUniqueFileHandle = TUniqueHandle<HANDLE, detail::CloseKernelHandle, -1>;
using TUniqueFont = TUniqueHandle<HFONT, detail::DeleteGdiObject>;
using TUniqueBrush = TUniqueHandle<HBRUSH, detail::DeleteGdiObject>;
using TUniquePen = TUniqueHandle<HPEN, detail::DeleteGdiObject>;
using TUniqueBitmap = TUniqueHandle<HBITMAP, detail::DeleteGdiObject>;
using TUniqueRegion = TUniqueHandle<HRGN, detail::DeleteGdiObject>;
using TUniqueMemoryDC = TUniqueHandle<HDC, detail::DeleteMemoryDC>;
using TUniqueWindow = TUniqueHandle<HWND, detail::DestroyWindowHandle>;
using TUniqueModule = TUniqueHandle<HMODULE, detail::ReleaseModule>;
using TUniqueIcon = TUniqueHandle<HICON, detail::DestroyIconHandle>;
using TUniqueMappedView = TUniqueHandle<void*, detail::UnmapView>;
using TUniqueFind = TUniqueHandle<HANDLE, detail::CloseFind, -1>;
// Memory the system allocated for the caller with LocalAlloc.
using TUniqueLocalMemory = TUniqueHandle<void*, detail::FreeLocalMemory>;
using TUniqueRegistryKey = TUniqueHandle<HKEY, detail::CloseRegistryKey>;

// The process and thread handles of a started process, closed with the
// owner.
struct TUniqueProcessInformation {
  TUniqueProcessInformation() noexcept = default;
  explicit TUniqueProcessInformation(const PROCESS_INFORMATION& AInfo) noexcept
      : Process(AInfo.hProcess), Thread(AInfo.hThread), ProcessId(AInfo.dwProcessId), ThreadId(AInfo.dwThreadId) {}
  TUniqueKernelHandle Process;
  TUniqueKernelHandle Thread;
  DWORD ProcessId = 0;
  DWORD ThreadId = 0;
};

using TBorrowedKernelHandle = TBorrowedHandle<HANDLE>;
using TBorrowedFileHandle = TBorrowedHandle<HANDLE, -1>;
using TBorrowedFont = TBorrowedHandle<HFONT>;
using TBorrowedBrush = TBorrowedHandle<HBRUSH>;
using TBorrowedPen = TBorrowedHandle<HPEN>;
using TBorrowedBitmap = TBorrowedHandle<HBITMAP>;
using TBorrowedRegion = TBorrowedHandle<HRGN>;
using TBorrowedDC = TBorrowedHandle<HDC>;
using TBorrowedWindow = TBorrowedHandle<HWND>;
using TBorrowedModule = TBorrowedHandle<HMODULE>;
using TBorrowedIcon = TBorrowedHandle<HICON>;

// A TScopeExit (ScopeExit.h) whose action leaves the caller's last error as
// it was:
//   auto removeFile = ScopeExit([&] { DeleteFileW(name); });
template <typename F>
[[nodiscard]] auto ScopeExit(F AAction) noexcept {
  auto keepingError = [action = std::move(AAction)]() mutable {
    DWORD error = GetLastError();
    action();
    SetLastError(error);
  };
  return TScopeExit<decltype(keepingError)>(std::move(keepingError));
}

// A device context borrowed from a window with GetDC; released to it.
class TWindowDC {
public:
  explicit TWindowDC(HWND AWnd) noexcept : FWnd(AWnd), FDC(GetDC(AWnd)) {}
  ~TWindowDC() {
    if (FDC) ReleaseDC(FWnd, FDC);
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  HDC Get() const noexcept { return FDC; }
  explicit operator bool() const noexcept { return FDC != nullptr; }

private:
  HWND FWnd;
  HDC FDC;
};

// An object selected into a device context for the lifetime of this owner;
// the previous object is selected back before the owner goes away, so the
// selected object can be deleted afterwards.
class TSelectObject {
public:
  TSelectObject(HDC ADC, HGDIOBJ AObject) noexcept
      : FDC(ADC), FOld(AObject ? SelectObject(ADC, AObject) : nullptr) {}
  ~TSelectObject() {
    if (FOld) SelectObject(FDC, FOld);
  }
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;

private:
  HDC FDC;
  HGDIOBJ FOld;
};

}  // namespace Velqora
