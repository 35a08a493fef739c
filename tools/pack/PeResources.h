// The resources of a Windows executable read from its bytes alone, with no
// system function: for the packing tools, which read installers that come
// from outside. Every header, table, offset, size and count is checked
// against the bytes held before it is used; a resource directory that
// refers back to itself is refused. Portable: no system header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "PeFormat.h"

namespace Pack {

// A file that is no executable, or whose headers or resource tables are
// damaged; the message says what is wrong.
class EBadImage : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// One section of the image as its table describes it.
struct TSection {
  std::string Name;
  uint32_t VirtualAddress = 0, VirtualSize = 0, RawOffset = 0, RawSize = 0;
};

// A resource type or name: a number, or a text (upper-case as stored).
struct TResourceId {
  uint16_t Number = 0;
  std::u16string Text;  // empty: the number counts
  bool operator==(const TResourceId&) const = default;
};

// One resource: its type, name and language, and where its data lies in
// the file.
struct TResource {
  TResourceId Type, Name;
  uint16_t Language = 0;
  uint32_t Offset = 0, Size = 0;  // in the file, checked to lie inside it
  // What is wrong with its data entry (its data lie outside the file);
  // empty when nothing is. A damaged resource has no data (0, 0).
  std::string Damage;
};

// A data directory's entry: an address and a size (0, 0: none).
struct TDataDirectory {
  uint32_t Rva = 0, Size = 0;
};

// The headers of a PE image read from AFile: DOS header, NT headers (32 or
// 64-bit), section table. Raises EBadImage.
struct TPeImage {
  static TPeImage Read(std::span<const uint8_t> AFile);

  uint64_t FileSize = 0;
  bool Is64 = false;
  // Where the optional header and the section table lie in the file.
  uint32_t OptionalOffset = 0, SectionTableOffset = 0;
  uint32_t SizeOfHeaders = 0, FileAlignment = 0, SectionAlignment = 0;
  // The data directories the header both counts and holds (at most 16).
  std::vector<TDataDirectory> Directories;
  std::vector<TSection> Sections;

  // Data directory AIndex (Pe::ResourceDirectory, ...); none when the header
  // has no such entry.
  TDataDirectory Directory(size_t AIndex) const { return AIndex < Directories.size() ? Directories[AIndex] : TDataDirectory{}; }
  // The file offset of data directory AIndex's entry, one of Directories.
  uint32_t DirectoryOffset(size_t AIndex) const;
  // The file offset of the checksum field.
  uint32_t CheckSumOffset() const;

  // The file offset of ASize bytes at ARva, when one section's raw data
  // holds all of them and the file holds that; raises EBadImage otherwise.
  uint32_t FileOffset(uint32_t ARva, uint32_t ASize) const;
};

// Every resource of the image, in the order of its directory (types, names,
// languages as stored). Raises EBadImage for a directory or data entry that
// lies outside the resource section, a directory met twice (a loop), or an
// entry at the wrong level; a resource whose data lie outside the file is
// listed with its damage.
std::vector<TResource> ReadResources(const TPeImage& AImage, std::span<const uint8_t> AFile);

}  // namespace Pack
