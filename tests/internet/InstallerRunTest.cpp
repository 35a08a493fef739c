// Whole installer runs, driven directly: the stand-in product from this
// program's own payload, the partner from the loopback server.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FolderTree.h"
#include "InstallerRecord.h"
#include "SystemUnitsTest.h"
#include "Paths.h"
#include "TestSupport.h"
#include "Utf.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.Project.ProcessInfo.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.Internet.h"
#include "Velqora.System.Win.Trust.h"
#include "uInstaller.h"
#include "uWrapper.ResourceManager.h"

using namespace Velqora;

namespace {

using Testing::InstallerFilesLeft;

class InstallerRunTest : public Testing::SystemTest {
protected:
  void SetUp() override {
    SystemTest::SetUp();
    uInstaller::Start();
    Http = L"http://127.0.0.1:" + Utf8ToWide(getenv("BOUNTIQ_HTTP_PORT"));
    Temp = Testing::TempFolder();
    for (const wchar_t* name : {L"Product-Setup.exe", L"WebCompanionInstaller.exe"})
      DeleteFileW(Testing::InstallerRecordFile(name).c_str());
    SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"1500");
    InternetTimeoutMs = 2000;
    uInstaller::MaxDownloadBytes = 4 << 20;
  }
  void TearDown() override {
    InternetTimeoutMs = SavedTimeout;
    uInstaller::MaxDownloadBytes = SavedLimit;
    SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", nullptr);
    uInstaller::Stop();
    SystemTest::TearDown();
  }
  static Testing::TInstallerRecord Record(const wchar_t* AName) { return Testing::ReadInstallerRecord(AName); }
  // Unix time of the server's last request line containing AText; 0 when none.
  static double Requested(const std::string& AText) {
    std::vector<double> times = Testing::ServerRequests(AText);
    return times.empty() ? 0 : times.back();
  }
  // The product and the partner from AURL, signed by APublisher.
  DWORD RunWithOffer(const std::wstring& AURL, const TPublisher& APublisher = {},
                     const std::wstring& AProductArguments = L"") {
    uInstaller::TInstallPlan plan;
    plan.OfferDownloadURL = AURL;
    plan.OfferInstallerFileName = L"WebCompanionInstaller.exe";
    plan.OfferRunParams = PartnerParams;
    plan.PartnerPublisher = APublisher;
    plan.ProductArguments = AProductArguments;
    return uInstaller::Installer::Run(plan);
  }
  static constexpr const wchar_t* PartnerParams =
      L"--silent --partner=VQ150801BNTQ --homepage=http://h.test/?a=1&b=2 --search=\"x y\"";

  std::wstring Http, Temp;
  const DWORD SavedTimeout = InternetTimeoutMs;
  const uint64_t SavedLimit = uInstaller::MaxDownloadBytes;
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
  // This program runs elevated, as Wine runs programs: both ran from one
  // private folder, gone afterwards.
  std::wstring folder = Testing::PrivateFolderOf(product.CommandLine, Temp);
  ASSERT_FALSE(folder.empty()) << "not from a private folder: " << WideToUtf8(product.CommandLine);
  EXPECT_EQ(product.CommandLine, L"\"" + folder + L"Product-Setup.exe\"");
  EXPECT_EQ(partner.CommandLine, L"\"" + folder + L"WebCompanionInstaller.exe\" " + PartnerParams);
  EXPECT_FALSE(Testing::FileExists(folder));
  double requested = Requested("GET /nano_download.php?partner=VQ150801BNTQ HTTP/1.1");
  ASSERT_GT(requested, 0);
  // The product was started before the download (its own first step may
  // come later: a process start takes a while) and ended after it.
  EXPECT_GT(requested, runStart);
  EXPECT_LT(requested, product.End) << "the download happens while the product runs";
  EXPECT_GE(partner.Start, product.End) << "the partner starts after the product ended";
  EXPECT_FALSE(InstallerFilesLeft(Temp));
}

