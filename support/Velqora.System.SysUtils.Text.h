// Text helpers on UTF-16 text (char16_t) that need no system header: the
// markup units that use them also build for the build machine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Velqora {

// Reads a whole text as a 32-bit integer:
//
//   [spaces] [+|-] decimal-digits
//   [spaces] [+|-] ($ | x | X | 0x | 0X) hexadecimal-digits
//
// Only U+0020 counts as a leading space; nothing may follow the digits (no
// trailing spaces either), and there must be at least one digit. Decimal
// values must fit a signed 32-bit integer (-2147483648 .. 2147483647).
// Hexadecimal digits may be of either case and their value must fit 32 bits;
// values of $80000000 and above read as negative (two's complement), so
// "$FFFFFFFF" is -1. A sign before a hexadecimal prefix negates that 32-bit
// value, wrapping as two's complement does: "-$10" is -16, "-$FFFFFFFF" is 1.
// False, with AValue unchanged, for anything else.
bool TryStrToInt(std::u16string_view AText, int32_t& AValue);

// AText without the characters of U+0020 and below at either end (a view
// into AText).
std::u16string_view TrimView(std::u16string_view AText);

// ASCII letters in lower case; every other character as it is.
char16_t LowerCaseAscii(char16_t AChar);
std::u16string LowerCaseAscii(std::u16string_view AText);

// Whether the texts are equal when ASCII letters are compared without regard
// to case (other characters compare exactly).
bool SameTextAscii(std::u16string_view A, std::u16string_view B);
// Whether AText starts with APrefix, ASCII letters compared without regard
// to case.
bool StartsTextAscii(std::u16string_view APrefix, std::u16string_view AText);

}  // namespace Velqora
