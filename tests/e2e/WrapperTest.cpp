// Runs the real wrapper executable as a user would start it.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "InstallerRecord.h"
#include "Paths.h"
#include "TestSupport.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"

namespace {

const wchar_t* const Title = L"Bountiq - Software Installation";

// The process's own DPI awareness must not distort what it reads of the
// wrapper's window.
void BecomeDpiAware() {
  using TSetProcessDPIAware = BOOL(WINAPI*)();
  auto set = reinterpret_cast<TSetProcessDPIAware>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware")));
  if (set) set();
}

using Testing::TWrapperRun;

// Starts the template (or a packed wrapper) and waits for its wizard.
TWrapperRun StartWrapper(const std::wstring& AArguments = L"", std::wstring AExe = L"") {
  return Testing::StartWrapper(AExe.empty() ? Testing::BuildPath(BOUNTIQ_WRAPPER_EXE) : AExe, AArguments);
}

// Closes the wizard with the close box's message and answers the exit code.
DWORD CloseAndWait(TWrapperRun& ARun) {
  PostMessageW(ARun.Window, WM_CLOSE, 0, 0);
  return Testing::WaitForExit(ARun);
}

void SetScreenDpi(DWORD ADpi) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ADpi), sizeof(ADpi));
  RegCloseKey(key);
}

TEST(Wrapper, ShowsTheWizardAndEndsWithUserCancelledWhenClosed) {
  BecomeDpiAware();
  TWrapperRun run = StartWrapper();
  ASSERT_TRUE(run.Window) << "no wizard window";
  wchar_t title[64] = {};
  GetWindowTextW(run.Window, title, 64);
  EXPECT_STREQ(title, Title);
  RECT client;
  GetClientRect(run.Window, &client);
  EXPECT_EQ(client.right, 545);
  EXPECT_EQ(client.bottom, 380);
  EXPECT_EQ(CloseAndWait(run), DWORD(ERROR_INSTALL_USEREXIT));
}

// The template's own resources: manifest, main icon and version strings.
TEST(Wrapper, CarriesManifestIconAndVersion) {
  std::wstring exe = Testing::BuildPath(BOUNTIQ_WRAPPER_EXE);
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(module);
  HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_TRUE(manifest);
  std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                   SizeofResource(module, manifest));
  for (const char* needle :
       {"level=\"highestAvailable\"", ">True/PM</dpiAware>", ">true</disableWindowFiltering>",
        "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
    EXPECT_NE(text.find(needle), std::string::npos) << needle;
  EXPECT_TRUE(FindResourceW(module, L"MAINICON", MAKEINTRESOURCEW(14)));  // RT_GROUP_ICON
  FreeLibrary(module);

  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
  for (const wchar_t* name : {L"CompanyName", L"ProductName", L"FileVersion"}) {
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904E4\\") + name;
    EXPECT_TRUE(VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) && length > 1)
        << "no " << Velqora::WideToUtf8(name);
  }
}

TEST(Wrapper, WritesItsLogOnlyWithTheDebugSwitch) {
  wchar_t appData[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE));
  std::wstring company = std::wstring(appData) + L"\\Bountiq";
  std::wstring log = company + L"\\Bountiq Installation Wrapper\\1.0.0.0\\Logs\\bountiq-wrapper.log";
  auto removeLogs = [&] {
    DeleteFileW(log.c_str());
    for (std::wstring dir = log.substr(0, log.find_last_of(L'\\')); dir.size() >= company.size();
         dir = dir.substr(0, dir.find_last_of(L'\\')))
      RemoveDirectoryW(dir.c_str());
  };
  removeLogs();

  for (const wchar_t* args : {L"", L"debug", L"--debug", L"-debugx"}) {
    TWrapperRun run = StartWrapper(args);
    ASSERT_TRUE(run.Window);
    EXPECT_EQ(CloseAndWait(run), DWORD(ERROR_INSTALL_USEREXIT));
    EXPECT_FALSE(Testing::FileExists(company)) << "a folder was made for: " << Velqora::WideToUtf8(args);
  }

  TWrapperRun run = StartWrapper(L"/DEBUG");
  ASSERT_TRUE(run.Window);
  EXPECT_EQ(CloseAndWait(run), DWORD(ERROR_INSTALL_USEREXIT));
  std::string bytes = Testing::ReadBytes(log);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  EXPECT_NE(text.find(L"bountiq-wrapper.exe"), std::wstring::npos);
  EXPECT_NE(text.find(L"Install flags: action False, offer False"), std::wstring::npos) << "closed by the close box";
  removeLogs();
}

