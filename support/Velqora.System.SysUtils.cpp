#include "Velqora.System.SysUtils.h"

#include <cwchar>
#include <new>

#include "UniqueHandle.h"

namespace Velqora {

const char* Exception::what() const noexcept {
  if (!FNarrow) {
    int size = WideCharToMultiByte(CP_UTF8, 0, FMessage.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::shared_ptr<char[]> text(new (std::nothrow) char[size_t(size > 0 ? size : 1)]);
    if (!text) return "Exception";
    text[0] = '\0';
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, FMessage.c_str(), -1, text.get(), size, nullptr, nullptr);
    FNarrow = std::move(text);
  }
  return FNarrow.get();
}

namespace {

[[noreturn]] void FormatError(std::wstring_view AFormat) {
  throw Exception(L"Format '" + std::wstring(AFormat) + L"' invalid or incompatible with argument");
}

// Digits of V in base 10 or 16 (upper case), at least APrecision of them.
std::wstring Digits(uint64_t V, unsigned ABase, int APrecision) {
  wchar_t buffer[24];
  wchar_t* p = buffer + 24;
  do {
    unsigned d = unsigned(V % ABase);
    *--p = wchar_t(d < 10 ? L'0' + d : L'A' + d - 10);
    V /= ABase;
  } while (V);
  std::wstring result(p, buffer + 24);
  if (APrecision > int(result.size())) result.insert(0, size_t(APrecision) - result.size(), L'0');
  return result;
}

}  // namespace

std::wstring Format(std::wstring_view AFormat, std::span<const TFormatArg> AArgs) {
  std::wstring result;
  result.reserve(AFormat.size() + 16);
  size_t next = 0;  // argument taken by a specifier without an index
  for (size_t i = 0; i < AFormat.size(); ++i) {
    wchar_t c = AFormat[i];
    if (c != L'%') {
      result += c;
      continue;
    }
    if (++i >= AFormat.size()) FormatError(AFormat);
    if (AFormat[i] == L'%') {
      result += L'%';
      continue;
    }
    // [index:][-][width][.precision]type
    auto number = [&](int& AValue) {
      bool any = false;
      AValue = 0;
      while (i < AFormat.size() && AFormat[i] >= L'0' && AFormat[i] <= L'9') {
        AValue = AValue * 10 + (AFormat[i++] - L'0');
        if (AValue > 4096) FormatError(AFormat);
        any = true;
      }
      return any;
    };
    int value = 0;
    size_t start = i;
    if (number(value) && i < AFormat.size() && AFormat[i] == L':') {
      next = size_t(value);
      ++i;
    } else {
      i = start;
    }
    bool left = i < AFormat.size() && AFormat[i] == L'-';
    if (left) ++i;
    int width = 0, precision = -1;
    number(width);
    if (i < AFormat.size() && AFormat[i] == L'.') {
      ++i;
      if (!number(precision)) FormatError(AFormat);
    }
    if (i >= AFormat.size() || next >= AArgs.size()) FormatError(AFormat);
    const TFormatArg& arg = AArgs[next++];
    std::wstring field;
    switch (AFormat[i] | 0x20) {  // letter case does not matter
      case L's':
        if (!std::holds_alternative<std::wstring>(arg)) FormatError(AFormat);
        field = std::get<std::wstring>(arg);
        if (precision >= 0 && size_t(precision) < field.size()) field.resize(size_t(precision));
        break;
      case L'd':
        if (auto p = std::get_if<int64_t>(&arg)) {
          field = Digits(*p < 0 ? 0 - uint64_t(*p) : uint64_t(*p), 10, precision);
          if (*p < 0) field.insert(0, 1, L'-');
        } else if (auto u = std::get_if<uint64_t>(&arg)) {
          field = Digits(*u, 10, precision);
        } else {
          FormatError(AFormat);
        }
        break;
      case L'u':
      case L'x': {
        uint64_t v;
        if (auto p = std::get_if<int64_t>(&arg))
          v = uint64_t(uint32_t(*p));  // a negative number shows as its 32-bit pattern
        else if (auto u = std::get_if<uint64_t>(&arg))
          v = *u;
        else
          FormatError(AFormat);
        field = Digits(v, (AFormat[i] | 0x20) == L'x' ? 16 : 10, precision);
        break;
      }
      default:
        FormatError(AFormat);
    }
    if (int(field.size()) < width) {
      size_t pad = size_t(width) - field.size();
      if (left)
        field.append(pad, L' ');
      else
        field.insert(0, pad, L' ');
    }
    result += field;
  }
  return result;
}

std::wstring SysErrorMessage(DWORD ACode) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, ACode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  TUniqueLocalMemory owner(buffer);
  std::wstring result;
  if (buffer) result.assign(buffer, length);
  while (!result.empty() && (result.back() <= L' ' || result.back() == L'.')) result.pop_back();
  return result;
}

void ThrowOSError(DWORD ACode, std::wstring_view AContext) {
  std::wstring message(AContext);
  if (!message.empty()) message += L": ";
  if (ACode == 0)
    message += L"A call to an OS function failed";
  else
    message += Format(L"System Error.  Code: %d.\r\n%s", {int64_t(ACode), SysErrorMessage(ACode)});
  throw ESystemError(std::move(message), ACode);
}

void ThrowLastOSError(std::wstring_view AContext) { ThrowOSError(GetLastError(), AContext); }

std::wstring Trim(std::wstring_view AText) {
  size_t first = 0, last = AText.size();
  while (first < last && AText[first] <= L' ') ++first;
  while (last > first && AText[last - 1] <= L' ') --last;
  return std::wstring(AText.substr(first, last - first));
}

// ---- tick arithmetic ----

DWORD TickAdd(DWORD ATick, DWORD AInterval) {
  if (ATick < 0xFFFFFFFFu - AInterval) return ATick + AInterval;
  return AInterval - (0xFFFFFFFFu - ATick);
}

DWORD TickDiff(DWORD ANow, DWORD AStart) {
  if (AStart <= ANow) return ANow - AStart;
  if (ANow < 0x33333333u && AStart > 0x33333333u) return (0xFFFFFFFFu - AStart) + ANow;
  return AStart - ANow;
}


std::vector<std::wstring> MultiStringToArray(const wchar_t* AText) {
  std::vector<std::wstring> result;
  if (!AText) return result;
  while (*AText) {
    size_t length = wcslen(AText);
    result.emplace_back(AText, length);
    AText += length + 1;
  }
  return result;
}

}  // namespace Velqora
