#include "Velqora.System.SysUtils.Text.h"

namespace Velqora {

namespace {

// The value of a hexadecimal digit, or -1.
int HexDigit(char16_t C) {
  if (C >= u'0' && C <= u'9') return C - u'0';
  if (C >= u'a' && C <= u'f') return C - u'a' + 10;
  if (C >= u'A' && C <= u'F') return C - u'A' + 10;
  return -1;
}

}  // namespace

bool TryStrToInt(std::u16string_view AText, int32_t& AValue) {
  size_t i = 0;
  while (i < AText.size() && AText[i] == u' ') ++i;
  bool negative = false;
  if (i < AText.size() && (AText[i] == u'+' || AText[i] == u'-')) negative = AText[i++] == u'-';

  size_t prefix = 0;
  std::u16string_view rest = AText.substr(i);
  if (rest.starts_with(u'$') || rest.starts_with(u'x') || rest.starts_with(u'X'))
    prefix = 1;
  else if (rest.starts_with(u"0x") || rest.starts_with(u"0X"))
    prefix = 2;

  // Accumulated in 64 bits and checked after every digit, so any number of
  // leading zeros is fine and no digit string can wrap around.
  uint64_t value = 0;
  if (prefix) {
    std::u16string_view digits = rest.substr(prefix);
    if (digits.empty()) return false;
    for (char16_t c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      value = value * 16 + unsigned(d);
      if (value > 0xFFFFFFFFu) return false;
    }
    uint32_t bits = uint32_t(value);
    if (negative) bits = 0u - bits;
    AValue = int32_t(bits);
    return true;
  }

  if (rest.empty()) return false;
  const uint64_t limit = negative ? 2147483648u : 2147483647u;
  for (char16_t c : rest) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + unsigned(c - u'0');
    if (value > limit) return false;
  }
  AValue = negative ? int32_t(-int64_t(value)) : int32_t(value);
  return true;
}

std::u16string_view TrimView(std::u16string_view AText) {
  size_t first = 0, last = AText.size();
  while (first < last && AText[first] <= u' ') ++first;
  while (last > first && AText[last - 1] <= u' ') --last;
  return AText.substr(first, last - first);
}

char16_t LowerCaseAscii(char16_t AChar) {
  return AChar >= u'A' && AChar <= u'Z' ? char16_t(AChar + (u'a' - u'A')) : AChar;
}

std::u16string LowerCaseAscii(std::u16string_view AText) {
  std::u16string result(AText);
  for (char16_t& c : result) c = LowerCaseAscii(c);
  return result;
}

bool SameTextAscii(std::u16string_view A, std::u16string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (LowerCaseAscii(A[i]) != LowerCaseAscii(B[i])) return false;
  return true;
}

bool StartsTextAscii(std::u16string_view APrefix, std::u16string_view AText) {
  return AText.size() >= APrefix.size() && SameTextAscii(APrefix, AText.substr(0, APrefix.size()));
}

}  // namespace Velqora
