#include <gtest/gtest.h>

#include <optional>

#include "AccessibleClient.h"
#include "GuiTestSupport.h"
#include "SystemTestSupport.h"
#include "Project.VCL.AxButton.h"
#include "Project.VCL.Common.h"
#include "TestSupport.h"
#include "uGUILocalizer.h"
#include "uInstaller.h"
#include "uUnits.h"
#include "ufmMain.h"
#include "Utf.h"
#include "ufmPage.ActionActive.h"
#include "ufmPage.LavaSoftWebCompanion.h"

using namespace Gui;
using Project::VCL::VCLCommon;
using Testing::PumpUntil;
using ufmMain::TfmMain;
using uGUIGlobals::TWrapperPages;

namespace ufmMain {
// Reaches the controller's private page switch.
struct TfmMainProbe {
  static void SetCurrentPage(TfmMain& AForm, TWrapperPages APage) { AForm.SetCurrentPage(APage); }
};
}  // namespace ufmMain

namespace {

class WizardTest : public Testing::GuiTest {
protected:
  // The units the wrapper starts before its GUI, in its order.
  void SetUp() override {
    Units.emplace(uUnits::Units, uInstaller::Start);
    GuiTest::SetUp();
  }
  void TearDown() override {
    GuiTest::TearDown();
    TfmMain::OfferPredicate = SavedPredicate;
    Units.reset();
  }

  // The main form, shown, with the offer available or not.
  TfmMain* Open(bool AOffer) { return Open(AOffer ? +[] { return true; } : +[] { return false; }); }
  // The main form, shown, with these offer rules.
  TfmMain* Open(bool (*ARules)()) {
    TfmMain::OfferPredicate = ARules;
    auto form = new TfmMain(App.get(), Plan);
    form->Show();
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(form->GetHandle()) && form->btnNext->Focused(); }));
    return form;
  }

  // Page forms the main form owns.
  static int PageForms(TfmMain& AForm) {
    int count = 0;
    for (int i = 0; i < AForm.ComponentCount(); ++i) count += dynamic_cast<TForm*>(AForm.GetComponent(i)) != nullptr;
    return count;
  }

  // Presses Next on the welcome page; the offer page then shown.
  static ufmPage::LavaSoftWebCompanion::TfmPageLavaSoftWebCompanion* ShowOfferPage(TfmMain& AForm) {
    Testing::ClickWindow(AForm.btnNext->GetHandle());
    if (!PumpUntil([&] { return AForm.GetCurrentPage() == TWrapperPages::wpGetOffer; })) return nullptr;
    for (int i = 0; i < AForm.ControlCount(); ++i)
      if (AForm.GetControl(i)->GetName() == L"pnContent")
        return dynamic_cast<ufmPage::LavaSoftWebCompanion::TfmPageLavaSoftWebCompanion*>(
            AForm.GetControl(i)->GetOwner());
    return nullptr;
  }

  bool (*SavedPredicate)() = TfmMain::OfferPredicate;
  std::optional<Velqora::TUnitsScope> Units;
  uInstaller::TInstallPlan Plan;
};

enum class TStep { Next, Decline, CloseBox, SystemMenu, AltF4 };

const char* StepName(TStep AStep) {
  static const char* const names[] = {"Next", "Decline", "close box", "system menu", "Alt+F4"};
  return names[int(AStep)];
}

struct TOutcomeCase {
  bool Offer;
  std::vector<TStep> Steps;
  bool InstallAction, InstallOffer;
};

TEST_F(WizardTest, EachWayOfEndingTheWizardGivesItsFlags) {
  std::vector<TOutcomeCase> cases = {
      {false, {TStep::Next}, true, false},
      {true, {TStep::Next, TStep::Next}, true, true},
      {true, {TStep::Next, TStep::Decline}, true, false},
  };
  for (TStep close : {TStep::CloseBox, TStep::SystemMenu, TStep::AltF4}) {
    cases.push_back({false, {close}, false, false});
    cases.push_back({true, {close}, false, false});
    cases.push_back({true, {TStep::Next, close}, false, false});
  }
  for (const auto& c : cases) {
    std::string trace = c.Offer ? "offer:" : "no offer:";
    for (TStep s : c.Steps) trace += std::string(" ") + StepName(s);
    SCOPED_TRACE(trace);
    uInstaller::Start();
    Plan = {};
    NewApplication();
    TfmMain* form = Open(c.Offer);
    HWND wnd = form->GetHandle();
    for (size_t i = 0; i < c.Steps.size(); ++i) {
      TWrapperPages before = form->GetCurrentPage();
      switch (c.Steps[i]) {
        case TStep::Next: Testing::ClickWindow(form->btnNext->GetHandle()); break;
        case TStep::Decline: Testing::ClickWindow(form->btnCancel->GetHandle()); break;
        case TStep::CloseBox: {
          POINT p;
          ASSERT_TRUE(Testing::FindCloseBox(wnd, p));
          Testing::ClickAt(p.x, p.y);
          break;
        }
        case TStep::SystemMenu: PostMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        case TStep::AltF4: Testing::PressKeys({VK_MENU, VK_F4}); break;
      }
      if (i + 1 < c.Steps.size()) {
        ASSERT_TRUE(PumpUntil([&] { return form->GetCurrentPage() != before; }));
        // A press on the offer page counts once the page could be read.
        PumpUntil([] { return false; }, TfmMain::ConsentDelayMs + 100);
      }
    }
    ASSERT_TRUE(PumpUntil([&] { return App->GetTerminated(); }));
    EXPECT_EQ(Plan.InstallAction, c.InstallAction);
    EXPECT_EQ(Plan.InstallOffer, c.InstallOffer);
    // An accepted offer comes with the run values its page prepared.
    if (c.InstallOffer) {
      EXPECT_EQ(Plan.OfferDownloadURL, ufmPage::LavaSoftWebCompanion::OfferDownloadURL);
      EXPECT_EQ(Plan.OfferInstallerFileName, L"WebCompanionInstaller.exe");
      EXPECT_EQ(Plan.OfferRunParams, ufmPage::LavaSoftWebCompanion::OfferRunParams);
      EXPECT_NE(Plan.OfferDownloadURL.find(L"/nano_download.php?partner="), std::wstring::npos);
    }
  }
}

