// The welcome page: its content panel is shown inside the main window.
#pragma once

#include "ExtCtrls.h"
#include "Forms.h"
#include "Project.VCL.AxLabel.h"

namespace ufmPage::ActionActive {

class TfmPageActionActive : public Gui::TForm {
public:
  explicit TfmPageActionActive(Gui::TComponent* AOwner);
  ~TfmPageActionActive() override;

  Gui::TPanel* pnContent;
  Project::VCL::TLabel* lbCaption;
  Gui::TImage* imgLogo;
  Gui::TPanel* pnInfo;
  Gui::TImage* imgNoViruses;
  Gui::TImage* imgNoAdware;
  Gui::TImage* imgNoSpyware;
  Project::VCL::TLabel* lbNoViruses;
  Project::VCL::TLabel* lbNoAdware;
  Project::VCL::TLabel* lbNoSpyware;
  Gui::TShape* shDelim;
  Project::VCL::TLabel* lbFooter;

  // Its colours: white on the main window's blue, or the theme's text
  // while the user has chosen high contrast.
  void ApplyColours();

private:
  void FormCreate(Gui::TComponent* Sender);
  void pnInfoResize(Gui::TComponent* Sender);
};

}  // namespace ufmPage::ActionActive
