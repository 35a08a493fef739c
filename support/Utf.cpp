#include "Utf.h"

namespace Velqora {

std::wstring Utf8ToWide(std::string_view AText) {
  if (AText.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, AText.data(), int(AText.size()), nullptr, 0);
  std::wstring result(size_t(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, AText.data(), int(AText.size()), result.data(), size);
  return result;
}

}  // namespace Velqora