// The offer rules are asked once, at Next on the welcome page, never while
// the first page is made; rules that fail offer nothing and the product
// still installs; a wrapper packed without the offer asks no rule.
int RulesAsked = 0;
bool RulesOffer() { return ++RulesAsked, true; }
bool RulesNoOffer() { return ++RulesAsked, false; }
bool RulesFailing() {
  ++RulesAsked;
  throw Velqora::Exception(L"the rules could not be read");
}

TEST_F(WizardTest, TheOfferRulesAreAskedOnceAtNextAndAFailureOffersNothing) {
  struct TCase {
    const char* Name;
    bool (*Rules)();
    bool NoOffer;
    int Asked;
    bool Offer;
  };
  const TCase cases[] = {
      {"offer", RulesOffer, false, 1, true},
      {"no offer", RulesNoOffer, false, 1, false},
      {"rules fail", RulesFailing, false, 1, false},
      {"packed without the offer", RulesOffer, true, 0, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    uInstaller::Start();
    Plan = {};
    Plan.NoOffer = c.NoOffer;
    NewApplication();
    RulesAsked = 0;
    TfmMain* form = Open(c.Rules);
    EXPECT_EQ(RulesAsked, 0);
    EXPECT_FALSE(Plan.InstallOffer);
    Testing::ClickWindow(form->btnNext->GetHandle());
    if (c.Offer) {
      ASSERT_TRUE(PumpUntil([&] { return form->GetCurrentPage() == TWrapperPages::wpGetOffer; }));
      EXPECT_TRUE(Plan.InstallOffer);
    } else {
      ASSERT_TRUE(PumpUntil([&] { return App->GetTerminated(); }));
      EXPECT_TRUE(Plan.InstallAction);
      EXPECT_FALSE(Plan.InstallOffer);
    }
    EXPECT_EQ(RulesAsked, c.Asked);
    EXPECT_TRUE(Errors.empty());
  }
}

TEST_F(WizardTest, WindowAndFooterHaveTheirFixedGeometry) {
  TfmMain* form = Open(true);
  HWND wnd = form->GetHandle();
  RECT client;
  GetClientRect(wnd, &client);
  EXPECT_EQ(client.right, 545);
  EXPECT_EQ(client.bottom, 380);
  LONG style = GetWindowLongW(wnd, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
            WS_CAPTION | WS_SYSMENU);
  EXPECT_TRUE(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  RECT window;
  GetWindowRect(wnd, &window);
  EXPECT_NEAR((window.left + window.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((window.top + window.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  wchar_t title[64];
  GetWindowTextW(wnd, title, 64);
  EXPECT_STREQ(title, L"Bountiq - Software Installation");

  RECT footer = Testing::WindowRectIn(form->pnFooter->GetHandle(), wnd);
  EXPECT_EQ(footer.top, 330);
  EXPECT_EQ(footer.bottom, 380);
  EXPECT_EQ(footer.right - footer.left, 545);
  RECT content = Testing::WindowRectIn(form->GetCurrentPagePanel()->GetHandle(), wnd);
  EXPECT_EQ(content.bottom - content.top, 330);
  EXPECT_EQ(content.right - content.left, 545);

  struct TPageGeometry {
    TWrapperPages Page;
    int NextWidth;
    bool CancelShown;
    const wchar_t* NextCaption;
  };
  for (const TPageGeometry& g : {TPageGeometry{TWrapperPages::wpActionActive, 110, false, L"Next"},
                                 TPageGeometry{TWrapperPages::wpGetOffer, 150, true, L"Agree and Install"}}) {
    SCOPED_TRACE(int(g.Page));
    if (form->GetCurrentPage() != g.Page) {
      Testing::ClickWindow(form->btnNext->GetHandle());
      ASSERT_TRUE(PumpUntil([&] { return form->GetCurrentPage() == g.Page; }));
    }
    RECT next = Testing::WindowRectIn(form->btnNext->GetHandle(), wnd);
    EXPECT_EQ(next.bottom - next.top, 32);
    EXPECT_EQ(next.top, 330 + 8);
    EXPECT_EQ(next.right, 545 - 15);
    EXPECT_EQ(next.right - next.left, g.NextWidth);
    EXPECT_EQ(form->btnNext->GetCaption(), g.NextCaption);
    // The blue look's white caption on the offer page, black elsewhere.
    EXPECT_EQ(form->btnNext->GetFontColor(Project::VCL::TUIControlState::uicsNormal),
              g.CancelShown ? Gui::clWhite : Gui::clBlack);
    EXPECT_EQ(form->btnNext->Font().GetHeight(), -13);
    EXPECT_EQ(IsWindowVisible(form->btnCancel->GetHandle()) != FALSE, g.CancelShown);
    if (g.CancelShown) {
      RECT cancel = Testing::WindowRectIn(form->btnCancel->GetHandle(), wnd);
      EXPECT_EQ(cancel.right - cancel.left, 110);
      EXPECT_EQ(cancel.right, next.left - 15);
      EXPECT_EQ(cancel.top, next.top);
      EXPECT_EQ(cancel.bottom - cancel.top, 32);
      EXPECT_EQ(form->btnCancel->GetCaption(), L"Decline");
    }
  }
  EXPECT_EQ(form->btnNext->GetTabOrder(), 0);
  EXPECT_EQ(form->btnCancel->GetTabOrder(), 1);
}

// Where the keyboard is: once the window shows focus cues (the first Tab
// does), the focused button carries a dotted mark inside its face and the
// others none; Tab and Shift+Tab move it between "Agree and Install" and
// "Decline", so Enter's target is never a guess.
TEST_F(WizardTest, TheFocusedButtonShowsAMarkOnceTheKeyboardIsUsed) {
  // Cues hidden until the keyboard is used, as Windows has it by default
  // (Wine shows them always: a user can ask for that too).
  BOOL always = FALSE;
  SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0);
  SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, nullptr, 0);
  auto restore = Velqora::ScopeExit(
      [&] { SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(INT_PTR(always)), 0); });
  TfmMain* form = Open(true);
  ASSERT_TRUE(ShowOfferPage(*form));
  SetCursorPos(0, 0);  // no hover look on either button
  SetForegroundWindow(form->GetHandle());
  // The row of pixels the mark's top edge lies on.
  auto row = [&](Project::VCL::TButton* AButton) {
    std::vector<uint32_t> pixels;
    const int y = Project::VCL::TAxCustomButton::FocusMarkInset;
    for (int x = 6; x < AButton->GetWidth() - 6; ++x) pixels.push_back(Testing::ScreenPixel(AButton->GetHandle(), x, y));
    return pixels;
  };
  auto differing = [](const std::vector<uint32_t>& A, const std::vector<uint32_t>& B) {
    size_t count = 0;
    for (size_t i = 0; i < A.size() && i < B.size(); ++i) count += A[i] != B[i];
    return count;
  };
  // Settled: the fades after the pointer left are over.
  auto settled = [&](Project::VCL::TButton* AFocused) {
    EXPECT_TRUE(PumpUntil([&] { return AFocused->Focused(); }));
    PumpUntil([] { return false; }, 400);
  };
  settled(form->btnNext);
  const std::vector<uint32_t> declinePlain = row(form->btnCancel), agreeBefore = row(form->btnNext);

  Testing::PressKeys({VK_TAB});
  settled(form->btnCancel);
  const std::vector<uint32_t> declineMarked = row(form->btnCancel), agreePlain = row(form->btnNext);
  EXPECT_GT(differing(declinePlain, declineMarked), declinePlain.size() / 4) << "no mark on the focused Decline";

  Testing::PressKeys({VK_SHIFT, VK_TAB});
  settled(form->btnNext);
  EXPECT_EQ(differing(row(form->btnCancel), declinePlain), 0u) << "Decline keeps a mark without the focus";
  EXPECT_GT(differing(row(form->btnNext), agreePlain), agreePlain.size() / 4) << "no mark on the focused Agree";
  // Before any key, the window was opened with the mouse: no cues yet.
  EXPECT_EQ(differing(agreeBefore, agreePlain), 0u) << "a mark before the keyboard was used";
}

// With high contrast on, both pages draw in the theme's colours (window,
// text, button face and text, hot-light links) instead of their own and the
// button pictures, and the badge captions stay readable; the wizard
// follows a switch while it is open. The theme here is a black one, set
// with the system's colours (which tell every window) and taken back after.
TEST_F(WizardTest, HighContrastDrawsInTheThemesColoursAndFollowsASwitch) {
  using Testing::Rgb;
  const int elements[] = {COLOR_WINDOW,  COLOR_WINDOWTEXT, COLOR_BTNFACE,       COLOR_BTNTEXT,
                          COLOR_HOTLIGHT, COLOR_HIGHLIGHT,  COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT};
  const COLORREF black[] = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255),
                            RGB(255, 255, 0), RGB(26, 235, 255),  RGB(0, 0, 0), RGB(63, 242, 63)};
  COLORREF saved[std::size(elements)];
  for (size_t i = 0; i < std::size(elements); ++i) saved[i] = GetSysColor(elements[i]);
  static bool contrast;
  contrast = false;
  const auto savedQuery = Project::VCL::VCLCommon::HighContrastQuery;
  Project::VCL::VCLCommon::HighContrastQuery = [] { return contrast; };
  auto restore = Velqora::ScopeExit([&] {
    Project::VCL::VCLCommon::HighContrastQuery = savedQuery;
    SetSysColors(int(std::size(elements)), elements, saved);
  });
  // How the system announces a switch, to every top-level window.
  auto switchTo = [&](bool AOn, TfmMain* AForm) {
    contrast = AOn;
    SetSysColors(int(std::size(elements)), elements, AOn ? black : saved);
    SendMessageW(AForm->GetHandle(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  };
  // Pixels of a window (client coordinates) that have a colour.
  auto count = [](HWND AWnd, uint32_t AColour) {
    RECT r;
    GetClientRect(AWnd, &r);
    int found = 0;
    for (int y = 0; y < r.bottom; y += 2)
      for (int x = 0; x < r.right; x += 2) found += Testing::ScreenPixel(AWnd, x, y) == AColour;
    return found;
  };
  SetCursorPos(0, 0);
  TfmMain* form = Open(true);
  HWND wnd = form->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return Testing::ScreenPixel(wnd, 5, 5) == Rgb(45, 169, 211); }));

  switchTo(true, form);
  EXPECT_TRUE(PumpUntil([&] { return Testing::ScreenPixel(wnd, 5, 5) == Rgb(0, 0, 0); })) << "the page's own blue";
  auto welcome = dynamic_cast<ufmPage::ActionActive::TfmPageActionActive*>(form->GetCurrentPageForm());
  ASSERT_TRUE(welcome);
  EXPECT_GT(count(welcome->lbNoViruses->GetHandle(), Rgb(255, 255, 255)), 10) << "a badge caption unreadable";
  EXPECT_EQ(count(welcome->lbNoViruses->GetHandle(), Rgb(45, 169, 211)), 0);
  EXPECT_EQ(Testing::ScreenPixel(form->pnFooter->GetHandle(), 5, 25), Rgb(0, 0, 0)) << "the footer's grey";
  const HWND next = form->btnNext->GetHandle();
  EXPECT_EQ(Testing::ScreenPixel(next, 8, 8), Rgb(0, 0, 0)) << "the button's picture";
  EXPECT_EQ(Testing::ScreenPixel(next, 0, 10), Rgb(255, 255, 255)) << "no frame in the text's colour";
  EXPECT_GT(count(next, Rgb(255, 255, 255)), 20) << "the caption";

  auto offer = ShowOfferPage(*form);
  ASSERT_NE(offer, nullptr);
  SetCursorPos(0, 0);
  HWND box = offer->lbPrivacyPolicy->GetHandle();
  EXPECT_TRUE(PumpUntil([&] { return count(box, Rgb(255, 255, 0)) > 10; })) << "the links in the hot-light colour";
  EXPECT_GT(count(box, Rgb(255, 255, 255)), 10) << "the text in the window text's colour";
  EXPECT_EQ(count(box, Rgb(0, 102, 221)), 0) << "the page's own link colour";
  EXPECT_EQ(Testing::ScreenPixel(offer->pnContent->GetHandle(), 5, 5), Rgb(0, 0, 0));

  switchTo(false, form);
  EXPECT_TRUE(PumpUntil([&] { return count(box, Rgb(0, 102, 221)) > 10; })) << "the own link colour again";
  EXPECT_EQ(Testing::ScreenPixel(offer->pnContent->GetHandle(), 5, 5), Rgb(255, 255, 255));
  EXPECT_NE(Testing::ScreenPixel(form->btnNext->GetHandle(), 8, 8), Rgb(0, 0, 0)) << "the blue picture again";
}

