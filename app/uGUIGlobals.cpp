#include "uGUIGlobals.h"

#include "Velqora.Project.ProcessInfo.h"
#include "Velqora.System.Win.OSInfo.h"

namespace uGUIGlobals {

Gui::TColor ThemeColour(int ASystemColour) { return Gui::TColor(GetSysColor(ASystemColour)); }

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

bool GUIGlobals::ShowURL(const std::wstring& AURL) {
  if (AURL.empty()) return false;
  try {
    // The address as one quoted argument, its own quotes doubled.
    std::wstring quoted = L"\"";
    for (wchar_t c : AURL) {
      quoted += c;
      if (c == L'"') quoted += L'"';
    }
    quoted += L'"';
    Velqora::ProcessInfo::CreateProcessAsLUAUser(Velqora::GetDefaultBrowserPath(), quoted);
    return true;
  } catch (...) {
    return false;  // the launcher raised: nothing started, nothing shown
  }
}

}  // namespace uGUIGlobals
