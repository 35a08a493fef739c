#include "ufmPage.LavaSoftWebCompanion.h"

#include <algorithm>

#include "Project.VCL.Common.h"
#include "uGUIGlobals.h"
#include "uGUILocalizer.h"
#include "UniqueHandle.h"
#include "Velqora.Project.ProcessInfo.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.OSInfo.h"
#include "Velqora.System.Win.Registry.h"

namespace ufmPage::LavaSoftWebCompanion {

using namespace Gui;

std::wstring OfferDownloadURL;
std::wstring OfferInstallerFileName;
std::wstring OfferRunParams;

TfmPageLavaSoftWebCompanion::TfmPageLavaSoftWebCompanion(TComponent* AOwner) : TForm(AOwner) {
  // Layout.
  SetName(L"fmPageLavaSoftWebCompanion");
  pnContent = uGUIGlobals::CreatePageContent(*this);
  auto panel = [this](TWinControl* AParent, const wchar_t* AName, TAlign AAlign, TBevelEdges AEdges) {
    auto p = new TPanel(this);
    p->SetName(AName);
    p->SetParent(AParent);
    p->SetAlign(AAlign);
    p->SetAlignWithMargins(true);
    p->SetBevelOuter(TBevelCut::bvFlat);
    p->SetBevelEdges(AEdges);
    p->SetShowCaption(false);
    return p;
  };
  pnHeader = panel(pnContent, L"pnHeader", TAlign::alTop, beLeft | beTop | beRight);
  pnHeader->SetMargins(25, 15, 25, 0);
  pnHeader->SetHeight(HeaderHeight);
  lbCaption = new Project::VCL::TLabel(this);
  lbCaption->SetName(L"lbCaption");
  lbCaption->SetParent(pnHeader);
  lbCaption->SetAlign(TAlign::alClient);
  lbCaption->SetAlignWithMargins(true);
  lbCaption->SetMargins(15, 0, 15, 0);
  Panel1 = panel(pnContent, L"Panel1", TAlign::alClient, beAll);
  Panel1->SetMargins(25, 0, 25, 15);
  Panel1->SetParentColor(true);
  // The six labels stacked in the box, 15 from its sides.
  auto stacked = [this](const wchar_t* AName, int AGap) {
    auto label = new Project::VCL::TLabel(this);
    label->SetName(AName);
    label->SetParent(Panel1);
    label->SetAlign(TAlign::alTop);
    label->SetAlignWithMargins(true);
    label->SetMargins(15, AGap, 15, 0);
    return label;
  };
  lbSeeBelow = stacked(L"lbSeeBelow", 10);
  lbSeeBelowInfo = stacked(L"lbSeeBelowInfo", 10);
  lbSeeBelowItem1 = stacked(L"lbSeeBelowItem1", 5);
  lbSeeBelowItem2 = stacked(L"lbSeeBelowItem2", 5);
  lbLearnMore = stacked(L"lbLearnMore", 10);
  lbPrivacyPolicy = stacked(L"lbPrivacyPolicy", 10);
  pnContent->OnResize = [this](TComponent*) { FitTexts(); };
  OnCreate = [this](TComponent* Sender) { FormCreate(Sender); };
  DoCreate();
}

TfmPageLavaSoftWebCompanion::~TfmPageLavaSoftWebCompanion() = default;

void TfmPageLavaSoftWebCompanion::FormCreate(TComponent*) {
  using Project::VCL::TAxLabelDisplayStyle;
  using Project::VCL::TLabel;
  SetFont(Project::VCL::VCLCommon::DefaultFont());
  lbCaption->SetLayout(Project::VCL::TTextLayout::vbaCenter);
  lbCaption->Font().SetHeight(-13);
  lbSeeBelow->Font().SetHeight(-13);
  lbSeeBelow->Font().SetStyle(Gui::fsBold);
  for (TLabel* label : {lbCaption, lbSeeBelow, lbSeeBelowInfo, lbSeeBelowItem1, lbSeeBelowItem2, lbLearnMore,
                        lbPrivacyPolicy})
    label->SetDisplayStyle(TAxLabelDisplayStyle::ldsHTML);
  for (TLabel* label : {lbSeeBelow, lbSeeBelowInfo, lbSeeBelowItem1, lbSeeBelowItem2, lbLearnMore, lbPrivacyPolicy})
    label->OnLinkClick = [this](TComponent* Sender, const std::wstring& ALinkID) { LabelLinkClick(Sender, ALinkID); };
  // Wrapped in the box's width, as high as their text.
  for (TLabel* label : {lbSeeBelowInfo, lbSeeBelowItem1, lbSeeBelowItem2, lbLearnMore, lbPrivacyPolicy}) {
    label->SetWordWrap(true);
    label->SetAutoHeight(true);
  }
  // The variant is chosen here, and the installer runs get their values.
  Texts = ChooseOfferTexts();
  lbCaption->SetCaption(Texts.Heading);
  lbSeeBelow->SetCaption(uGUILocalizer::sOfferSeeBelow);
  lbSeeBelowInfo->SetCaption(uGUILocalizer::sOfferInfo);
  lbSeeBelowItem1->SetCaption(uGUILocalizer::sOfferItem1);
  lbSeeBelowItem2->SetCaption(uGUILocalizer::sOfferItem2);
  lbLearnMore->SetCaption(Velqora::Format(Texts.LearnMore, {L"LearnMore"}));
  lbPrivacyPolicy->SetCaption(Velqora::Format(uGUILocalizer::sOfferTerms, {L"Terms", L"PrivacyPolicy"}));
  ApplyColours();
  FitHeading();
  FitTexts();
  ComputeOfferRunValues();
}

void TfmPageLavaSoftWebCompanion::LabelLinkClick(TComponent*, const std::wstring& ALinkID) {
  const std::pair<const wchar_t*, const wchar_t*> links[] = {{L"LearnMore", uGUILocalizer::sURLLearnMore},
                                                            {L"Terms", uGUILocalizer::sURLTerms},
                                                            {L"PrivacyPolicy", uGUILocalizer::sURLPrivacy}};
  // ASCII letters without regard to case, whatever the user's locale.
  auto same = [](const std::wstring& A, const wchar_t* B) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c + 32) : c; };
    size_t i = 0;
    for (; i < A.size() && B[i]; ++i)
      if (lower(A[i]) != lower(B[i])) return false;
    return i == A.size() && !B[i];
  };
  for (auto [id, url] : links)
    if (same(ALinkID, id)) {
      uGUIGlobals::GUIGlobals::ShowURL(url);
      return;
    }
}

