// shlwapi functions bound at run time.
#pragma once

#include <windows.h>

namespace Velqora::Winapi::ShlwApi {

// The operating-system feature query (ordinal 437); false when it cannot be
// bound.
bool IsOSFeature(DWORD AFeature);

}  // namespace Velqora::Winapi::ShlwApi
