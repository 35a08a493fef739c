#include <gtest/gtest.h>

#include <string>

#include "FileNames.h"
#include "Utf.h"

using namespace Velqora;

namespace {

// The one rule set for names from data: one file inside a folder, nothing
// else.
TEST(IsSafeFileName, NamesOneFileInAFolderAndNothingElse) {
  struct TCase {
    std::wstring Name;
    bool Safe;
  };
  const TCase cases[] = {
      {L"setup.exe", true},
      {L"Setup 2.0.msi", true},
      {L"noextension", true},
      {L".hidden", true},
      {L" leading blank", true},
      {L"a..b", true},
      {L"Ünïcode ✓.exe", true},
      {std::wstring(255, L'a'), true},
      {L"CONSOLE.exe", true},  // only the device names themselves
      {L"COM10", true},
      {L"LPTX", true},
      {L"nul_", true},
      // empty or too long
      {L"", false},
      {std::wstring(256, L'a'), false},
      // folders, drives, streams
      {L"a\\b", false},
      {L"a/b", false},
      {L"..\\evil.exe", false},
      {L"C:evil.exe", false},
      {L"setup.exe:stream", false},
      // characters the system does not take in a name
      {L"a<b", false},
      {L"a>b", false},
      {L"a\"b", false},
      {L"a|b", false},
      {L"a?b", false},
      {L"a*b", false},
      {L"tab\t", false},
      {std::wstring(L"nul\0x", 5), false},
      {L"\x1f", false},
      // trailing dots and blanks, which the system drops
      {L".", false},
      {L"..", false},
      {L"setup.exe.", false},
      {L"setup.exe ", false},
      // devices, in any letter case, with an extension or blanks after them
      {L"CON", false},
      {L"con", false},
      {L"Con.exe", false},
      {L"NUL.txt", false},
      {L"NUL.tar.gz", false},  // the device, whatever follows its first dot
      {L"CON.setup.exe", false},
      {L"nul .txt", false},
      {L"AUX", false},
      {L"prn.log", false},
      {L"COM1", false},
      {L"com9.dll", false},
      {L"COM0", false},
      {L"LPT1", false},
      {L"lpt\u00B9", false},
      {L"COM\u00B3.x", false},
      {L"CONIN$", false},
      {L"conout$.txt", false},
  };
  for (const TCase& c : cases) EXPECT_EQ(IsSafeFileName(c.Name), c.Safe) << WideToUtf8(c.Name);
}

// A path below a folder: each step a safe file name.
TEST(IsSafeRelativePath, EveryStepIsASafeName) {
  struct TCase {
    const wchar_t* Path;
    bool Safe;
  };
  const TCase cases[] = {
      {L"product.exe", true},       {L"Data\\bin\\product.exe", true}, {L"", false},
      {L"\\product.exe", false},   {L"C:\\product.exe", false},       {L"Data\\..\\product.exe", false},
      {L"Data\\.\\product.exe", false}, {L"Data\\\\product.exe", false}, {L"Data\\", false},
      {L"Data/product.exe", false}, {L"CON\\product.exe", false},
  };
  for (const TCase& c : cases) EXPECT_EQ(IsSafeRelativePath(c.Path), c.Safe) << WideToUtf8(c.Path);
}

}  // namespace
