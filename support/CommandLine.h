// A program's command line split into arguments the way the system's C
// runtime splits it, with each argument's place in the text kept, so that
// what follows a lone "--" can be handed on exactly as it was written.
// Includes no system header: the build machine's tests run it too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Velqora {

struct TCommandArgument {
  std::wstring Value;  // unquoted: "a b" gives a b, \" gives "
  size_t Start = 0;    // where its text begins in the command line
  size_t End = 0;      // just past its text
};

// The arguments after the program's name: blanks and tabs separate them;
// double quotes group; 2n backslashes before a quote stand for n and the
// quote groups, 2n+1 for n and a literal quote; "" inside a group is a
// literal quote. The program's name ends at the next quote when it begins
// with one, else at the first blank or tab.
std::vector<TCommandArgument> SplitCommandLine(std::wstring_view ACommandLine);

// A command line cut at its first lone "--" (written as such, not quoted):
// the arguments before it, and the text after it, from its first character
// that is no blank or tab to the end, as written.
struct TCommandLineParts {
  std::vector<std::wstring> Arguments;
  bool HasSeparator = false;
  std::wstring Rest;
};
TCommandLineParts SplitAtSeparator(std::wstring_view ACommandLine);

// Whether AArgument is the switch AName after a minus sign or a slash, in
// any ASCII letter case ("/S", "-silent"); AName is lower case.
bool IsSwitch(std::wstring_view AArgument, std::wstring_view AName);

}  // namespace Velqora
