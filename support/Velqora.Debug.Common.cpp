#include "Velqora.Debug.Common.h"

#include <windows.h>

#include <string>

namespace Velqora::Debug {

bool HasDebugSwitch(const wchar_t* ACommandLine) {
  // The arguments as the system splits them: blanks and tabs separate,
  // double quotes group (the program's name comes first and is skipped).
  // Parsed here rather than by the shell library, which would otherwise
  // be loaded at every start.
  bool first = true;
  for (const wchar_t* p = ACommandLine; p && *p;) {
    while (*p == L' ' || *p == L'\t') ++p;
    if (!*p) break;
    std::wstring arg;
    for (bool quoted = false; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
      if (*p == L'"')
        quoted = !quoted;
      else
        arg += *p;
    }
    if (!first && arg.size() == 6 && (arg[0] == L'-' || arg[0] == L'/') && lstrcmpiW(arg.c_str() + 1, L"debug") == 0)
      return true;
    first = false;
  }
  return false;
}

bool DebugSwitchOn() {
  static const bool on = HasDebugSwitch(GetCommandLineW());
  return on;
}

}  // namespace Velqora::Debug