void TfmPageLavaSoftWebCompanion::ApplyColours() {
  using Project::VCL::VCLCommon;
  using uGUIGlobals::ThemeColour;
  const bool contrast = VCLCommon::HighContrast();
  pnContent->SetColor(contrast ? ThemeColour(COLOR_WINDOW) : clWhite);
  pnHeader->SetColor(contrast ? ThemeColour(COLOR_BTNFACE) : Gui::RGBColor(240, 240, 240));
  lbCaption->Font().SetColor(contrast ? ThemeColour(COLOR_BTNTEXT) : VCLCommon::DefaultFontColor);
  Gui::TFont link, hover;
  link.Assign(VCLCommon::DefaultLinkFont());
  hover.Assign(VCLCommon::DefaultLinkHoverFont());
  if (contrast) {
    link.SetColor(ThemeColour(COLOR_HOTLIGHT));
    hover.SetColor(ThemeColour(COLOR_HOTLIGHT));
  }
  for (Project::VCL::TLabel* label :
       {lbSeeBelow, lbSeeBelowInfo, lbSeeBelowItem1, lbSeeBelowItem2, lbLearnMore, lbPrivacyPolicy}) {
    label->Font().SetColor(contrast ? ThemeColour(COLOR_WINDOWTEXT) : VCLCommon::DefaultFontColor);
    label->SetLinkFont(link);
    label->SetLinkHoverFont(hover);
  }
}

void TfmPageLavaSoftWebCompanion::FitHeading() {
  using Project::VCL::TAxEllipsisPosition;
  constexpr int MostLines = 3;
  lbCaption->SetWordWrap(true);
  lbCaption->SetEllipsisPosition(TAxEllipsisPosition::epNone);
  pnHeader->SetHeight(HeaderHeight);
  const int line = lbCaption->GetLineHeight();
  for (int lines = 1; lines < MostLines && lbCaption->IsCaptionCutting(); ++lines)
    pnHeader->SetHeight(pnHeader->GetHeight() + line);
  if (lbCaption->IsCaptionCutting()) lbCaption->SetEllipsisPosition(TAxEllipsisPosition::epEndEllipsis);
}

