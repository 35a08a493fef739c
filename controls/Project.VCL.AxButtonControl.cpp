#include "Project.VCL.AxButtonControl.h"

namespace Project::VCL {

TAxButtonControl::TAxButtonControl(Gui::TComponent* AOwner) : TAxCustomControl(AOwner) {}

void TAxButtonControl::WndProc(Gui::TMessage& AMessage) {
  // A press on a button without the focus gives it the focus first; when it
  // cannot take it, the press is dropped.
  if ((AMessage.Msg == WM_LBUTTONDOWN || AMessage.Msg == WM_LBUTTONDBLCLK) && !Focused()) {
    FClicksDisabled = true;
    try {
      SetFocus();
    } catch (...) {
      FClicksDisabled = false;
      throw;
    }
    FClicksDisabled = false;
    if (!Focused()) return;
  }
  TAxCustomControl::WndProc(AMessage);
}

void TAxButtonControl::TextChanged() {
  TAxCustomControl::TextChanged();
  if (!GetComponentState().Contains(Gui::csLoading) && GetVisible()) Invalidate();
}

}  // namespace Project::VCL
