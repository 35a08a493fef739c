// Opening a web address in the default browser: a stand-in browser that
// records its command line is the default for the test.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <windows.h>
#include <shellapi.h>

#include "SystemTestSupport.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "uGUIGlobals.h"

using uGUIGlobals::GUIGlobals;

namespace {

class ShowURLTest : public Testing::SystemTest {
protected:
  void SetUp() override {
    SystemTest::SetUp();
    std::wstring folder = Folder / L"with blank";
    CreateDirectoryW(folder.c_str(), nullptr);
    Browser = folder + L"\\browser.exe";
    Record = folder + L"\\record.txt";
    ASSERT_TRUE(CopyFileW(Testing::SystemFixture("recorder.exe").c_str(), Browser.c_str(), FALSE));
    DWORD size = sizeof(FOld);
    FHadBrowser = RegGetValueW(HKEY_LOCAL_MACHINE, Key, nullptr, RRF_RT_REG_SZ, nullptr, FOld, &size) == ERROR_SUCCESS;
    UseBrowser(Browser);
  }
  void TearDown() override {
    Shell.reset();
    if (FHadBrowser)
      UseBrowserCommand(FOld);
    else
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, Key);
    SystemTest::TearDown();
  }
  void UseBrowser(const std::wstring& APath) { UseBrowserCommand(L"\"" + APath + L"\" \"%1\""); }
  static void UseBrowserCommand(const std::wstring& ACommand) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, Key, nullptr, REG_SZ, ACommand.c_str(),
                    DWORD((ACommand.size() + 1) * sizeof(wchar_t)));
  }
  std::wstring Recorded(DWORD ATimeoutMs) { return Testing::Recorded(Record, ATimeoutMs); }

  static constexpr const wchar_t* Key = L"Software\\Classes\\http\\shell\\open\\command";
  Testing::TTempFolder Folder;
  std::wstring Browser, Record;
  std::optional<Testing::TShellWindow> Shell;
  bool FHadBrowser = false;
  wchar_t FOld[1024] = {};
};

TEST_F(ShowURLTest, OpensTheAddressQuotedAfterTheBrowsersPathAsTheDesktopUser) {
  Shell.emplace();
  ASSERT_TRUE(Shell->Running());
  const std::wstring address = L"http://example.test/terms?a=1&b=(2)|3";
  EXPECT_TRUE(GUIGlobals::ShowURL(address));
  // The browser's own path first, then the whole address as one argument.
  const std::wstring line = Recorded(10000);
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
  ASSERT_NE(argv, nullptr) << Velqora::WideToUtf8(line);
  Velqora::TUniqueLocalMemory owned(argv);
  ASSERT_EQ(count, 2) << Velqora::WideToUtf8(line);
  EXPECT_EQ(std::wstring(argv[0]), Browser);
  EXPECT_EQ(std::wstring(argv[1]), address);
}

TEST_F(ShowURLTest, StartsNothingAndAnswersFalseWhenItCannotOpen) {
  struct TCase {
    const char* Name;
    std::wstring Address;
    bool Shell;  // a desktop shell to start the browser as its user
  };
  // Without a desktop shell the elevated wrapper cannot start the browser
  // as the desktop user: the launcher raises.
  const TCase cases[] = {
      {"an empty address", L"", true},
      {"a browser that cannot be started", L"http://example.test/", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Shell) Shell.emplace();
    EXPECT_FALSE(GUIGlobals::ShowURL(c.Address));
    EXPECT_EQ(Recorded(1000), L"");
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr) << "no message box";
    Shell.reset();
  }
}

}  // namespace
