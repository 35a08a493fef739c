#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "UniqueHandle.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.Units.h"
#include "uWrapper.ResourceManager.h"

using namespace uWrapper::ResourceManager;
using Testing::ReadBytes;
using Testing::WriteBytes;
using Velqora::Exception;

namespace {

std::wstring Fixture(const char* AName) { return Testing::BuildPath((std::string(BOUNTIQ_FIXTURES "/") + AName).c_str()); }

// The raw bytes of a resource, read with the system's own functions; empty
// optional when it is missing.
struct TRaw {
  bool Found = false;
  std::string Bytes;
};
TRaw RawResource(const std::wstring& AFile, const wchar_t* AType, const wchar_t* AName) {
  TRaw raw;
  HMODULE module = LoadLibraryExW(AFile.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return raw;
  if (HRSRC info = FindResourceW(module, AName, AType)) {
    raw.Found = true;
    auto bytes = static_cast<const char*>(LockResource(LoadResource(module, info)));
    raw.Bytes.assign(bytes, SizeofResource(module, info));
  }
  FreeLibrary(module);
  return raw;
}

const wchar_t* const RT_ICON_W = MAKEINTRESOURCEW(3);
const wchar_t* const RT_RCDATA_W = MAKEINTRESOURCEW(10);
const wchar_t* const RT_GROUP_ICON_W = MAKEINTRESOURCEW(14);
const wchar_t* const RT_VERSION_W = MAKEINTRESOURCEW(16);

// The icon ids an icon group lists.
std::vector<WORD> GroupIds(const std::string& AGroup) {
  std::vector<WORD> ids;
  WORD count;
  memcpy(&count, AGroup.data() + 4, 2);
  for (WORD i = 0; i < count; ++i) {
    WORD id;
    memcpy(&id, AGroup.data() + 6 + 14 * i + 12, 2);
    ids.push_back(id);
  }
  return ids;
}

class ResourceManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    Units.emplace(Velqora::BindingUnits);
    Work = Folder / L"work.exe";
    ASSERT_TRUE(CopyFileW(Fixture("fixture-plain.exe").c_str(), Work.c_str(), FALSE));
  }
  void TearDown() override { Units.reset(); }
  std::optional<Velqora::TUnitsScope> Units;
  Testing::TTempFolder Folder;
  std::wstring Work;
};

TEST_F(ResourceManagerTest, StringsAreStoredAsBareUtf16AndReadBack) {
  TResourceManager rm(Work);
  rm.AddString(RES_INSTALLER_NAME, L"abc");
  TRaw raw = RawResource(Work, RT_RCDATA_W, RES_INSTALLER_NAME);
  ASSERT_TRUE(raw.Found);
  EXPECT_EQ(raw.Bytes, std::string("a\0b\0c\0", 6));
  EXPECT_EQ(rm.GetString(RES_INSTALLER_NAME), L"abc");
  EXPECT_TRUE(rm.IsExist(RES_INSTALLER_NAME));
  EXPECT_FALSE(rm.IsExist(L"NOT_THERE"));

  rm.AddString(L"OTHER", L"xyz");
  EXPECT_EQ(rm.GetString(RES_INSTALLER_NAME), L"abc");  // earlier items stay
}

TEST_F(ResourceManagerTest, AnOddByteIsNoPartOfTheText) {
  WriteBytes(Folder / L"seven.bin", "ABCDEFG");
  TResourceManager rm(Work);
  rm.AddFile(L"SEVEN", Folder / L"seven.bin");
  EXPECT_EQ(rm.GetString(L"SEVEN").size(), 3u);
  EXPECT_EQ(rm.GetSize(L"SEVEN"), 7u);
}

TEST_F(ResourceManagerTest, FilesRoundTripUnchanged) {
  std::string payload;
  for (unsigned i = 0; i < (3u << 20) + 17; ++i) payload += char(i * 7919u >> 3);
  WriteBytes(Folder / L"setup.bin", payload);
  TResourceManager rm(Work);
  rm.AddFile(RES_INSTALLER_PACKAGE, Folder / L"setup.bin");
  rm.GetFile(RES_INSTALLER_PACKAGE, Folder / L"out.bin");
  EXPECT_EQ(ReadBytes(Folder / L"out.bin"), payload);
}

