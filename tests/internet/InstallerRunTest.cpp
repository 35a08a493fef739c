// Whole installer runs, driven directly: the stand-in product from this
// program's own payload, the partner from the loopback server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "InstallerRecord.h"
#include "TestSupport.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "uInstaller.h"
#include "ufmPage.LavaSoftWebCompanion.h"

using namespace Velqora;
namespace offer = ufmPage::LavaSoftWebCompanion;

namespace {

using Testing::InstallerFilesLeft;

class InstallerRunTest : public ::testing::Test {
protected:
  void SetUp() override {
    Debug::TDebugLogFile::Start();
    DllRoutines::Start();
    uInstaller::Start();
    Http = L"http://127.0.0.1:" + Utf8ToWide(getenv("BOUNTIQ_HTTP_PORT"));
    wchar_t temp[MAX_PATH];
    Temp.assign(temp, GetTempPathW(MAX_PATH, temp));
    for (const wchar_t* name : {L"Product-Setup.exe.record", L"WebCompanionInstaller.exe.record"})
      DeleteFileW((Temp + name).c_str());
    SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"1500");
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", nullptr);
    uInstaller::Stop();
    DllRoutines::Stop();
    Debug::TDebugLogFile::Stop();
  }
  static Testing::TInstallerRecord Record(const wchar_t* AName) { return Testing::ReadInstallerRecord(AName); }
  // Unix time of the server's last request line containing AText; 0 when none.
  static double Requested(const std::string& AText) {
    std::istringstream log(Testing::ReadBytes(Utf8ToWide(getenv("BOUNTIQ_SERVER_LOG"))));
    double last = 0;
    for (std::string line; std::getline(log, line);)
      if (line.find(AText) != std::string::npos) last = std::stod(line);
    return last;
  }
  void RunWithOffer(const std::wstring& AURL) {
    uInstaller::InstallAction = true;
    uInstaller::InstallOffer = true;
    offer::OfferDownloadURL = AURL;
    offer::OfferInstallerFileName = L"WebCompanionInstaller.exe";
    offer::OfferRunParams = L"--silent --partner=VQ150801BNTQ --homepage=http://h.test/?a=1&b=2 --search=\"x y\"";
    uInstaller::Installer::Run();
  }

  std::wstring Http, Temp;
};

// Unix seconds now.
double UnixNow() {
  FILETIME t;
  GetSystemTimeAsFileTime(&t);
  return double((uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) - 116444736000000000ull) / 1e7;
}

TEST_F(InstallerRunTest, PartnerIsFetchedDuringTheProductRunAndStartsAfterIt) {
  double runStart = UnixNow();
  RunWithOffer(Http + L"/nano_download.php?partner=VQ150801BNTQ");
  Testing::TInstallerRecord product = Record(L"Product-Setup.exe"), partner = Record(L"WebCompanionInstaller.exe");
  ASSERT_TRUE(product.Found);
  ASSERT_TRUE(partner.Found);
  EXPECT_EQ(product.CommandLine, L"\"" + Temp + L"Product-Setup.exe\"");
  EXPECT_EQ(partner.CommandLine, L"\"" + Temp + L"WebCompanionInstaller.exe\" " + offer::OfferRunParams);
  double requested = Requested("GET /nano_download.php?partner=VQ150801BNTQ HTTP/1.1");
  ASSERT_GT(requested, 0);
  // The product was started before the download (its own first step may
  // come later: a process start takes a while) and ended after it.
  EXPECT_GT(requested, runStart);
  EXPECT_LT(requested, product.End) << "the download happens while the product runs";
  EXPECT_GE(partner.Start, product.End) << "the partner starts after the product ended";
  EXPECT_FALSE(InstallerFilesLeft(Temp));
}

TEST_F(InstallerRunTest, AFailedDownloadStartsNoPartner) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  std::wstring https = L"https://localhost:" + Utf8ToWide(getenv("BOUNTIQ_HTTPS_PORT")) + L"/nano_download.php";
  for (const std::wstring& url : {Http + L"/status/404", Http + L"/cut", std::wstring(L"http://127.0.0.1:1/x"), https}) {
    SCOPED_TRACE(WideToUtf8(url));
    DeleteFileW((Temp + L"WebCompanionInstaller.exe.record").c_str());
    RunWithOffer(url);
    EXPECT_TRUE(Record(L"Product-Setup.exe").Found);  // the product still runs
    EXPECT_FALSE(Record(L"WebCompanionInstaller.exe").Found);
    EXPECT_FALSE(InstallerFilesLeft(Temp));
  }
}

TEST_F(InstallerRunTest, AProductThatExitsWith259IsNotWaitedForForever) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", L"259");  // STILL_ACTIVE
  uInstaller::InstallAction = true;
  uInstaller::InstallOffer = false;
  uInstaller::Installer::Run();  // returns: the wait is on the process itself
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", nullptr);
  EXPECT_TRUE(Record(L"Product-Setup.exe").Found);
  EXPECT_FALSE(InstallerFilesLeft(Temp));
}

TEST_F(InstallerRunTest, NeitherFlagRunsNothing) {
  uInstaller::InstallAction = false;
  uInstaller::InstallOffer = false;
  uInstaller::Installer::Run();
  EXPECT_FALSE(Record(L"Product-Setup.exe").Found);
  EXPECT_FALSE(InstallerFilesLeft(Temp));
}

}  // namespace
