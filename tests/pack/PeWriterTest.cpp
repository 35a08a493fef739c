// The packing tool's resource writer and what it takes over from an
// installer, on small images made here: read back with the resource reader,
// the checksum recomputed the way independent tools do it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "InstallerResources.h"
#include "PeImageFixture.h"
#include "PeResources.h"
#include "PeWriter.h"

using namespace Pack;

namespace {

// Collects the file in memory; the payload is a pattern of the size asked.
class TMemoryOutput : public TOutput {
public:
  void Write(std::span<const uint8_t> ABytes) override { Bytes.insert(Bytes.end(), ABytes.begin(), ABytes.end()); }
  uint64_t WritePayload(uint32_t ASize) override {
    std::vector<uint8_t> payload = Payload(ASize);
    Write(payload);
    return WordSum(payload);
  }
  void Patch(uint64_t AOffset, uint32_t AValue) override { std::memcpy(Bytes.data() + AOffset, &AValue, 4); }
  static std::vector<uint8_t> Payload(uint32_t ASize) {
    std::vector<uint8_t> bytes(ASize);
    for (uint32_t i = 0; i < ASize; ++i) bytes[i] = uint8_t(i * 131 + 17);
    return bytes;
  }
  std::vector<uint8_t> Bytes;
};

// The PE checksum as independent tools compute it: 32-bit words with the
// carry added back, folded to 16 bits, plus the length.
uint32_t ReferenceChecksum(std::vector<uint8_t> AFile, size_t AField) {
  std::memset(AFile.data() + AField, 0, 4);
  while (AFile.size() % 4) AFile.push_back(0);
  uint64_t sum = 0;
  for (size_t i = 0; i < AFile.size(); i += 4) {
    uint32_t word;
    std::memcpy(&word, AFile.data() + i, 4);
    sum += word;
    sum = (sum & 0xFFFFFFFF) + (sum >> 32);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum += sum >> 16;
  return uint32_t((sum & 0xFFFF) + AFile.size());
}

std::string Data(const std::vector<uint8_t>& AFile, const TResource& AResource) {
  return std::string(AFile.begin() + AResource.Offset, AFile.begin() + AResource.Offset + AResource.Size);
}

std::vector<uint8_t> Bytes(const std::string& AText) { return {AText.begin(), AText.end()}; }

TEST(PeWriter, ResourcesAreAddedOrReplacedTheRestMovesAlongAndTheChecksumIsRight) {
  using Testing::Offsets;
  const std::vector<uint8_t> templ = Testing::MinimalImage(true);
  std::vector<TNewResource> added;
  added.push_back({{10, {}}, {0, u"ABC"}, 1033, Bytes("replaced")});
  added.push_back({{10, {}}, {0, u"ABC"}, 1031, Bytes("German")});
  added.push_back({{3, {}}, {2, {}}, 1033, Bytes("an icon image")});
  TNewResource payload{{10, {}}, {0, u"RES_INSTALLER_PACKAGE"}, 1033, {}};
  payload.Payload = true;
  payload.PayloadSize = 100001;  // odd: its last byte pairs with padding
  added.push_back(payload);
  TMemoryOutput out;
  WriteWithResources(templ, added, out);
  const std::vector<uint8_t>& file = out.Bytes;

  const TPeImage image = TPeImage::Read(file);
  const std::vector<TResource> resources = ReadResources(image, file);
  ASSERT_EQ(resources.size(), 5u);
  // Types by number, names before numbers, each sorted, languages ascending.
  EXPECT_EQ(resources[0].Type, (TResourceId{3, {}}));
  EXPECT_EQ(Data(file, resources[1]), "German");
  EXPECT_EQ(resources[1].Language, 1031);
  EXPECT_EQ(Data(file, resources[2]), "replaced");
  EXPECT_EQ(resources[3].Name, (TResourceId{0, u"RES_INSTALLER_PACKAGE"}));
  EXPECT_EQ(resources[4].Name, (TResourceId{7, {}}));
  const std::vector<uint8_t> pattern = TMemoryOutput::Payload(100001);
  EXPECT_EQ(Data(file, resources[3]), std::string(pattern.begin(), pattern.end()));
  for (const TResource& r : resources) EXPECT_EQ(r.Offset % 8, 0u) << "data aligned";

  // The relocations moved after the grown resources, unchanged, with their
  // directory; the image size and the resource directory's size follow.
  ASSERT_EQ(image.Sections.size(), 2u);
  const TSection& rsrc = image.Sections[0];
  const TSection& reloc = image.Sections[1];
  EXPECT_EQ(rsrc.RawSize % 0x200, 0u);
  EXPECT_EQ(reloc.RawOffset, rsrc.RawOffset + rsrc.RawSize);
  EXPECT_EQ(reloc.VirtualAddress % 0x1000, 0u);
  EXPECT_GE(reloc.VirtualAddress, rsrc.VirtualAddress + rsrc.VirtualSize);
  EXPECT_TRUE(std::equal(file.begin() + reloc.RawOffset, file.begin() + reloc.RawOffset + 0x200,
                         templ.begin() + Offsets::ResourceStart + 0x200));
  uint32_t relocations, imageSize;
  std::memcpy(&relocations, file.data() + Offsets::Optional + 96 + 5 * 8, 4);
  std::memcpy(&imageSize, file.data() + Offsets::Optional + 56, 4);
  EXPECT_EQ(relocations, reloc.VirtualAddress);
  EXPECT_EQ(imageSize, reloc.VirtualAddress + 0x1000);
  EXPECT_EQ(image.Directory(Pe::ResourceDirectory).Size, rsrc.VirtualSize);
  EXPECT_EQ(file.size(), reloc.RawOffset + reloc.RawSize);
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + 0x40, templ.begin())) << "the DOS header as it was";

