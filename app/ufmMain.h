// The wizard's main window: a content area showing one page at a time and a
// footer with the wizard buttons. It records in the install flags what the
// user agreed to and closes.
#pragma once

#include "ExtCtrls.h"
#include "Forms.h"
#include "Project.VCL.AxButton.h"
#include "uGUIGlobals.h"

namespace ufmMain {

using uGUIGlobals::TWrapperPages;

class TfmMain : public Gui::TForm {
public:
  explicit TfmMain(Gui::TComponent* AOwner);
  ~TfmMain() override;

  Gui::TPanel* pnFooter;
  Project::VCL::TButton* btnNext;
  Project::VCL::TButton* btnCancel;

  TWrapperPages GetCurrentPage() const { return FCurrentPage; }
  Gui::TForm* GetCurrentPageForm() const { return FCurrentPageForm; }
  Gui::TPanel* GetCurrentPagePanel() const { return FCurrentPagePanel; }

  // The offer predicate taken once at creation; tests may replace it.
  static bool (*OfferPredicate)();

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

  bool FIsCloseFromBtn = false;
  bool FIsOfferActive = false;
  TWrapperPages FCurrentPage = TWrapperPages::wpNone;
  Gui::TForm* FCurrentPageForm = nullptr;
  Gui::TPanel* FCurrentPagePanel = nullptr;
};

}  // namespace ufmMain
