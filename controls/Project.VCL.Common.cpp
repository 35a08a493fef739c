#include "Project.VCL.Common.h"

namespace Project::VCL {

using Gui::RGBColor;
using Gui::TFont;

POINT VCLCommon::TextMargin;
int VCLCommon::SingleBorderWidth;
int VCLCommon::AnimationTime;
int VCLCommon::AnimationSteps;
Gui::TColor VCLCommon::DisabledFontColor;
Gui::TColor VCLCommon::DefaultFontColor;
std::unique_ptr<TFont> VCLCommon::FDefaultFont;
std::unique_ptr<TFont> VCLCommon::FDefaultLinkFont;
std::unique_ptr<TFont> VCLCommon::FDefaultLinkHoverFont;
std::unique_ptr<TFont> VCLCommon::FDefaultLinkPressedFont;

namespace {
std::unique_ptr<TFont> MakeLinkFont(const TFont& ABase, Gui::TColor AColor) {
  auto font = std::make_unique<TFont>();
  font->Assign(ABase);
  font->SetColor(AColor);
  font->SetStyle(font->GetStyle() | Gui::fsUnderline);
  return font;
}
}  // namespace

namespace {
bool SystemHighContrast() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}
}  // namespace

bool (*VCLCommon::HighContrastQuery)() = SystemHighContrast;

void VCLCommon::Start() {
  TextMargin = {1, 1};
  SingleBorderWidth = 1;
  AnimationTime = 60;
  AnimationSteps = 2;
  DisabledFontColor = RGBColor(160, 160, 160);
  DefaultFontColor = RGBColor(0, 0, 0);

  FDefaultFont = std::make_unique<TFont>();
  FDefaultFont->SetName(L"Segoe UI");
  FDefaultFont->SetHeight(-12);
  FDefaultFont->SetStyle(0);
  FDefaultFont->SetQuality(Gui::TFontQuality::fqClearType);
  FDefaultFont->SetColor(DefaultFontColor);

  FDefaultLinkFont = MakeLinkFont(*FDefaultFont, RGBColor(0, 102, 221));
  FDefaultLinkHoverFont = MakeLinkFont(*FDefaultFont, RGBColor(0, 102, 221));
  FDefaultLinkPressedFont = MakeLinkFont(*FDefaultFont, RGBColor(0, 153, 221));
}

void VCLCommon::Stop() {
  FDefaultLinkPressedFont.reset();
  FDefaultLinkHoverFont.reset();
  FDefaultLinkFont.reset();
  FDefaultFont.reset();
}

}  // namespace Project::VCL
