#include "uUnits.h"

#include <windows.h>

#include "Graphics.h"
#include "Velqora.DllRoutines.h"

namespace uUnits {

namespace {

constinit Velqora::DllRoutines::TRoutine<BOOL(WINAPI*)(DWORD)> SetDefaultDllDirectories{
    L"kernel32.dll", "SetDefaultDllDirectories"};

}  // namespace

void RestrictDllSearch() {
  if (auto set = SetDefaultDllDirectories.Find()) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // drops the current folder from the search
}

void StartPictureCache() { Gui::PictureCache::Start(GetModuleHandleW(nullptr)); }

}  // namespace uUnits
