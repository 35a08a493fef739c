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

protected:
  void WndProc(Gui::TMessage& AMessage) override;
  void TextChanged() override;

  // Clicks are ignored while set (the focus is being taken for a click).
  bool FClicksDisabled = false;
};

}  // namespace Project::VCL
