// The integer reader and the text helpers the labels' markup is read with.
// Free of any system header: the same file runs under Wine and, with
// sanitizers, on the build machine.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "ShowText.h"
#include "Velqora.System.SysUtils.Text.h"

using Testing::Show;
using Velqora::TryStrToInt;

namespace {

TEST(TryStrToInt, ReadsDecimalAndHexadecimalIntegers) {
  const struct {
    const char16_t* Text;
    int32_t Expected;
  } cases[] = {
      {u"0", 0},
      {u"123", 123},
      {u"   42", 42},
      {u"+7", 7},
      {u"-7", -7},
      {u"-0", 0},
      {u"007", 7},
      {u"000000000000000000000000001", 1},  // leading zeros never overflow
      {u"2147483647", INT32_MAX},
      {u"-2147483648", INT32_MIN},
      {u"$10", 16},
      {u"x1f", 31},
      {u"X1F", 31},
      {u"0x7fffffff", INT32_MAX},
      {u"0XaBcDeF", 0xABCDEF},
      {u"$00000000000000001", 1},
      // Hexadecimal is 32 bits, the upper half reading as negative.
      {u"$80000000", INT32_MIN},
      {u"0xFFFFFFFF", -1},
      // A sign before the prefix negates the 32-bit value.
      {u"-$10", -16},
      {u"+$10", 16},
      {u"-0x80000000", INT32_MIN},
      {u"-$FFFFFFFF", 1},
      {u"  -x10", -16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Text));
    int32_t value = 99;
    EXPECT_TRUE(TryStrToInt(c.Text, value));
    EXPECT_EQ(value, c.Expected);
  }
}

TEST(TryStrToInt, RefusesAnythingElseAndLeavesTheValue) {
  const char16_t* cases[] = {
      u"", u" ", u"+", u"-", u"$", u"x", u"0x", u"-$",
      u"2147483648", u"-2147483649", u"99999999999999999999", u"$100000000", u"0x000100000000",
      u"12 ",         // nothing may follow, not even a space
      u"1 2", u"- 1", u"--1", u"+-1", u"$-1", u"0x+1", u"1a", u"$G", u"0x1g", u"1.0", u"1e3",
      u"\t1",         // only spaces lead
      u"\u00A01",     // a no-break space is no space here
      u"\u0663",      // an Arabic-Indic digit
      u"\uFF11",      // a full-width digit
      u"0b101", u"#10", u"&10",
  };
  for (const char16_t* text : cases) {
    SCOPED_TRACE(Show(text));
    int32_t value = 99;
    EXPECT_FALSE(TryStrToInt(text, value));
    EXPECT_EQ(value, 99);
  }
  // A text with a NUL inside is not cut there.
  int32_t value = 99;
  EXPECT_FALSE(TryStrToInt(std::u16string_view(u"1\0" u"2", 3), value));
  EXPECT_EQ(value, 99);
}

TEST(TextHelpers, TrimAndCompareAsTheMarkupNeeds) {
  EXPECT_EQ(Velqora::TrimView(u"\t\r\n a b \u0001\u0020"), u"a b");
  EXPECT_EQ(Velqora::TrimView(std::u16string_view(u"\0x\0", 3)), u"x");
  EXPECT_EQ(Velqora::TrimView(u"\u00A0x\u00A0"), u"\u00A0x\u00A0");  // above U+0020 stays
  EXPECT_EQ(Velqora::TrimView(u" \t "), u"");

  // ASCII letters only: '@' and '[' lie just around 'A'..'Z', and other
  // scripts keep their case.
  EXPECT_EQ(Velqora::LowerCaseAscii(u"AbZ@[\u00C9\u0130"), u"abz@[\u00C9\u0130");
  EXPECT_TRUE(Velqora::SameTextAscii(u"FoNt", u"font"));
  EXPECT_FALSE(Velqora::SameTextAscii(u"\u00C9", u"\u00E9"));
  EXPECT_FALSE(Velqora::SameTextAscii(u"br", u"brx"));
  EXPECT_FALSE(Velqora::SameTextAscii(u"@", u"`"));  // each 0x20 from 'A' and 'a'
  EXPECT_TRUE(Velqora::StartsTextAscii(u"<br", u"<BRown>"));
  EXPECT_TRUE(Velqora::StartsTextAscii(u"", u"x"));
  EXPECT_FALSE(Velqora::StartsTextAscii(u"<br", u"<b"));
}

}  // namespace