TEST_F(WizardTest, CreationAppliesColoursFontAndShowsTheWelcomePage) {
  TfmMain* form = Open(false);
  EXPECT_EQ(form->GetColor(), RGBColor(45, 169, 211));
  EXPECT_EQ(form->pnFooter->GetColor(), RGBColor(240, 240, 240));
  EXPECT_TRUE(form->Font().SameAs(VCLCommon::DefaultFont()));
  EXPECT_EQ(form->GetCurrentPage(), TWrapperPages::wpActionActive);
  // The welcome page's panel takes the main window's colour.
  EXPECT_EQ(form->GetCurrentPagePanel()->GetColor(), RGBColor(45, 169, 211));
  EXPECT_EQ(form->GetCurrentPagePanel()->GetOwner(), form->GetCurrentPageForm());
  EXPECT_EQ(form->GetCurrentPagePanel()->GetParent(), form);
  EXPECT_TRUE(Plan.InstallAction);
  EXPECT_FALSE(Plan.InstallOffer);  // no offer on this machine
}

TEST_F(WizardTest, OnePageFormAtATimeAndAskingForTheShownPageDoesNothing) {
  TfmMain* form = Open(true);
  EXPECT_EQ(PageForms(*form), 1);
  TForm* welcome = form->GetCurrentPageForm();

  form->btnNext->SetWidth(77);  // touched only by a real page change
  form->btnNext->SetCaption(L"unchanged");
  ufmMain::TfmMainProbe::SetCurrentPage(*form, TWrapperPages::wpActionActive);
  EXPECT_EQ(form->GetCurrentPageForm(), welcome);
  EXPECT_EQ(PageForms(*form), 1);
  EXPECT_EQ(form->btnNext->GetWidth(), 77);
  EXPECT_EQ(form->btnNext->GetCaption(), L"unchanged");

  ufmMain::TfmMainProbe::SetCurrentPage(*form, TWrapperPages::wpGetOffer);
  EXPECT_EQ(PageForms(*form), 1);
  EXPECT_NE(form->GetCurrentPageForm(), welcome);
  EXPECT_EQ(form->GetCurrentPagePanel()->GetColor(), clWhite);  // the offer page's own colour

  ufmMain::TfmMainProbe::SetCurrentPage(*form, TWrapperPages::wpActionActive);
  EXPECT_EQ(PageForms(*form), 1);

  ufmMain::TfmMainProbe::SetCurrentPage(*form, TWrapperPages::wpNone);
  EXPECT_EQ(PageForms(*form), 0);
  EXPECT_EQ(form->GetCurrentPagePanel(), nullptr);
  EXPECT_EQ(form->GetCurrentPageForm(), nullptr);
}

