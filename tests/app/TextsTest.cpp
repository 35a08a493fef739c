#include <gtest/gtest.h>

#include <string>

#include "Project.VCL.Common.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"
#include "uGUILocalizer.h"

using namespace uGUILocalizer;
using Project::VCL::VCLCommon;

namespace {

TEST(Texts, HaveTheirExactCharacters) {
  EXPECT_STREQ(sFormCaption, L"Bountiq - Software Installation");
  EXPECT_STREQ(sBtnNext, L"Next");
  EXPECT_STREQ(sBtnAgreeAndInstall, L"Agree and Install");
  EXPECT_STREQ(sBtnDecline, L"Decline");
  EXPECT_STREQ(sWelcomeCaption, L"This software was <b>checked</b> by");
  EXPECT_STREQ(sWelcomeFooter, L"Please click <b>Next</b> to proceed with the installation");
  for (const wchar_t* item : {sOfferItem1, sOfferItem2}) {
    EXPECT_EQ(item[0], L'\u25CF');
    EXPECT_EQ(item[1], L' ');
  }
  std::wstring item2 = sOfferItem2;
  EXPECT_NE(item2.find(L"Internet Explorer\u00AE and Firefox\u00AE from the software's main screen"),
            std::wstring::npos);
  for (const wchar_t* text :
       {sURLLearnMore, sURLTerms, sURLPrivacy, sBtnNext, sFormCaption, sWelcomeCaption, sWelcomeFooter, sNoViruses,
        sNoAdware, sNoSpyware, sURLOfferDownload, sBtnAgreeAndInstall, sBtnDecline, sOfferCaption,
        sOfferCaptionSearch, sOfferSeeBelow, sOfferInfo, sOfferItem1, sOfferItem2, sOfferLearnMoreBing,
        sOfferLearnMoreBingSearch, sOfferLearnMoreYahoo, sOfferTerms}) {
    std::wstring t = text;
    ASSERT_FALSE(t.empty());
    EXPECT_NE(t.back(), L'\n') << Velqora::WideToUtf8(t);
    EXPECT_NE(t.back(), L'\r') << Velqora::WideToUtf8(t);
  }
}

TEST(Texts, TemplatesFormatWithTheirArguments) {
  EXPECT_EQ(Velqora::Format(sOfferTerms, {L"Terms", L"PrivacyPolicy"}),
            L"By clicking \"Agree and Install\" you confirm that you have read and agree to Ad-Aware Web Companion's "
            L"<a href=\"Terms\">Terms</a> and <a href=\"PrivacyPolicy\">Privacy Policy</a>, and agree to install "
            L"Ad-Aware Web Companion.");
  std::wstring url = Velqora::Format(sURLOfferDownload, {L"ABC-12_x"});
  EXPECT_EQ(url, std::wstring(sURLLearnMore) + L"/nano_download.php?partner=ABC-12_x");
  EXPECT_EQ(std::wstring(sURLTerms), std::wstring(sURLLearnMore) + L"/terms");
  EXPECT_EQ(std::wstring(sURLPrivacy), std::wstring(sURLLearnMore) + L"/privacy");
  EXPECT_EQ(std::wstring(sURLLearnMore).rfind(L"http://", 0), 0u);
  for (const wchar_t* learnMore : {sOfferLearnMoreBing, sOfferLearnMoreBingSearch, sOfferLearnMoreYahoo}) {
    std::wstring t = Velqora::Format(learnMore, {L"LearnMore"});
    EXPECT_NE(t.find(L"<a href=\"LearnMore\">Learn more</a>."), std::wstring::npos);
  }
}

class SharedDefaults : public ::testing::Test {
protected:
  void SetUp() override { VCLCommon::Start(); }
  void TearDown() override { VCLCommon::Stop(); }
};

TEST_F(SharedDefaults, DefaultFontAndLinkFonts) {
  const Gui::TFont& f = VCLCommon::DefaultFont();
  EXPECT_EQ(f.GetName(), L"Segoe UI");
  EXPECT_EQ(f.GetHeight(), -12);
  EXPECT_EQ(f.GetStyle(), 0);
  EXPECT_EQ(f.GetColor(), Gui::RGBColor(0, 0, 0));
  EXPECT_EQ(f.GetQuality(), Gui::TFontQuality::fqClearType);

  struct {
    const Gui::TFont& Font;
    Gui::TColor Color;
  } links[] = {{VCLCommon::DefaultLinkFont(), Gui::RGBColor(0, 102, 221)},
               {VCLCommon::DefaultLinkHoverFont(), Gui::RGBColor(0, 102, 221)},
               {VCLCommon::DefaultLinkPressedFont(), Gui::RGBColor(0, 153, 221)}};
  for (auto& l : links) {
    Gui::TFont expected;
    expected.Assign(f);
    expected.SetColor(l.Color);
    expected.SetStyle(Gui::fsUnderline);
    EXPECT_TRUE(l.Font.SameAs(expected));
  }
  Gui::TFont copy;  // a control's copy changes alone
  copy.Assign(VCLCommon::DefaultLinkFont());
  copy.SetColor(Gui::clWhite);
  EXPECT_EQ(VCLCommon::DefaultLinkFont().GetColor(), Gui::RGBColor(0, 102, 221));
}

TEST_F(SharedDefaults, NumbersAndColours) {
  EXPECT_EQ(VCLCommon::TextMargin.x, 1);
  EXPECT_EQ(VCLCommon::TextMargin.y, 1);
  EXPECT_EQ(VCLCommon::SingleBorderWidth, 1);
  EXPECT_EQ(VCLCommon::AnimationTime / VCLCommon::AnimationSteps, 30);
  EXPECT_EQ(VCLCommon::DisabledFontColor, Gui::RGBColor(160, 160, 160));
}

}  // namespace
