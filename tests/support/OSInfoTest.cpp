#include <gtest/gtest.h>

#include "SystemTestSupport.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.OSInfo.h"

using namespace Velqora;
using enum TWinVersion;

namespace {

OSVERSIONINFOEXW Record(DWORD APlatform, DWORD AMajor, DWORD AMinor, BYTE AProductType = VER_NT_WORKSTATION,
                        WORD ASuiteMask = 0, const wchar_t* AServicePack = L"") {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwPlatformId = APlatform;
  info.dwMajorVersion = AMajor;
  info.dwMinorVersion = AMinor;
  info.wProductType = AProductType;
  info.wSuiteMask = ASuiteMask;
  wcsncpy(info.szCSDVersion, AServicePack, 127);
  return info;
}

TEST(WinVersion, EveryRowOfTheTable) {
  constexpr DWORD nt = VER_PLATFORM_WIN32_NT, w9x = VER_PLATFORM_WIN32_WINDOWS;
  constexpr BYTE ws = VER_NT_WORKSTATION, srv = VER_NT_SERVER, dc = VER_NT_DOMAIN_CONTROLLER;
  struct TCase {
    OSVERSIONINFOEXW Info;
    int ServerR2;
    TWinVersion Expected;
  };
  const TCase cases[] = {
      {Record(VER_PLATFORM_WIN32s, 3, 1), 0, wvWin32s},
      {Record(w9x, 4, 0), 0, wvWin95},
      {Record(w9x, 4, 10, ws, 0, L" B"), 0, wvWin98},
      {Record(w9x, 4, 10, ws, 0, L" A"), 0, wvWin98SE},
      {Record(w9x, 4, 90), 0, wvWinME},
      {Record(w9x, 5, 0), 0, wvUnknown},
      {Record(nt, 4, 0), 0, wvWinNT},
      {Record(nt, 5, 0, srv), 0, wvWin2000},
      {Record(nt, 5, 1), 0, wvWinXP},
      {Record(nt, 5, 2, ws), 0, wvWinXP},  // XP Professional x64
      {Record(nt, 5, 2, srv), 0, wvWin2003},
      {Record(nt, 5, 2, srv), 1, wvWin2003R2},
      {Record(nt, 5, 2, srv, VER_SUITE_WH_SERVER), 1, wvWinHomeServer},
      {Record(nt, 6, 0), 0, wvWinVista},
      {Record(nt, 6, 0, dc), 0, wvWin2008},
      {Record(nt, 6, 1), 0, wvWin7},
      {Record(nt, 6, 1, srv), 0, wvWin2008R2},
      {Record(nt, 6, 2), 0, wvWin8},
      {Record(nt, 6, 2, srv), 0, wvWin2012},
      {Record(nt, 6, 3), 0, wvWin81},
      {Record(nt, 6, 3, srv), 0, wvWin2012R2},
      {Record(nt, 6, 4), 0, wvWin10},
      {Record(nt, 10, 0), 0, wvWin10},
      {Record(nt, 10, 0, srv), 0, wvWin2014},
      {Record(3, 10, 0), 0, wvUnknown},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(DetectWinVersion(c.Info, c.ServerR2), c.Expected)
        << c.Info.dwPlatformId << " " << c.Info.dwMajorVersion << "." << c.Info.dwMinorVersion << " type "
        << int(c.Info.wProductType) << " -> " << WideToUtf8(WinVersionName(c.Expected));
  EXPECT_STREQ(WinVersionName(wvWin2003R2), L"Windows Server 2003 R2");
  EXPECT_STREQ(WinVersionName(wvWinMaximum), L"Windows Maximum");
}

TEST(WinVersion, TheRealAnswerUnderWine) {
  EXPECT_EQ(GetWinVersion(), wvWin10);  // the test session reports Windows 10
  EXPECT_TRUE(IsWinVersionInRange(wvWinVista, wvWinMaximum));
  EXPECT_FALSE(IsWinVersionInRange(wvWinXP, wvWin81));
  // The same program told to be Windows 7. Wine 8 reports it as 6.1 with
  // the server product type (the probe shows the record: type 3, 6.01),
  // which is Windows Server 2008 R2 by the table.
  const wchar_t* key = L"Software\\Wine\\AppDefaults\\probe.exe";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Version", REG_SZ, L"win7", 10), ERROR_SUCCESS);
  int record = Testing::RunProgram(Testing::SystemFixture("probe.exe"), L"producttype");
  EXPECT_EQ(Testing::RunProgram(Testing::SystemFixture("probe.exe"), L"winver"),
            int(record == 3601 ? wvWin2008R2 : wvWin7));
  EXPECT_TRUE(record == 3601 || record == 1601) << record;
  RegDeleteKeyW(HKEY_CURRENT_USER, key);
  EXPECT_EQ(Testing::RunProgram(Testing::SystemFixture("probe.exe"), L"winver"), int(wvWin10));
}

TEST(DefaultBrowser, TheProgramWithoutItsArguments) {
  struct TCase {
    const wchar_t *Association, *Expected;
  };
  const TCase cases[] = {
      {L"C:\\Program Files\\Web\\browser.exe", L"C:\\Program Files\\Web\\browser.exe"},
      {L"C:\\Tools\\browser.exe -osint -url", L"C:\\Tools\\browser.exe"},
      {L"browser.exe --new", L"browser.exe"},
      {L"C:browser.exe x", L"C:browser.exe"},
      {L"iexplore.exe", L"iexplore.exe"},
  };
  for (const TCase& c : cases) EXPECT_EQ(BrowserFromAssociation(c.Association), c.Expected);
}

// The association of "http" in HKLM\Software\Classes, set for a test and
// given back afterwards; the association query is bound at run time.
class DefaultBrowserTest : public Testing::SystemTest {
protected:
  static constexpr const wchar_t* Key = L"Software\\Classes\\http\\shell\\open\\command";
  void SetUp() override {
    SystemTest::SetUp();
    DWORD size = sizeof(FOld);
    FHad = RegGetValueW(HKEY_LOCAL_MACHINE, Key, nullptr, RRF_RT_REG_SZ, nullptr, FOld, &size) == ERROR_SUCCESS;
  }
  void TearDown() override {
    if (FHad)
      Set(FOld);
    else
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, Key);
    SystemTest::TearDown();
  }
  static void Set(const std::wstring& ACommand) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Key, nullptr, REG_SZ, ACommand.c_str(),
                              DWORD((ACommand.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  bool FHad = false;
  wchar_t FOld[1024] = {};
};

TEST_F(DefaultBrowserTest, FromTheAssociationOfHttp) {
  Testing::TTempFolder folder;
  std::wstring program = folder / L"browser.exe";
  ASSERT_TRUE(CopyFileW(Testing::SystemFixture("recorder.exe").c_str(), program.c_str(), FALSE));
  Set(L"\"" + program + L"\" \"%1\"");
  EXPECT_EQ(GetDefaultBrowserPath(), program);
  Set(program + L" -url \"%1\"");  // arguments after the file name, no quotes
  EXPECT_EQ(GetDefaultBrowserPath(), program);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, Key);  // no association at all
  EXPECT_EQ(GetDefaultBrowserPath(), L"iexplore.exe");
}

}  // namespace