// A download that fails, or a program that is not signed as it must be, is
// deleted and never started; the product runs all the same.
TEST_F(InstallerRunTest, APartnerThatFailsToDownloadOrToVerifyIsNotRun) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  std::wstring https = L"https://localhost:" + Utf8ToWide(getenv("BOUNTIQ_HTTPS_PORT")) + L"/nano_download.php";
  // Besides: a server that stops sending, an endless body, an error page
  // larger than the limit, a chunked body cut short, a body announced
  // larger than the limit, an error status whose body is the properly
  // signed partner.
  std::vector<std::wstring> urls = {Http + L"/status/404", Http + L"/cut", L"http://127.0.0.1:1/x", https,
                                    Http + L"/stall", Http + L"/endless", Http + L"/status/404?size=8000000",
                                    Http + L"/cutchunked", Http + L"/bytes?size=5000000",
                                    Http + L"/status/500?file=signed.exe"};
  for (const wchar_t* file : {L"unsigned.exe", L"tampered.exe", L"self-signed.exe", L"expired.exe", L"tls-server.exe",
                              L"untrusted-root.exe"})
    urls.push_back(Http + L"/files/" + file);
  for (const std::wstring& url : urls) {
    SCOPED_TRACE(WideToUtf8(url));
    DeleteFileW(Testing::InstallerRecordFile(L"WebCompanionInstaller.exe").c_str());
    const ULONGLONG start = GetTickCount64();
    RunWithOffer(url);
    EXPECT_LT(GetTickCount64() - start, InternetTimeoutMs + 10000u) << "within the time-out";
    EXPECT_TRUE(Record(L"Product-Setup.exe").Found);  // the product still runs
    EXPECT_FALSE(Record(L"WebCompanionInstaller.exe").Found);
    EXPECT_FALSE(InstallerFilesLeft(Temp));
  }
}

// An error page is refused by its status before any of its body is read,
// whatever the status: a 403 or a 500 whose body is over the size limit
// (its length announced or not) is refused for its status, never for its
// size.
TEST_F(InstallerRunTest, AnErrorPageIsRefusedByItsStatusBeforeItsBody) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  TurnLogOn();
  const struct {
    int Status;
    const wchar_t* Query;
  } cases[] = {{403, L""}, {500, L""}, {500, L"&chunked=1"}};
  for (const auto& c : cases) {
    const std::wstring url = Http + L"/status/" + std::to_wstring(c.Status) + L"?size=8000000" + c.Query;
    SCOPED_TRACE(WideToUtf8(url));
    const size_t before = LogText().size();
    RunWithOffer(url);
    EXPECT_FALSE(Record(L"WebCompanionInstaller.exe").Found);
    EXPECT_FALSE(InstallerFilesLeft(Temp));
    const std::wstring log = LogText().substr(before);
    EXPECT_NE(log.find(L"status " + std::to_wstring(c.Status)), std::wstring::npos) << WideToUtf8(log);
    EXPECT_EQ(log.find(L"larger than the limit"), std::wstring::npos) << "the body was read";
  }
}

// The size limit holds to the byte, whether the length is announced (and
// refused before the body) or not (counted as the body comes, read by
// read): a partner of exactly the limit runs; one byte more, or a read that
// crosses the limit, and it is deleted unrun.
TEST_F(InstallerRunTest, TheSizeLimitHoldsToTheByte) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  WIN32_FILE_ATTRIBUTE_DATA signedFile{};
  ASSERT_TRUE(GetFileAttributesExW((Utf8ToWide(getenv("BOUNTIQ_PARTNERS")) + L"\\signed.exe").c_str(),
                                   GetFileExInfoStandard, &signedFile));
  const uint64_t size = signedFile.nFileSizeLow;
  const struct {
    const char* Name;
    const wchar_t* Query;
    uint64_t Limit;
    bool Runs;
  } cases[] = {
      {"announced, at the limit", L"", size, true},
      {"announced, one byte over", L"", size - 1, false},
      {"in chunks, at the limit", L"?chunked=1", size, true},
      {"in chunks, one byte over", L"?chunked=1", size - 1, false},
      {"in chunks, half of it over (one read holds it all)", L"?chunked=1", size / 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    DeleteFileW(Testing::InstallerRecordFile(L"WebCompanionInstaller.exe").c_str());
    uInstaller::MaxDownloadBytes = c.Limit;
    RunWithOffer(Http + L"/files/signed.exe" + c.Query);
    EXPECT_TRUE(Record(L"Product-Setup.exe").Found);
    EXPECT_EQ(Record(L"WebCompanionInstaller.exe").Found, c.Runs);
    EXPECT_FALSE(InstallerFilesLeft(Temp));
  }
}