TEST_F(WizardTest, FreeingTheMainFormFreesThePageWithItsPanel) {
  TfmMain* form = Open(false);
  TPanel* panel = form->GetCurrentPagePanel();
  HWND panelWnd = panel->GetHandle();
  delete form;
  EXPECT_FALSE(IsWindow(panelWnd));
  EXPECT_EQ(App->ComponentCount(), 0);
}

}  // namespace

namespace {

// The welcome page as its layout places it, read from the real windows.
TEST_F(WizardTest, TheWelcomePageStacksItsPartsAndCentresTheBadges) {
  TfmMain* form = Open(false);
  Gui::TPanel* content = nullptr;
  for (int i = 0; i < form->ControlCount(); ++i)
    if (form->GetControl(i)->GetName() == L"pnContent") content = dynamic_cast<Gui::TPanel*>(form->GetControl(i));
  ASSERT_NE(content, nullptr);
  auto page = dynamic_cast<ufmPage::ActionActive::TfmPageActionActive*>(content->GetOwner());
  ASSERT_NE(page, nullptr);
  auto bounds = [](Gui::TControl* AControl) {
    return RECT{AControl->GetLeft(), AControl->GetTop(), AControl->GetLeft() + AControl->GetWidth(),
                AControl->GetTop() + AControl->GetHeight()};
  };
  // Stacked from the top: left and right margins, the gap to the part above,
  // the height where the layout fixes it.
  struct TPart {
    const char* Name;
    Gui::TControl* Control;
    int Left, Gap, Right, Height;  // Height 0: follows the text
  };
  const TPart parts[] = {
      {"caption", page->lbCaption, 35, 21, 35, 0}, {"logo", page->imgLogo, 35, 12, 35, 32},
      {"badges", page->pnInfo, 35, 28, 35, 121},   {"delimiter", page->shDelim, 110, 19, 110, 1},
      {"footer", page->lbFooter, 35, 18, 35, 0},
  };
  int above = 0;
  for (const TPart& p : parts) {
    SCOPED_TRACE(p.Name);
    RECT r = bounds(p.Control);
    EXPECT_EQ(r.left, p.Left);
    EXPECT_EQ(r.right, 545 - p.Right);
    EXPECT_EQ(r.top, above + p.Gap);
    if (p.Height)
      EXPECT_EQ(r.bottom - r.top, p.Height);
    else
      EXPECT_GT(r.bottom - r.top, 10);
    above = r.bottom;
  }
  // The badges at 77, 194 and 311, each label centred under its badge.
  struct TBadge {
    Gui::TImage* Image;
    Project::VCL::TLabel* Label;
    int Left;
    const wchar_t* Text;
  };
  const TBadge badges[] = {{page->imgNoViruses, page->lbNoViruses, 77, L"NO VIRUSES"},
                           {page->imgNoAdware, page->lbNoAdware, 194, L"NO ADWARE"},
                           {page->imgNoSpyware, page->lbNoSpyware, 311, L"NO SPYWARE"}};
  for (const TBadge& b : badges) {
    SCOPED_TRACE(Velqora::WideToUtf8(b.Text));
    EXPECT_EQ(bounds(b.Image).left, b.Left);
    EXPECT_EQ(bounds(b.Image).top, 0);
    EXPECT_EQ(b.Image->GetWidth(), 86);
    EXPECT_EQ(b.Label->GetCaption(), b.Text);
    EXPECT_EQ(b.Label->GetTop(), 99);
    EXPECT_EQ(b.Label->GetLeft(), b.Left + (86 - b.Label->GetWidth()) / 2);
    EXPECT_GT(b.Label->GetWidth(), 10);
  }
  EXPECT_EQ(page->lbCaption->GetCaption(), uGUILocalizer::sWelcomeCaption);

  // Colours on screen: the main window's blue behind the page, the white
  // delimiter line.
  const RECT line = bounds(page->shDelim);
  HWND wnd = form->GetHandle();
  EXPECT_TRUE(PumpUntil([&] { return Testing::ScreenPixel(wnd, 5, 5) == Testing::Rgb(45, 169, 211); }));
  EXPECT_EQ(Testing::ScreenPixel(wnd, (line.left + line.right) / 2, line.top), Testing::Rgb(255, 255, 255));
  EXPECT_EQ(Testing::ScreenPixel(wnd, (line.left + line.right) / 2, line.top - 2), Testing::Rgb(45, 169, 211));
}

}  // namespace

