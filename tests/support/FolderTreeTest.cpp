// Files opened inside a folder held by handle: a link is refused, never
// followed, also where the system makes no links (Wine), through the
// attribute query.
#include <gtest/gtest.h>
#include <windows.h>

#include "FolderTree.h"
#include "TestSupport.h"
#include "UniqueHandle.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"

using namespace Velqora;

namespace {

DWORD ReparsePoint(HANDLE) { return FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT; }

class FolderTreeTest : public ::testing::Test {
protected:
  void SetUp() override { DllRoutines::Start(); }
  void TearDown() override {
    AttributesQuery = nullptr;
    DllRoutines::Stop();
  }
};

TEST_F(FolderTreeTest, AFileThatIsALinkIsRefusedWhenOpened) {
  Testing::TTempFolder temp;
  Testing::WriteBytes(temp / L"setup.exe", "MZ");
  TUniqueFileHandle folder = OpenFolder(temp.Path());
  EXPECT_TRUE(OpenFileIn(folder.Get(), L"setup.exe", GENERIC_READ, FILE_SHARE_READ));
  AttributesQuery = ReparsePoint;
  try {
    OpenFileIn(folder.Get(), L"setup.exe", GENERIC_READ, FILE_SHARE_READ);
    ADD_FAILURE() << "a link was opened";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_CANT_ACCESS_FILE));
  }
}

}  // namespace