TEST_F(ResourceManagerTest, GetFileReplacesTheTargetOrRemovesItWhenTheItemIsMissing) {
  TResourceManager rm(Work);
  rm.AddString(L"TEXT", L"new");
  WriteBytes(Folder / L"target", "old and longer content");
  rm.GetFile(L"TEXT", Folder / L"target");
  EXPECT_EQ(ReadBytes(Folder / L"target"), std::string("n\0e\0w\0", 6));

  try {
    rm.GetFile(L"MISSING", Folder / L"target");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Resource MISSING not found");
  }
  EXPECT_FALSE(Testing::FileExists(Folder / L"target"));
}

TEST_F(ResourceManagerTest, ReadersOfFilesThatAreNoExecutables) {
  WriteBytes(Folder / L"notes.txt", "just text, no executable");
  TResourceManager text(Folder / L"notes.txt");
  EXPECT_FALSE(text.IsExist(RES_INSTALLER_NAME));
  EXPECT_THROW(text.GetString(RES_INSTALLER_NAME), Velqora::ESystemError);
  TResourceManager missing(Folder / L"missing.exe");
  EXPECT_FALSE(missing.IsExist(RES_INSTALLER_NAME));
  EXPECT_FALSE(TResourceManager::IsPEImage(Folder / L"notes.txt"));
  EXPECT_TRUE(TResourceManager::IsPEImage(Work));
}

TEST_F(ResourceManagerTest, TheProgramReadsItsOwnResources) {
  wchar_t self[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  TResourceManager own(std::wstring(self, length));
  EXPECT_EQ(own.GetString(L"OWN_TEXT"), L"own");
  try {
    own.GetString(L"NOPE");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Resource NOPE not found");
  }
}

TEST_F(ResourceManagerTest, CopyMainIconTakesTheFirstGroupWithAllItsImages) {
  struct TCase {
    const char* Source;
    const wchar_t* Group;  // the source group that comes first
    std::vector<WORD> Ids;
  };
  const TCase cases[] = {
      {"fixture-icon-numeric.exe", MAKEINTRESOURCEW(5), {1, 2, 3}},
      {"fixture-icon-named.exe", L"APPICON", {1}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Source);
    SetUp();
    std::wstring source = Fixture(c.Source);
    TResourceManager(Work).CopyMainIcon(source);
    TRaw group = RawResource(Work, RT_GROUP_ICON_W, L"MAINICON");
    ASSERT_TRUE(group.Found);
    EXPECT_EQ(group.Bytes, RawResource(source, RT_GROUP_ICON_W, c.Group).Bytes);
    EXPECT_EQ(GroupIds(group.Bytes), c.Ids);
    for (WORD id : c.Ids) {
      TRaw image = RawResource(Work, RT_ICON_W, MAKEINTRESOURCEW(id));
      ASSERT_TRUE(image.Found) << id;
      EXPECT_EQ(image.Bytes, RawResource(source, RT_ICON_W, MAKEINTRESOURCEW(id)).Bytes) << id;
    }
  }
}

TEST_F(ResourceManagerTest, CopyingFromFilesWithoutIconOrVersionDoesNothing) {
  WriteBytes(Folder / L"notes.txt", "no executable");
  std::string before = ReadBytes(Work);
  TResourceManager rm(Work);
  for (const std::wstring& source : {Fixture("fixture-version.exe"), Folder / L"notes.txt", Folder / L"none.exe"})
    rm.CopyMainIcon(source);
  for (const std::wstring& source : {Fixture("fixture-icon-numeric.exe"), Folder / L"notes.txt"})
    rm.CopyVersionInfo(source);
  EXPECT_EQ(ReadBytes(Work), before);
}

TEST_F(ResourceManagerTest, CopyVersionInfoCopiesTheVersionResource) {
  TResourceManager(Work).CopyVersionInfo(Fixture("fixture-version.exe"));
  ASSERT_TRUE(RawResource(Work, RT_VERSION_W, MAKEINTRESOURCEW(1)).Found);
  DWORD handle;
  DWORD size = GetFileVersionInfoSizeW(Work.c_str(), &handle);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(Work.c_str(), 0, size, info.data()));
  wchar_t* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904E4\\CompanyName",
                             reinterpret_cast<void**>(&value), &length));
  EXPECT_STREQ(value, L"Fixture Company");
}

