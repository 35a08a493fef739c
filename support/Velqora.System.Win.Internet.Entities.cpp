#include "Velqora.System.Win.Internet.Entities.h"

#include <cstdint>

#include "Velqora.System.SysUtils.Text.h"

namespace Velqora {

namespace {

// Appends the decoding of AReference to AResult.
void AppendEntity(std::u16string& AResult, std::u16string_view AReference) {
  for (const TEntity& entity : Entities) {
    if (SameTextAscii(AReference, entity.Name)) {
      AResult += entity.Char;
      return;
    }
  }
  int32_t code = 0;
  if (AReference.size() > 3 && AReference.back() == u';' &&
      TryStrToInt(AReference.substr(2, AReference.size() - 3), code)) {
    // Only what names a character: no NUL (which ends the text for the
    // system's drawing functions), no lone surrogate (which would pair with
    // its neighbour in the text), nothing beyond Unicode.
    if (code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
      if (code <= 0xFFFF) {
        AResult += char16_t(code);
      } else {
        uint32_t v = uint32_t(code) - 0x10000;
        AResult += char16_t(0xD800 + (v >> 10));
        AResult += char16_t(0xDC00 + (v & 0x3FF));
      }
      return;
    }
  }
  AResult += AReference;
}

}  // namespace

std::u16string DecodeEntity(std::u16string_view AReference) {
  std::u16string result;
  AppendEntity(result, AReference);
  return result;
}

std::u16string DecodeEntities(std::u16string_view AText) {
  std::u16string result;
  result.reserve(AText.size());
  size_t done = 0;  // AText before this is in result
  for (;;) {
    size_t amp = AText.find(u'&', done);
    if (amp == AText.npos) break;
    size_t semicolon = AText.find(u';', amp);
    if (semicolon == AText.npos) break;
    result += AText.substr(done, amp - done);
    AppendEntity(result, AText.substr(amp, semicolon - amp + 1));
    done = semicolon + 1;
  }
  result += AText.substr(done);
  return result;
}

}  // namespace Velqora
