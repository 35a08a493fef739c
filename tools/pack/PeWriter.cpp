#include "PeWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <string>

namespace Pack {

namespace {

[[noreturn]] void Bad(const std::string& AWhat) { throw EBadImage(AWhat); }

using namespace Pe;

uint64_t AlignUp(uint64_t AValue, uint32_t AAlignment) { return (AValue + AAlignment - 1) / AAlignment * AAlignment; }
bool IsPowerOfTwo(uint32_t AValue) { return AValue && !(AValue & (AValue - 1)); }

// Named entries first, by their text; then numbers, ascending.
bool Before(const TResourceId& A, const TResourceId& B) {
  if (A.Text.empty() != B.Text.empty()) return !A.Text.empty();
  if (!A.Text.empty()) return A.Text < B.Text;
  return A.Number < B.Number;
}
struct TIdLess {
  bool operator()(const TResourceId& A, const TResourceId& B) const { return Before(A, B); }
};

// One resource of the finished file: its data from the template, from
// memory, or the payload.
struct TItem {
  std::span<const uint8_t> Bytes;
  bool Payload = false;
  uint32_t Size = 0;
};
using TLanguages = std::map<uint16_t, TItem>;
using TNames = std::map<TResourceId, TLanguages, TIdLess>;
using TTypes = std::map<TResourceId, TNames, TIdLess>;

constexpr size_t DataAlignment = 8;

// The resource section laid out: its directory part (directories, data
// entries, names) and where each item's data goes, from the section's
// start.
struct TLayout {
  std::vector<uint8_t> Head;
  std::vector<std::pair<uint64_t, const TItem*>> Data;  // in order
  uint64_t Size = 0;
};

TLayout LayOut(const TTypes& ATypes, uint32_t ASectionRva) {
  TLayout layout;
  // Sizes first: directories breadth first, then data entries, then names.
  uint64_t directories = DirectorySize + EntrySize * ATypes.size(), dataEntries = 0, names = 0;
  for (const auto& [type, typeNames] : ATypes) {
    directories += DirectorySize + EntrySize * typeNames.size();
    if (!type.Text.empty()) names += 2 + 2 * type.Text.size();
    for (const auto& [name, languages] : typeNames) {
      directories += DirectorySize + EntrySize * languages.size();
      dataEntries += DataEntrySize * languages.size();
      if (!name.Text.empty()) names += 2 + 2 * name.Text.size();
    }
  }
  const uint64_t headSize = AlignUp(directories + dataEntries + names, DataAlignment);
  if (headSize > 0x7FFFFFFF) Bad("too many resources");
  layout.Head.assign(size_t(headSize), 0);
  std::vector<uint8_t>& head = layout.Head;

  uint64_t nextDirectory = 0, nextDataEntry = directories, nextName = directories + dataEntries;
  uint64_t nextData = headSize;
  auto directory = [&](size_t ANamed, size_t ANumbered) {
    const uint64_t at = nextDirectory;
    Put16(head, at + 12, uint16_t(ANamed));
    Put16(head, at + 14, uint16_t(ANumbered));
    nextDirectory += DirectorySize + EntrySize * (ANamed + ANumbered);
    return at;
  };
  auto name = [&](const TResourceId& AId) -> uint32_t {
    if (AId.Text.empty()) return AId.Number;
    const uint64_t at = nextName;
    Put16(head, at, uint16_t(AId.Text.size()));
    for (size_t i = 0; i < AId.Text.size(); ++i) Put16(head, at + 2 + 2 * i, uint16_t(AId.Text[i]));
    nextName += 2 + 2 * AId.Text.size();
    return HighBit | uint32_t(at);
  };
  auto counts = [](const auto& AMap) {
    size_t named = 0;
    for (const auto& entry : AMap) named += !entry.first.Text.empty();
    return std::pair{named, AMap.size() - named};
  };
  for (const auto& [type, typeNames] : ATypes)
    if (typeNames.size() > 0xFFFF) Bad("too many resources of one type");

  // The root, then each type's directory, then each name's: entries are
  // filled in as their directories are placed.
  auto [namedTypes, numberedTypes] = counts(ATypes);
  const uint64_t root = directory(namedTypes, numberedTypes);
  std::vector<std::pair<uint64_t, const TNames*>> typeDirectories;
  size_t entry = 0;
  for (const auto& [type, typeNames] : ATypes) {
    auto [named, numbered] = counts(typeNames);
    const uint64_t at = directory(named, numbered);
    Put32(head, root + DirectorySize + EntrySize * entry, name(type));
    Put32(head, root + DirectorySize + EntrySize * entry + 4, HighBit | uint32_t(at));
    typeDirectories.push_back({at, &typeNames});
    ++entry;
  }
  for (const auto& [typeDirectory, typeNames] : typeDirectories) {
    entry = 0;
    for (const auto& [resourceName, languages] : *typeNames) {
      const uint64_t at = directory(0, languages.size());
      Put32(head, typeDirectory + DirectorySize + EntrySize * entry, name(resourceName));
      Put32(head, typeDirectory + DirectorySize + EntrySize * entry + 4, HighBit | uint32_t(at));
      size_t language = 0;
      for (const auto& [id, item] : languages) {
        const uint64_t dataEntry = nextDataEntry;
        nextDataEntry += DataEntrySize;
        Put32(head, at + DirectorySize + EntrySize * language, id);
        Put32(head, at + DirectorySize + EntrySize * language + 4, uint32_t(dataEntry));
        if (ASectionRva + nextData + item.Size > 0xFFFFFFFFull) Bad("the resources are too large for an image");
        Put32(head, dataEntry, uint32_t(ASectionRva + nextData));
        Put32(head, dataEntry + 4, item.Size);
        layout.Data.push_back({nextData, &item});
        nextData = AlignUp(nextData + item.Size, DataAlignment);
        ++language;
      }
      ++entry;
    }
  }
  layout.Size = nextData;
  return layout;
}

// Counts what it writes: its length and the sum of its words.
class TCountingOutput {
public:
  explicit TCountingOutput(TOutput& AOutput) : FOutput(AOutput) {}
  void Write(std::span<const uint8_t> ABytes) {
    if (ABytes.empty()) return;
    FOutput.Write(ABytes);
    // Everything but zero padding starts at an even offset, so the words
    // pair as in the file.
    Sum += WordSum(ABytes);
    Length += ABytes.size();
  }
  void Zeros(uint64_t ACount) {
    static const uint8_t zeros[4096] = {};
    while (ACount) {
      const size_t part = size_t(std::min<uint64_t>(ACount, sizeof(zeros)));
      FOutput.Write({zeros, part});
      Length += part;
      ACount -= part;
    }
  }
  void Payload(uint32_t ASize) {
    Sum += FOutput.WritePayload(ASize);
    Length += ASize;
  }
  uint64_t Sum = 0, Length = 0;

private:
  TOutput& FOutput;
};

}  // namespace

uint64_t WordSum(std::span<const uint8_t> ABytes) {
  uint64_t sum = 0;
  const uint8_t* p = ABytes.data();
  size_t left = ABytes.size();
  if constexpr (std::endian::native == std::endian::little) {
    // Eight bytes at a time: the four words go into two 32-bit lanes,
    // emptied before they can overflow; the compiler turns this into
    // vector code.
    constexpr uint64_t Lanes = 0x0000FFFF0000FFFFull;
    while (left >= 8) {
      const size_t block = std::min<size_t>(left / 8, 16384);
      uint64_t acc = 0;
      for (size_t i = 0; i < block; ++i) {
        uint64_t x;
        std::memcpy(&x, p + 8 * i, 8);
        acc += (x & Lanes) + (x >> 16 & Lanes);
      }
      sum += (acc & 0xFFFFFFFF) + (acc >> 32);
      p += 8 * block;
      left -= 8 * block;
    }
  }
  for (; left >= 2; p += 2, left -= 2) sum += uint32_t(p[0]) | uint32_t(p[1]) << 8;
  if (left) sum += p[0];
  return sum;
}

uint32_t FinishChecksum(uint64_t ASum, uint64_t ALength) {
  while (ASum > 0xFFFF) ASum = (ASum & 0xFFFF) + (ASum >> 16);
  return uint32_t(ASum + ALength);
}

void WriteWithResources(std::span<const uint8_t> ATemplate, const std::vector<TNewResource>& ANew, TOutput& AOutput) {
  const TPeImage image = TPeImage::Read(ATemplate);
  const size_t optional = image.OptionalOffset, table = image.SectionTableOffset;
  if (!IsPowerOfTwo(image.FileAlignment) || !IsPowerOfTwo(image.SectionAlignment))
    Bad("the template's alignments are no powers of two");
  if (table + SectionHeaderSize * image.Sections.size() > image.SizeOfHeaders)
    Bad("the template's section table lies past its headers");
  if (image.Directory(SecurityDirectory).Rva) Bad("the template is signed: sign the packed wrapper instead");

  // The resource section, and what follows it.
  const uint32_t resourceRva = image.Directory(ResourceDirectory).Rva;
  size_t resource = image.Sections.size();
  for (size_t i = 0; i < image.Sections.size(); ++i)
    if (resourceRva && image.Sections[i].VirtualAddress == resourceRva) resource = i;
  if (resource == image.Sections.size()) Bad("the template has no resource section");
  const TSection& rsrc = image.Sections[resource];
  if (rsrc.RawOffset % image.FileAlignment || rsrc.RawOffset < image.SizeOfHeaders)
    Bad("the template's resource section is not where a section can be");
  for (size_t i = 1; i < image.Sections.size(); ++i) {
    const TSection& before = image.Sections[i - 1];
    if (image.Sections[i].VirtualAddress < uint64_t(before.VirtualAddress) + std::max(before.VirtualSize, before.RawSize))
      Bad("the template's sections overlap in memory");
  }
  uint64_t rawEnd = 0;
  for (size_t i = 0; i < image.Sections.size(); ++i) {
    const TSection& s = image.Sections[i];
    if (!s.RawSize) continue;
    const uint64_t end = uint64_t(s.RawOffset) + s.RawSize;
    rawEnd = std::max(rawEnd, end);
    if (i < resource && end > rsrc.RawOffset) Bad("a section of the template lies after its resource section");
    if (i > resource && s.RawOffset < uint64_t(rsrc.RawOffset) + rsrc.RawSize)
      Bad("a section of the template lies before the end of its resource section");
  }
  if (rawEnd != ATemplate.size()) Bad("the template has data after its last section, or is cut short");
  const uint32_t relocations = image.Directory(RelocationDirectory).Rva;
  for (size_t i = resource + 1; i < image.Sections.size(); ++i) {
    const TSection& s = image.Sections[i];
    auto inside = [&](uint32_t ARva) {
      return ARva >= s.VirtualAddress && ARva - s.VirtualAddress < std::max(s.VirtualSize, s.RawSize);
    };
    if (!inside(relocations)) Bad("the template's section " + s.Name + " after its resources cannot move");
    for (size_t d = 0; d < image.Directories.size(); ++d)
      if (d != RelocationDirectory && inside(image.Directories[d].Rva))
        Bad("the template's section " + s.Name + " after its resources holds more than relocations");
  }

  // The resources: the template's, with the new ones added or in their
  // place.
  TTypes types;
  for (const TResource& r : ReadResources(image, ATemplate)) {
    if (!r.Damage.empty()) Bad("a resource of the template is damaged: " + r.Damage);
    types[r.Type][r.Name][r.Language] = {ATemplate.subspan(r.Offset, r.Size), false, r.Size};
  }
  for (const TNewResource& r : ANew) {
    if (!r.Payload && r.Bytes.size() > 0xFFFFFFFFull) Bad("a resource is too large");
    types[r.Type][r.Name][r.Language] = {r.Bytes, r.Payload, r.Payload ? r.PayloadSize : uint32_t(r.Bytes.size())};
  }
  const TLayout layout = LayOut(types, rsrc.VirtualAddress);

  // The headers for the new layout.
  std::vector<uint8_t> front(ATemplate.begin(), ATemplate.begin() + rsrc.RawOffset);
  const uint64_t rawSize = AlignUp(layout.Size, image.FileAlignment);
  uint64_t virtualEnd = uint64_t(rsrc.VirtualAddress) + layout.Size;
  uint64_t rawCursor = uint64_t(rsrc.RawOffset) + rawSize;
  const size_t rsrcHeader = table + SectionHeaderSize * resource;
  Put32(front, rsrcHeader + SectionVirtualSize, uint32_t(layout.Size));
  Put32(front, rsrcHeader + SectionRawSize, uint32_t(rawSize));
  for (size_t i = resource + 1; i < image.Sections.size(); ++i) {
    const TSection& s = image.Sections[i];
    const uint64_t va = AlignUp(virtualEnd, image.SectionAlignment);
    if (va + std::max(s.VirtualSize, s.RawSize) > 0xFFFFFFFFull || rawCursor + s.RawSize > 0xFFFFFFFFull)
      Bad("the packed wrapper would be too large for an image");
    Put32(front, table + SectionHeaderSize * i + SectionVirtualAddress, uint32_t(va));
    Put32(front, table + SectionHeaderSize * i + SectionRawOffset, s.RawSize ? uint32_t(rawCursor) : 0);
    if (relocations >= s.VirtualAddress && relocations - s.VirtualAddress < std::max(s.VirtualSize, s.RawSize))
      Put32(front, image.DirectoryOffset(RelocationDirectory), uint32_t(relocations - s.VirtualAddress + va));
    virtualEnd = va + std::max(s.VirtualSize, s.RawSize);
    rawCursor += s.RawSize;
  }
  const uint64_t imageSize = AlignUp(std::max<uint64_t>(virtualEnd, image.SizeOfHeaders), image.SectionAlignment);
  if (imageSize > 0xFFFFFFFFull) Bad("the packed wrapper would be too large for an image");
  Put32(front, optional + SizeOfImage, uint32_t(imageSize));
  Put32(front, image.DirectoryOffset(ResourceDirectory) + 4, uint32_t(layout.Size));
  const uint32_t initialised = U32(ATemplate, optional + SizeOfInitializedData);
  Put32(front, optional + SizeOfInitializedData, uint32_t(initialised - rsrc.RawSize + rawSize));
  const size_t checksum = image.CheckSumOffset();
  Put32(front, checksum, 0);  // counted as zero; written last

  TCountingOutput out(AOutput);
  out.Write(front);
  out.Write(layout.Head);
  for (const auto& [offset, item] : layout.Data) {
    out.Zeros(rsrc.RawOffset + offset - out.Length);
    if (item->Payload)
      out.Payload(item->Size);
    else
      out.Write(item->Bytes);
  }
  out.Zeros(rsrc.RawOffset + rawSize - out.Length);
  for (size_t i = resource + 1; i < image.Sections.size(); ++i) {
    const TSection& s = image.Sections[i];
    out.Write(ATemplate.subspan(s.RawOffset, s.RawSize));
  }
  AOutput.Patch(checksum, FinishChecksum(out.Sum, out.Length));
}

}  // namespace Pack
