// Test helpers free of any system header, for the tests that also run on
// the build machine.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace Testing {

// A UTF-16 text for a trace or a failure message: ASCII as it is, the rest
// as \uXXXX.
inline std::string Show(std::u16string_view AText) {
  std::string result;
  for (char16_t c : AText) {
    if (c >= 0x20 && c < 0x7F) {
      result += char(c);
    } else {
      char buffer[8];
      snprintf(buffer, sizeof buffer, "\\u%04X", unsigned(c));
      result += buffer;
    }
  }
  return result;
}

}  // namespace Testing
