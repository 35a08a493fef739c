// setupapi functions, bound when first called.
#pragma once

#include <windows.h>

namespace Velqora::Winapi::SetupApi {

// Whether the user is an administrator; raises ESystemError when setupapi
// cannot be bound.
BOOL IsUserAdmin();

}  // namespace Velqora::Winapi::SetupApi
