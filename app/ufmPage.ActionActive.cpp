#include "ufmPage.ActionActive.h"

#include "Project.VCL.Common.h"
#include "uGUIGlobals.h"

namespace ufmPage::ActionActive {

using namespace Gui;

TfmPageActionActive::TfmPageActionActive(TComponent* AOwner) : TForm(AOwner) {
  // Layout.
  SetName(L"fmPageActionActive");
  pnContent = uGUIGlobals::CreatePageContent(*this);
  pnContent->SetParentColor(true);
  OnCreate = [this](TComponent* Sender) { FormCreate(Sender); };
  DoCreate();
}

TfmPageActionActive::~TfmPageActionActive() = default;

void TfmPageActionActive::FormCreate(TComponent*) { SetFont(Project::VCL::VCLCommon::DefaultFont()); }

}  // namespace ufmPage::ActionActive
