// Conversions between UTF-8 and the program's UTF-16 strings.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace Velqora {

// UTF-8 to UTF-16.
std::wstring Utf8ToWide(std::string_view AText);
// UTF-16 to UTF-8. Inline, so that programs that never call it do not carry
// the narrow string class.
inline std::string WideToUtf8(std::wstring_view AText) {
  if (AText.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), nullptr, 0, nullptr, nullptr);
  std::string result(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), result.data(), size, nullptr, nullptr);
  return result;
}

}  // namespace Velqora
