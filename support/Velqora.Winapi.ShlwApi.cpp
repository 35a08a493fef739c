#include "Velqora.Winapi.ShlwApi.h"

#include "Velqora.DllRoutines.h"

namespace Velqora::Winapi::ShlwApi {

namespace {
constinit DllRoutines::TRoutine<BOOL(WINAPI*)(DWORD)> IsOSRoutine{L"shlwapi.dll", WORD(437)};
}

bool IsOSFeature(DWORD AFeature) {
  auto isOS = IsOSRoutine.Find();
  return isOS && isOS(AFeature);
}

}  // namespace Velqora::Winapi::ShlwApi
