#include "Velqora.Debug.Log.h"

#include <tlhelp32.h>

#include <cstdlib>

#include "Paths.h"
#include "UniqueHandle.h"
#include "Utf.h"

namespace Velqora::Debug {

namespace {

std::wstring Narrow(const std::string& AText) {
  if (AText.empty()) return {};
  int size = MultiByteToWideChar(CP_ACP, 0, AText.data(), int(AText.size()), nullptr, 0);
  std::wstring result(size_t(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, AText.data(), int(AText.size()), result.data(), size);
  return result;
}

// General decimal form with up to 15 significant digits.
std::wstring FloatText(double AValue) {
  char buffer[64];
  _gcvt(AValue, 15, buffer);
  std::string text = buffer;
  if (!text.empty() && text.back() == '.') text.pop_back();
  return Narrow(text);
}

// Shortest decimal form of a value with four decimals.
std::wstring CurrencyText(int64_t AValue) {
  uint64_t magnitude = AValue < 0 ? 0 - uint64_t(AValue) : uint64_t(AValue);
  std::wstring text = Format(L"%s%u", {std::wstring(AValue < 0 ? L"-" : L""), magnitude / 10000});
  if (uint64_t fraction = magnitude % 10000) {
    std::wstring digits = Format(L"%.4u", {fraction});
    while (digits.back() == L'0') digits.pop_back();
    text += L"." + digits;
  }
  return text;
}

}  // namespace

std::wstring TLogValue::Text() const {
  struct TVisitor {
    std::wstring operator()(std::monostate) const { return SLogUnknown; }
    std::wstring operator()(int64_t v) const { return Format(L"%d", {v}); }
    std::wstring operator()(bool v) const { return v ? SLogTrue : SLogFalse; }
    std::wstring operator()(char v) const { return Narrow(std::string(1, v)); }
    std::wstring operator()(wchar_t v) const { return std::wstring(1, v); }
    std::wstring operator()(double v) const { return FloatText(v); }
    std::wstring operator()(TLogCurrency v) const { return CurrencyText(v.Value); }
    std::wstring operator()(const void* v) const { return Format(L"%.8x", {uint64_t(uintptr_t(v))}); }
    std::wstring operator()(const std::string& v) const { return Narrow(v); }
    std::wstring operator()(const std::wstring& v) const { return v; }
    std::wstring operator()(TLogObject v) const {
      return v.ClassName ? SLogObject + std::wstring(v.ClassName) : SLogNilObject;
    }
    std::wstring operator()(TLogClass v) const { return v.Name ? SLogClass + std::wstring(v.Name) : SLogNilClass; }
    std::wstring operator()(TLogInterface v) const { return Format(SLogInterface, {uint64_t(uintptr_t(v.Pointer))}); }
  };
  return std::visit(TVisitor{}, FValue);
}

std::wstring LogValuesText(TLogValues AValues) {
  std::wstring text;
  for (const TLogValue& value : AValues) {
    if (!text.empty() || &value != AValues.begin()) text += SLogValueSeparator;
    text += value.Text();
  }
  return text;
}

std::wstring LogModuleField(const std::wstring& AModuleName) {
  std::wstring field = AModuleName;
  if (field.size() < LogModuleFieldWidth) field.append(LogModuleFieldWidth - field.size(), LogFillChar);
  return field + LogFillChar;
}

void DescribeException(const std::exception& AException, std::wstring& AClassName, std::wstring& AMessage) {
  if (auto e = dynamic_cast<const Exception*>(&AException)) {
    AClassName = e->ClassName();
    AMessage = e->Message();
  } else {
    AClassName = L"std::exception";
    AMessage = Utf8ToWide(AException.what());
  }
}

std::wstring ProgramFileName(bool AWithExtension) {
  std::wstring name;
  try {
    name = ProgramPath();
  } catch (const std::exception&) {
    return {};  // a log without a name rather than none
  }
  name.erase(0, name.find_last_of(L'\\') + 1);
  if (!AWithExtension)
    if (size_t dot = name.find_last_of(L'.'); dot != std::wstring::npos) name.erase(dot);
  return name;
}

void EnumProcessNames(void (*AEach)(const std::wstring&, void*), void* AContext) {
  // A snapshot's "none" is INVALID_HANDLE_VALUE, as a file handle's.
  TUniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    AEach(std::wstring(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH)), AContext);
}

}  // namespace Velqora::Debug
