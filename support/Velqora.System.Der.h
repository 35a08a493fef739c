// Reading DER, the encoding of signatures and time stamps: only what the
// signature check needs, every length checked against the bytes held.
// Portable: no system header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Velqora::Der {

using TBytes = std::span<const uint8_t>;

// One item: its tag, its contents and its whole encoding.
struct TItem {
  uint8_t Tag = 0;
  TBytes Contents, Whole;
};

// Takes the item AData begins with off it; false when AData does not begin
// with a whole item of one tag byte and a definite length of at most 4 bytes.
bool TakeItem(TBytes& AData, TItem& AItem);
// The same for an item of the tag ATag.
bool TakeItem(TBytes& AData, uint8_t ATag, TItem& AItem);
// AData as exactly one item of the tag ATag.
bool OnlyItem(TBytes AData, uint8_t ATag, TItem& AItem);
// Appends an item of the tag ATag and the contents AContents.
void AppendItem(std::vector<uint8_t>& AOut, uint8_t ATag, TBytes AContents);

// The dotted text of an object identifier's contents; "" when malformed
// (not the shortest form, a component longer than 63 bits, cut short).
std::string ObjectIdentifierText(TBytes AContents);

// A GeneralizedTime to the second.
struct TTime {
  uint16_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
// "YYYYMMDDHHMMSS[.fraction]Z", the form RFC 3161 gives its time; false for
// anything else, or for a month, day (1 to 31), hour, minute or second out
// of range.
bool ReadGeneralizedTime(TBytes AText, TTime& ATime);

// What the signature check reads of an RFC 3161 time stamp's content
// (TSTInfo): the object identifier of the digest's algorithm, the digest
// and the time it vouches for.
struct TTimeStamp {
  std::string HashAlgorithm;
  std::vector<uint8_t> HashedMessage;
  TTime Time;
};
// A TSTInfo that fills AData exactly; none for anything else.
std::optional<TTimeStamp> ReadTimeStamp(TBytes AData);

}  // namespace Velqora::Der