namespace {

// The offer page's framed box with its grey title strip, and the six labels
// stacked in it, each wrapped label pushing the next one down.
TEST_F(WizardTest, TheOfferPageStacksItsLabelsInTheFramedBox) {
  TfmMain* form = Open(true);
  auto page = ShowOfferPage(*form);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->pnHeader->GetLeft(), 25);
  EXPECT_EQ(page->pnHeader->GetTop(), 15);
  EXPECT_EQ(page->pnHeader->GetWidth(), 545 - 50);
  EXPECT_EQ(page->pnHeader->GetHeight(), 25);
  EXPECT_EQ(page->Panel1->GetLeft(), 25);
  EXPECT_EQ(page->Panel1->GetTop(), 40);
  EXPECT_EQ(page->Panel1->GetWidth(), 545 - 50);
  EXPECT_EQ(page->Panel1->GetTop() + page->Panel1->GetHeight(), 330 - 15);
  const struct {
    const char* Name;
    Project::VCL::TLabel* Label;
    int Gap;
  } labels[] = {{"see below", page->lbSeeBelow, 10},     {"info", page->lbSeeBelowInfo, 10},
                {"item 1", page->lbSeeBelowItem1, 5},    {"item 2", page->lbSeeBelowItem2, 5},
                {"learn more", page->lbLearnMore, 10},   {"terms", page->lbPrivacyPolicy, 10}};
  int above = 0;
  for (const auto& l : labels) {
    SCOPED_TRACE(l.Name);
    EXPECT_EQ(l.Label->GetLeft(), 15);
    EXPECT_EQ(l.Label->GetWidth(), 545 - 50 - 30);
    EXPECT_EQ(l.Label->GetTop(), above + l.Gap);
    EXPECT_GT(l.Label->GetHeight(), 10);
    EXPECT_FALSE(l.Label->IsCaptionCutting());
    above = l.Label->GetTop() + l.Label->GetHeight();
  }
  // The long paragraphs wrap: taller than one line of the short heading.
  EXPECT_GT(page->lbLearnMore->GetHeight(), page->lbSeeBelow->GetHeight());
  EXPECT_TRUE(page->lbLearnMore->GetTabStop());  // it has a link

