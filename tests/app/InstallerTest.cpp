#include <gtest/gtest.h>

#include "TestSupport.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"
#include "uInstaller.h"

using TInstallerProcess = uInstaller::Installer::TInstallerProcess;

namespace {

class InstallerTest : public ::testing::Test {
protected:
  void SetUp() override { uInstaller::Start(); }
  void TearDown() override { uInstaller::Stop(); }
  Testing::TTempFolder Folder;
};

TEST_F(InstallerTest, FileNamesStayInTheirFolderAndNeverTakeAnExistingFile) {
  std::wstring folder = Folder.Path() + L"\\";
  Testing::WriteBytes(folder + L"setup.exe", "old");
  Testing::WriteBytes(folder + L"setup_0.exe", "old");
  struct TCase {
    const wchar_t *Stored, *Expected;
  };
  const TCase cases[] = {
      {L"setup.exe", L"setup_1.exe"},  // name and name_0 are taken
      {L"Product.MSI", L"Product.MSI"},
      {L"..\\..\\Windows\\evil.exe", L"evil.exe"},
      {L"C:\\Windows\\System32\\evil.dll", L"evil.dll"},
      {L"sub/dir/tool.exe", L"tool.exe"},
      {L"setup.exe:stream", L"stream"},
      {L"", L"installer.exe"},
      {L"..", L"installer.exe"},
      {L".", L"installer.exe"},
      {L"a\\", L"installer.exe"},
      {L"noextension", L"noextension"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(TInstallerProcess::MakeInstallerFileName(c.Stored, folder), folder + c.Expected)
        << Velqora::WideToUtf8(c.Stored);
  EXPECT_EQ(Testing::ReadBytes(folder + L"setup.exe"), "old");
  EXPECT_EQ(Testing::ReadBytes(folder + L"setup_0.exe"), "old");
}

TEST_F(InstallerTest, NothingIsWrittenOrStartedWithoutAFile) {
  TInstallerProcess run(uInstaller::TInstallerType::itAction);
  run.ExtractFromResources(L"NO_SUCH_NAME", L"NO_SUCH_PACKAGE");  // the test program carries no payload
  EXPECT_TRUE(run.InstallerFileName().empty());
  run.ExecuteProcess();
  EXPECT_FALSE(run.ProcessInfo().Process);
  run.WaitFor();  // returns at once
}

}  // namespace