// The plan names the publisher the partner must come from.
TEST_F(InstallerRunTest, OnlyThePublisherThePlanNamesIsRun) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  const TPublisher publisher = ParsePublisher(L"Bountiq Test Partner|Bountiq Test Partner Ltd");
  for (auto [file, runs] : {std::pair{L"signed.exe", true}, std::pair{L"other-publisher.exe", false}}) {
    SCOPED_TRACE(WideToUtf8(file));
    DeleteFileW(Testing::InstallerRecordFile(L"WebCompanionInstaller.exe").c_str());
    RunWithOffer(Http + L"/files/" + file, publisher);
    EXPECT_EQ(Record(L"WebCompanionInstaller.exe").Found, runs);
    EXPECT_FALSE(InstallerFilesLeft(Temp));
  }
}

TEST_F(InstallerRunTest, AProductThatExitsWith259IsNotWaitedForForever) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", L"259");  // STILL_ACTIVE
  // Cleared on every path: a later run must not inherit it and wait.
  auto clear = ScopeExit([] { SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", nullptr); });
  // Run on a thread of its own with a bound: a wait that polls the exit
  // code would never return, and fails the test instead of hanging it.
  struct TRun {
    static DWORD WINAPI Proc(LPVOID) {
      uInstaller::TInstallPlan plan;
      plan.InstallOffer = false;
      uInstaller::Installer::Run(plan);  // raises nothing
      return 0;
    }
  };
  HANDLE thread = CreateThread(nullptr, 0, &TRun::Proc, nullptr, 0, nullptr);
  ASSERT_TRUE(thread);
  const DWORD waited = WaitForSingleObject(thread, 30000);
  CloseHandle(thread);  // a thread that hangs is left to the end of the program
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "the installer phase still waits for a process that has ended";
  EXPECT_TRUE(Record(L"Product-Setup.exe").Found);
  EXPECT_FALSE(InstallerFilesLeft(Temp));
}

// An installer that sends a message to every top-level window while the
// wrapper's hidden main window still exists: the wait answers it.
TEST_F(InstallerRunTest, AnInstallerThatBroadcastsIsAnsweredWhileWaitedFor) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_BROADCAST", L"1");
  HWND hidden = CreateWindowExW(0, L"STATIC", L"hidden main window", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_TRUE(hidden);
  uInstaller::TInstallPlan plan;
  plan.InstallOffer = false;
  const ULONGLONG start = GetTickCount64();
  uInstaller::Installer::Run(plan);
  // Unanswered, the stand-in would wait 20 seconds for this window.
  EXPECT_LT(GetTickCount64() - start, 10000u);
  DestroyWindow(hidden);
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_BROADCAST", nullptr);
  EXPECT_TRUE(Record(L"Product-Setup.exe").Found);
}

// An MSI stays held while msiexec reads it: nobody can change the package
// that was checked until msiexec has ended, and msiexec reads it all the same.
TEST_F(InstallerRunTest, AnMsiIsHeldUntilMsiexecHasEnded) {
  uInstaller::Installer::TInstallerFolder folder(true);
  uInstaller::Installer::TInstallerProcess product(uInstaller::TInstallerType::itAction, folder);
  product.ExtractFromResources(L"TEST_MSI_NAME", L"TEST_MSI_PACKAGE");
  product.ExecuteProcess();
  ASSERT_TRUE(product.ProcessInfo().Process) << "msiexec did not start";
  EXPECT_TRUE(product.IsLocked()) << "let go while msiexec runs";
  auto codes = DWORD(Testing::RunProgram(Testing::BuildPath(BOUNTIQ_FILE_ATTEMPTS_EXE),
                                         L"\"" + product.InstallerFileName() + L"\""));
  EXPECT_EQ(codes & 0xFF, DWORD(ERROR_SHARING_VIOLATION)) << "opened for writing";
  product.WaitFor();
  EXPECT_FALSE(product.IsLocked()) << "held after msiexec ended";
  DWORD code = 1;
  GetExitCodeProcess(product.ProcessInfo().Process.Get(), &code);
  EXPECT_EQ(code, 0u) << "msiexec could not read the package";
  // Removed again: the other programs of this session install it too.
  EXPECT_EQ(Testing::RunProgram(SystemFolder() + L"\\msiexec.exe", L"/x \"" + product.InstallerFileName() + L"\" /qn"), 0);
}

// The clean-up of a private folder through its handle, on a tree the test
// script made with a link to a folder in it (a Unix link, which Wine lists
// as a reparse point): what the link points to is never touched. (Wine
// cannot open a link as itself, so there the link stays, and with it the
// folder; the answer says so. Wine shows a link to a file as a plain file,
// so that case cannot be shown here.)
TEST_F(InstallerRunTest, AFolderIsEmptiedThroughItsHandleWithoutFollowingLinks) {
  const std::wstring tree = Utf8ToWide(getenv("BOUNTIQ_LINK_TREE")), victim = Utf8ToWide(getenv("BOUNTIQ_VICTIM"));
  ASSERT_EQ(Testing::ReadBytes(tree + L"\\sub\\folder-link\\keep.txt"), "keep\n");
  TUniqueFileHandle folder(CreateFileW(tree.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(folder);
  const bool emptied = DeleteFolderContents(folder.Get());
  // What the links point to is intact: a folder with files, and an empty
  // folder (which a delete through the link would take).
  EXPECT_EQ(Testing::ReadBytes(victim + L"\\keep.txt"), "keep\n");
  EXPECT_EQ(Testing::ReadBytes(victim + L"\\inner\\deeper.txt"), "deeper\n");
  EXPECT_TRUE(Testing::FileExists(victim + L"\\empty"));
  EXPECT_FALSE(Testing::FileExists(tree + L"\\sub\\file"));
  // The links go as themselves where the system can open them so (not
  // under Wine, where they stay).
  for (const wchar_t* link : {L"\\sub\\folder-link", L"\\sub\\empty-link"})
    EXPECT_EQ(emptied, !Testing::FileExists(tree + link)) << WideToUtf8(link);
  if (emptied) {
    EXPECT_TRUE(DeleteOpenFolder(folder.Get()));
    folder.Reset();
    EXPECT_FALSE(Testing::FileExists(tree)) << "the folder is left";
  }
}

// Where the system names no usable temporary folder, nothing is written or
// started anywhere else.
TEST_F(InstallerRunTest, WithoutATemporaryFolderNothingRuns) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  wchar_t saved[MAX_PATH + 1] = {};
  ASSERT_TRUE(GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1));
  SetEnvironmentVariableW(L"TMP", (L"C:\\" + std::wstring(300, L'x')).c_str());
  EXPECT_THROW(uInstaller::Installer::TInstallerProcess::TempFolder(), ESystemError);
  uInstaller::TInstallPlan plan;
  plan.InstallOffer = false;
  uInstaller::Installer::Run(plan);
  SetEnvironmentVariableW(L"TMP", saved);
  EXPECT_FALSE(Record(L"Product-Setup.exe").Found);
  EXPECT_FALSE(Testing::FileExists(L"\\Product-Setup.exe"));
  EXPECT_FALSE(InstallerFilesLeft(Temp));
}

TEST_F(InstallerRunTest, NeitherFlagRunsNothing) {
  uInstaller::TInstallPlan plan;
  plan.InstallAction = false;
  plan.InstallOffer = false;
  uInstaller::Installer::Run(plan);
  EXPECT_FALSE(Record(L"Product-Setup.exe").Found);
  EXPECT_FALSE(InstallerFilesLeft(Temp));
}

// From writing to starting, nobody else can change the installer file: the
// attempts of another process fail while it is held, and the process starts.
TEST_F(InstallerRunTest, TheInstallerFileIsLockedFromWritingToStarting) {
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  uInstaller::Installer::TInstallerFolder folder(true);
  uInstaller::Installer::TInstallerProcess product(uInstaller::TInstallerType::itAction, folder);
  product.ExtractFromResources(uWrapper::ResourceManager::RES_INSTALLER_NAME,
                               uWrapper::ResourceManager::RES_INSTALLER_PACKAGE);
  ASSERT_TRUE(product.IsLocked());
  auto codes = DWORD(Testing::RunProgram(Testing::BuildPath(BOUNTIQ_FILE_ATTEMPTS_EXE),
                                         L"\"" + product.InstallerFileName() + L"\""));
  EXPECT_EQ(codes & 0xFF, DWORD(ERROR_SHARING_VIOLATION)) << "opened for writing";
  EXPECT_EQ(codes >> 8 & 0xFF, DWORD(ERROR_SHARING_VIOLATION)) << "deleted";
  EXPECT_EQ(codes >> 16 & 0xFF, DWORD(ERROR_SHARING_VIOLATION)) << "renamed";
  EXPECT_EQ(codes >> 24, DWORD(ERROR_ACCESS_DENIED)) << "replaced";
  product.ExecuteProcess();
  EXPECT_TRUE(product.ProcessInfo().Process) << "the process did not start";
  EXPECT_FALSE(product.IsLocked()) << "held after the start";
  product.WaitFor();
  EXPECT_TRUE(Record(L"Product-Setup.exe").Found);
}

// A product that demands the elevation the wrapper lacks (the first start
// answers 740; Wine runs everything elevated, so a stand-in answers it) is
// started once more through the elevation prompt with the same file and
// arguments, waited for, and its exit code is the answer; a refused prompt
// runs nothing and answers 1223. A partner that demands it is skipped: a
// bundled offer never raises a prompt. Nothing is left either way.
TEST_F(InstallerRunTest, AProductThatDemandsElevationGoesThroughThePromptAPartnerIsSkipped) {
  using uInstaller::Installer;
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", L"0");
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", L"3010");
  const Installer::TStarter saved = Installer::Starter;
  auto restore = ScopeExit([&] {
    Installer::Starter = saved;
    SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", nullptr);
  });
  static int starts, prompts;
  Installer::Starter.Start = [](const std::wstring&, const std::wstring&, PROCESS_INFORMATION&) -> DWORD {
    ++starts;
    return uInstaller::ErrorElevationRequired;
  };
  struct TCase {
    const char* Name;
    TUniqueKernelHandle (*Prompt)(const std::wstring&, const std::wstring&);
    DWORD ExitCode;
    bool ProductRuns;
  };
  const TCase cases[] = {
      {"accepted: the system's own prompt",
       [](const std::wstring& AFile, const std::wstring& AParameters) -> TUniqueKernelHandle {
         ++prompts;
         return ProcessInfo::StartElevated(AFile, AParameters);
       },
       3010, true},
      {"refused",
       [](const std::wstring&, const std::wstring&) -> TUniqueKernelHandle {
         ++prompts;
         ThrowOSError(ERROR_CANCELLED, L"The user refused the prompt");
       },
       uInstaller::ExitElevationRefused, false},
  };
  const std::wstring arguments = L"INSTALLDIR=\"C:\\Apps\\Acme Tools\" ALLUSERS=1";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    starts = prompts = 0;
    for (const wchar_t* name : {L"Product-Setup.exe", L"WebCompanionInstaller.exe"})
      DeleteFileW(Testing::InstallerRecordFile(name).c_str());
    Installer::Starter.StartElevated = c.Prompt;
    EXPECT_EQ(RunWithOffer(Http + L"/files/signed.exe", {}, arguments), c.ExitCode);
    EXPECT_EQ(starts, 2) << "the product and the partner are each started once as they are";
    EXPECT_EQ(prompts, 1) << "only the product goes through the prompt";
    Testing::TInstallerRecord product = Record(L"Product-Setup.exe");
    EXPECT_EQ(product.Found, c.ProductRuns);
    if (product.Found) {
      std::wstring folder = Testing::PrivateFolderOf(product.CommandLine, Temp);
      EXPECT_EQ(product.CommandLine, L"\"" + folder + L"Product-Setup.exe\" " + arguments);
    }
    EXPECT_FALSE(Record(L"WebCompanionInstaller.exe").Found);
    EXPECT_FALSE(InstallerFilesLeft(Temp));
  }
}