  // Colours on screen: the grey strip beside its caption, the white box,
  // the white page around them.
  HWND wnd = form->GetHandle();
  const int stripY = page->pnHeader->GetTop() + 12;
  EXPECT_TRUE(PumpUntil([&] { return Testing::ScreenPixel(wnd, 25 + 6, stripY) == Testing::Rgb(240, 240, 240); }));
  EXPECT_EQ(Testing::ScreenPixel(wnd, 25 + 6, page->Panel1->GetTop() + 6), Testing::Rgb(255, 255, 255));
  EXPECT_EQ(Testing::ScreenPixel(wnd, 10, 10), Testing::Rgb(255, 255, 255));
}

// Texts taller than the box: the box grows down to the footer, the
// paragraphs above the terms give up lines and end with an ellipsis, the
// heading and the terms stay whole; short texts again give the layout as it
// is meant.
TEST_F(WizardTest, OfferTextsTallerThanTheBoxEndInAnEllipsisAboveWholeTerms) {
  TfmMain* form = Open(true);
  auto page = ShowOfferPage(*form);
  ASSERT_NE(page, nullptr);
  const std::wstring info = page->lbSeeBelowInfo->GetCaption();
  const struct {
    int Copies;  // of the info paragraph
    bool Fits;
  } cases[] = {{1, true}, {3, false}, {40, false}, {1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Copies << " copies");
    std::wstring caption;
    for (int i = 0; i < c.Copies; ++i) caption += (i ? L" " : L"") + info;
    page->lbSeeBelowInfo->SetCaption(caption);
    page->FitTexts();
    Project::VCL::TLabel* const givers[] = {page->lbSeeBelowInfo, page->lbSeeBelowItem1, page->lbSeeBelowItem2,
                                            page->lbLearnMore};
    int cut = 0;
    for (auto label : givers) cut += label->IsCaptionCutting();
    EXPECT_EQ(cut == 0, c.Fits);
    EXPECT_EQ(page->Panel1->GetTop() + page->Panel1->GetHeight(), c.Fits ? 330 - 15 : 330);
    EXPECT_FALSE(page->lbSeeBelow->IsCaptionCutting());
    EXPECT_FALSE(page->lbPrivacyPolicy->IsCaptionCutting());
    EXPECT_LE(page->lbPrivacyPolicy->GetTop() + page->lbPrivacyPolicy->GetHeight(), page->Panel1->GetClientHeight());
    for (auto label : givers) EXPECT_GE(label->GetHeight(), label->GetLineHeight());
  }
}

