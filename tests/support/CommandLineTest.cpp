// The command line split as the system's C runtime splits it, each
// argument's place kept, and cut at a lone "--".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"

using namespace Velqora;

namespace {

std::string Narrow(const std::wstring& AText) { return std::string(AText.begin(), AText.end()); }

TEST(CommandLine, SplitsAsTheRuntimeDoesAndKeepsEachArgumentsPlace) {
  struct TCase {
    const wchar_t* Line;
    std::vector<std::wstring> Values;
  };
  const TCase cases[] = {
      {L"w.exe", {}},
      {L"w.exe   ", {}},
      {L"\"C:\\Program Files\\w.exe\" /S", {L"/S"}},
      {L"\"C:\\unclosed w.exe /S", {}},  // the name runs to the end
      {L"w.exe\t/S  -debug", {L"/S", L"-debug"}},
      {L"w.exe \"/S x\" y", {L"/S x", L"y"}},
      {L"w.exe a\"b c\"d", {L"ab cd"}},
      {L"w.exe \\\"a", {L"\"a"}},               // odd backslashes: a literal quote
      {L"w.exe \\\\\"a b\"", {L"\\a b"}},       // even: half of them, and the quote groups
      {L"w.exe a\\\\b", {L"a\\\\b"}},           // not before a quote: as written
      {L"w.exe \"a\"\"b\"", {L"a\"b"}},         // "" inside a group
      {L"w.exe \"open", {L"open"}},             // an unclosed group runs to the end
      {L"w.exe \"\"", {L""}},                   // an empty argument
  };
  for (const TCase& c : cases) {
    std::wstring line = c.Line;
    std::vector<TCommandArgument> arguments = SplitCommandLine(line);
    ASSERT_EQ(arguments.size(), c.Values.size()) << Narrow(line);
    for (size_t i = 0; i < arguments.size(); ++i) {
      EXPECT_EQ(arguments[i].Value, c.Values[i]) << Narrow(line);
      ASSERT_LE(arguments[i].Start, arguments[i].End);
      ASSERT_LE(arguments[i].End, line.size());
      // The text between Start and End is what was written for it.
      std::wstring written = line.substr(arguments[i].Start, arguments[i].End - arguments[i].Start);
      EXPECT_FALSE(written.empty()) << Narrow(line);
      EXPECT_NE(written.front(), L' ') << Narrow(line);
      EXPECT_NE(written.back(), L' ') << Narrow(line);
    }
  }
}

TEST(CommandLine, CutsAtTheFirstLoneSeparatorAndKeepsTheRestAsWritten) {
  struct TCase {
    const wchar_t* Line;
    std::vector<std::wstring> Before;
    bool Separator;
    const wchar_t* Rest;
  };
  const TCase cases[] = {
      {L"w.exe /S", {L"/S"}, false, L""},
      {L"w.exe /S -- INSTALLDIR=\"C:\\Apps\\Acme\"  ALLUSERS=1 ", {L"/S"}, true,
       L"INSTALLDIR=\"C:\\Apps\\Acme\"  ALLUSERS=1 "},
      {L"w.exe --", {}, true, L""},
      {L"w.exe -- -- /S", {}, true, L"-- /S"},           // only the first
      {L"w.exe \"--\" /S", {L"--", L"/S"}, false, L""},  // quoted: an argument
      {L"w.exe --x /S", {L"--x", L"/S"}, false, L""},
      {L"w.exe \"a -- b\" -- \"x y\" \\\"z", {L"a -- b"}, true, L"\"x y\" \\\"z"},
      {L"\"C:\\a -- b\\w.exe\" -- x", {}, true, L"x"},   // not in the program's name
      {L"w.exe --\t\tx", {}, true, L"x"},
  };
  for (const TCase& c : cases) {
    TCommandLineParts parts = SplitAtSeparator(c.Line);
    EXPECT_EQ(parts.Arguments, c.Before) << Narrow(c.Line);
    EXPECT_EQ(parts.HasSeparator, c.Separator) << Narrow(c.Line);
    EXPECT_EQ(parts.Rest, c.Rest) << Narrow(c.Line);
  }
}

TEST(CommandLine, ASwitchIsTheWholeArgumentAfterOneMinusOrSlash) {
  struct TCase {
    const wchar_t* Argument;
    bool Is;
  };
  const TCase cases[] = {{L"/silent", true}, {L"-SILENT", true}, {L"/SiLeNt", true}, {L"--silent", false},
                         {L"silent", false}, {L"/silentx", false}, {L"/silen", false}, {L"/", false},
                         {L"", false},       {L"/silent ", false}};
  for (const TCase& c : cases) EXPECT_EQ(IsSwitch(c.Argument, L"silent"), c.Is) << Narrow(c.Argument);
}

}  // namespace
