#include "Velqora.Winapi.ShlwApi.h"

#include "Velqora.DllRoutines.h"

namespace Velqora::Winapi::ShlwApi {

bool IsOSFeature(DWORD AFeature) {
  using F = BOOL(WINAPI*)(DWORD);
  auto isOS = reinterpret_cast<F>(reinterpret_cast<void*>(DllRoutines::Get(L"shlwapi.dll", WORD(437))));
  return isOS && isOS(AFeature);
}

}  // namespace Velqora::Winapi::ShlwApi