// Texts 1 to 15 pixels too tall for the box with its bottom margin: the box
// gives up its margin and the terms stay whole, nothing is cut.
TEST_F(WizardTest, OfferTextsJustTooTallForTheMarginTakeItWhole) {
  TfmMain* form = Open(true);
  auto page = ShowOfferPage(*form);
  ASSERT_NE(page, nullptr);
  Project::VCL::TLabel* const first = page->lbSeeBelow;
  Project::VCL::TLabel* const terms = page->lbPrivacyPolicy;
  const Gui::TMargins margins = first->GetMargins();
  page->FitTexts();
  // The room left below the terms when the texts fit with the margin.
  const int slack =
      page->Panel1->GetClientHeight() - (terms->GetTop() + terms->GetHeight() + terms->GetMargins().Bottom);
  ASSERT_GE(slack, 0);
  for (int over : {1, 8, 15}) {
    SCOPED_TRACE(testing::Message() << over << " px too tall");
    first->SetMargins(margins.Left, margins.Top + slack + over, margins.Right, margins.Bottom);
    page->FitTexts();
    EXPECT_EQ(page->Panel1->GetTop() + page->Panel1->GetHeight(), 330);
    EXPECT_LE(terms->GetTop() + terms->GetHeight(), page->Panel1->GetClientHeight());
    EXPECT_FALSE(terms->IsCaptionCutting());
    for (auto label : {page->lbSeeBelowInfo, page->lbSeeBelowItem1, page->lbSeeBelowItem2, page->lbLearnMore})
      EXPECT_FALSE(label->IsCaptionCutting());
  }
  first->SetMargins(margins.Left, margins.Top, margins.Right, margins.Bottom);
  page->FitTexts();
  EXPECT_EQ(page->Panel1->GetTop() + page->Panel1->GetHeight(), 330 - 15);
}

// The heading is never cut off silently: the longest one the page has
// (the Search Companion's) wraps in its strip, which grows for it; one too
// long even for three lines ends in an ellipsis. The box below moves down
// with the strip and the terms stay whole.
TEST_F(WizardTest, TheHeadingWrapsInItsStripOrEndsInAnEllipsis) {
  using Project::VCL::TAxEllipsisPosition;
  TfmMain* form = Open(true);
  auto page = ShowOfferPage(*form);
  ASSERT_NE(page, nullptr);
  const int line = page->lbCaption->GetLineHeight();
  const std::wstring longest = uGUILocalizer::sOfferCaptionSearch;
  std::wstring overlong;
  for (int i = 0; i < 4; ++i) overlong += (i ? L" " : L"") + longest;
  const struct {
    const char* Name;
    std::wstring Heading;
    bool Ellipsis;
  } cases[] = {{"the usual heading", uGUILocalizer::sOfferCaption, false},
               {"the Search Companion's", longest, false},
               {"four times that", overlong, true},
               {"the usual heading again", uGUILocalizer::sOfferCaption, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    page->lbCaption->SetCaption(c.Heading);
    page->FitHeading();
    page->FitTexts();
    const int height = page->pnHeader->GetHeight();
    EXPECT_GE(height, page->HeaderHeight);
    EXPECT_LE(height, page->HeaderHeight + 2 * line);
    EXPECT_EQ(page->lbCaption->GetEllipsisPosition() == TAxEllipsisPosition::epEndEllipsis, c.Ellipsis);
    if (!c.Ellipsis) {
      EXPECT_FALSE(page->lbCaption->IsCaptionCutting());
    }
    EXPECT_EQ(page->Panel1->GetTop(), 15 + height);
    EXPECT_FALSE(page->lbPrivacyPolicy->IsCaptionCutting());
  }
  EXPECT_EQ(page->pnHeader->GetHeight(), page->HeaderHeight);
}

// The offer page's links are drawn in the link colour and open their
// addresses in the default browser, clicked or followed by a screen
// reader's Jump; the identifiers count in any letter case, others open
// nothing.
TEST_F(WizardTest, TheOfferPagesLinksOpenTheirAddresses) {
  Testing::TStandInBrowser browser;
  Testing::TShellWindow shell;  // the wrapper is elevated: the browser starts as the desktop user
  ASSERT_TRUE(shell.Running());
  Testing::TComApartment apartment;
  TfmMain* form = Open(true);
  auto page = ShowOfferPage(*form);
  ASSERT_NE(page, nullptr);
  const std::vector<Testing::TAccessibleItem> tree = Testing::WalkAccessible(form->GetHandle());
  const struct {
    Project::VCL::TLabel* Label;
    const wchar_t* HRef;
    const wchar_t* URL;
    const wchar_t* Name;  // what a reader calls it
  } links[] = {{page->lbLearnMore, L"LearnMore", uGUILocalizer::sURLLearnMore, L"Learn more"},
               {page->lbPrivacyPolicy, L"Terms", uGUILocalizer::sURLTerms, L"Terms"},
               {page->lbPrivacyPolicy, L"PrivacyPolicy", uGUILocalizer::sURLPrivacy, L"Privacy Policy"}};
  for (const auto& l : links) {
    SCOPED_TRACE(Velqora::WideToUtf8(l.HRef));
    const RECT r = l.Label->GetLinkRectByHRef(l.HRef);
    ASSERT_FALSE(IsRectEmpty(&r));
    int linkColoured = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        linkColoured += Testing::ScreenPixel(l.Label->GetHandle(), x, y) == Testing::Rgb(0, 102, 221);
    EXPECT_GT(linkColoured, 5);
    POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(l.Label->GetHandle(), &centre);
    Testing::ClickAt(centre.x, centre.y);
    EXPECT_EQ(browser.Arguments(), (std::vector<std::wstring>{browser.Path(), l.URL}));
    const Testing::TAccessibleItem* link = Testing::FindAccessible(tree, ROLE_SYSTEM_LINK, l.Name);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->DoDefaultAction(), S_OK);
    EXPECT_EQ(browser.Arguments(), (std::vector<std::wstring>{browser.Path(), l.URL}));
  }
  const struct {
    const wchar_t* ID;
    const wchar_t* URL;  // nullptr: nothing opens
  } ids[] = {{L"learnmore", uGUILocalizer::sURLLearnMore},
             {L"TERMS", uGUILocalizer::sURLTerms},
             {L"privacyPOLICY", uGUILocalizer::sURLPrivacy},
             {L"Term", nullptr},
             {L"PrivacyPolicy2", nullptr},
             {L"", nullptr}};
  for (const auto& c : ids) {
    SCOPED_TRACE(Velqora::WideToUtf8(c.ID));
    page->LabelLinkClick(page->lbPrivacyPolicy, c.ID);
    if (c.URL)
      EXPECT_EQ(browser.Arguments(), (std::vector<std::wstring>{browser.Path(), c.URL}));
    else
      EXPECT_TRUE(browser.Arguments(1000).empty());
  }
}

}  // namespace

