#include "Velqora.Winapi.SetupApi.h"

#include "Velqora.DllRoutines.h"

namespace Velqora::Winapi::SetupApi {

namespace {
constinit DllRoutines::TRoutine<BOOL(WINAPI*)()> IsUserAdminRoutine{L"setupapi.dll", "IsUserAdmin"};
}

BOOL IsUserAdmin() { return IsUserAdminRoutine.Get()(); }

}  // namespace Velqora::Winapi::SetupApi
