#include "Project.VCL.AxButtonControl.h"

#include <windows.h>
#include <imm.h>

#include "Velqora.DllRoutines.h"

namespace Project::VCL {

namespace {

// The input method library is bound only where it is needed.
constinit Velqora::DllRoutines::TRoutine<HIMC(WINAPI*)(HWND, HIMC)> ImmAssociateContext{L"imm32.dll",
                                                                                    "ImmAssociateContext"};

bool SystemFarEastInput() { return GetSystemMetrics(SM_DBCSENABLED) != 0; }

}  // namespace

bool (*TAxButtonControl::FarEastInput)() = SystemFarEastInput;

TAxButtonControl::TAxButtonControl(Gui::TComponent* AOwner) : TAxCustomControl(AOwner) {
  // Its own flags in place of the base's (subclasses set theirs).
  ControlStyle = Gui::TControlStyle();
}

void TAxButtonControl::CreateParams(Gui::TCreateParams& AParams) {
  TAxCustomControl::CreateParams(AParams);
  if (FWordWrap) AParams.Style |= BS_MULTILINE;
}

void TAxButtonControl::CreateWnd() {
  TAxCustomControl::CreateWnd();
  // No input method: no window of its own, no composition for a button.
  if (FarEastInput())
    if (auto associate = ImmAssociateContext.Find()) associate(GetHandle(), nullptr);
}

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
