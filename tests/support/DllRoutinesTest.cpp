#include <gtest/gtest.h>

#include "SystemTestSupport.h"
#include "Utf.h"
#include "Velqora.Debug.Log.h"
#include "Velqora.System.SysUtils.h"

using namespace Velqora;
using Testing::SystemFixture;
using TLibraryItem = DllRoutines::TLibraryItem;

namespace {

const GUID Known = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID Unknown = {0x87654321, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

// The loader writes to the program's log: on, and straight to the file.
class DllRoutinesTest : public Testing::SystemTest {
protected:
  void SetUp() override {
    SystemTest::SetUp();
    TurnLogOn();
  }
};

TEST_F(DllRoutinesTest, OneEntryPerLibraryWhateverTheLetterCase) {
  size_t before = DllRoutines::LibraryCount();  // the units bound some already
  ASSERT_TRUE(DllRoutines::Call(L"shlwapi.dll", "StrCmpIW"));
  ASSERT_TRUE(DllRoutines::Call(L"SHLWAPI.DLL", "StrStrIW"));
  ASSERT_TRUE(DllRoutines::Call(L"shlwapi.dll", WORD(437)));  // by ordinal
  EXPECT_EQ(DllRoutines::LibraryCount(), before + 1);
  TLibraryItem* item = DllRoutines::FindLibrary(L"ShlwApi.dll");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->LoadCounter(), 1);
  EXPECT_NE(LogText().find(L"Loaded library \"shlwapi.dll\"."), std::wstring::npos);
}

TEST_F(DllRoutinesTest, AFailedLibraryFailsAgainWithoutANewAttempt) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    size_t logged = LogText().size();
    try {
      DllRoutines::Call(L"no-such-library.dll", "Anything");
      FAIL() << "no exception";
    } catch (const ESystemError& e) {
      EXPECT_EQ(e.ErrorCode, DWORD(ERROR_MOD_NOT_FOUND));
    }
    std::wstring added = LogText().substr(logged);
    if (attempt == 0)
      EXPECT_NE(added.find(L"Error loading library \"no-such-library.dll\".: (0x0000007E)"), std::wstring::npos)
          << Velqora::WideToUtf8(added);
    else
      EXPECT_EQ(added, L"");  // no new load, no record
  }
  EXPECT_EQ(DllRoutines::Get(L"no-such-library.dll", "Anything"), nullptr);
  EXPECT_EQ(DllRoutines::FindLibrary(L"no-such-library.dll")->ErrorCode(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(DllRoutinesTest, MissingExports) {
  EXPECT_EQ(DllRoutines::Get(L"kernel32.dll", "NoSuchFunctionAnywhere"), nullptr);
  try {
    DllRoutines::Call(L"kernel32.dll", "NoSuchFunctionAnywhere");
    FAIL() << "no exception";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_INVALID_FUNCTION));
  }
}

TEST_F(DllRoutinesTest, LoadsAreCountedAndTheLastFreeReleases) {
  size_t before = DllRoutines::LibraryCount();
  std::wstring path = SystemFixture("plain.dll");
  TLibraryItem* item = DllRoutines::LoadLibrary(path, 0);
  ASSERT_TRUE(item);
  EXPECT_EQ(DllRoutines::LoadLibrary(path, 0), item);
  EXPECT_EQ(item->LoadCounter(), 2);
  DllRoutines::FreeLibrary(item);
  EXPECT_EQ(item->LoadCounter(), 1);
  EXPECT_TRUE(item->Handle());
  EXPECT_TRUE(GetModuleHandleW(path.c_str()));
  DllRoutines::FreeLibrary(item->Handle());
  EXPECT_EQ(item->LoadCounter(), 0);
  EXPECT_FALSE(item->Handle());
  EXPECT_FALSE(GetModuleHandleW(path.c_str()));  // really released
  EXPECT_EQ(DllRoutines::LibraryCount(), before + 1);  // the entry stays
  EXPECT_EQ(DllRoutines::LoadLibrary(path, 0), item);
  DllRoutines::FreeLibrary(path);
  EXPECT_FALSE(item->Handle());
}

