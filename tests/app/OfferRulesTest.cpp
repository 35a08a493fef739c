#include <gtest/gtest.h>

#include "OfferMachine.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.Registry.h"
#include "uGUILocalizer.h"
#include "ufmPage.LavaSoftWebCompanion.h"

using namespace ufmPage::LavaSoftWebCompanion;
using Velqora::TRegistry;

namespace {

TEST(OfferRules, BrowserNames) {
  EXPECT_TRUE(IsBrowserIEOrFirefox(L"C:\\Program Files\\Mozilla Firefox\\FIREFOX.EXE"));
  EXPECT_TRUE(IsBrowserIEOrFirefox(L"iexplore.exe"));
  EXPECT_FALSE(IsBrowserIEOrFirefox(L"C:\\firefox\\chrome.exe"));  // only the file name counts
  EXPECT_TRUE(IsBrowserChrome(L"C:\\Google\\Chrome.exe"));
  EXPECT_FALSE(IsBrowserChrome(L"C:\\chrome\\"));
  EXPECT_FALSE(IsBrowserChrome(L""));
}

// The partner's key and the default browser, set up by a test and put back
// afterwards.
class OfferMachineTest : public Testing::TOfferMachineTest {
protected:
  void UseBrowser(const wchar_t* AName) { Machine->UseBrowser(AName); }
  static void RemoveKeys() { Testing::TOfferMachine::RemovePartnerKeys(); }
  template <typename F>
  static void WriteInstalled(REGSAM AView, F AWrite) {
    ASSERT_TRUE(Testing::TOfferMachine::WritePartnerKey(AView, AWrite));
  }
};

TEST_F(OfferMachineTest, InstalledAndPresentByTheValueInEitherView) {
  struct TCase {
    const char* Name;
    REGSAM View;
    void (*Write)(TRegistry&);
    bool Installed, Present;
  };
  const TCase cases[] = {
      {"no key", 0, nullptr, false, false},
      {"DWORD 0", KEY_WOW64_32KEY, [](TRegistry& r) { r.WriteInteger(L"Installed", 0); }, false, true},
      {"DWORD 5", KEY_WOW64_32KEY, [](TRegistry& r) { r.WriteInteger(L"Installed", 5); }, true, true},
      {"DWORD 1 in the 64-bit view", KEY_WOW64_64KEY, [](TRegistry& r) { r.WriteInteger(L"Installed", 1); }, true,
       true},
      {"SZ 1", KEY_WOW64_32KEY, [](TRegistry& r) { r.WriteString(L"Installed", L"1"); }, false, true},
      {"QWORD 1", KEY_WOW64_64KEY, [](TRegistry& r) { r.WriteInt64(L"Installed", 1); }, true, true},
      {"QWORD 2^32", KEY_WOW64_32KEY, [](TRegistry& r) { r.WriteInt64(L"Installed", int64_t(1) << 32); }, false, true},
      {"key without value", KEY_WOW64_32KEY, [](TRegistry&) {}, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    RemoveKeys();
    if (c.Write) WriteInstalled(c.View, c.Write);
    EXPECT_EQ(IsWebCompanionInstalled(), c.Installed);
    EXPECT_EQ(IsWebCompanionPresent(), c.Present);
  }
}

// One country of each kind the rules tell apart: what the country
// predicates answer, and the offer that follows with Firefox (the Web
// Companion variant and its run value) and with Chrome (the Search Companion
// variant).
TEST_F(OfferMachineTest, CountryKinds) {
  struct TCase {
    const char* Kind;
    int GeoID;
    bool Primary, Secondary, Search;
    const wchar_t* FirefoxValue;  // none: no offer with Firefox
    bool ChromeOffer;
  };
  const TCase cases[] = {
      {"primary (Germany)", 94, true, false, false, L"1", false},
      {"secondary (Brazil)", 32, false, true, false, L"2", false},
      {"excluded (China)", 45, false, false, false, nullptr, false},
      {"Search Companion's (Canada)", 39, true, false, true, L"1", true},
      {"no location set", 0, false, true, false, L"2", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Kind);
    EXPECT_EQ(IsPrimaryCountry(c.GeoID), c.Primary);
    EXPECT_EQ(IsSecondaryCountry(c.GeoID), c.Secondary);
    EXPECT_EQ(IsSearchCompanionCountry(c.GeoID), c.Search);
    UseBrowser(L"firefox.exe");
    EXPECT_EQ(IsWebCompanionOffer(c.GeoID), c.FirefoxValue != nullptr);
    ComputeOfferRunValues(c.GeoID);
    EXPECT_EQ(OfferRunParams, c.FirefoxValue ? std::wstring(L"--silent --partner=VQ150801BNTQ --homepage=") +
                                                   c.FirefoxValue + L" --search=" + c.FirefoxValue
                                             : L"");
    UseBrowser(L"chrome.exe");
    EXPECT_EQ(IsSearchCompanionOffer(c.GeoID), c.ChromeOffer);
    EXPECT_EQ(IsOfferAvailable(c.GeoID), c.ChromeOffer);
  }
}

// The whole rules as the wizard asks them, with the country of the locale
// the test session runs with (the C locale: the United States, 244).
TEST_F(OfferMachineTest, VariantsAndRunValuesOnThisMachine) {
  int geo = UserGeoID();
  if (!IsSearchCompanionCountry(geo)) GTEST_SKIP() << "needs a session in a Search Companion country, got " << geo;
  using namespace uGUILocalizer;
  auto partnerURL = Velqora::Format(sURLOfferDownload, {std::wstring(L"VQ150801BNTQ")});

  UseBrowser(L"firefox.exe");
  EXPECT_TRUE(IsOfferAvailable());
  EXPECT_TRUE(IsWebCompanionOffer());
  EXPECT_FALSE(IsSearchCompanionOffer());
  EXPECT_STREQ(ChooseOfferTexts().LearnMore, sOfferLearnMoreBing);
  ComputeOfferRunValues();
  EXPECT_EQ(OfferInstallerFileName, L"WebCompanionInstaller.exe");
  EXPECT_EQ(OfferDownloadURL, partnerURL);
  EXPECT_EQ(OfferRunParams, L"--silent --partner=VQ150801BNTQ --homepage=1 --search=1");

  UseBrowser(L"Chrome.exe");
  EXPECT_TRUE(IsSearchCompanionOffer());
  EXPECT_STREQ(ChooseOfferTexts().Heading, sOfferCaptionSearch);
  ComputeOfferRunValues();
  EXPECT_EQ(OfferRunParams, L"--silent --partner=VQ150801BNTQ --homepage=1 --search=1");
  WriteInstalled(KEY_WOW64_32KEY, [](TRegistry& r) { r.WriteInteger(L"Installed", 0); });
  EXPECT_FALSE(IsOfferAvailable()) << "the key exists: no Search Companion offer";

  UseBrowser(L"firefox.exe");
  EXPECT_TRUE(IsOfferAvailable()) << "DWORD 0: not installed";
  WriteInstalled(KEY_WOW64_64KEY, [](TRegistry& r) { r.WriteInteger(L"Installed", 5); });
  EXPECT_FALSE(IsOfferAvailable()) << "installed in the 64-bit view";
  ComputeOfferRunValues();
  EXPECT_EQ(OfferRunParams, L"");

  RemoveKeys();
  UseBrowser(L"opera.exe");
  EXPECT_FALSE(IsOfferAvailable());
}

// The variant matrix over countries and browsers: the browser through the
// http association, the country given (Wine takes the user's country from
// the locale it runs with, one per process; GeoID 0 it cannot produce).
TEST_F(OfferMachineTest, VariantMatrix) {
  using namespace uGUILocalizer;
  struct TCase {
    const wchar_t* Browser;
    int GeoID;
    const wchar_t* LearnMore;  // none: no offer
    const wchar_t* Value;
  };
  const TCase cases[] = {
      {L"chrome.exe", 94, nullptr, nullptr},                              // Chrome in Germany
      {L"firefox.exe", 32, sOfferLearnMoreYahoo, L"2"},                   // Firefox in Brazil
      {L"iexplore.exe", 203, nullptr, nullptr},                           // Russia
      {L"iexplore.exe", 191, nullptr, nullptr},                           // Poland
      {L"iexplore.exe", 45, nullptr, nullptr},                            // China
      {L"FIREFOX.EXE", 94, sOfferLearnMoreBing, L"1"},                    // capitals, Germany
      {L"chrome.exe", 39, sOfferLearnMoreBingSearch, L"1"},               // Chrome in Canada
      {L"firefox.exe", 0, sOfferLearnMoreYahoo, L"2"},                    // no location set
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(Velqora::WideToUtf8(c.Browser) + " in " + std::to_string(c.GeoID));
    UseBrowser(c.Browser);
    EXPECT_EQ(IsOfferAvailable(c.GeoID), c.LearnMore != nullptr);
    if (!c.LearnMore) continue;
    EXPECT_STREQ(ChooseOfferTexts(c.GeoID).LearnMore, c.LearnMore);
    ComputeOfferRunValues(c.GeoID);
    EXPECT_EQ(OfferRunParams, std::wstring(L"--silent --partner=VQ150801BNTQ --homepage=") + c.Value +
                                  L" --search=" + c.Value);
  }
}

}  // namespace