namespace {

// A screen reader hears the page's new name when the offer page comes, and
// where the focus goes as Tab moves it: the button, or the link inside a
// label, that it speaks.
TEST_F(WizardTest, AScreenReaderHearsThePageChangeAndWhereTheFocusGoes) {
  Testing::TComApartment apartment;
  TfmMain* form = Open(true);
  HWND wnd = form->GetHandle();
  auto pageName = [&] {
    Testing::TAccessibleItem root;
    root.Object = Testing::AccessibleOfWindow(wnd);
    if (root.Object) root.Read();
    return root.Name;
  };
  EXPECT_EQ(pageName(), L"Welcome");
  Testing::TWinEventRecorder events(EVENT_OBJECT_FOCUS, EVENT_OBJECT_NAMECHANGE);
  ASSERT_TRUE(events.Hooked());
  ASSERT_TRUE(ShowOfferPage(*form));
  EXPECT_TRUE(PumpUntil([&] {
    for (const auto& e : events.Events)
      if (e.Event == EVENT_OBJECT_NAMECHANGE && e.Wnd == wnd && e.Object == OBJID_CLIENT && e.Child == CHILDID_SELF)
        return true;
    return false;
  })) << "no name change of the window's client area";
  EXPECT_EQ(pageName(), L"Optional offer");

  SetForegroundWindow(wnd);
  const std::pair<LONG, const wchar_t*> spoken[] = {
      {ROLE_SYSTEM_PUSHBUTTON, L"Decline"},        {ROLE_SYSTEM_LINK, L"Learn more"},
      {ROLE_SYSTEM_LINK, L"Terms"},                {ROLE_SYSTEM_LINK, L"Privacy Policy"},
      {ROLE_SYSTEM_PUSHBUTTON, L"Agree and Install"}};
  for (const auto& [role, name] : spoken) {
    SCOPED_TRACE(Velqora::WideToUtf8(name));
    events.Events.clear();
    Testing::PressKeys({VK_TAB});
    Testing::TAccessibleItem heard;
    EXPECT_TRUE(PumpUntil([&] {
      for (auto e = events.Events.rbegin(); e != events.Events.rend(); ++e)
        if (e->Event == EVENT_OBJECT_FOCUS) {
          heard = Testing::AccessibleOfEvent(*e);
          return heard.Name == name;
        }
      return false;
    })) << "the last focus event speaks \"" << Velqora::WideToUtf8(heard.Name) << "\"";
    EXPECT_EQ(heard.Role, role);
    EXPECT_TRUE(heard.Has(STATE_SYSTEM_FOCUSED)) << std::hex << heard.State;
  }
}

}  // namespace
