#include "Velqora.Winapi.SetupApi.h"

#include "Velqora.DllRoutines.h"

namespace Velqora::Winapi::SetupApi {

BOOL IsUserAdmin() {
  using F = BOOL(WINAPI*)();
  return DllRoutines::Call<F>(L"setupapi.dll", "IsUserAdmin")();
}

}  // namespace Velqora::Winapi::SetupApi
