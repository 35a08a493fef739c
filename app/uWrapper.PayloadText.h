// The rules for the texts a packed wrapper carries, one copy for the
// wrapper and both packing tools, so that the tools accept and refuse the
// same and store what the wrapper reads as they meant it. On code units of
// any character type (wchar_t on Windows, char16_t and char in the Linux
// tool). No system header.
#pragma once

#include <string_view>

namespace uWrapper {

// Whether AText is UTF-16: every surrogate in a pair.
template <typename C>
bool IsUtf16Text(std::basic_string_view<C> AText) {
  for (size_t i = 0; i < AText.size(); ++i) {
    const unsigned c = unsigned(AText[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < AText.size() && unsigned(AText[i + 1]) >= 0xDC00 &&
        unsigned(AText[i + 1]) <= 0xDFFF)
      ++i;
    else if (c >= 0xD800 && c <= 0xDFFF)
      return false;
  }
  return true;
}

// The first control character of AText (U+0000 to U+001F, U+007F); -1 when
// it holds none.
template <typename C>
int FirstControlCharacter(std::basic_string_view<C> AText) {
  for (C c : AText)
    if (unsigned(c) < 0x20 || unsigned(c) == 0x7F) return int(c);
  return -1;
}

// Whether the wrapper runs an installer of this stored name through
// msiexec (and adds /qn to an unattended install): it ends in ".msi" in
// any ASCII letter case.
template <typename C>
bool IsMsiName(std::basic_string_view<C> AName) {
  constexpr char extension[] = ".msi";
  if (AName.size() < 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    unsigned c = unsigned(AName[AName.size() - 4 + i]);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c != unsigned(extension[i])) return false;
  }
  return true;
}

}  // namespace uWrapper
