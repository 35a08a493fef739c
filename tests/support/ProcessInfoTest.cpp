#include <gtest/gtest.h>

#include <optional>

#include "Paths.h"
#include "SystemTestSupport.h"
#include "UniqueHandle.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.Winapi.AdvApi32.h"
#include "Velqora.Winapi.User32.h"

using namespace Velqora;
using Testing::SystemFixture;

namespace {

class ProcessInfoTest : public Testing::SystemTest {};

constexpr bool Is32BitBuild = sizeof(void*) == 4;

TEST_F(ProcessInfoTest, FactsAboutTheProcess) {
  EXPECT_EQ(ProcessInfo::IsWow64Process(), Is32BitBuild);  // in a 64-bit prefix
  EXPECT_TRUE(ProcessInfo::IsElevated());      // as Wine runs programs
  EXPECT_NO_THROW(ProcessInfo::IsUserAdmin());
  EXPECT_FALSE(ProcessInfo::UserName().empty());
  EXPECT_EQ(ProcessInfo::UserSID().rfind(L"S-1-5-", 0), 0u);
  EXPECT_TRUE(ProcessInfo::EnablePrivilegie(L"SeShutdownPrivilege"));
  EXPECT_FALSE(ProcessInfo::EnablePrivilegie(L"SeNoSuchPrivilege"));
}

// The machine type of the kernel32.dll the process sees in the system folder.
WORD SystemKernelMachine() {
  std::string bytes = Testing::ReadBytes(SystemFolder() + L"\\kernel32.dll");
  DWORD offset;
  memcpy(&offset, bytes.data() + 60, 4);
  WORD machine;
  memcpy(&machine, bytes.data() + offset + 4, 2);
  return machine;
}

// A 32-bit process sees the 32-bit system folder until it turns redirection
// off; a 64-bit one always sees the real one, and the calls change nothing.
TEST_F(ProcessInfoTest, RedirectionCallsNest) {
  const WORD own = Is32BitBuild ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
  ASSERT_EQ(SystemKernelMachine(), own);
  ProcessInfo::Wow64EnableFsRedirection();  // without a disable: nothing
  EXPECT_EQ(SystemKernelMachine(), own);
  ProcessInfo::Wow64DisableFsRedirection();
  EXPECT_EQ(SystemKernelMachine(), IMAGE_FILE_MACHINE_AMD64);  // the real system folder
  ProcessInfo::Wow64DisableFsRedirection();
  ProcessInfo::Wow64EnableFsRedirection();
  EXPECT_EQ(SystemKernelMachine(), IMAGE_FILE_MACHINE_AMD64);  // still off: nested
  ProcessInfo::Wow64EnableFsRedirection();
  EXPECT_EQ(SystemKernelMachine(), own);
  ProcessInfo::Wow64EnableFsRedirection();
  EXPECT_EQ(SystemKernelMachine(), own);
}

TEST(InnerCommand, QuotesTheProgramAndAddsTheParameters) {
  struct TCase {
    const wchar_t *Cmd, *Param, *Expected;
  };
  const TCase cases[] = {
      {L"C:\\Program Files\\Browser\\browser.exe", L"http://example.test/a?b=1",
       L"\"C:\\Program Files\\Browser\\browser.exe\" http://example.test/a?b=1"},
      {L"C:\\b.exe", L"", L"\"C:\\b.exe\""},
      {L"", L"http://example.test", L"http://example.test"},
      {L"odd\"name.exe", L"x", L"\"odd\"\"name.exe\" x"},
      {L"b.exe", L"http://x.test/?a=1&b=(2)|3", L"\"b.exe\" http://x.test/?a=1^&b=^(2^)^|3"},
      {L"b.exe", L"\"http://x.test/?a=1&b=2\" & more", L"\"b.exe\" \"http://x.test/?a=1&b=2\" ^& more"},
      {L"", L"", L""},
  };
  for (const TCase& c : cases) EXPECT_EQ(ProcessInfo::InnerCommand(c.Cmd, c.Param), c.Expected);
}

// Started directly, the program finds its own name first and the address
// after it (not the address in place of its name).
TEST(ProcessInfoCommands, TheDirectStartNamesTheProgramFirst) {
  const struct {
    const wchar_t* Cmd;
    const wchar_t* Param;
    const wchar_t* Expected;
  } cases[] = {
      {L"C:\\Program Files\\Browser\\browser.exe", L"\"http://example.test/a?b=1&c=2\"",
       L"\"C:\\Program Files\\Browser\\browser.exe\" \"http://example.test/a?b=1&c=2\""},
      {L"C:\\b.exe", L"", L"\"C:\\b.exe\""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProcessInfo::DirectCommandLine(c.Cmd, c.Param), c.Expected);
}

TEST(RegDeleteKeyEx, DeletesWithOrWithoutAView) {
  for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
    SCOPED_TRACE(view);
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\BountiqTest\\Doomed", 0, nullptr, 0,
                              KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(Winapi::AdvApi32::RegDeleteKeyEx(HKEY_CURRENT_USER, L"Software\\BountiqTest\\Doomed", view, 0),
              ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\BountiqTest\\Doomed", 0, KEY_READ | view, &key),
              ERROR_SUCCESS);
  }
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\BountiqTest");
}

// Starting a program that records its command line: the path has a blank,
// the parameter is a web address.
class LaunchTest : public Testing::SystemTest {
protected:
  void SetUp() override {
    SystemTest::SetUp();
    std::wstring folder = Folder / L"with blank";
    CreateDirectoryW(folder.c_str(), nullptr);
    Program = folder + L"\\recorder.exe";
    Record = folder + L"\\record.txt";
    ASSERT_TRUE(CopyFileW(SystemFixture("recorder.exe").c_str(), Program.c_str(), FALSE));
  }
  void TearDown() override {
    Shell.reset();
    SystemTest::TearDown();
  }
  // What the program recorded, once it has.
  std::wstring Recorded() { return Testing::Recorded(Record); }
  void StartShellWindow() {
    Shell.emplace();
    ASSERT_TRUE(Shell->Running());
  }

  Testing::TTempFolder Folder;
  std::wstring Program, Record;
  std::optional<Testing::TShellWindow> Shell;
  const std::wstring Address = L"http://example.test/page?a=1&b=2";
};

TEST_F(LaunchTest, ElevatedWithoutShellWindowRaises) {
  ASSERT_EQ(Winapi::User32::GetShellWindow(), nullptr);
  EXPECT_THROW(ProcessInfo::CreateProcessAsLUAUser(Program, Address), ESystemError);
  EXPECT_FALSE(Testing::FileExists(Record));
}

TEST_F(LaunchTest, AsTheDesktopUserThroughTheCommandProcessor) {
  StartShellWindow();
  PROCESS_INFORMATION info{};
  ProcessInfo::CreateProcessAsLUAUser(Program, Address, info);
  TUniqueKernelHandle process(info.hProcess), thread(info.hThread);
  ASSERT_TRUE(process);  // the command processor, which ends once it started the program
  EXPECT_EQ(Recorded(), L"\"" + Program + L"\" " + Address);
  EXPECT_EQ(WaitForSingleObject(process.Get(), 10000), WAIT_OBJECT_0);
}

TEST_F(LaunchTest, AsTheCurrentUser) {
  ProcessInfo::CreateProcessAsCurrentUser(Program, Address);
  EXPECT_EQ(Recorded(), L"\"" + Program + L"\" " + Address);
}

}  // namespace
