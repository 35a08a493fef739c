#include "Velqora.Debug.Common.h"

#include <windows.h>

#include <string>

#include "CommandLine.h"

namespace Velqora::Debug {

bool HasDebugSwitch(const wchar_t* ACommandLine) {
  // Parsed here rather than by the shell library, which would otherwise be
  // loaded at every start. What follows "--" belongs to the product.
  if (!ACommandLine) return false;
  for (const std::wstring& argument : SplitAtSeparator(ACommandLine).Arguments)
    if (IsSwitch(argument, L"debug")) return true;
  return false;
}

bool DebugSwitchOn() {
  static const bool on = HasDebugSwitch(GetCommandLineW());
  return on;
}

}  // namespace Velqora::Debug