  uint32_t stored;
  const size_t field = Offsets::Optional + 64;
  std::memcpy(&stored, file.data() + field, 4);
  EXPECT_EQ(stored, ReferenceChecksum(file, field));
}

// A template the writer cannot rebuild is refused before anything is
// written wrongly.
TEST(PeWriter, TemplatesItCannotRebuildAreRefused) {
  using Testing::Offsets;
  struct TCase {
    const char* Name;
    void (*Damage)(std::vector<uint8_t>&);
    const char* Message;
  };
  const TCase cases[] = {
      {"signed", [](std::vector<uint8_t>& f) { f[Offsets::Optional + 96 + 4 * 8] = 1; }, "signed"},
      {"data after the last section", [](std::vector<uint8_t>& f) { f.push_back(0); }, "after its last section"},
      {"no resources", [](std::vector<uint8_t>& f) { std::memset(f.data() + Offsets::ResourceRva, 0, 8); },
       "no resource section"},
      {"a section after the resources that is no relocations",
       [](std::vector<uint8_t>& f) { std::memset(f.data() + Offsets::Optional + 96 + 5 * 8, 0, 8); }, "cannot move"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> templ = Testing::MinimalImage(true);
    c.Damage(templ);
    TMemoryOutput out;
    try {
      WriteWithResources(templ, {}, out);
      ADD_FAILURE() << "accepted";
    } catch (const EBadImage& e) {
      EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
    }
  }
}

// An installer made by the writer itself, with an icon group of two images
// and version information; then damaged one part at a time.
std::vector<uint8_t> Installer(std::vector<uint8_t> AGroup, std::vector<uint8_t> AVersion) {
  std::vector<TNewResource> parts;
  parts.push_back({{14, {}}, {0, u"APPICON"}, 1033, std::move(AGroup)});
  parts.push_back({{14, {}}, {9, {}}, 1033, Bytes("a second group, never taken")});
  parts.push_back({{3, {}}, {5, {}}, 1033, Bytes("image five")});
  parts.push_back({{3, {}}, {6, {}}, 0, Bytes("image six, neutral")});
  parts.push_back({{3, {}}, {6, {}}, 1031, Bytes("image six, German")});
  parts.push_back({{16, {}}, {1, {}}, 1033, std::move(AVersion)});
  TMemoryOutput out;
  WriteWithResources(Testing::MinimalImage(), parts, out);
  return out.Bytes;
}

std::vector<uint8_t> Group(std::initializer_list<uint16_t> AIds, size_t ACut = 0) {
  std::vector<uint8_t> group = {0, 0, 1, 0, uint8_t(AIds.size()), 0};
  for (uint16_t id : AIds) {
    std::vector<uint8_t> entry(14, 0);
    entry[12] = uint8_t(id), entry[13] = uint8_t(id >> 8);
    group.insert(group.end(), entry.begin(), entry.end());
  }
  group.resize(group.size() - ACut);
  return group;
}

std::vector<uint8_t> Version(uint16_t ALength, size_t ASize) {
  std::vector<uint8_t> block(ASize, 'v');
  block[0] = uint8_t(ALength), block[1] = uint8_t(ALength >> 8);
  block[4] = 1, block[5] = 0;  // a 32-bit block's type
  return block;
}

TEST(InstallerResources, TheFirstIconGroupWithItsImagesAndTheVersionAreTakenOver) {
  const std::vector<uint8_t> installer = Installer(Group({5, 6}), Version(40, 42));
  TInstallerResources taken = ReadInstallerResources(installer);
  EXPECT_TRUE(taken.Warnings.empty());
  ASSERT_EQ(taken.Resources.size(), 4u);
  EXPECT_EQ(taken.Resources[0].Name, (TResourceId{0, u"MAINICON"}));
  EXPECT_EQ(taken.Resources[0].Bytes, Group({5, 6}));
  EXPECT_EQ(taken.Resources[1].Bytes, Bytes("image five"));
  EXPECT_EQ(taken.Resources[2].Bytes, Bytes("image six, neutral")) << "the neutral language first";
  EXPECT_EQ(taken.Resources[2].Language, 1033);
  // As the system's version reader hands it out: the block, "FE2X" at its
  // own length, zeros to twice its size and 4.
  std::vector<uint8_t> block = Version(40, 42);
  block.resize(88, 0);
  std::memcpy(block.data() + 40, "FE2X", 4);
  EXPECT_EQ(taken.Resources[3].Bytes, block);
}

TEST(InstallerResources, ADamagedPartIsLeftOutWithAWarningThatNamesIt) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Installer;
    size_t Resources;  // taken over
    const char* Warning;
  };
  std::vector<uint8_t> brokenDirectory = Installer(Group({5}), Version(40, 42));
  brokenDirectory[Testing::Offsets::RootEntryTarget] = 0;  // the first type points back at the root
  const TCase cases[] = {
      {"an image missing", Installer(Group({5, 30583}), Version(40, 42)), 1, "refers to icon 30583"},
      {"a group larger than its resource", Installer(Group({5, 6}, 3), Version(40, 42)), 1, "lists 2 images in 31 bytes"},
      {"a version longer than its resource", Installer(Group({5}), Version(400, 42)), 2, "version information is damaged"},
      {"a 16-bit version block", [] {
         std::vector<uint8_t> version = Version(40, 42);
         version[4] = 'V';
         return Installer(Group({5}), version);
       }(), 2, "version information is damaged"},
      {"a resource directory that loops", brokenDirectory, 0, "resources cannot be read"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TInstallerResources taken = ReadInstallerResources(c.Installer);
    EXPECT_EQ(taken.Resources.size(), c.Resources);
    ASSERT_EQ(taken.Warnings.size(), 1u);
    EXPECT_NE(taken.Warnings[0].find(c.Warning), std::string::npos) << taken.Warnings[0];
  }
  // No executable at all (an MSI): nothing taken, nothing wrong.
  const std::vector<uint8_t> msi = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  TInstallerResources taken = ReadInstallerResources(msi);
  EXPECT_TRUE(taken.Resources.empty() && taken.Warnings.empty());
}

}  // namespace