// A product packed by the real packaging tool: Next runs it once, with its
// own path first on its command line; the wrapper waits for it and leaves
// no installer file or folder in the temporary folder.
TEST(Wrapper, NextRunsThePackedProductAndCleansUpTheCloseBoxRunsNothing) {
  Testing::TTempFolder folder;
  std::wstring wrapper = folder / L"Product-Setup-Wrapped.exe";
  std::wstring pack = Testing::BuildPath(BOUNTIQ_PACK_EXE);
  std::wstring product = Testing::BuildPath(BOUNTIQ_FAKE_INSTALLER_EXE);
  ASSERT_EQ(Testing::RunProgram(pack, L"\"" + product + L"\" -o \"" + wrapper + L"\" --name Product-Setup.exe"), 0);
  std::wstring tempFolder = Testing::TempFolder();
  std::wstring record = Testing::InstallerRecordFile(L"Product-Setup.exe");
  DeleteFileW(record.c_str());

  // Closed by the close box: nothing is written, nothing starts.
  TWrapperRun closed = StartWrapper(L"", wrapper);
  ASSERT_TRUE(closed.Window);
  EXPECT_EQ(CloseAndWait(closed), DWORD(ERROR_INSTALL_USEREXIT));
  EXPECT_FALSE(Testing::InstallerFilesLeft(tempFolder));
  EXPECT_FALSE(Testing::FileExists(record));

  TWrapperRun run = StartWrapper(L"", wrapper);
  ASSERT_TRUE(run.Window);
  HWND next = Testing::FindVisibleChild(run.Window, L"Next");
  ASSERT_TRUE(next);
  PostMessageW(next, WM_KEYDOWN, VK_RETURN, 0);  // Enter on the focused Next button
  EXPECT_EQ(Testing::WaitForExit(run), 0u);
  std::wstring line = Testing::ReadInstallerRecord(L"Product-Setup.exe").CommandLine;
  // Wine runs programs elevated: the product ran from a private folder.
  std::wstring privateFolder = Testing::PrivateFolderOf(line, tempFolder);
  ASSERT_FALSE(privateFolder.empty()) << "not from a private folder: " << Velqora::WideToUtf8(line);
  EXPECT_EQ(line, L"\"" + privateFolder + L"Product-Setup.exe\"");  // the program first, nothing else
  EXPECT_FALSE(Testing::FileExists(privateFolder)) << "the installer folder was left behind";
  EXPECT_FALSE(Testing::InstallerFilesLeft(tempFolder));
  DeleteFileW(record.c_str());
}

// A real MSI, packed and run: msiexec installs it.
TEST(Wrapper, AnMsiIsInstalledThroughMsiexec) {
  Testing::TTempFolder folder;
  std::wstring wrapper = folder / L"Sample-Wrapped.exe";
  ASSERT_EQ(Testing::RunProgram(Testing::BuildPath(BOUNTIQ_PACK_EXE), L"\"" + Testing::BuildPath(BOUNTIQ_SAMPLE_MSI) +
                                                                        L"\" -o \"" + wrapper + L"\""),
            0);
  // A 32-bit package: it installs into the 32-bit programs folder, whichever
  // build of the wrapper starts msiexec.
  wchar_t programs[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAM_FILESX86, FALSE));
  std::wstring installed = std::wstring(programs) + L"\\Bountiq Sample Product\\readme.txt";
  ASSERT_FALSE(Testing::FileExists(installed));

  TWrapperRun run = StartWrapper(L"", wrapper);
  ASSERT_TRUE(run.Window);
  HWND next = Testing::FindVisibleChild(run.Window, L"Next");
  ASSERT_TRUE(next);
  PostMessageW(next, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(WaitForSingleObject(run.Process.Get(), 120000), WAIT_OBJECT_0);
  EXPECT_EQ(Testing::ReadBytes(installed), "hello from the sample product\n");
  EXPECT_FALSE(Testing::FileExists(Testing::TempFolder() + L"Sample-Product.msi"));
}

TEST(Wrapper, KeepsItsClientSizeAtHighDpi) {
  BecomeDpiAware();
  struct TMeasure {
    RECT Client, Window;
  };
  auto measure = [](DWORD ADpi, TMeasure& AResult) {
    SetScreenDpi(ADpi);
    TWrapperRun run = StartWrapper();
    ASSERT_TRUE(run.Window) << "no wizard window at " << ADpi << " DPI";
    GetClientRect(run.Window, &AResult.Client);
    GetWindowRect(run.Window, &AResult.Window);
    EXPECT_EQ(CloseAndWait(run), DWORD(ERROR_INSTALL_USEREXIT));
  };
  TMeasure normal{}, high{};
  measure(144, high);
  measure(96, normal);
  EXPECT_EQ(high.Client.right, 545);
  EXPECT_EQ(high.Client.bottom, 380);
  // The frame did grow with the DPI, so the setting took effect.
  EXPECT_GT(high.Window.bottom - high.Window.top, normal.Window.bottom - normal.Window.top);
}

