#include "ufmMain.h"

#include "Project.VCL.Common.h"
#include "Velqora.System.SysUtils.h"
#include "uGUILocalizer.h"
#include "ufmPage.ActionActive.h"
#include "ufmPage.LavaSoftWebCompanion.h"

namespace ufmMain {

using namespace Gui;
using Project::VCL::TButton;
using Project::VCL::VCLCommon;

bool (*TfmMain::OfferPredicate)() = ufmPage::LavaSoftWebCompanion::IsOfferAvailable;

namespace {
TButton* MakeFooterButton(TComponent* AOwner, TWinControl* AParent, const wchar_t* AName) {
  auto button = new TButton(AOwner);
  button->SetName(AName);
  button->SetParent(AParent);
  button->SetAlign(TAlign::alRight);
  button->SetAlignWithMargins(true);
  button->SetMargins(0, 8, 15, 8);
  button->SetWidth(110);
  return button;
}
}  // namespace

TfmMain::TfmMain(TComponent* AOwner, uInstaller::TInstallPlan& APlan) : TForm(AOwner), FPlan(APlan) {
  // Layout: fixed pixels, not scaled for the screen's DPI.
  SetName(L"fmMain");
  SetBorderStyle(TFormBorderStyle::bsSingle);
  SetBorderIcons(biSystemMenu);
  SetPosition(TPosition::poScreenCenter);
  SetDoubleBuffered(true);
  SetClientSize(545, 380);

  pnFooter = new TPanel(this);
  pnFooter->SetName(L"pnFooter");
  pnFooter->SetParent(this);
  pnFooter->SetAlign(TAlign::alBottom);
  pnFooter->SetHeight(50);
  pnFooter->SetBevelOuter(TBevelCut::bvLowered);
  pnFooter->SetBevelEdges(beTop);
  pnFooter->SetShowCaption(false);
  // The buttons sit 8 below the footer's top and are 32 high.
  pnFooter->SetPadding(0, 0, 0, 2);

  btnNext = MakeFooterButton(this, pnFooter, L"btnNext");
  btnNext->SetTabOrder(0);
  btnCancel = MakeFooterButton(this, pnFooter, L"btnCancel");
  btnCancel->SetTabOrder(1);

  OnCreate = [this](TComponent* Sender) { FormCreate(Sender); };
  OnDestroy = [this](TComponent* Sender) { FormDestroy(Sender); };
  OnClose = [this](TComponent* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  btnNext->OnClick = [this](TComponent* Sender) { btnNextClick(Sender); };
  btnCancel->OnClick = [this](TComponent* Sender) { btnCancelClick(Sender); };
  DoCreate();
}

TfmMain::~TfmMain() {
  try {
    DoDestroy();
  } catch (...) {
    if (Application) Application->HandleException(std::current_exception());
  }
}

void TfmMain::FormCreate(TComponent*) {
  FPlan.InstallAction = true;
  FPlan.InstallOffer = false;  // until the offer rules are asked
  SetFont(VCLCommon::DefaultFont());
  ApplyColours();
  btnNext->Font().SetHeight(-13);
  btnCancel->Font().SetHeight(-13);
  SetCaption(uGUILocalizer::sFormCaption);
  btnNextClick(btnNext);
}

void TfmMain::ApplyColours() {
  using uGUIGlobals::ThemeColour;
  const bool contrast = VCLCommon::HighContrast();
  SetColor(contrast ? ThemeColour(COLOR_WINDOW) : RGBColor(45, 169, 211));
  pnFooter->SetColor(contrast ? ThemeColour(COLOR_BTNFACE) : RGBColor(240, 240, 240));
  if (auto welcome = dynamic_cast<ufmPage::ActionActive::TfmPageActionActive*>(FCurrentPageForm))
    welcome->ApplyColours();
  else if (auto offer = dynamic_cast<ufmPage::LavaSoftWebCompanion::TfmPageLavaSoftWebCompanion*>(FCurrentPageForm))
    offer->ApplyColours();
  // The buttons read the flag as they paint.
  if (HandleAllocated()) RedrawWindow(GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TfmMain::WndProc(TMessage& AMessage) {
  // A theme switched while the wizard is open: high contrast on or off, or
  // the system's colours changed.
  if (AMessage.Msg == WM_SYSCOLORCHANGE || AMessage.Msg == WM_SETTINGCHANGE || AMessage.Msg == WM_THEMECHANGED)
    ApplyColours();
  TForm::WndProc(AMessage);
  if (AMessage.Msg == WM_PAINT && !std::exchange(FPainted, true)) uInstaller::LogStartupStep(L"first paint");
}

void TfmMain::FormDestroy(TComponent*) { SetCurrentPage(TWrapperPages::wpNone); }

void TfmMain::FormClose(TComponent*, TCloseAction&) {
  if (!FIsCloseFromBtn) {
    FPlan.InstallAction = false;
    FPlan.InstallOffer = false;
  }
}

void TfmMain::btnNextClick(TComponent*) {
  switch (FCurrentPage) {
    case TWrapperPages::wpNone:
      SetCurrentPage(TWrapperPages::wpActionActive);
      break;
    case TWrapperPages::wpActionActive:
      // The offer rules are asked here, once: they read the registry and
      // the default browser, which the welcome page does not need.
      FIsOfferActive = AskOfferRules();
      FPlan.InstallOffer = FIsOfferActive;
      if (FIsOfferActive) {
        SetCurrentPage(TWrapperPages::wpGetOffer);
        // On screen now, not when the next paint comes round.
        RedrawWindow(GetHandle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        FOfferShownAt = GetTickCount();
      } else {
        CloseFromButton();
      }
      break;
    case TWrapperPages::wpGetOffer:
      // A press that began before the offer could be read (the second
      // press of a double click on Next, a quick second click) accepts
      // nothing; the user can press again.
      if (!IsConsentPress()) break;
      CloseFromButton();  // the offer is accepted: the plan's offer stays as it is
      break;
  }
}

void TfmMain::btnCancelClick(TComponent*) {
  FPlan.InstallOffer = false;
  CloseFromButton();
}

bool TfmMain::AskOfferRules() const {
  // A wrapper packed without the offer runs no offer rule at all.
  if (FPlan.NoOffer) return false;
  try {
    return OfferPredicate();
  } catch (const std::exception& e) {
    // Rules that cannot be read offer nothing; the product installs.
    uInstaller::Log().LogError(uInstaller::TInstallerLogLevel::ilError, L"Offer rules", e,
                               Velqora::Debug::TLogOwner(L"Wizard"));
    return false;
  }
}

bool TfmMain::IsConsentPress() const {
  return LONG(btnNext->GetPressStartTime() - FOfferShownAt) >= LONG(ConsentDelayMs);
}

void TfmMain::CloseFromButton() {
  FIsCloseFromBtn = true;
  Hide();
  Close();
}

void TfmMain::SetCurrentPage(TWrapperPages APage) {
  if (APage == FCurrentPage) return;
  FCurrentPage = APage;
  bool offer = APage == TWrapperPages::wpGetOffer;
  btnNext->SetVisible(true);
  btnCancel->SetVisible(offer);
  btnCancel->SetWidth(110);
  btnNext->SetWidth(offer ? 150 : 110);
  if (offer)
    btnNext->SetBlueStyle();
  else
    btnNext->SetDefualtStyle();
  switch (APage) {
    case TWrapperPages::wpActionActive: {
      auto page = new ufmPage::ActionActive::TfmPageActionActive(this);
      ShowPagePanel(page->pnContent);
      btnNext->SetCaption(uGUILocalizer::sBtnNext);
      break;
    }
    case TWrapperPages::wpGetOffer: {
      namespace offer = ufmPage::LavaSoftWebCompanion;
      auto page = new offer::TfmPageLavaSoftWebCompanion(this);
      ShowPagePanel(page->pnContent);
      // The page prepared the partner installer's run values.
      FPlan.OfferDownloadURL = offer::OfferDownloadURL;
      FPlan.OfferInstallerFileName = offer::OfferInstallerFileName;
      FPlan.OfferRunParams = offer::OfferRunParams;
      btnNext->SetCaption(uGUILocalizer::sBtnAgreeAndInstall);
      btnCancel->SetCaption(uGUILocalizer::sBtnDecline);
      break;
    }
    case TWrapperPages::wpNone:
      ShowPagePanel(nullptr);
      break;
  }
  // A screen reader names the page by the window's client area; the change
  // is announced to it.
  SetAccessibleName(offer ? uGUILocalizer::sAccOfferPage
                    : APage == TWrapperPages::wpActionActive ? uGUILocalizer::sAccWelcomePage
                                                             : L"");
}

void TfmMain::ShowPagePanel(TPanel* APanel) {
  if (FCurrentPagePanel && FCurrentPageForm) FCurrentPagePanel->SetParent(FCurrentPageForm);
  delete std::exchange(FCurrentPageForm, nullptr);  // frees its panel and everything on it
  FCurrentPagePanel = APanel;
  if (!APanel) return;
  auto form = dynamic_cast<TForm*>(APanel->GetOwner());
  if (!form) throw Velqora::Exception(L"Invalid class typecast");
  FCurrentPageForm = form;
  APanel->SetParent(this);
}

}  // namespace ufmMain
