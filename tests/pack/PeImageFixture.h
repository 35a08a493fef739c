// A small 32-bit PE image with one section, .rsrc, holding two resources of
// type 10 (RCDATA), language 1033: "ABC" with the data "hello", and 7 with
// no data; with ARelocations, a second section, .reloc, after it, holding
// the relocations (512 bytes of a pattern). Offsets names where its fields
// lie, for tests that damage them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace Testing {

struct Offsets {
  static constexpr size_t NtOffset = 0x3C, Nt = 0x40, Sections = Nt + 6, OptionalSize = Nt + 20,
                          Optional = Nt + 24, Magic = Optional, ResourceRva = Optional + 96 + 2 * 8,
                          Table = Optional + 224, RawSize = Table + 16;
  static constexpr size_t ResourceStart = 0x200, SectionRva = 0x1000;
  // In the resource section (file offsets).
  static constexpr size_t RootIdCount = ResourceStart + 14, RootEntryTarget = ResourceStart + 20,
                          NameEntry = ResourceStart + 40, LanguageEntryTarget = ResourceStart + 76,
                          DataRva = ResourceStart + 80, DataSize = ResourceStart + 84, NameText = ResourceStart + 96;
  static constexpr size_t DataEntry = 80;  // from the section's start
};

inline std::vector<uint8_t> MinimalImage(bool ARelocations = false) {
  std::vector<uint8_t> f(Offsets::ResourceStart + (ARelocations ? 0x400 : 0x200), 0);
  auto u16 = [&](size_t at, uint16_t v) { std::memcpy(f.data() + at, &v, 2); };
  auto u32 = [&](size_t at, uint32_t v) { std::memcpy(f.data() + at, &v, 4); };
  const size_t r = Offsets::ResourceStart;
  f[0] = 'M', f[1] = 'Z';
  u32(Offsets::NtOffset, Offsets::Nt);
  u32(Offsets::Nt, 0x00004550);
  u16(Offsets::Nt + 4, 0x14C);  // i386
  u16(Offsets::Sections, 1);
  u16(Offsets::OptionalSize, 224);
  u16(Offsets::Magic, 0x10B);
  u32(Offsets::Optional + 32, 0x1000);  // section alignment
  u32(Offsets::Optional + 36, 0x200);   // file alignment
  u32(Offsets::Optional + 60, 0x200);   // size of headers
  u32(Offsets::Optional + 92, 16);      // data directories
  u32(Offsets::ResourceRva, Offsets::SectionRva);
  u32(Offsets::ResourceRva + 4, 152);
  std::memcpy(f.data() + Offsets::Table, ".rsrc", 5);
  u32(Offsets::Table + 8, 0x200);  // virtual size
  u32(Offsets::Table + 12, Offsets::SectionRva);
  u32(Offsets::RawSize, 0x200);
  u32(Offsets::Table + 20, Offsets::ResourceStart);
  u32(Offsets::Optional + 56, ARelocations ? 0x3000 : 0x2000);  // size of image
  if (ARelocations) {
    u16(Offsets::Sections, 2);
    std::memcpy(f.data() + Offsets::Table + 40, ".reloc", 6);
    u32(Offsets::Table + 40 + 8, 0x180);
    u32(Offsets::Table + 40 + 12, 0x2000);
    u32(Offsets::Table + 40 + 16, 0x200);
    u32(Offsets::Table + 40 + 20, Offsets::ResourceStart + 0x200);
    u32(Offsets::Optional + 96 + 5 * 8, 0x2000);
    u32(Offsets::Optional + 96 + 5 * 8 + 4, 0x180);
    for (size_t i = 0; i < 0x200; ++i) f[Offsets::ResourceStart + 0x200 + i] = uint8_t(i * 7 + 3);
  }
  // Types: one (10), to the names at 24.
  u16(r + 14, 1);
  u32(r + 16, 10);
  u32(r + 20, 0x80000000u | 24);
  // Names: "ABC" (its text at 96) to the languages at 56; 7 to those at 112.
  u16(r + 24 + 12, 1);
  u16(r + 24 + 14, 1);
  u32(r + 40, 0x80000000u | 96);
  u32(r + 44, 0x80000000u | 56);
  u32(r + 48, 7);
  u32(r + 52, 0x80000000u | 112);
  // Languages of "ABC": 1033 to the data entry at 80: "hello" at 104.
  u16(r + 56 + 14, 1);
  u32(r + 72, 1033);
  u32(r + 76, 80);
  u32(r + 80, uint32_t(Offsets::SectionRva + 104));
  u32(r + 84, 5);
  u16(r + 96, 3);
  f[r + 98] = 'A', f[r + 100] = 'B', f[r + 102] = 'C';
  std::memcpy(f.data() + r + 104, "hello", 5);
  // Languages of 7: 1033 to the data entry at 136, which holds nothing.
  u16(r + 112 + 14, 1);
  u32(r + 128, 1033);
  u32(r + 132, 136);
  u32(r + 136, uint32_t(Offsets::SectionRva + 104));
  u32(r + 140, 0);
  return f;
}

}  // namespace Testing