// ---- Deploying: unattended installs, exit codes, arguments for the product ----

// Wrappers packed once by the real packing tool: the stand-in product as
// it is, the same with unattended arguments, and the sample MSI.
class DeployTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Folder = new Testing::TTempFolder;
    const std::wstring product = L"\"" + Testing::BuildPath(BOUNTIQ_FAKE_INSTALLER_EXE) + L"\"";
    Pack(product + L" --name Product-Setup.exe", Plain = *Folder / L"Plain.exe");
    Pack(product + L" --name Product-Setup.exe --silent-args \"" + EscapedSilent + L"\"",
         Silent = *Folder / L"Silent.exe");
    Pack(L"\"" + Testing::BuildPath(BOUNTIQ_SAMPLE_MSI) + L"\"", Msi = *Folder / L"Msi.exe");
  }
  static void TearDownTestSuite() { delete std::exchange(Folder, nullptr); }
  void SetUp() override {
    DeleteFileW(Testing::InstallerRecordFile(L"Product-Setup.exe").c_str());
    SetEnvironmentVariableW(L"BOUNTIQ_FAKE_SLEEP_MS", nullptr);
  }
  void TearDown() override { SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", nullptr); }

  static void Pack(const std::wstring& AArguments, const std::wstring& AOutput) {
    ASSERT_EQ(Testing::RunProgram(Testing::BuildPath(BOUNTIQ_PACK_EXE), AArguments + L" -o \"" + AOutput + L"\""), 0)
        << Velqora::WideToUtf8(AArguments);
  }
  // What the stand-in product got after its own quoted path; empty when it
  // did not run.
  static std::wstring ProductArguments(bool& ARan) {
    Testing::TInstallerRecord record = Testing::ReadInstallerRecord(L"Product-Setup.exe");
    ARan = record.Found;
    std::wstring program = Testing::ProgramOf(record.CommandLine);
    return record.Found ? record.CommandLine.substr(program.size() + 2) : L"";
  }

  // The publisher's unattended arguments, and the same as a packing tool's
  // argument on a command line.
  static constexpr const wchar_t* SilentArguments = L"/quiet-product --dir=\"C:\\Program Files\\Acme\"";
  static constexpr const wchar_t* EscapedSilent = L"/quiet-product --dir=\\\"C:\\Program Files\\Acme\\\"";
  static inline Testing::TTempFolder* Folder = nullptr;
  static inline std::wstring Plain, Silent, Msi;
};

// The exit code is the product's own, unattended as in the wizard; a
// temporary folder that cannot be used gives the system's error, not 0.
TEST_F(DeployTest, TheExitCodeIsTheProductsOwnOrTheFailedStepsError) {
  struct TCase {
    const char* Name;
    const wchar_t* ProductExit;  // the stand-in's
    bool BadTemp;
    DWORD Expected;
    bool ProductRuns;
  };
  const TCase cases[] = {
      {"installed", L"0", false, 0, true},
      {"restart needed", L"3010", false, 3010, true},
      {"failed", L"1603", false, 1603, true},
      {"no usable temporary folder", L"0", true, ERROR_FILENAME_EXCED_RANGE, false},
  };
  const std::wstring temp = Testing::TempFolder();
  wchar_t savedTmp[MAX_PATH + 1] = {};
  ASSERT_TRUE(GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH + 1));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    DeleteFileW(Testing::InstallerRecordFile(L"Product-Setup.exe").c_str());
    SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", c.ProductExit);
    if (c.BadTemp) SetEnvironmentVariableW(L"TMP", (L"C:\\" + std::wstring(300, L'x')).c_str());
    DWORD code = Testing::RunUnseen(Plain, L"/S");
    SetEnvironmentVariableW(L"TMP", savedTmp);
    EXPECT_EQ(code, c.Expected);
    bool ran = false;
    ProductArguments(ran);
    EXPECT_EQ(ran, c.ProductRuns);
    EXPECT_FALSE(Testing::InstallerFilesLeft(temp));
  }
  // The same code comes back through the wizard.
  SetEnvironmentVariableW(L"BOUNTIQ_FAKE_EXIT_CODE", L"3010");
  TWrapperRun run = StartWrapper(L"", Plain);
  ASSERT_TRUE(run.Window);
  HWND next = Testing::FindVisibleChild(run.Window, L"Next");
  ASSERT_TRUE(next);
  PostMessageW(next, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(Testing::WaitForExit(run), 3010u);
}