void TfmPageLavaSoftWebCompanion::FitTexts() {
  if (FFitting) return;  // the sizes set below call back
  FFitting = true;
  Velqora::TScopeExit done([&] { FFitting = false; });
  using Project::VCL::TAxEllipsisPosition;
  using Project::VCL::TLabel;
  TLabel* const stack[] = {lbSeeBelow, lbSeeBelowInfo, lbSeeBelowItem1, lbSeeBelowItem2, lbLearnMore, lbPrivacyPolicy};
  TLabel* const givers[] = {lbLearnMore, lbSeeBelowItem2, lbSeeBelowItem1, lbSeeBelowInfo};
  // From the paragraphs as high as their text. The room is reckoned from
  // the page's fixed parts, not read from the box, which may be in the
  // middle of being placed.
  for (TLabel* label : givers) {
    label->SetEllipsisPosition(TAxEllipsisPosition::epNone);
    label->SetAutoHeight(true);
  }
  int need = 0;
  for (TLabel* label : stack) need += label->GetMargins().Top + label->GetHeight() + label->GetMargins().Bottom;
  const Gui::TMargins& strip = pnHeader->GetMargins();
  const int frame = Panel1->GetHeight() - Panel1->GetClientHeight();
  const int room = pnContent->GetClientHeight() - strip.Top - pnHeader->GetHeight() - strip.Bottom -
                   Panel1->GetMargins().Top - frame;
  constexpr int BoxBottomMargin = 15;
  if (need <= room - BoxBottomMargin) {
    Panel1->SetMargins(25, 0, 25, BoxBottomMargin);
    return;
  }
  Panel1->SetMargins(25, 0, 25, 0);
  int excess = need - room;
  for (TLabel* label : givers) {
    if (excess <= 0) break;
    const int height = label->GetHeight();
    const int cut = std::max(height - excess, label->GetLineHeight());
    if (cut >= height) continue;
    label->SetAutoHeight(false);
    label->SetEllipsisPosition(TAxEllipsisPosition::epEndEllipsis);
    label->SetHeight(cut);
    excess -= height - cut;
  }
}

// ---- the partner's targeting ----

namespace {

bool InSet(int AGeoID, std::initializer_list<int> ASet) {
  for (int id : ASet)
    if (id == AGeoID) return true;
  return false;
}
constexpr std::initializer_list<int> PrimaryCountries = {12, 39, 84, 94, 118, 122, 176, 183, 242, 244};
constexpr std::initializer_list<int> ExcludedCountries = {45, 191, 203};
constexpr std::initializer_list<int> SearchCompanionCountries = {12, 39, 242, 244};

// Opens the partner's key read-only in a view and tests its value.
template <typename F>
bool CheckPartnerKey(REGSAM AViewBits, F ATest) {
  Velqora::TRegistry reg(KEY_READ | AViewBits);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!reg.OpenKeyReadOnly(PartnerKey)) return false;
  bool result = ATest(reg);
  reg.CloseKey();
  return result;
}

bool BrowserNameContains(const std::wstring& ABrowserPath, const wchar_t* AWord) {
  std::wstring name = ABrowserPath.substr(ABrowserPath.find_last_of(L"\\:") + 1);
  if (name.empty()) return false;
  CharLowerBuffW(name.data(), DWORD(name.size()));
  return name.find(AWord) != std::wstring::npos;
}

// The view that the default one hides on 64-bit Windows: the 64-bit view for
// the 32-bit wrapper, the 32-bit view for a 64-bit build; none on 32-bit
// Windows.
REGSAM OtherView() {
  if constexpr (sizeof(void*) == 8) return KEY_WOW64_32KEY;
  return Velqora::ProcessInfo::IsWow64Process() ? KEY_WOW64_64KEY : 0;
}

}  // namespace

bool CheckWebCompanionInstalled(REGSAM AViewBits) {
  return CheckPartnerKey(AViewBits, [](const Velqora::TRegistry& reg) {
    return reg.ReadIntegerDef(L"Installed", 0) == 1 || reg.ReadBoolDef(L"Installed", false) ||
           reg.ReadInt64Def(L"Installed", 0) == 1;
  });
}

