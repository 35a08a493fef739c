// The base of the wizard's buttons on top of the owner-drawn control base:
// a click first takes the focus, and a checked state for subclasses.
#pragma once

#include "Project.VCL.AxCustomControl.h"

namespace Project::VCL {

class TAxButtonControl : public TAxCustomControl {
public:
  explicit TAxButtonControl(Gui::TComponent* AOwner);

  virtual bool GetChecked() const { return false; }
  virtual void SetChecked(bool Value) {}

  // Whether the user's input locale is East Asian: buttons then switch
  // the input method off for themselves (a button takes no text). Tests
  // replace it: no such locale is at hand.
  static bool (*FarEastInput)();

protected:
  void WndProc(Gui::TMessage& AMessage) override;
  void TextChanged() override;
  void CreateParams(Gui::TCreateParams& AParams) override;
  void CreateWnd() override;

  // Clicks are ignored while set (the focus is being taken for a click).
  bool FClicksDisabled = false;
  // The caption may wrap (a multi-line button window); off.
  bool FWordWrap = false;
};

}  // namespace Project::VCL
