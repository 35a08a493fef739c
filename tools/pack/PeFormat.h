// The PE format as the packing tools read and write it: little-endian
// fields, and the places and sizes of its headers and resource tables.
// Portable: no system header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace Pack {

// Little-endian fields at offsets the caller has checked to lie inside the
// bytes.
inline uint16_t U16(std::span<const uint8_t> AData, size_t AOffset) {
  return uint16_t(AData[AOffset] | AData[AOffset + 1] << 8);
}
inline uint32_t U32(std::span<const uint8_t> AData, size_t AOffset) {
  return uint32_t(U16(AData, AOffset)) | uint32_t(U16(AData, AOffset + 2)) << 16;
}
inline void Put16(std::span<uint8_t> AData, size_t AOffset, uint16_t AValue) {
  AData[AOffset] = uint8_t(AValue);
  AData[AOffset + 1] = uint8_t(AValue >> 8);
}
inline void Put32(std::span<uint8_t> AData, size_t AOffset, uint32_t AValue) {
  Put16(AData, AOffset, uint16_t(AValue));
  Put16(AData, AOffset + 2, uint16_t(AValue >> 16));
}

namespace Pe {
// The optional header's fields, from its start.
constexpr uint32_t SizeOfInitializedData = 8, SectionAlignment = 32, FileAlignment = 36, SizeOfImage = 56,
                   SizeOfHeaders = 60, CheckSum = 64;
// Where its data directories begin (the count of them in the 4 bytes
// before), for a 32-bit and a 64-bit image; each entry is an address and a
// size.
constexpr uint32_t DataDirectories32 = 96, DataDirectories64 = 112, DataDirectorySize = 8, MaxDataDirectories = 16;
constexpr size_t ResourceDirectory = 2, SecurityDirectory = 4, RelocationDirectory = 5;
// A section table entry, and its fields.
constexpr uint32_t SectionHeaderSize = 40, SectionVirtualSize = 8, SectionVirtualAddress = 12, SectionRawSize = 16,
                   SectionRawOffset = 20;
// The resource tables: a directory (the counts of named and numbered
// entries at 12 and 14), an entry (name or number, then target), a data
// entry (address, size); the high bit marks a name or a subdirectory.
constexpr uint32_t DirectorySize = 16, EntrySize = 8, DataEntrySize = 16, HighBit = 0x80000000u;
}  // namespace Pe

}  // namespace Pack
