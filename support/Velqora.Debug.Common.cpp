#include "Velqora.Debug.Common.h"

#include <windows.h>
#include <shellapi.h>

namespace Velqora::Debug {

bool HasDebugSwitch(const wchar_t* ACommandLine) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(ACommandLine, &count);
  if (!args) return false;
  bool found = false;
  for (int i = 1; i < count && !found; ++i) {
    const wchar_t* arg = args[i];
    found = (arg[0] == L'-' || arg[0] == L'/') && lstrcmpiW(arg + 1, L"debug") == 0;
  }
  LocalFree(args);
  return found;
}

bool DebugSwitchOn() {
  static const bool on = HasDebugSwitch(GetCommandLineW());
  return on;
}

}  // namespace Velqora::Debug
