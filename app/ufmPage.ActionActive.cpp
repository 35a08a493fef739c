#include "ufmPage.ActionActive.h"

#include "Project.VCL.Common.h"
#include "Project.VCL.Utils.h"
#include "uGUIGlobals.h"
#include "uGUILocalizer.h"

namespace ufmPage::ActionActive {

using namespace Gui;
using Project::VCL::TLabel;

namespace {

// A component stacked under the one above it: full width between its
// margins, AGap below the one above.
template <typename T>
T* Stacked(T* AControl, TWinControl* AParent, const wchar_t* AName, int ALeft, int AGap, int ARight) {
  AControl->SetName(AName);
  AControl->SetParent(AParent);
  AControl->SetAlign(TAlign::alTop);
  AControl->SetAlignWithMargins(true);
  AControl->SetMargins(ALeft, AGap, ARight, 0);
  return AControl;
}

TLabel* CentredLabel(TLabel* ALabel) {
  ALabel->SetAlignment(Project::VCL::TAlignment::taCenter);
  return ALabel;
}

TImage* Badge(TComponent* AOwner, TWinControl* AParent, const wchar_t* AName) {
  auto image = new TImage(AOwner);
  image->SetName(AName);
  image->SetParent(AParent);
  image->SetBounds(0, 0, 86, 86);
  image->SetCenter(true);
  return image;
}

TLabel* BadgeLabel(TComponent* AOwner, TWinControl* AParent, const wchar_t* AName) {
  auto label = new TLabel(AOwner);
  label->SetName(AName);
  label->SetParent(AParent);
  label->SetBounds(0, 99, label->GetWidth(), label->GetHeight());
  return label;
}

std::wstring Upper(std::wstring AText) {
  CharUpperBuffW(AText.data(), DWORD(AText.size()));  // the user's locale
  return AText;
}

}  // namespace

TfmPageActionActive::TfmPageActionActive(TComponent* AOwner) : TForm(AOwner) {
  // Layout: stacked from the top of the 545 x 330 content area.
  SetName(L"fmPageActionActive");
  pnContent = uGUIGlobals::CreatePageContent(*this);
  pnContent->SetParentColor(true);
  lbCaption = CentredLabel(Stacked(new TLabel(this), pnContent, L"lbCaption", 35, 21, 35));
  imgLogo = Stacked(new TImage(this), pnContent, L"imgLogo", 35, 12, 35);
  imgLogo->SetHeight(32);
  imgLogo->SetCenter(true);
  pnInfo = Stacked(new TPanel(this), pnContent, L"pnInfo", 35, 28, 35);
  pnInfo->SetHeight(121);
  pnInfo->SetBevelOuter(TBevelCut::bvNone);
  pnInfo->SetShowCaption(false);
  pnInfo->SetParentColor(true);
  imgNoViruses = Badge(this, pnInfo, L"imgNoViruses");
  imgNoAdware = Badge(this, pnInfo, L"imgNoAdware");
  imgNoSpyware = Badge(this, pnInfo, L"imgNoSpyware");
  lbNoViruses = BadgeLabel(this, pnInfo, L"lbNoViruses");
  lbNoAdware = BadgeLabel(this, pnInfo, L"lbNoAdware");
  lbNoSpyware = BadgeLabel(this, pnInfo, L"lbNoSpyware");
  shDelim = Stacked(new TShape(this), pnContent, L"shDelim", 110, 19, 110);
  shDelim->SetHeight(1);
  lbFooter = CentredLabel(Stacked(new TLabel(this), pnContent, L"lbFooter", 35, 18, 35));

  pnInfo->OnResize = [this](TComponent* Sender) { pnInfoResize(Sender); };
  OnCreate = [this](TComponent* Sender) { FormCreate(Sender); };
  DoCreate();
}

TfmPageActionActive::~TfmPageActionActive() = default;

void TfmPageActionActive::FormCreate(TComponent*) {
  using Project::VCL::TAxLabelDisplayStyle;
  SetFont(Project::VCL::VCLCommon::DefaultFont());
  for (auto [label, height] : {std::pair{lbCaption, -24}, {lbFooter, -14}, {lbNoViruses, -14}, {lbNoAdware, -14},
                               {lbNoSpyware, -14}}) {
    label->Font().SetHeight(height);
  }
  lbCaption->SetDisplayStyle(TAxLabelDisplayStyle::ldsHTML);
  lbFooter->SetDisplayStyle(TAxLabelDisplayStyle::ldsHTML);
  ApplyColours();
  const HINSTANCE module = GetModuleHandleW(nullptr);
  Project::VCL::LoadImageFromPngResource(*imgLogo, module, L"LOGO_BOUNTIQ");
  Project::VCL::LoadImageFromPngResource(*imgNoViruses, module, L"IMG_NO_VIRUS");
  Project::VCL::LoadImageFromPngResource(*imgNoAdware, module, L"IMG_NO_ADWARE");
  Project::VCL::LoadImageFromPngResource(*imgNoSpyware, module, L"IMG_NO_SPYWARE");
  // What a screen reader calls the pictures.
  imgLogo->SetAccessibleName(uGUILocalizer::sAccLogo);
  imgNoViruses->SetAccessibleName(uGUILocalizer::sAccNoViruses);
  imgNoAdware->SetAccessibleName(uGUILocalizer::sAccNoAdware);
  imgNoSpyware->SetAccessibleName(uGUILocalizer::sAccNoSpyware);
  lbCaption->SetCaption(uGUILocalizer::sWelcomeCaption);
  lbFooter->SetCaption(uGUILocalizer::sWelcomeFooter);
  lbNoViruses->SetCaption(Upper(uGUILocalizer::sNoViruses));
  lbNoAdware->SetCaption(Upper(uGUILocalizer::sNoAdware));
  lbNoSpyware->SetCaption(Upper(uGUILocalizer::sNoSpyware));
  pnInfoResize(pnInfo);
}

void TfmPageActionActive::ApplyColours() {
  const TColor text =
      Project::VCL::VCLCommon::HighContrast() ? uGUIGlobals::ThemeColour(COLOR_WINDOWTEXT) : clWhite;
  for (TLabel* label : {lbCaption, lbFooter, lbNoViruses, lbNoAdware, lbNoSpyware}) label->Font().SetColor(text);
  shDelim->Pen().SetColor(text);
}

// The badges side by side, 31 pixels apart, centred in the panel; each
// label centred under its badge.
void TfmPageActionActive::pnInfoResize(TComponent*) {
  const int total = imgNoViruses->GetWidth() + 31 + imgNoAdware->GetWidth() + 31 + imgNoSpyware->GetWidth();
  int left = (pnInfo->GetWidth() - total) / 2;
  for (auto [image, label] : {std::pair{imgNoViruses, lbNoViruses}, {imgNoAdware, lbNoAdware},
                              {imgNoSpyware, lbNoSpyware}}) {
    image->SetLeft(left);
    label->SetLeft(left + (image->GetWidth() - label->GetWidth()) / 2);
    left += image->GetWidth() + 31;
  }
}

}  // namespace ufmPage::ActionActive
