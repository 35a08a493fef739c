#include "uGUIGlobals.h"

namespace uGUIGlobals {

using namespace Gui;

TPanel* CreatePageContent(TForm& APage) {
  APage.SetBorderStyle(TFormBorderStyle::bsNone);
  APage.SetClientSize(545, 330);
  auto panel = new TPanel(&APage);
  panel->SetName(L"pnContent");
  panel->SetParent(&APage);
  panel->SetAlign(TAlign::alClient);
  panel->SetBevelOuter(TBevelCut::bvNone);
  panel->SetShowCaption(false);
  return panel;
}

}  // namespace uGUIGlobals
