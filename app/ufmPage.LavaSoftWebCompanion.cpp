#include "ufmPage.LavaSoftWebCompanion.h"

#include "Project.VCL.Common.h"
#include "uGUIGlobals.h"

namespace ufmPage::LavaSoftWebCompanion {

using namespace Gui;

std::wstring OfferDownloadURL;
std::wstring OfferInstallerFileName;
std::wstring OfferRunParams;

TfmPageLavaSoftWebCompanion::TfmPageLavaSoftWebCompanion(TComponent* AOwner) : TForm(AOwner) {
  // Layout.
  SetName(L"fmPageLavaSoftWebCompanion");
  pnContent = uGUIGlobals::CreatePageContent(*this);
  pnContent->SetColor(clWhite);
  OnCreate = [this](TComponent* Sender) { FormCreate(Sender); };
  DoCreate();
}

TfmPageLavaSoftWebCompanion::~TfmPageLavaSoftWebCompanion() = default;

void TfmPageLavaSoftWebCompanion::FormCreate(TComponent*) { SetFont(Project::VCL::VCLCommon::DefaultFont()); }

bool IsOfferAvailable() { return false; }

}  // namespace ufmPage::LavaSoftWebCompanion
