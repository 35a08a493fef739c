#include "Paths.h"

#include <algorithm>

#include "Velqora.System.SysUtils.h"

namespace Velqora {

namespace {

// The longest path the system handles, in characters.
constexpr size_t LongestPath = 32768;

// The text a system function writes into a buffer of a given size, in a
// buffer grown until it fits. ARead answers the length written, or (when
// the buffer was too small) the size it needs or the buffer's own size; 0
// for a failure.
template <typename F>
std::wstring ReadGrowing(F ARead) {
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ARead(text.data(), DWORD(text.size()));
    if (length == 0) ThrowLastOSError();
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    if (text.size() >= LongestPath) ThrowOSError(ERROR_FILENAME_EXCED_RANGE);
    text.resize(std::max<size_t>(size_t(length) + 1, text.size() * 2));
  }
}

}  // namespace

const std::wstring& ProgramPath() {
  static const std::wstring path = ModulePath(nullptr);
  return path;
}

std::wstring ModulePath(HMODULE AModule) {
  return ReadGrowing([AModule](wchar_t* ABuffer, DWORD ASize) { return GetModuleFileNameW(AModule, ABuffer, ASize); });
}

const std::wstring& SystemFolder() {
  static const std::wstring folder = [] {
    std::wstring text =
        ReadGrowing([](wchar_t* ABuffer, DWORD ASize) { return DWORD(GetSystemDirectoryW(ABuffer, UINT(ASize))); });
    if (!text.empty() && text.back() == L'\\') text.pop_back();  // a drive's root
    return text;
  }();
  return folder;
}

}  // namespace Velqora
