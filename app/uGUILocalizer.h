// Every text the wrapper shows and every web address it opens or downloads
// from. Texts with <b> and <a href> are label markup; "%0:s" and "%1:s" are
// positional format placeholders.
#pragma once

namespace uGUILocalizer {

extern const wchar_t* const sURLLearnMore;
extern const wchar_t* const sURLTerms;
extern const wchar_t* const sURLPrivacy;
extern const wchar_t* const sBtnNext;
extern const wchar_t* const sFormCaption;
extern const wchar_t* const sWelcomeCaption;
extern const wchar_t* const sWelcomeFooter;
extern const wchar_t* const sNoViruses;
extern const wchar_t* const sNoAdware;
extern const wchar_t* const sNoSpyware;
extern const wchar_t* const sURLOfferDownload;
extern const wchar_t* const sBtnAgreeAndInstall;
extern const wchar_t* const sBtnDecline;
extern const wchar_t* const sOfferCaption;
extern const wchar_t* const sOfferCaptionSearch;
extern const wchar_t* const sOfferSeeBelow;
extern const wchar_t* const sOfferInfo;
extern const wchar_t* const sOfferItem1;
extern const wchar_t* const sOfferItem2;
extern const wchar_t* const sOfferLearnMoreBing;
extern const wchar_t* const sOfferLearnMoreBingSearch;
extern const wchar_t* const sOfferLearnMoreYahoo;
extern const wchar_t* const sOfferTerms;
extern const wchar_t* const sHelpText;
// What a screen reader names: the pages (the main window's client area)
// and the pictures.
extern const wchar_t* const sAccWelcomePage;
extern const wchar_t* const sAccOfferPage;
extern const wchar_t* const sAccLogo;
extern const wchar_t* const sAccNoViruses;
extern const wchar_t* const sAccNoAdware;
extern const wchar_t* const sAccNoSpyware;

}  // namespace uGUILocalizer
