// The partner offer page and the rules that decide whether it is offered.
#pragma once

#include <windows.h>

#include <string>

#include "ExtCtrls.h"
#include "Forms.h"
#include "Project.VCL.AxLabel.h"

namespace ufmPage::LavaSoftWebCompanion {

// A variant's heading and learn-more paragraph.
struct TOfferTexts {
  const wchar_t* Heading = nullptr;
  const wchar_t* LearnMore = nullptr;
};

class TfmPageLavaSoftWebCompanion : public Gui::TForm {
public:
  explicit TfmPageLavaSoftWebCompanion(Gui::TComponent* AOwner);
  ~TfmPageLavaSoftWebCompanion() override;

  Gui::TPanel* pnContent;
  Gui::TPanel* pnHeader;  // the box's grey title strip
  Project::VCL::TLabel* lbCaption;
  Gui::TPanel* Panel1;  // the framed box
  Project::VCL::TLabel* lbSeeBelow;
  Project::VCL::TLabel* lbSeeBelowInfo;
  Project::VCL::TLabel* lbSeeBelowItem1;
  Project::VCL::TLabel* lbSeeBelowItem2;
  Project::VCL::TLabel* lbLearnMore;
  Project::VCL::TLabel* lbPrivacyPolicy;
  // The variant's heading and learn-more paragraph, chosen at creation.
  TOfferTexts Texts{};

  // Opens the address behind a link's identifier ("LearnMore", "Terms",
  // "PrivacyPolicy", in any letter case) in the default browser; any other
  // identifier does nothing.
  void LabelLinkClick(Gui::TComponent* Sender, const std::wstring& ALinkID);

  // Texts taller than the box are never cut off silently. The box first
  // grows down to the footer; when that is not enough, the paragraphs above
  // the terms give up their last lines, from the learn-more paragraph
  // upwards, each down to one line, and end with an ellipsis. The heading
  // and the terms (what "Agree and Install" accepts) always stay whole.
  // Runs when the page is made and whenever its area changes size; after
  // changing a text, call it again.
  void FitTexts();
  // The heading is never cut off silently either: it wraps in its grey
  // strip, which grows a line at a time up to three lines; a heading longer
  // than that ends in an ellipsis. Run before FitTexts, which takes the
  // strip's height as it is.
  void FitHeading();
  // Its colours: its own, or the theme's while the user has chosen high
  // contrast (window, text, button face for the strip, hot-light links).
  void ApplyColours();
  // The strip's height for a heading of one line.
  static constexpr int HeaderHeight = 25;

private:
  void FormCreate(Gui::TComponent* Sender);

  bool FFitting = false;
};

// The offer run values: the partner installer's download address, file name
// and parameters, prepared when the offer page is created and read by the
// installer runs. Empty until then.
extern std::wstring OfferDownloadURL;
extern std::wstring OfferInstallerFileName;
extern std::wstring OfferRunParams;

// The partner's targeting: the software must not be there yet, the default
// browser and the user's country must fit one of two variants.
inline constexpr const wchar_t* PartnerCode = L"VQ150801BNTQ";
inline constexpr const wchar_t* PartnerInstallerFileName = L"WebCompanionInstaller.exe";
inline constexpr const wchar_t* PartnerRunParams = L"--silent --partner=%0:s --homepage=%1:s --search=%1:s";
inline constexpr const wchar_t* PartnerKey = L"\\SOFTWARE\\Lavasoft\\Web Companion";

// The key opens in the view (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY) and its "Installed"
// value says installed (a DWORD other than 0, or a QWORD of 1) / present.
bool CheckWebCompanionInstalled(REGSAM AViewBits);
bool CheckWebCompanionPresent(REGSAM AViewBits);
// The default view, and on 64-bit Windows the other view as well.
bool IsWebCompanionInstalled();
bool IsWebCompanionPresent();

// The user's GeoID (0 when no location is set) and the country sets.
int UserGeoID();
bool IsPrimaryCountry(int AGeoID);
bool IsSecondaryCountry(int AGeoID);  // neither primary nor excluded
bool IsSearchCompanionCountry(int AGeoID);
// The default browser's file name, lower-cased, contains the word.
bool IsBrowserIEOrFirefox(const std::wstring& ABrowserPath);
bool IsBrowserChrome(const std::wstring& ABrowserPath);

// The variants; each evaluates its conditions in order and stops at the
// first that decides. The forms with a GeoID take the country as given (the
// others ask the system), so that every country can be tested.
bool IsWebCompanionOffer();
bool IsWebCompanionOffer(int AGeoID);
bool IsSearchCompanionOffer();
bool IsSearchCompanionOffer(int AGeoID);
// Either variant applies: decides whether the offer page is ever shown.
bool IsOfferAvailable();
bool IsOfferAvailable(int AGeoID);

// The offer page's heading and learn-more paragraph for this machine.
TOfferTexts ChooseOfferTexts();
TOfferTexts ChooseOfferTexts(int AGeoID);
// Sets OfferInstallerFileName, OfferDownloadURL and OfferRunParams.
void ComputeOfferRunValues();
void ComputeOfferRunValues(int AGeoID);

}  // namespace ufmPage::LavaSoftWebCompanion
