#include "FileNames.h"

namespace Velqora {

namespace {

constexpr size_t MaxComponentLength = 255;

wchar_t Upper(wchar_t AChar) { return AChar >= L'a' && AChar <= L'z' ? wchar_t(AChar - L'a' + L'A') : AChar; }

bool SameLetters(std::wstring_view AText, std::wstring_view AUpper) {
  if (AText.size() != AUpper.size()) return false;
  for (size_t i = 0; i < AText.size(); ++i)
    if (Upper(AText[i]) != AUpper[i]) return false;
  return true;
}

// The system opens a device for these names, whatever extension follows.
bool IsDeviceName(std::wstring_view AName) {
  std::wstring_view base = AName.substr(0, AName.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (SameLetters(base, device)) return true;
  if (base.size() != 4 || !(SameLetters(base.substr(0, 3), L"COM") || SameLetters(base.substr(0, 3), L"LPT")))
    return false;
  wchar_t digit = base[3];
  return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

}  // namespace

bool IsFileNameCharacter(wchar_t AChar) {
  return AChar >= 32 && std::wstring_view(L"<>:\"/\\|?*").find(AChar) == std::wstring_view::npos;
}

bool IsSafeFileName(std::wstring_view AName) {
  if (AName.empty() || AName.size() > MaxComponentLength) return false;
  for (wchar_t c : AName)
    if (!IsFileNameCharacter(c)) return false;
  if (AName.back() == L'.' || AName.back() == L' ') return false;
  return !IsDeviceName(AName);
}

bool IsSafeRelativePath(std::wstring_view APath) {
  for (;;) {
    size_t slash = APath.find(L'\\');
    if (!IsSafeFileName(APath.substr(0, slash))) return false;
    if (slash == std::wstring_view::npos) return true;
    APath.remove_prefix(slash + 1);
  }
}

}  // namespace Velqora
