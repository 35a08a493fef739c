#include "Velqora.System.Der.h"

#include <algorithm>

namespace Velqora::Der {

bool TakeItem(TBytes& AData, TItem& AItem) {
  if (AData.size() < 2 || (AData[0] & 0x1F) == 0x1F) return false;  // no multi-byte tags
  size_t at = 2, size = AData[1];
  if (size & 0x80) {
    const size_t count = size & 0x7F;
    if (count == 0 || count > 4 || AData.size() - at < count) return false;
    size = 0;
    for (size_t i = 0; i < count; ++i) size = (size << 8) | AData[at + i];
    at += count;
  }
  if (AData.size() - at < size) return false;
  AItem = {AData[0], AData.subspan(at, size), AData.first(at + size)};
  AData = AData.subspan(at + size);
  return true;
}

bool TakeItem(TBytes& AData, uint8_t ATag, TItem& AItem) { return TakeItem(AData, AItem) && AItem.Tag == ATag; }

bool OnlyItem(TBytes AData, uint8_t ATag, TItem& AItem) { return TakeItem(AData, ATag, AItem) && AData.empty(); }

void AppendItem(std::vector<uint8_t>& AOut, uint8_t ATag, TBytes AContents) {
  AOut.push_back(ATag);
  size_t size = AContents.size();
  if (size < 0x80) {
    AOut.push_back(uint8_t(size));
  } else {
    uint8_t length[sizeof(size_t)];
    size_t count = 0;
    for (; size; size >>= 8) length[count++] = uint8_t(size);
    AOut.push_back(uint8_t(0x80 | count));
    while (count) AOut.push_back(length[--count]);
  }
  AOut.insert(AOut.end(), AContents.begin(), AContents.end());
}

std::string ObjectIdentifierText(TBytes AContents) {
  std::string text;
  uint64_t value = 0;
  size_t digits = 0;
  for (uint8_t b : AContents) {
    if (digits == 0 && b == 0x80) return {};  // not the shortest form
    if (++digits > 9) return {};
    value = (value << 7) | (b & 0x7F);
    if (b & 0x80) continue;
    if (text.empty()) {
      const uint64_t first = value < 80 ? value / 40 : 2;
      text = std::to_string(first) + "." + std::to_string(value - 40 * first);
    } else {
      text += "." + std::to_string(value);
    }
    value = 0;
    digits = 0;
  }
  return digits == 0 ? text : std::string();
}

bool ReadGeneralizedTime(TBytes AText, TTime& ATime) {
  auto digit = [&](size_t i) { return AText[i] >= '0' && AText[i] <= '9'; };
  auto number = [&](size_t at, size_t count) {
    uint16_t n = 0;
    for (size_t i = at; i < at + count; ++i) n = uint16_t(n * 10 + (AText[i] - '0'));
    return n;
  };
  if (AText.size() < 15 || AText.back() != 'Z') return false;
  for (size_t i = 0; i < 14; ++i)
    if (!digit(i)) return false;
  const size_t end = AText.size() - 1;
  if (end > 14) {  // a fraction of a second: a dot and at least one digit
    if (AText[14] != '.' || end == 15) return false;
    for (size_t i = 15; i < end; ++i)
      if (!digit(i)) return false;
  }
  TTime time{number(0, 4), number(4, 2), number(6, 2), number(8, 2), number(10, 2), number(12, 2)};
  if (time.Month < 1 || time.Month > 12 || time.Day < 1 || time.Day > 31 || time.Hour > 23 || time.Minute > 59 ||
      time.Second > 59)
    return false;
  ATime = time;
  return true;
}

std::optional<TTimeStamp> ReadTimeStamp(TBytes AData) {
  // TSTInfo ::= SEQUENCE { version INTEGER (1), policy OBJECT IDENTIFIER,
  //   messageImprint SEQUENCE { hashAlgorithm AlgorithmIdentifier,
  //   hashedMessage OCTET STRING }, serialNumber INTEGER, genTime
  //   GeneralizedTime, the optional rest }
  TItem info, version, policy, imprint, serial, genTime, algorithm, hashed, oid, rest;
  if (!OnlyItem(AData, 0x30, info)) return {};
  TBytes fields = info.Contents;
  if (!TakeItem(fields, 0x02, version) || version.Contents.size() != 1 || version.Contents[0] != 1 ||
      !TakeItem(fields, 0x06, policy) || !TakeItem(fields, 0x30, imprint) || !TakeItem(fields, 0x02, serial) ||
      !TakeItem(fields, 0x18, genTime))
    return {};
  while (!fields.empty())
    if (!TakeItem(fields, rest)) return {};
  TBytes imprintFields = imprint.Contents;
  if (!TakeItem(imprintFields, 0x30, algorithm) || !OnlyItem(imprintFields, 0x04, hashed)) return {};
  TBytes algorithmFields = algorithm.Contents;
  if (!TakeItem(algorithmFields, 0x06, oid)) return {};
  TTimeStamp result;
  result.HashAlgorithm = ObjectIdentifierText(oid.Contents);
  if (result.HashAlgorithm.empty() || !ReadGeneralizedTime(genTime.Contents, result.Time)) return {};
  result.HashedMessage.assign(hashed.Contents.begin(), hashed.Contents.end());
  return result;
}

}  // namespace Velqora::Der
