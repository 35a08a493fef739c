#include "ufmPage.LavaSoftWebCompanion.h"

#include "Project.VCL.Common.h"

namespace ufmPage::LavaSoftWebCompanion {

using namespace Gui;

TfmPageLavaSoftWebCompanion::TfmPageLavaSoftWebCompanion(TComponent* AOwner) : TForm(AOwner) {
  // Layout.
  SetName(L"fmPageLavaSoftWebCompanion");
  SetBorderStyle(TFormBorderStyle::bsNone);
  SetClientSize(545, 330);
  pnContent = new TPanel(this);
  pnContent->SetName(L"pnContent");
  pnContent->SetParent(this);
  pnContent->SetAlign(TAlign::alClient);
  pnContent->SetBevelOuter(TBevelCut::bvNone);
  pnContent->SetShowCaption(false);
  pnContent->SetColor(clWhite);
  OnCreate = [this](TComponent* Sender) { FormCreate(Sender); };
  DoCreate();
}

TfmPageLavaSoftWebCompanion::~TfmPageLavaSoftWebCompanion() = default;

void TfmPageLavaSoftWebCompanion::FormCreate(TComponent*) { SetFont(Project::VCL::VCLCommon::DefaultFont()); }

bool IsOfferAvailable() { return false; }

}  // namespace ufmPage::LavaSoftWebCompanion
