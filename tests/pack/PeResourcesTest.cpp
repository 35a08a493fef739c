// The packing tools' reader of an executable's resources, on a small image
// made here, whole and damaged one field at a time.
#include <gtest/gtest.h>

#include <cstring>

#include "PeImageFixture.h"
#include "PeResources.h"

using namespace Pack;

namespace {

TEST(PeResources, AWholeImageGivesItsResourcesWhereTheyLie) {
  const std::vector<uint8_t> file = Testing::MinimalImage();
  TPeImage image = TPeImage::Read(file);
  EXPECT_FALSE(image.Is64);
  ASSERT_EQ(image.Sections.size(), 1u);
  EXPECT_EQ(image.Sections[0].Name, ".rsrc");
  std::vector<TResource> resources = ReadResources(image, file);
  ASSERT_EQ(resources.size(), 2u);
  EXPECT_EQ(resources[0].Type, (TResourceId{10, {}}));
  EXPECT_EQ(resources[0].Name, (TResourceId{0, u"ABC"}));
  EXPECT_EQ(resources[0].Language, 1033);
  EXPECT_EQ(std::string(file.begin() + resources[0].Offset, file.begin() + resources[0].Offset + resources[0].Size),
            "hello");
  EXPECT_EQ(resources[1].Name, (TResourceId{7, {}}));
  EXPECT_EQ(resources[1].Size, 0u);
}

// Each damaged field makes the reader refuse the image with a message
// that names what is wrong, reading nothing outside the bytes it holds
// (the sanitizers of this build would stop it).
TEST(PeResources, DamagedHeadersAndTablesAreRefusedWithWhatIsWrong) {
  using Testing::Offsets;
  struct TCase {
    const char* Name;
    size_t At;  // where the damage goes (Offsets::...)
    uint32_t Value;  // written there, 32 bits (16 when Wide is false)
    bool Wide;
    const char* Message;  // a part of the message
  };
  const TCase cases[] = {
      {"no MZ", 0, 0x5A4E, false, "no MZ"},
      {"NT headers beyond the file", Offsets::NtOffset, 0x7FFFFFF0, true, "outside the file"},
      {"no PE signature", Offsets::Nt, 0x00004551, true, "no PE signature"},
      {"unknown optional header", Offsets::Magic, 0x0107, false, "neither"},
      {"optional header past the end", Offsets::OptionalSize, 0xFFFF, false, "past the end"},
      {"section table past the end", Offsets::Sections, 0xFFFF, false, "section table"},
      {"resource section past the end", Offsets::RawSize, 0x7FFFFFFF, true, "past the end"},
      {"resource address in no section", Offsets::ResourceRva, 0x9000, true, "no section"},
      {"type directory outside the section", Offsets::RootEntryTarget, 0x80000000u | 0x7000, true, "outside"},
      {"directory that refers to itself", Offsets::RootEntryTarget, 0x80000000u, true, "refers back"},
      {"entry count past the section", Offsets::RootIdCount, 0xFFFF, false, "entries run past"},
      {"type entry pointing at data", Offsets::RootEntryTarget, Offsets::DataEntry, true, "instead of a directory"},
      {"name text past the section", Offsets::NameText, 0xFFFF, false, "runs past"},
      {"name text outside the section", Offsets::NameEntry, 0x80000000u | 0x7FF0, true, "outside"},
      {"data entry outside the section", Offsets::LanguageEntryTarget, 0x7FF8, true, "outside"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> file = Testing::MinimalImage();
    if (c.Wide)
      std::memcpy(file.data() + c.At, &c.Value, 4);
    else
      std::memcpy(file.data() + c.At, &c.Value, 2);
    try {
      ReadResources(TPeImage::Read(file), file);
      ADD_FAILURE() << "accepted";
    } catch (const EBadImage& e) {
      EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
    }
  }
}

// The data directories are as many as the header counts, but never more
// than it holds (nor than 16): entries past it are the section table's bytes.
TEST(PeResources, DataDirectoriesAreThoseTheHeaderBothCountsAndHolds) {
  using Testing::Offsets;
  struct TCase {
    uint32_t Count;
    uint16_t OptionalSize;
    size_t Expected;
  };
  for (const TCase& c : {TCase{16, 224, 16}, TCase{0xFFFFFFFF, 224, 16}, TCase{3, 224, 3}, TCase{16, 96 + 3 * 8, 3}}) {
    std::vector<uint8_t> file = Testing::MinimalImage();
    std::memcpy(file.data() + Offsets::Optional + 92, &c.Count, 4);
    std::memcpy(file.data() + Offsets::OptionalSize, &c.OptionalSize, 2);
    const TPeImage image = TPeImage::Read(file);
    EXPECT_EQ(image.Directories.size(), c.Expected) << c.Count << " in " << c.OptionalSize;
    EXPECT_EQ(image.Directory(Pe::ResourceDirectory).Rva, Offsets::SectionRva);
    EXPECT_EQ(image.Directory(Pe::RelocationDirectory).Rva, 0u);
  }
}

// Data outside the file damage that one resource only: it is listed, with
// what is wrong and no data, beside the others.
TEST(PeResources, DataOutsideTheFileDamageThatResourceOnly) {
  using Testing::Offsets;
  for (auto [at, value] : {std::pair{Offsets::DataSize, 0x7FFFFFFFu}, std::pair{Offsets::DataRva, 0x00500000u}}) {
    std::vector<uint8_t> file = Testing::MinimalImage();
    std::memcpy(file.data() + at, &value, 4);
    std::vector<TResource> resources = ReadResources(TPeImage::Read(file), file);
    ASSERT_EQ(resources.size(), 2u);
    EXPECT_NE(resources[0].Damage.find("outside the file"), std::string::npos) << resources[0].Damage;
    EXPECT_EQ(resources[0].Size, 0u);
    EXPECT_TRUE(resources[1].Damage.empty());
  }
}

TEST(PeResources, ATruncatedImageIsRefusedAtEveryLength) {
  const std::vector<uint8_t> whole = Testing::MinimalImage();
  for (size_t length = 0; length < whole.size(); ++length) {
    std::vector<uint8_t> file(whole.begin(), whole.begin() + length);
    EXPECT_THROW(ReadResources(TPeImage::Read(file), file), EBadImage) << length;
  }
}

}  // namespace
