// What the wrapper's command line asks for. Includes no system header: the
// build machine's tests run it too.
#pragma once

#include <string>
#include <string_view>

namespace uCommandLine {

struct TWrapperCommandLine {
  // /S, /silent, /verysilent or /quiet (or with "-"; any letter case; the
  // whole argument): no window, no offer; the product gets its unattended
  // arguments.
  bool Unattended = false;
  // /? or /help: the switches and exit codes are shown, nothing installed.
  bool Help = false;
  // Everything after a lone "--", as written: appended to the product's
  // command line.
  std::wstring ProductArguments;
};

// Switches count only before "--"; one inside a quoted argument ("/S x")
// is none. Other arguments are ignored.
TWrapperCommandLine ParseCommandLine(std::wstring_view ACommandLine);

}  // namespace uCommandLine
