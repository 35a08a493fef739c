#include <gtest/gtest.h>

#include <optional>

#include "TestSupport.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"
#include "uInstaller.h"
#include "uUnits.h"

using TInstallerProcess = uInstaller::Installer::TInstallerProcess;
using TInstallerFolder = uInstaller::Installer::TInstallerFolder;

namespace {

class InstallerTest : public ::testing::Test {
protected:
  void SetUp() override { Units.emplace(uUnits::Units, uInstaller::Start); }
  void TearDown() override { Units.reset(); }
  std::optional<Velqora::TUnitsScope> Units;
};

// A stored name counts by its last component, which must name a file as it
// stands: nothing is trimmed, guessed or put in its place.
TEST_F(InstallerTest, InstallerNamesAreTheLastComponentOrRefused) {
  struct TCase {
    const wchar_t *Stored, *Expected;  // none: refused
  };
  const TCase cases[] = {
      {L"Product.MSI", L"Product.MSI"},
      {L"..\\..\\Windows\\evil.exe", L"evil.exe"},
      {L"C:\\Windows\\System32\\evil.dll", L"evil.dll"},
      {L"sub/dir/tool.exe", L"tool.exe"},
      {L"setup.exe:stream", L"stream"},
      {L"noextension", L"noextension"},
      {L"", nullptr},
      {L"..", nullptr},
      {L".", nullptr},
      {L"a\\", nullptr},
      {L"setup.exe.", nullptr},
      {L"setup.exe ", nullptr},
      {L"NUL", nullptr},
      {L"con.msi", nullptr},
      {L"COM1.exe", nullptr},
      {L"NUL.tar.gz", nullptr},
      {L"x\\CON.setup.exe", nullptr},
      {L"x\\LPT9", nullptr},
      {L"a?b.exe", nullptr},
  };
  for (const TCase& c : cases) {
    if (c.Expected)
      EXPECT_EQ(TInstallerProcess::InstallerName(c.Stored), c.Expected) << Velqora::WideToUtf8(c.Stored);
    else
      EXPECT_THROW(TInstallerProcess::InstallerName(c.Stored), Velqora::Exception) << Velqora::WideToUtf8(c.Stored);
  }
}

// A new installer file never takes a name that is there already, whatever
// is there: name_0, name_1, ... go before the extension.
TEST_F(InstallerTest, NewInstallerFilesNeverTakeAnExistingName) {
  TInstallerFolder folder(true);
  const std::wstring path = folder.Path();
  Testing::WriteBytes(path + L"setup.exe", "old");
  ASSERT_TRUE(CreateDirectoryW((path + L"setup_0.exe").c_str(), nullptr));
  std::wstring chosen;
  Velqora::TUniqueFileHandle file = folder.CreateNewFile(L"setup.exe", chosen);
  ASSERT_TRUE(file);
  EXPECT_EQ(chosen, L"setup_1.exe");
  file = folder.CreateNewFile(L"noextension", chosen);
  EXPECT_EQ(chosen, L"noextension");
  file.Reset();
  EXPECT_EQ(Testing::ReadBytes(path + L"setup.exe"), "old");
  EXPECT_TRUE(GetFileAttributesW((path + L"setup_1.exe").c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST_F(InstallerTest, NothingIsWrittenOrStartedWithoutAFile) {
  TInstallerFolder folder(true);
  TInstallerProcess run(uInstaller::TInstallerType::itAction, folder);
  run.ExtractFromResources(L"NO_SUCH_NAME", L"NO_SUCH_PACKAGE");  // the test program carries no payload
  EXPECT_TRUE(run.InstallerFileName().empty());
  run.ExecuteProcess();
  EXPECT_FALSE(run.ProcessInfo().Process);
  run.WaitFor();  // returns at once
}

}  // namespace
