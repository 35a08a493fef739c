#include "ufmPage.ActionActive.h"

#include "Project.VCL.Common.h"

namespace ufmPage::ActionActive {

using namespace Gui;

TfmPageActionActive::TfmPageActionActive(TComponent* AOwner) : TForm(AOwner) {
  // Layout.
  SetName(L"fmPageActionActive");
  SetBorderStyle(TFormBorderStyle::bsNone);
  SetClientSize(545, 330);
  pnContent = new TPanel(this);
  pnContent->SetName(L"pnContent");
  pnContent->SetParent(this);
  pnContent->SetAlign(TAlign::alClient);
  pnContent->SetBevelOuter(TBevelCut::bvNone);
  pnContent->SetShowCaption(false);
  pnContent->SetParentColor(true);
  OnCreate = [this](TComponent* Sender) { FormCreate(Sender); };
  DoCreate();
}

TfmPageActionActive::~TfmPageActionActive() = default;

void TfmPageActionActive::FormCreate(TComponent*) { SetFont(Project::VCL::VCLCommon::DefaultFont()); }

}  // namespace ufmPage::ActionActive
