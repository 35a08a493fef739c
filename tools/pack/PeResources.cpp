#include "PeResources.h"

#include <algorithm>
#include <set>

namespace Pack {

namespace {

// Whether ASize bytes at AOffset lie inside ALength bytes.
bool Fits(uint64_t AOffset, uint64_t ASize, uint64_t ALength) { return AOffset <= ALength && ASize <= ALength - AOffset; }

[[noreturn]] void Bad(const std::string& AWhat) { throw EBadImage(AWhat); }

constexpr uint32_t DosHeaderSize = 64, FileHeaderSize = 20;
using namespace Pe;

}  // namespace

TPeImage TPeImage::Read(std::span<const uint8_t> AFile) {
  TPeImage image;
  image.FileSize = AFile.size();
  if (AFile.size() < DosHeaderSize || AFile[0] != 'M' || AFile[1] != 'Z') Bad("not a Windows executable (no MZ header)");
  const uint32_t ntOffset = U32(AFile, 0x3C);
  if (!Fits(ntOffset, 4 + FileHeaderSize, AFile.size()))
    Bad("the NT headers' offset " + std::to_string(ntOffset) + " lies outside the file");
  if (U32(AFile, ntOffset) != 0x00004550) Bad("not a Windows executable (no PE signature)");
  const size_t fileHeader = ntOffset + 4;
  const uint16_t sections = U16(AFile, fileHeader + 2);
  const uint16_t optionalSize = U16(AFile, fileHeader + 16);
  const size_t optional = fileHeader + FileHeaderSize;
  image.OptionalOffset = uint32_t(optional);
  if (!Fits(optional, optionalSize, AFile.size())) Bad("the optional header runs past the end of the file");
  if (optionalSize < 2) Bad("the optional header is missing");
  const uint16_t magic = U16(AFile, optional);
  if (magic != 0x10B && magic != 0x20B) Bad("the optional header is neither of a 32-bit nor of a 64-bit image");
  image.Is64 = magic == 0x20B;
  const uint32_t directories = image.Is64 ? DataDirectories64 : DataDirectories32;
  if (optionalSize < directories) Bad("the optional header is too short");
  image.SectionAlignment = U32(AFile, optional + Pe::SectionAlignment);
  image.FileAlignment = U32(AFile, optional + Pe::FileAlignment);
  image.SizeOfHeaders = U32(AFile, optional + Pe::SizeOfHeaders);
  // As many entries as the header counts, as far as it holds them.
  const uint32_t count = std::min({U32(AFile, optional + directories - 4), (optionalSize - directories) / DataDirectorySize,
                                   MaxDataDirectories});
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = optional + directories + i * DataDirectorySize;
    image.Directories.push_back({U32(AFile, at), U32(AFile, at + 4)});
  }
  const size_t table = optional + optionalSize;
  image.SectionTableOffset = uint32_t(table);
  if (!Fits(table, uint64_t(sections) * SectionHeaderSize, AFile.size()))
    Bad("the section table (" + std::to_string(sections) + " sections) runs past the end of the file");
  image.Sections.reserve(sections);
  for (size_t i = 0; i < sections; ++i) {
    const size_t at = table + i * SectionHeaderSize;
    TSection section;
    for (size_t c = 0; c < 8 && AFile[at + c]; ++c) section.Name += char(AFile[at + c]);
    section.VirtualSize = U32(AFile, at + SectionVirtualSize);
    section.VirtualAddress = U32(AFile, at + SectionVirtualAddress);
    section.RawSize = U32(AFile, at + SectionRawSize);
    section.RawOffset = U32(AFile, at + SectionRawOffset);
    image.Sections.push_back(std::move(section));
  }
  return image;
}

uint32_t TPeImage::DirectoryOffset(size_t AIndex) const {
  return OptionalOffset + (Is64 ? DataDirectories64 : DataDirectories32) + uint32_t(AIndex) * DataDirectorySize;
}

uint32_t TPeImage::CheckSumOffset() const { return OptionalOffset + CheckSum; }

uint32_t TPeImage::FileOffset(uint32_t ARva, uint32_t ASize) const {
  for (const TSection& s : Sections) {
    if (ARva < s.VirtualAddress || ARva - s.VirtualAddress >= std::max(s.VirtualSize, s.RawSize)) continue;
    const uint32_t inside = ARva - s.VirtualAddress;
    // All of it in the section's raw data, and that in the file.
    if (!Fits(inside, ASize, s.RawSize) || !Fits(uint64_t(s.RawOffset) + inside, ASize, FileSize)) break;
    return s.RawOffset + inside;
  }
  Bad("the " + std::to_string(ASize) + " bytes at address " + std::to_string(ARva) + " are not in the file");
}

