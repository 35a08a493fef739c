// What the wrapper takes from its command line.
#include <gtest/gtest.h>

#include <string>

#include "uCommandLine.h"

using uCommandLine::ParseCommandLine;
using uCommandLine::TWrapperCommandLine;

namespace {

std::string Narrow(const std::wstring& AText) { return std::string(AText.begin(), AText.end()); }

TEST(WrapperCommandLine, UnattendedAndHelpSwitchesBeforeTheSeparatorAndTheProductsArguments) {
  struct TCase {
    const wchar_t* Line;
    bool Unattended, Help;
    const wchar_t* Product;
  };
  const TCase cases[] = {
      {L"setup.exe", false, false, L""},
      {L"setup.exe /S", true, false, L""},
      {L"setup.exe -s", true, false, L""},
      {L"setup.exe /SILENT", true, false, L""},
      {L"setup.exe -VerySilent", true, false, L""},
      {L"setup.exe /quiet /debug", true, false, L""},
      {L"setup.exe /silentx /S2 --silent silent", false, false, L""},
      {L"setup.exe \"/S x\"", false, false, L""},  // inside a quoted argument: none
      {L"setup.exe /?", false, true, L""},
      {L"setup.exe -HELP", false, true, L""},
      {L"setup.exe /S /?", true, true, L""},
      {L"setup.exe -- /S /?", false, false, L"/S /?"},  // the product's
      {L"setup.exe /S -- INSTALLDIR=\"C:\\Apps\\Acme\" ALLUSERS=1", true, false,
       L"INSTALLDIR=\"C:\\Apps\\Acme\" ALLUSERS=1"},
      {L"\"C:\\Downloads\\My Setup.exe\" -- \"a b\"  \\\"c\\\"", false, false, L"\"a b\"  \\\"c\\\""},
  };
  for (const TCase& c : cases) {
    TWrapperCommandLine parsed = ParseCommandLine(c.Line);
    EXPECT_EQ(parsed.Unattended, c.Unattended) << Narrow(c.Line);
    EXPECT_EQ(parsed.Help, c.Help) << Narrow(c.Line);
    EXPECT_EQ(parsed.ProductArguments, c.Product) << Narrow(c.Line);
  }
}

}  // namespace
