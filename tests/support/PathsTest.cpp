#include <gtest/gtest.h>

#include <string>

#include "Paths.h"
#include "SystemTestSupport.h"
#include "UniqueHandle.h"

using namespace Velqora;

namespace {

// A module's path is read whatever its length: a library loaded from a
// folder deeper than MAX_PATH is found where it lies. (Wine starts no
// program from so deep a folder; the program's own path is read the same
// way.)
TEST(ModulePath, IsReadWhateverItsLength) {
  Testing::TTempFolder folder;
  std::wstring deep = folder.Path();
  while (deep.size() < MAX_PATH + 40) {
    deep += L"\\" + std::wstring(60, L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr)) << GetLastError();
  }
  std::wstring library = deep + L"\\plain.dll";
  ASSERT_TRUE(CopyFileW(Testing::SystemFixture("plain.dll").c_str(), (L"\\\\?\\" + library).c_str(), FALSE));
  TUniqueModule module(LoadLibraryW(library.c_str()));
  ASSERT_TRUE(module) << GetLastError();
  EXPECT_EQ(ModulePath(module.Get()), library);
  module.Reset();
  EXPECT_EQ(ProgramPath(), ModulePath(nullptr));
}

}  // namespace
