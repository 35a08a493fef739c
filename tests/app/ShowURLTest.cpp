// Opening a web address in the default browser: a stand-in browser that
// records its command line is the default for the test.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "SystemTestSupport.h"
#include "uGUIGlobals.h"

using uGUIGlobals::GUIGlobals;

namespace {

class ShowURLTest : public Testing::SystemTest {
protected:
  void TearDown() override {
    Shell.reset();
    SystemTest::TearDown();
  }

  Testing::TStandInBrowser Browser;
  std::optional<Testing::TShellWindow> Shell;
};

TEST_F(ShowURLTest, OpensTheAddressQuotedAfterTheBrowsersPathAsTheDesktopUser) {
  Shell.emplace();
  ASSERT_TRUE(Shell->Running());
  const std::wstring address = L"http://example.test/terms?a=1&b=(2)|3";
  EXPECT_TRUE(GUIGlobals::ShowURL(address));
  // The browser's own path first, then the whole address as one argument.
  EXPECT_EQ(Browser.Arguments(), (std::vector<std::wstring>{Browser.Path(), address}));
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
    EXPECT_TRUE(Browser.Arguments(1000).empty());
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr) << "no message box";
    Shell.reset();
  }
}

}  // namespace
