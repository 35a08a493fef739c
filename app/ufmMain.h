// The wizard's main window: a content area showing one page at a time and a
// footer with the wizard buttons. It records in the install plan what the
// user agreed to and closes.
#pragma once

#include "ExtCtrls.h"
#include "Forms.h"
#include "Project.VCL.AxButton.h"
#include "uGUIGlobals.h"
#include "uInstaller.h"

namespace ufmMain {

using uGUIGlobals::TWrapperPages;

class TfmMain : public Gui::TForm {
public:
  // APlan receives what the user agrees to; it outlives the form. Its
  // InstallAction is set at creation; its InstallOffer stays false until
  // the offer rules are asked, and Decline clears it; any close that is not
  // a wizard button clears both. The offer's run values are copied into it
  // when the offer page is made.
  TfmMain(Gui::TComponent* AOwner, uInstaller::TInstallPlan& APlan);
  ~TfmMain() override;

  Gui::TPanel* pnFooter;
  Project::VCL::TButton* btnNext;
  Project::VCL::TButton* btnCancel;

  TWrapperPages GetCurrentPage() const { return FCurrentPage; }
  Gui::TForm* GetCurrentPageForm() const { return FCurrentPageForm; }
  Gui::TPanel* GetCurrentPagePanel() const { return FCurrentPagePanel; }

  // Its colours and the shown page's: their own, or the system's while the
  // user has chosen high contrast. Runs at creation, on every page change
  // and whenever the system's colours or settings change.
  void ApplyColours();

  // The offer rules, asked once when Next is pressed on the welcome page,
  // and never when the plan says NoOffer; tests may replace them.
  static bool (*OfferPredicate)();
  // "Agree and Install" accepts only a press that began at least this long
  // after the offer page was on screen: consent to what the user has seen.
  static constexpr DWORD ConsentDelayMs = 500;

protected:
  void WndProc(Gui::TMessage& AMessage) override;

private:
  friend struct TfmMainProbe;  // tests drive the page state machine directly
  void FormCreate(Gui::TComponent* Sender);
  void FormDestroy(Gui::TComponent* Sender);
  void FormClose(Gui::TComponent* Sender, Gui::TCloseAction& Action);
  void btnNextClick(Gui::TComponent* Sender);
  void btnCancelClick(Gui::TComponent* Sender);
  void SetCurrentPage(TWrapperPages APage);
  void ShowPagePanel(Gui::TPanel* APanel);
  void CloseFromButton();
  bool AskOfferRules() const;
  bool IsConsentPress() const;

  uInstaller::TInstallPlan& FPlan;
  bool FIsCloseFromBtn = false;
  bool FIsOfferActive = false;
  TWrapperPages FCurrentPage = TWrapperPages::wpNone;
  Gui::TForm* FCurrentPageForm = nullptr;
  Gui::TPanel* FCurrentPagePanel = nullptr;
  DWORD FOfferShownAt = 0;  // tick count when the offer page was drawn
  bool FPainted = false;  // the start-up trace records the first paint
};

}  // namespace ufmMain