// Unattended, the product gets the publisher's arguments (none when none
// were packed); what follows "--" is appended as written, in the wizard too.
TEST_F(DeployTest, TheProductGetsItsUnattendedArgumentsAndWhatFollowsTheSeparator) {
  const std::wstring silent = SilentArguments;
  const std::wstring extra = L"INSTALLDIR=\"C:\\Apps\\Acme\" \"two words\"  \\\"quoted\\\" -- /S";
  struct TCase {
    const char* Name;
    const std::wstring& Exe;
    std::wstring Arguments;
    bool Wizard;
    std::wstring Expected;
  };
  const TCase cases[] = {
      {"no unattended arguments packed", Plain, L"/S", false, L""},
      {"unattended arguments packed", Silent, L"-quiet", false, silent},
      {"and more after the separator", Silent, L"/VERYSILENT -- " + extra, false, silent + L" " + extra},
      {"the wizard's run gets no unattended arguments", Silent, L"-- " + extra, true, extra},
      {"a switch inside a quoted argument is none", Plain, L"\"/S x\"", true, L""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    DeleteFileW(Testing::InstallerRecordFile(L"Product-Setup.exe").c_str());
    if (c.Wizard) {
      TWrapperRun run = StartWrapper(c.Arguments, c.Exe);
      ASSERT_TRUE(run.Window);
      HWND next = Testing::FindVisibleChild(run.Window, L"Next");
      ASSERT_TRUE(next);
      PostMessageW(next, WM_KEYDOWN, VK_RETURN, 0);
      EXPECT_EQ(Testing::WaitForExit(run), 0u);
    } else {
      EXPECT_EQ(Testing::RunUnseen(c.Exe, c.Arguments), 0u);
    }
    bool ran = false;
    std::wstring arguments = ProductArguments(ran);
    EXPECT_TRUE(ran);
    EXPECT_EQ(arguments, c.Expected.empty() ? L"" : L" " + c.Expected);
  }
}

// A real MSI, unattended: installed with /qn and no window; one that fails
// (a launch condition the product's arguments trip) answers msiexec's code.
TEST_F(DeployTest, AnMsiInstallsUnseenAndAFailingOneAnswersMsiexecsCode) {
  wchar_t programs[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAM_FILESX86, FALSE));
  const std::wstring installed = std::wstring(programs) + L"\\Bountiq Sample Product\\readme.txt";
  const std::wstring msiexec = Velqora::SystemFolder() + L"\\msiexec.exe";
  const std::wstring msi = L"\"" + Testing::BuildPath(BOUNTIQ_SAMPLE_MSI) + L"\"";
  Testing::RunProgram(msiexec, L"/x " + msi + L" /qn", 120000);  // left by another test
  ASSERT_FALSE(Testing::FileExists(installed));

  EXPECT_EQ(Testing::RunUnseen(Msi, L"/S -- FAILME=1"), DWORD(ERROR_INSTALL_FAILURE));
  EXPECT_FALSE(Testing::FileExists(installed));
  EXPECT_EQ(Testing::RunUnseen(Msi, L"/quiet"), 0u);
  EXPECT_EQ(Testing::ReadBytes(installed), "hello from the sample product\n");
  EXPECT_FALSE(Testing::InstallerFilesLeft(Testing::TempFolder()));
  EXPECT_EQ(Testing::RunProgram(msiexec, L"/x " + msi + L" /qn", 120000), 0);
}

// /? shows the switches and the exit codes and installs nothing; with an
// unattended switch nothing is shown at all.
TEST_F(DeployTest, HelpShowsTheSwitchesAndExitCodesAndInstallsNothing) {
  TWrapperRun run = StartWrapper(L"/?", Plain);
  ASSERT_TRUE(run.Window) << "no help box";
  wchar_t kind[16] = {}, text[2048] = {};
  GetClassNameW(run.Window, kind, 16);
  EXPECT_STREQ(kind, L"#32770") << "not a message box";
  GetDlgItemTextW(run.Window, 0xFFFF, text, 2048);  // the message box's text
  for (const wchar_t* needle : {L"/S, /silent, /verysilent, /quiet", L"-- ARGUMENTS", L"Exit codes", L"1602", L"1223"})
    EXPECT_NE(std::wstring(text).find(needle), std::wstring::npos) << Velqora::WideToUtf8(needle);
  PostMessageW(run.Window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(Testing::WaitForExit(run), 0u);

  EXPECT_EQ(Testing::RunUnseen(Plain, L"/S -help"), 0u);
  bool ran = true;
  ProductArguments(ran);
  EXPECT_FALSE(ran);
}

}  // namespace
