#include "uCommandLine.h"

#include "CommandLine.h"

namespace uCommandLine {

TWrapperCommandLine ParseCommandLine(std::wstring_view ACommandLine) {
  using Velqora::IsSwitch;
  TWrapperCommandLine result;
  Velqora::TCommandLineParts parts = Velqora::SplitAtSeparator(ACommandLine);
  for (const std::wstring& argument : parts.Arguments) {
    if (IsSwitch(argument, L"s") || IsSwitch(argument, L"silent") || IsSwitch(argument, L"verysilent") ||
        IsSwitch(argument, L"quiet"))
      result.Unattended = true;
    else if (IsSwitch(argument, L"?") || IsSwitch(argument, L"help"))
      result.Help = true;
  }
  result.ProductArguments = std::move(parts.Rest);
  return result;
}

}  // namespace uCommandLine
