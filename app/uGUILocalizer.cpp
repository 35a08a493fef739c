#include "uGUILocalizer.h"

#include "settings.h"

// The offer vendor's web host, a build setting (BOUNTIQ_OFFER_HOST).
#define WIDEN_(x) L##x
#define WIDEN(x) WIDEN_(x)
#define OFFER_SITE L"http://" WIDEN(BOUNTIQ_OFFER_HOST)

namespace uGUILocalizer {

const wchar_t* const sURLLearnMore = OFFER_SITE;
const wchar_t* const sURLTerms = OFFER_SITE L"/terms";
const wchar_t* const sURLPrivacy = OFFER_SITE L"/privacy";
const wchar_t* const sBtnNext = L"Next";
const wchar_t* const sFormCaption = L"Bountiq - Software Installation";
const wchar_t* const sWelcomeCaption = L"This software was <b>checked</b> by";
const wchar_t* const sWelcomeFooter = L"Please click <b>Next</b> to proceed with the installation";
const wchar_t* const sNoViruses = L"No viruses";
const wchar_t* const sNoAdware = L"No Adware";
const wchar_t* const sNoSpyware = L"No Spyware";
const wchar_t* const sURLOfferDownload = OFFER_SITE L"/nano_download.php?partner=%0:s";
const wchar_t* const sBtnAgreeAndInstall = L"Agree and Install";
const wchar_t* const sBtnDecline = L"Decline";
const wchar_t* const sOfferCaption = L"Optional Internet security app: Install Ad-Aware Web Companion";
const wchar_t* const sOfferCaptionSearch =
    L"Optional Internet security app: Install Ad-Aware Web Companion with Search Companion";
const wchar_t* const sOfferSeeBelow = L"SEE BELOW FOR IMPORTANT INSTALLATION DISCLOSURES";
const wchar_t* const sOfferInfo =
    L"Ad-Aware Web Companion is optional software that you may choose to install. When you install Web Companion:";
const wchar_t* const sOfferItem1 =
    L"\u25CF Your Internet protection will be improved and you will be protected against dangerous websites, "
    L"malware downloads and online scams";
const wchar_t* const sOfferItem2 =
    L"\u25CF You will be able to easily manage your default search engines, homepages and/or new tab pages on "
    L"Internet Explorer\u00AE and Firefox\u00AE from the software's main screen";
const wchar_t* const sOfferLearnMoreBing =
    L"Install Ad-Aware Web Companion to improve your Internet protection. Set Bing\u00AE as your homepage, new "
    L"tabs and default search engine on Internet Explorer\u00AE and Firefox\u00AE. <a href=\"%0:s\">Learn "
    L"more</a>.";
const wchar_t* const sOfferLearnMoreBingSearch =
    L"Install Ad-Aware Web Companion with Search Companion desktop bar feature to improve your Internet "
    L"protection. Set Bing\u00AE as your homepage, new tabs and default search engine on Internet Explorer\u00AE "
    L"and Firefox\u00AE. <a href=\"%0:s\">Learn more</a>.";
const wchar_t* const sOfferLearnMoreYahoo =
    L"Install Ad-Aware Web Companion to improve your Internet protection. Set Yahoo\u00AE as your homepage, new "
    L"tabs and default search engine on Internet Explorer\u00AE and Firefox\u00AE. <a href=\"%0:s\">Learn "
    L"more</a>.";
const wchar_t* const sOfferTerms =
    L"By clicking \"Agree and Install\" you confirm that you have read and agree to Ad-Aware Web Companion's "
    L"<a href=\"%0:s\">Terms</a> and <a href=\"%1:s\">Privacy Policy</a>, and agree to install Ad-Aware Web "
    L"Companion.";

// The help box of /? (plain text; tabs line the columns up).
const wchar_t* const sHelpText =
    L"Installs the product this program carries.\n"
    L"\n"
    L"/S, /silent, /verysilent, /quiet\n"
    L"\tNo window at all and no offer: the product installs with its publisher's unattended arguments "
    L"(an MSI with /qn).\n"
    L"-- ARGUMENTS\n"
    L"\tEverything after -- goes to the product's installer as written.\n"
    L"/debug\tWrites a diagnostic log under ProgramData.\n"
    L"/?, /help\tShows this and installs nothing.\n"
    L"\n"
    L"Exit codes:\n"
    L"the product installer's own\t0 installed, 3010 or 1641 restart needed, 1603 failed, ...\n"
    L"1602\tthe wizard was closed without installing\n"
    L"1223\tthe elevation the product asked for was refused\n"
    L"1603\tthe wizard could not start\n"
    L"other\tthe system error of the step that failed (112 disk full, 5 access denied, ...)";

const wchar_t* const sAccWelcomePage = L"Welcome";
const wchar_t* const sAccOfferPage = L"Optional offer";
const wchar_t* const sAccLogo = L"Bountiq";
const wchar_t* const sAccNoViruses = L"No viruses";
const wchar_t* const sAccNoAdware = L"No adware";
const wchar_t* const sAccNoSpyware = L"No spyware";

}  // namespace uGUILocalizer
