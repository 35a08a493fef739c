// The wizard's push button. Until the image-skinned looks exist it is a plain
// push button drawn by the system's frame routines, with the default and the
// blue look told apart by colour.
#pragma once

#include "Controls.h"

namespace Project::VCL {

class TButton : public Gui::TCustomControl {
public:
  explicit TButton(Gui::TComponent* AOwner);

  // The looks of the wizard's forward button.
  void SetBlueStyle();
  void SetDefualtStyle();
  bool IsBlueStyle() const { return FBlue; }

  bool WantsKey(WPARAM AKey) override;
  // Clicks the button as the user would.
  void Click() override { Gui::TCustomControl::Click(); }

protected:
  void Paint() override;
  void MouseDown(UINT AButton, int AX, int AY) override;
  void MouseUp(UINT AButton, int AX, int AY) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void KeyDown(WPARAM AKey) override;
  void KeyUp(WPARAM AKey) override;
  void DoEnter() override;
  void DoExit() override;

private:
  bool FBlue = false;
  bool FPressed = false;   // left button or space held down
  bool FSpaceDown = false;
};

}  // namespace Project::VCL