TEST_F(ResourceManagerTest, ChecksumIsRepairedAfterEachLaterUpdateAndLeftAloneWhenRight) {
  TResourceManager rm(Work);
  rm.AddString(RES_INSTALLER_NAME, L"setup.exe");
  DWORD stored, correct;
  ASSERT_TRUE(TResourceManager::ReadChecksum(Work, stored, correct));
  ASSERT_NE(stored, correct);
  EXPECT_TRUE(rm.UpdateChecksum());
  ASSERT_TRUE(TResourceManager::ReadChecksum(Work, stored, correct));
  EXPECT_EQ(stored, correct);

  // Right already: the file is not written at all, so its time of last
  // writing stays what it was set to.
  const FILETIME old{0x12345600, 0x01C00000};
  auto stamp = [&](const FILETIME* ASet) {
    Velqora::TUniqueFileHandle f(CreateFileW(Work.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME t{};
    if (ASet) SetFileTime(f.Get(), nullptr, nullptr, ASet);
    GetFileTime(f.Get(), nullptr, nullptr, &t);
    return t;
  };
  stamp(&old);
  std::string bytes = ReadBytes(Work);
  EXPECT_TRUE(rm.UpdateChecksum());
  FILETIME after = stamp(nullptr);
  EXPECT_EQ(CompareFileTime(&old, &after), 0);
  EXPECT_EQ(ReadBytes(Work), bytes);

  rm.AddString(L"LATER", L"x");  // stale again
  ASSERT_TRUE(TResourceManager::ReadChecksum(Work, stored, correct));
  EXPECT_NE(stored, correct);
  EXPECT_TRUE(rm.UpdateChecksum());
  ASSERT_TRUE(TResourceManager::ReadChecksum(Work, stored, correct));
  EXPECT_EQ(stored, correct);
}

TEST_F(ResourceManagerTest, ChecksumLeavesMalformedAndTruncatedFilesUntouched) {
  std::string image = ReadBytes(Work);
  DWORD ntOffset;
  memcpy(&ntOffset, image.data() + 60, 4);
  std::string farOffset = image.substr(0, 64);
  uint32_t beyond = 0x7FFFFFF0;
  memcpy(farOffset.data() + 60, &beyond, 4);
  struct TCase {
    const char* Name;
    std::string Bytes;
  };
  const TCase cases[] = {
      {"empty", ""},
      {"no MZ", "plain text that is long enough to hold a DOS header, but it is no executable at all."},
      {"MZ only, shorter than a DOS header", "MZ"},
      {"NT headers far beyond the end", farOffset},
      {"cut inside the NT headers", image.substr(0, ntOffset + 100)},
      {"no PE signature", [&] {
         std::string s = image;
         s[ntOffset] = 'X';
         return s;
       }()},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::wstring file = Folder / L"malformed.bin";
    WriteBytes(file, c.Bytes);
    EXPECT_FALSE(TResourceManager(file).UpdateChecksum());
    EXPECT_EQ(ReadBytes(file), c.Bytes);
  }
  // A file that cannot be opened is a failure, not a file left alone.
  EXPECT_THROW(TResourceManager(Folder / L"missing.exe").UpdateChecksum(), Velqora::ESystemError);
  EXPECT_EQ(TResourceManager::FileSize(Folder / L"malformed.bin"), image.size());
  EXPECT_EQ(TResourceManager::FileSize(Folder / L"*.bin"), 0u);  // names are taken literally
  EXPECT_EQ(TResourceManager::FileSize(Folder / L"missing"), 0u);
}

TEST_F(ResourceManagerTest, UpdatesOfAFileThatIsNoExecutableFail) {
  WriteBytes(Folder / L"notes.txt", "no executable");
  WriteBytes(Folder / L"payload", "data");
  TResourceManager rm(Folder / L"notes.txt");
  EXPECT_THROW(rm.AddString(RES_INSTALLER_NAME, L"x"), Velqora::ESystemError);
  EXPECT_THROW(rm.AddFile(RES_INSTALLER_PACKAGE, Folder / L"payload"), Velqora::ESystemError);
  EXPECT_EQ(ReadBytes(Folder / L"notes.txt"), "no executable");
  TResourceManager good(Work);
  EXPECT_THROW(good.AddFile(RES_INSTALLER_PACKAGE, Folder / L"missing"), Velqora::ESystemError);
}

}  // namespace
