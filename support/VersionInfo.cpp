#include "VersionInfo.h"

#include <windows.h>

#include <cwchar>

#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"

namespace Velqora {

namespace {
template <typename F>
using TRoutine = DllRoutines::TRoutine<F>;
constinit TRoutine<DWORD(WINAPI*)(LPCWSTR, LPDWORD)> GetFileVersionInfoSizeW{L"version.dll",
                                                                            "GetFileVersionInfoSizeW"};
constinit TRoutine<BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID)> GetFileVersionInfoW{L"version.dll",
                                                                                    "GetFileVersionInfoW"};
constinit TRoutine<BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT)> VerQueryValueW{L"version.dll", "VerQueryValueW"};
}  // namespace

std::vector<char> ReadVersionInfo(const std::wstring& AFileName) {
  // Found quietly: the loader's records would go to the log that asks.
  auto getSize = GetFileVersionInfoSizeW.Find();
  auto getInfo = GetFileVersionInfoW.Find();
  if (!getSize || !getInfo) ThrowOSError(ERROR_PROC_NOT_FOUND);
  DWORD handle = 0;
  DWORD size = getSize(AFileName.c_str(), &handle);
  if (size == 0) return {};
  std::vector<char> info(size, 0);
  if (!getInfo(AFileName.c_str(), 0, size, info.data())) ThrowLastOSError();
  return info;
}

std::wstring VersionInfoString(const std::vector<char>& AInfo, const std::wstring& APath) {
  auto query = VerQueryValueW.Find();
  wchar_t* value = nullptr;
  UINT length = 0;
  if (AInfo.empty() || !query || !query(AInfo.data(), APath.c_str(), reinterpret_cast<LPVOID*>(&value), &length) ||
      !value)
    return {};
  return std::wstring(value, wcsnlen(value, length));
}

}  // namespace Velqora
