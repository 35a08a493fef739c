// The welcome page: its content panel is shown inside the main window.
#pragma once

#include "ExtCtrls.h"
#include "Forms.h"

namespace ufmPage::ActionActive {

class TfmPageActionActive : public Gui::TForm {
public:
  explicit TfmPageActionActive(Gui::TComponent* AOwner);
  ~TfmPageActionActive() override;

  Gui::TPanel* pnContent;

private:
  void FormCreate(Gui::TComponent* Sender);
};

}  // namespace ufmPage::ActionActive