bool CheckWebCompanionPresent(REGSAM AViewBits) {
  return CheckPartnerKey(AViewBits, [](const Velqora::TRegistry& reg) {
    return uint32_t(reg.ReadIntegerDef(L"Installed", 0)) < 2 || uint32_t(reg.ReadInt64Def(L"Installed", 0)) < 2;
  });
}

bool IsWebCompanionInstalled() {
  REGSAM other = OtherView();
  return CheckWebCompanionInstalled(0) || (other && CheckWebCompanionInstalled(other));
}

bool IsWebCompanionPresent() {
  REGSAM other = OtherView();
  return CheckWebCompanionPresent(0) || (other && CheckWebCompanionPresent(other));
}

int UserGeoID() {
  int geoID = 0;
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IGEOID | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&geoID),
                     sizeof(geoID) / sizeof(wchar_t)) <= 0)
    return 0;
  return geoID;
}

bool IsPrimaryCountry(int AGeoID) { return InSet(AGeoID, PrimaryCountries); }
bool IsSecondaryCountry(int AGeoID) { return !InSet(AGeoID, PrimaryCountries) && !InSet(AGeoID, ExcludedCountries); }
bool IsSearchCompanionCountry(int AGeoID) { return InSet(AGeoID, SearchCompanionCountries); }

bool IsBrowserIEOrFirefox(const std::wstring& ABrowserPath) {
  return BrowserNameContains(ABrowserPath, L"firefox") || BrowserNameContains(ABrowserPath, L"iexplore");
}
bool IsBrowserChrome(const std::wstring& ABrowserPath) { return BrowserNameContains(ABrowserPath, L"chrome"); }

bool IsWebCompanionOffer(int AGeoID) {
  return !IsWebCompanionInstalled() && IsBrowserIEOrFirefox(Velqora::GetDefaultBrowserPath()) &&
         (IsSecondaryCountry(AGeoID) || IsPrimaryCountry(AGeoID));
}
bool IsWebCompanionOffer() { return IsWebCompanionOffer(UserGeoID()); }

bool IsSearchCompanionOffer(int AGeoID) {
  return !IsWebCompanionPresent() && IsBrowserChrome(Velqora::GetDefaultBrowserPath()) &&
         IsSearchCompanionCountry(AGeoID);
}
bool IsSearchCompanionOffer() { return IsSearchCompanionOffer(UserGeoID()); }

bool IsOfferAvailable(int AGeoID) { return IsWebCompanionOffer(AGeoID) || IsSearchCompanionOffer(AGeoID); }
bool IsOfferAvailable() { return IsOfferAvailable(UserGeoID()); }

TOfferTexts ChooseOfferTexts(int AGeoID) {
  using namespace uGUILocalizer;
  if (IsSearchCompanionOffer(AGeoID)) return {sOfferCaptionSearch, sOfferLearnMoreBingSearch};
  if (IsPrimaryCountry(AGeoID)) return {sOfferCaption, sOfferLearnMoreBing};
  return {sOfferCaption, sOfferLearnMoreYahoo};
}
TOfferTexts ChooseOfferTexts() { return ChooseOfferTexts(UserGeoID()); }

void ComputeOfferRunValues(int AGeoID) {
  OfferInstallerFileName = PartnerInstallerFileName;
  OfferDownloadURL = Velqora::Format(uGUILocalizer::sURLOfferDownload, {std::wstring(PartnerCode)});
  OfferRunParams.clear();
  auto params = [](const wchar_t* AValue) {
    return Velqora::Format(PartnerRunParams, {std::wstring(PartnerCode), std::wstring(AValue)});
  };
  if (IsSearchCompanionOffer(AGeoID))
    OfferRunParams = params(L"1");
  else if (IsWebCompanionOffer(AGeoID)) {
    if (IsPrimaryCountry(AGeoID))
      OfferRunParams = params(L"1");
    else if (IsSecondaryCountry(AGeoID))
      OfferRunParams = params(L"2");
  }
}
void ComputeOfferRunValues() { ComputeOfferRunValues(UserGeoID()); }

}  // namespace ufmPage::LavaSoftWebCompanion