TEST_F(DllRoutinesTest, FreeUnusedLibrariesKeepsBoundOnesAndDropsFailedOnes) {
  DllRoutines::FreeUnusedLibraries();
  size_t before = DllRoutines::LibraryCount();
  DllRoutines::Call(L"shlwapi.dll", "StrCmpIW");
  DllRoutines::Get(L"no-such-library.dll", "x");
  TLibraryItem* freed = DllRoutines::LoadLibrary(SystemFixture("plain.dll"), 0);
  DllRoutines::FreeLibrary(freed);
  EXPECT_EQ(DllRoutines::LibraryCount(), before + 3);
  DllRoutines::FreeUnusedLibraries();
  EXPECT_EQ(DllRoutines::LibraryCount(), before + 1);
  EXPECT_TRUE(DllRoutines::FindLibrary(L"shlwapi.dll"));
}

TEST_F(DllRoutinesTest, Versions) {
  std::wstring factory = SystemFixture("factory.dll");  // 5.82
  struct TCase {
    WORD MinMajor, MinMinor, MaxMajor, MaxMinor;
    bool In;
  };
  for (const TCase& c : {TCase{4, 71, 6, 0, true}, TCase{5, 82, 5, 82, true}, TCase{6, 1, 7, 0, false},
                         TCase{4, 0, 5, 81, false}})
    EXPECT_EQ(DllRoutines::IsVersion(factory, c.MinMajor, c.MinMinor, c.MaxMajor, c.MaxMinor), c.In)
        << c.MinMajor << "." << c.MinMinor << " to " << c.MaxMajor << "." << c.MaxMinor;
  DLLVERSIONINFO2 info;
  ASSERT_TRUE(DllRoutines::GetVersion(L"shell32.dll", info));  // a real system library
  EXPECT_TRUE(DllRoutines::IsVersion(L"shell32.dll", 4, 0, 99, 0));
  EXPECT_FALSE(DllRoutines::GetVersion(SystemFixture("plain.dll"), info));  // no DllGetVersion
  EXPECT_EQ(info.info1.dwMajorVersion, 0u);
  EXPECT_FALSE(DllRoutines::FindLibrary(factory)->Handle());  // released after the question
}

TEST_F(DllRoutinesTest, ResourceStrings) {
  std::wstring factory = SystemFixture("factory.dll");
  EXPECT_EQ(DllRoutines::GetResourceString(factory, 101), L"A string of the factory library");
  EXPECT_EQ(DllRoutines::GetResourceString(factory, 999), L"");
  EXPECT_EQ(DllRoutines::GetResourceString(L"no-such-library.dll", 1), L"");
}

TEST_F(DllRoutinesTest, ObjectFactories) {
  std::wstring factory = SystemFixture("factory.dll");
  void* obj = nullptr;
  DllRoutines::GetInstance(factory, Known, &obj);
  ASSERT_TRUE(obj);
  EXPECT_EQ(*static_cast<int*>(obj), 42);
  EXPECT_EQ(DllRoutines::TryGetInstance(factory, Known, nullptr), E_POINTER);
  // An object is out: the library says it may not be unloaded.
  DllRoutines::FreeUnusedLibraries();
  EXPECT_TRUE(DllRoutines::FindLibrary(factory));

  try {
    DllRoutines::GetInstance(SystemFixture("plain.dll"), Known, &obj);
    FAIL() << "no exception";
  } catch (const EVelqoraInitException& e) {
    EXPECT_NE(e.Message().find(L"Error code: 0x80004001"), std::wstring::npos) << Velqora::WideToUtf8(e.Message());
    EXPECT_EQ(e.Message().rfind(L"An error occurred while loading library \"", 0), 0u);
  }
  EXPECT_EQ(obj, nullptr);
  EXPECT_FALSE(DllRoutines::FindLibrary(SystemFixture("plain.dll"))->Handle());  // its own load given back
}

