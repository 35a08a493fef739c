#include <gtest/gtest.h>

#include "Utf.h"
#include "Velqora.System.SysUtils.h"

using namespace Velqora;

namespace {

struct FormatCase {
  const wchar_t* Format;
  std::vector<TFormatArg> Args;
  const wchar_t* Expected;
};

TEST(Format, FormsTheSpecifiersTheProgramUses) {
  const FormatCase cases[] = {
      {L"plain text", {}, L"plain text"},
      {L"%0:s and %1:s", {L"a", L"b"}, L"a and b"},
      {L"%1:s before %0:s", {L"a", L"b"}, L"b before a"},
      {L"%0:s, %0:s", {L"x"}, L"x, x"},
      {L"%1:s then %s", {L"a", L"b", L"c"}, L"b then c"},  // after an index, the next argument
      {L"%s=%d", {L"n", int64_t(-42)}, L"n=-42"},
      {L"%u", {int64_t(-1)}, L"4294967295"},
      {L"%x", {int64_t(255)}, L"FF"},
      {L"(0x%.8x)", {int64_t(5)}, L"(0x00000005)"},
      {L"[%5s][%-5s]", {L"ab", L"cd"}, L"[   ab][cd   ]"},
      {L"%.2s", {L"abcdef"}, L"ab"},
      {L"100%%", {}, L"100%"},
      {L"%S %D", {L"up", int64_t(7)}, L"up 7"},
      {L"System Error.  Code: %d.", {uint64_t(5)}, L"System Error.  Code: 5."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.Format));
    EXPECT_EQ(Format(c.Format, c.Args), c.Expected);
  }
}

TEST(Format, RejectsSpecifiersWithoutFittingArgument) {
  const FormatCase cases[] = {
      {L"%s", {}, nullptr},
      {L"%1:s", {L"a"}, nullptr},
      {L"%d", {L"text"}, nullptr},
      {L"%s", {int64_t(1)}, nullptr},
      {L"%q", {L"a"}, nullptr},
      {L"trailing %", {}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.Format));
    EXPECT_THROW(Format(c.Format, c.Args), Exception);
  }
}

TEST(SysErrorMessage, TrimsTrailingBlanksControlsAndFullStops) {
  std::wstring text = SysErrorMessage(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(text.empty());
  wchar_t last = text.back();
  EXPECT_NE(last, L'.');
  EXPECT_GT(last, L' ');
}

TEST(ThrowOSError, CarriesCodeAndTheCommonMessage) {
  try {
    ThrowOSError(ERROR_ACCESS_DENIED);
    FAIL() << "no exception";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(e.Message(), L"System Error.  Code: 5.\r\n" + SysErrorMessage(5));
  }
  try {
    ThrowOSError(0);
    FAIL() << "no exception";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, 0u);
    EXPECT_EQ(e.Message(), L"A call to an OS function failed");
  }
}

TEST(ThrowLastOSError, TakesTheLastError) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  try {
    ThrowLastOSError();
    FAIL() << "no exception";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_FILE_NOT_FOUND));
  }
}

TEST(Exception, WhatIsTheMessageInUtf8) {
  Exception e(L"caf\u00E9 \u25CF");
  EXPECT_STREQ(e.what(), "caf\xC3\xA9 \xE2\x97\x8F");
  EXPECT_EQ(Utf8ToWide(e.what()), e.Message());
}

}  // namespace

namespace {

// A context goes before the common message; the code is the caller's.
TEST(ThrowOSError, PutsTheContextBeforeTheCommonMessage) {
  struct TCase {
    DWORD Code;
    const wchar_t* Context;
    std::wstring Expected;
  };
  const TCase cases[] = {
      {5, L"Opening x.exe", L"Opening x.exe: System Error.  Code: 5.\r\n" + SysErrorMessage(5)},
      {0, L"Finding the temporary folder", L"Finding the temporary folder: A call to an OS function failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Code);
    try {
      ThrowOSError(c.Code, c.Context);
      FAIL() << "no exception";
    } catch (const ESystemError& e) {
      EXPECT_EQ(e.ErrorCode, c.Code);
      EXPECT_EQ(e.Message(), c.Expected);
    }
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  try {
    ThrowLastOSError(L"x");
    FAIL() << "no exception";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(e.Message().rfind(L"x: System Error.  Code: 2.", 0), 0u);
  }
}

TEST(Ticks, AddAndDifferenceAcrossTheWrap) {
  struct TCase {
    DWORD A, B, Expected;
  };
  const TCase adds[] = {{0xFFFFFFF0, 0x20, 0x11}, {5, 10, 15}, {0xFFFFFFFE, 1, 0}, {0, 0xFFFFFFFF, 0}};
  for (const auto& c : adds) EXPECT_EQ(TickAdd(c.A, c.B), c.Expected) << c.A << " + " << c.B;
  const TCase diffs[] = {{100, 50, 50},
                         {0x10, 0xFFFFFFF0, 0x1F},
                         {0x40000000, 0x50000000, 0x10000000},
                         {7, 7, 0}};
  for (const auto& c : diffs) EXPECT_EQ(TickDiff(c.A, c.B), c.Expected) << c.A << " - " << c.B;
}

TEST(MultiStringToArray, SplitsUpToTheEmptyString) {
  EXPECT_EQ(MultiStringToArray(L"one\0two\0\0"), (std::vector<std::wstring>{L"one", L"two"}));
  EXPECT_EQ(MultiStringToArray(L"\0ignored\0\0"), std::vector<std::wstring>{});
  EXPECT_EQ(MultiStringToArray(L""), std::vector<std::wstring>{});
}

}  // namespace