namespace {

// The walk of a resource directory: ASection holds the resource section's
// bytes as the file has them.
class TResourceWalk {
public:
  TResourceWalk(const TPeImage& AImage, std::span<const uint8_t> AFile, std::span<const uint8_t> ASection)
      : FImage(AImage), FFile(AFile), FSection(ASection) {}

  void Directory(uint32_t AOffset, int ALevel, TResource& AResource) {
    if (!Fits(AOffset, DirectorySize, FSection.size())) Bad("a resource directory lies outside the resource section");
    // A tree never shares a directory: a second visit is a loop (or a
    // crafted tree that would multiply the work).
    if (!FVisited.insert(AOffset).second) Bad("the resource directory refers back to itself");
    const uint32_t entries = uint32_t(U16(FSection, AOffset + 12)) + U16(FSection, AOffset + 14);
    if (!Fits(AOffset + DirectorySize, uint64_t(entries) * EntrySize, FSection.size()))
      Bad("a resource directory's " + std::to_string(entries) + " entries run past the resource section");
    for (uint32_t i = 0; i < entries; ++i) {
      const uint32_t at = AOffset + DirectorySize + i * EntrySize;
      const uint32_t name = U32(FSection, at), target = U32(FSection, at + 4);
      TResourceId id = Id(name, ALevel);
      if (ALevel == 0) AResource.Type = id;
      if (ALevel == 1) AResource.Name = id;
      if (ALevel == 2) AResource.Language = id.Number;
      const bool subdirectory = target & HighBit;
      if (ALevel < 2) {
        if (!subdirectory) Bad("a resource type or name entry points at data instead of a directory");
        Directory(target & ~HighBit, ALevel + 1, AResource);
      } else {
        if (subdirectory) Bad("a resource language entry points at a directory instead of data");
        Data(target, AResource);
      }
    }
  }

  std::vector<TResource> Resources;

private:
  TResourceId Id(uint32_t AName, int ALevel) {
    if (!(AName & HighBit)) {
      if (AName > 0xFFFF) Bad("a resource number is larger than 65535");
      return {uint16_t(AName), {}};
    }
    if (ALevel == 2) Bad("a resource language is named by a text");
    const uint32_t at = AName & ~HighBit;
    if (!Fits(at, 2, FSection.size())) Bad("a resource name lies outside the resource section");
    const uint16_t length = U16(FSection, at);
    if (length == 0 || !Fits(at + 2, uint64_t(length) * 2, FSection.size()))
      Bad("a resource name runs past the resource section");
    TResourceId id;
    for (uint32_t i = 0; i < length; ++i) id.Text += char16_t(U16(FSection, at + 2 + i * 2));
    return id;
  }

  void Data(uint32_t AOffset, TResource& AResource) {
    if (!Fits(AOffset, DataEntrySize, FSection.size())) Bad("a resource data entry lies outside the resource section");
    const uint32_t rva = U32(FSection, AOffset), size = U32(FSection, AOffset + 4);
    TResource resource = AResource;
    try {
      resource.Offset = FImage.FileOffset(rva, size);
      resource.Size = size;
    } catch (const EBadImage&) {
      resource.Damage = "its data (" + std::to_string(size) + " bytes at address " + std::to_string(rva) +
                        ") lie outside the file";
    }
    Resources.push_back(std::move(resource));
  }

  const TPeImage& FImage;
  std::span<const uint8_t> FFile, FSection;
  std::set<uint32_t> FVisited;
};

}  // namespace

std::vector<TResource> ReadResources(const TPeImage& AImage, std::span<const uint8_t> AFile) {
  const uint32_t rva = AImage.Directory(ResourceDirectory).Rva;
  if (!rva) return {};
  // The resource section as far as the file holds it.
  const TSection* section = nullptr;
  for (const TSection& s : AImage.Sections)
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.RawSize) section = &s;
  if (!section) Bad("the resource directory's address is in no section the file holds");
  const uint32_t inside = rva - section->VirtualAddress;
  if (!Fits(section->RawOffset, section->RawSize, AFile.size())) Bad("the resource section runs past the end of the file");
  std::span<const uint8_t> bytes = AFile.subspan(section->RawOffset + inside, section->RawSize - inside);
  TResourceWalk walk(AImage, AFile, bytes);
  TResource resource;
  walk.Directory(0, 0, resource);
  return std::move(walk.Resources);
}

}  // namespace Pack