TEST_F(DllRoutinesTest, AFailedFactoryRequestKeepsTheLoadsOfOthers) {
  std::wstring factory = SystemFixture("factory.dll");
  TLibraryItem* item = DllRoutines::LoadLibrary(factory, 0);
  ASSERT_EQ(item->LoadCounter(), 1);
  void* obj = &obj;
  EXPECT_EQ(DllRoutines::TryGetInstance(factory, Unknown, &obj), E_NOINTERFACE);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(item->LoadCounter(), 1);  // the other holder still has it
  EXPECT_TRUE(item->Handle());
}

// A library planted beside the program under a system library's name, with
// Wine told (for that program) to prefer such "native" libraries, is loaded
// by a plain LoadLibraryW but never by the loader.
TEST(DllPlanting, TheLoaderTakesSystemLibrariesFromTheSystemFolderOnly) {
  struct TCase {
    const wchar_t* Operation;
    int ExitCode;  // 1: the library beside the program was loaded, 0: not, 3: refused
    bool Planted;
  };
  const wchar_t* key = L"Software\\Wine\\AppDefaults\\probe.exe\\DllOverrides";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"msimg32", REG_SZ, L"native,builtin", 30), ERROR_SUCCESS);
  for (const TCase& c : {TCase{L"plain-msimg32", 1, true}, TCase{L"call-msimg32", 0, false},
                            TCase{L"dot-msimg32", 3, false}}) {
    SCOPED_TRACE(Velqora::WideToUtf8(c.Operation));
    Testing::TTempFolder folder;
    ASSERT_TRUE(CopyFileW(SystemFixture("probe.exe").c_str(), (folder / L"probe.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(SystemFixture("planted/msimg32.dll").c_str(), (folder / L"msimg32.dll").c_str(), FALSE));
    EXPECT_EQ(Testing::RunProgram(folder / L"probe.exe", c.Operation), c.ExitCode);
    EXPECT_EQ(Testing::FileExists(folder / L"planted-was-loaded"), c.Planted);
  }
  RegDeleteKeyW(HKEY_CURRENT_USER, key);
}

constinit DllRoutines::TRoutine<int(WINAPI*)(LPCWSTR, LPCWSTR)> StrCmpIW{L"shlwapi.dll", "StrCmpIW"};
constinit DllRoutines::TRoutine<void(WINAPI*)()> Missing{L"no-such-library.dll", "Anything"};

// A routine is bound through the registry when first needed, and bound again
// through a new registry: what it held went with the old one.
TEST_F(DllRoutinesTest, RoutinesBindOnFirstUseAndAgainAfterARestart) {
  EXPECT_EQ(StrCmpIW.Get()(L"abc", L"ABC"), 0);
  ASSERT_TRUE(DllRoutines::FindLibrary(L"shlwapi.dll"));
  DllRoutines::Stop();
  DllRoutines::Start();
  EXPECT_FALSE(DllRoutines::FindLibrary(L"shlwapi.dll"));
  EXPECT_EQ(StrCmpIW.Get()(L"abc", L"ABC"), 0);
  EXPECT_TRUE(DllRoutines::FindLibrary(L"shlwapi.dll"));
}

// Finding a routine (as release functions and the log do) raises nothing
// and writes no record; getting it raises the loader's error.
TEST_F(DllRoutinesTest, FindingARoutineRaisesNothingAndWritesNoRecord) {
  size_t logged = LogText().size();
  EXPECT_EQ(Missing.Find(), nullptr);
  EXPECT_EQ(LogText().substr(logged), L"");
  try {
    Missing.Get();
    FAIL() << "no exception";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_MOD_NOT_FOUND));
  }
}

}  // namespace
