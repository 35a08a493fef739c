// Fuzz target of the command line reader: the input, read as UTF-16LE, is
// a whole command line. Every argument's place lies inside it, in order;
// what follows the separator is the line's own end, as written; and what
// the wrapper takes from it is the same as from those two parts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "CommandLine.h"
#include "uCommandLine.h"

using namespace Velqora;

#define CHECK(condition) \
  do {                   \
    if (!(condition)) __builtin_trap(); \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  std::wstring line;
  for (size_t i = 0; i + 1 < ASize; i += 2) line += wchar_t(AData[i] | AData[i + 1] << 8);
  size_t previous = 0;
  for (const TCommandArgument& argument : SplitCommandLine(line)) {
    CHECK(previous <= argument.Start && argument.Start < argument.End && argument.End <= line.size());
    CHECK(argument.Value.size() <= argument.End - argument.Start);
    previous = argument.End;
  }
  TCommandLineParts parts = SplitAtSeparator(line);
  CHECK(parts.Rest.size() <= line.size());
  CHECK(line.compare(line.size() - parts.Rest.size(), parts.Rest.size(), parts.Rest) == 0);
  CHECK(parts.HasSeparator || parts.Rest.empty());
  uCommandLine::TWrapperCommandLine parsed = uCommandLine::ParseCommandLine(line);
  CHECK(parsed.ProductArguments == parts.Rest);
  return 0;
}
