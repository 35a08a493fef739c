#include "Project.VCL.AxButton.h"

namespace Project::VCL {

using Gui::RGBColor;

TButton::TButton(Gui::TComponent* AOwner) : Gui::TCustomControl(AOwner) {
  ControlStyle |= Gui::csCaptureMouse | Gui::csOpaque;
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}

void TButton::SetBlueStyle() {
  FBlue = true;
  Invalidate();
}

void TButton::SetDefualtStyle() {
  FBlue = false;
  Invalidate();
}

bool TButton::WantsKey(WPARAM AKey) { return AKey == VK_RETURN; }

void TButton::Paint() {
  RECT r = GetClientRect();
  HDC dc = Canvas().GetHandle();
  bool pressed = FPressed && (FSpaceDown || MouseInClient());
  if (FBlue) {
    Canvas().Brush().SetColor(pressed ? RGBColor(0, 90, 170) : RGBColor(0, 120, 215));
    Canvas().FillRect(r);
    Canvas().Font().SetColor(Gui::clWhite);
  } else {
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    Canvas().Font().SetColor(GetEnabled() ? Font().GetColor() : GetSysColor(COLOR_GRAYTEXT));
  }
  Canvas().Brush().SetStyle(Gui::TBrushStyle::bsClear);
  RECT text = r;
  if (pressed) OffsetRect(&text, 1, 1);
  Canvas().DrawText(GetCaption(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (Focused()) {
    RECT focus = r;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

void TButton::MouseDown(UINT AButton, int, int) {
  if (AButton != VK_LBUTTON || !GetEnabled()) return;
  SetFocus();
  FPressed = true;
  Invalidate();
}

void TButton::MouseUp(UINT AButton, int AX, int AY) {
  if (AButton != VK_LBUTTON || !FPressed) return;
  FPressed = false;
  Invalidate();
  if (AX >= 0 && AY >= 0 && AX < GetWidth() && AY < GetHeight()) Click();
}

void TButton::MouseEnter() { Invalidate(); }
void TButton::MouseLeave() { Invalidate(); }

void TButton::KeyDown(WPARAM AKey) {
  if (AKey == VK_SPACE && !FSpaceDown) {
    FSpaceDown = FPressed = true;
    Invalidate();
  } else if (AKey == VK_RETURN) {
    Click();
  }
}

void TButton::KeyUp(WPARAM AKey) {
  if (AKey != VK_SPACE || !FSpaceDown) return;
  FSpaceDown = FPressed = false;
  Invalidate();
  Click();
}

void TButton::DoEnter() {
  Invalidate();
  Gui::TCustomControl::DoEnter();
}

void TButton::DoExit() {
  FSpaceDown = FPressed = false;
  Invalidate();
  Gui::TCustomControl::DoExit();
}

}  // namespace Project::VCL
