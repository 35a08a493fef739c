// The partner offer page and the rules that decide whether it is offered.
#pragma once

#include <string>

#include "ExtCtrls.h"
#include "Forms.h"

namespace ufmPage::LavaSoftWebCompanion {

class TfmPageLavaSoftWebCompanion : public Gui::TForm {
public:
  explicit TfmPageLavaSoftWebCompanion(Gui::TComponent* AOwner);
  ~TfmPageLavaSoftWebCompanion() override;

  Gui::TPanel* pnContent;

private:
  void FormCreate(Gui::TComponent* Sender);
};

// The offer run values: the partner installer's download address, file name
// and parameters, prepared when the offer page is created and read by the
// installer runs. Empty until then.
extern std::wstring OfferDownloadURL;
extern std::wstring OfferInstallerFileName;
extern std::wstring OfferRunParams;

// Whether this machine qualifies for the partner offer. Until the partner's
// targeting rules are built, no machine does.
bool IsOfferAvailable();

}  // namespace ufmPage::LavaSoftWebCompanion