// Whether a token may read what the security descriptor guards.
bool MayRead(PSECURITY_DESCRIPTOR ADescriptor, HANDLE AToken) {
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof(privileges), granted = 0;
  BOOL status = FALSE;
  if (!AccessCheck(ADescriptor, AToken, FILE_GENERIC_READ, &mapping, &privileges, &privilegesSize, &granted, &status)) {
    ADD_FAILURE() << "AccessCheck failed: " << GetLastError();
    return false;
  }
  return status != FALSE;
}

// An elevated wrapper's installers go to a private folder: its own new
// name, made with owner Administrators and nothing granted to the user's
// own SID (a token with Administrators disabled may not even read it), held
// so that nobody renames it, removed with everything in it.
TEST_F(InstallerRunTest, APrivateFolderIsForAdministratorsOnlyAndGoesWithEverythingInIt) {
  using uInstaller::Installer;
  std::wstring temp = Installer::TInstallerProcess::TempFolder();
  std::wstring path;
  {
    Installer::TInstallerFolder folder(true), another(true);
    path = folder.Path();
    ASSERT_TRUE(folder.IsPrivate());
    EXPECT_EQ(Testing::PrivateFolderOf(L"\"" + path + L"x.exe\"", temp), path) << WideToUtf8(path);
    EXPECT_NE(another.Path(), path);
    std::wstring bare = path.substr(0, path.size() - 1);
    EXPECT_FALSE(MoveFileW(bare.c_str(), (temp + L"bq-moved").c_str())) << "renamed while in use";

    // The descriptor the folder is made with. (Wine keeps no descriptor on
    // folders: it maps the DACL onto Unix permissions, and reading it back
    // gives the user as owner. So this checks the descriptor itself.)
    // AccessCheck wants a group as well, which plays no part in access.
    std::wstring sddl = Installer::TInstallerFolder::PrivateSDDL;
    ASSERT_EQ(sddl.substr(0, 4), L"O:BA");
    sddl.insert(4, L"G:SY");
    PSECURITY_DESCRIPTOR made = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &made, nullptr));
    std::unique_ptr<void, decltype(&LocalFree)> descriptor(made, &LocalFree);
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted));
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(administrators);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize));
    EXPECT_TRUE(owner && EqualSid(owner, administrators)) << "the owner is not Administrators";

    HANDLE process = nullptr, full = nullptr, restricted = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process));
    ASSERT_TRUE(DuplicateToken(process, SecurityImpersonation, &full));
    SID_AND_ATTRIBUTES disable{administrators, 0};
    HANDLE filtered = nullptr;
    ASSERT_TRUE(CreateRestrictedToken(process, 0, 1, &disable, 0, nullptr, 0, nullptr, &filtered)) << GetLastError();
    ASSERT_TRUE(DuplicateToken(filtered, SecurityImpersonation, &restricted));
    EXPECT_TRUE(MayRead(descriptor.get(), full)) << "Administrators may use it";
    EXPECT_FALSE(MayRead(descriptor.get(), restricted)) << "the user's own SID is granted something";
    for (HANDLE h : {process, full, filtered, restricted}) CloseHandle(h);

    Testing::WriteBytes(path + L"left-behind.exe", "x");
    ASSERT_TRUE(CreateDirectoryW((path + L"sub").c_str(), nullptr));
    Testing::WriteBytes(path + L"sub\\deeper.txt", "y");
  }
  EXPECT_FALSE(Testing::FileExists(path)) << "the private folder is left";

  Installer::TInstallerFolder shared(false);
  EXPECT_FALSE(shared.IsPrivate());
  EXPECT_EQ(shared.Path(), temp);
}

}  // namespace
