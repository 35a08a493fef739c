// The whole wizard with the partner offer, run as a user runs it: the real
// wrapper (its offer host on the loopback server the test script started,
// the test publisher as the partner's) carrying the stand-in installer as
// its product; the server hands out the same stand-in, signed, as the
// partner. The machine's default browser and partner
// key are set through the registry; the country is the one of the locale
// this process was started with.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include "AccessibleClient.h"
#include "InstallerRecord.h"
#include "OfferMachine.h"
#include "TestSupport.h"
#include "TrustedRoot.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"
#include "ufmMain.h"
#include "uGUILocalizer.h"
#include "ufmPage.LavaSoftWebCompanion.h"

namespace {

const wchar_t* const Product = L"Product-Setup.exe";
const wchar_t* const Partner = L"WebCompanionInstaller.exe";
const char* const PartnerRequest = "GET /nano_download.php?partner=VQ150801BNTQ HTTP/1.1";

const auto* const RootEnvironment = ::testing::AddGlobalTestEnvironment(new Testing::TTrustedTestRoot);

enum class TChoice { Agree, Decline, Close };

// What one run of the wizard did.
struct TOutcome {
  bool OfferShown = false;
  std::wstring Folder;  // the private folder the installers ran from
  DWORD ExitCode = DWORD(-1);
  Testing::TInstallerRecord Product, Partner;
  int PartnerRequests = 0;  // at the loopback server
};

class OfferFlowTest : public Testing::TOfferMachineTest {
protected:
  // Starts the wrapper (or a copy of it), presses Next on the welcome page
  // and, when the offer page follows, answers it with AChoice.
  static TOutcome RunWizard(TChoice AChoice, std::wstring AExe = Testing::BuildPath(BOUNTIQ_OFFER_WRAPPER_EXE)) {
    const size_t requestsBefore = ForgetEarlierRuns();
    TOutcome outcome;
    Testing::TWrapperRun run = Testing::StartWrapper(AExe);
    if (!run.Window) {
      ADD_FAILURE() << "no wizard window";
      return outcome;
    }
    HWND next = Testing::FindVisibleChild(run.Window, L"Next");
    if (!next) {
      ADD_FAILURE() << "no Next button on the welcome page";
      Testing::WaitForExit(run, 0);
      return outcome;
    }
    // As a user would: a press the wizard did not take (a window that was
    // not yet active drops it on a loaded machine) is pressed again. A
    // press that comes late lands on "Agree and Install" too soon to count.
    HWND agree = nullptr;
    for (int attempt = 0; attempt < 3 && !agree; ++attempt) {
      if (!Testing::FindVisibleChild(run.Window, L"Next")) break;
      Testing::ClickWindow(next);
      Testing::PumpUntil(
          [&] {
            agree = Testing::FindVisibleChild(run.Window, L"Agree and Install");
            return agree || WaitForSingleObject(run.Process.Get(), 0) == WAIT_OBJECT_0;
          },
          10000);
    }
    if (agree) {
      outcome.OfferShown = true;
      AwaitReadableOffer(run);
      HWND decline = Testing::FindVisibleChild(run.Window, L"Decline");
      EXPECT_TRUE(decline) << "the offer page has no Decline button";
      switch (AChoice) {
        case TChoice::Agree:
          Testing::ClickWindow(agree);
          break;
        case TChoice::Decline:
          if (decline) Testing::ClickWindow(decline);
          break;
        case TChoice::Close:
          PostMessageW(run.Window, WM_CLOSE, 0, 0);
          break;
      }
    }
    Finish(run, requestsBefore, outcome);
    return outcome;
  }

  // Before a run: no record of an earlier one. Answers how many partner
  // requests the server has had so far.
  static size_t ForgetEarlierRuns() {
    for (const wchar_t* name : {Product, Partner}) DeleteFileW(Testing::InstallerRecordFile(name).c_str());
    return Testing::ServerRequests(PartnerRequest).size();
  }

  // Waits for the wrapper to end and adds what it did to AOutcome.
  static void Finish(Testing::TWrapperRun& ARun, size_t ARequestsBefore, TOutcome& AOutcome) {
    AOutcome.ExitCode = Testing::WaitForExit(ARun, 60000);
    AOutcome.Product = Testing::ReadInstallerRecord(Product);
    AOutcome.Partner = Testing::ReadInstallerRecord(Partner);
    AOutcome.PartnerRequests = int(Testing::ServerRequests(PartnerRequest).size() - ARequestsBefore);
    EXPECT_FALSE(Testing::InstallerFilesLeft(Testing::TempFolder())) << "an installer file was left behind";
    // Wine runs programs elevated: the installers run from a private folder.
    if (AOutcome.Product.Found) {
      AOutcome.Folder = Testing::PrivateFolderOf(AOutcome.Product.CommandLine, Testing::TempFolder());
      EXPECT_FALSE(AOutcome.Folder.empty()) << "not from a private folder: "
                                            << Velqora::WideToUtf8(AOutcome.Product.CommandLine);
    }
  }

  // Returns once the offer page has been on screen long enough for a press
  // to accept it: the wizard has drawn it (it answers messages again) and
  // the consent delay has passed.
  static void AwaitReadableOffer(const Testing::TWrapperRun& ARun) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(ARun.Window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
    Sleep(ufmMain::TfmMain::ConsentDelayMs + 100);
  }

  static std::wstring PartnerCommandLine(const TOutcome& AOutcome, const wchar_t* AValue) {
    return L"\"" + AOutcome.Folder + Partner + L"\" --silent --partner=VQ150801BNTQ --homepage=" + AValue +
           L" --search=" + AValue;
  }
  static std::wstring ProductCommandLine(const TOutcome& AOutcome) {
    return L"\"" + AOutcome.Folder + Product + L"\"";
  }
  // The server hands out this one of the signed stand-ins as the partner.
  static void ServePartner(const wchar_t* AName) {
    std::wstring folder = Testing::SignedPartners();
    ASSERT_TRUE(CopyFileW((folder + L"\\" + AName).c_str(), (folder + L"\\current.exe").c_str(), FALSE));
  }
};

// These run in a session whose country is the United States (the C
// locale): a primary country where both variants apply.
class OfferFlowInUS : public OfferFlowTest {
protected:
  void SetUp() override {
    OfferFlowTest::SetUp();
    if (ufmPage::LavaSoftWebCompanion::UserGeoID() != 244) GTEST_SKIP() << "runs in the C locale only";
  }
};

TEST_F(OfferFlowInUS, AgreeAndInstallRunsTheProductThenTheDownloadedPartner) {
  Machine->UseBrowser(L"firefox.exe");
  TOutcome outcome = RunWizard(TChoice::Agree);
  EXPECT_TRUE(outcome.OfferShown);
  EXPECT_EQ(outcome.ExitCode, 0u);
  EXPECT_EQ(outcome.Product.CommandLine, ProductCommandLine(outcome));
  EXPECT_EQ(outcome.PartnerRequests, 1);
  ASSERT_TRUE(outcome.Partner.Found);
  EXPECT_EQ(outcome.Partner.CommandLine, PartnerCommandLine(outcome, L"1"));
  EXPECT_GE(outcome.Partner.Start, outcome.Product.End) << "the partner starts after the product ended";
}

// "Agree and Install" takes the place of Next: a press that began before
// the offer could be read accepts nothing. The second click of a double
// click on Next, Enter held down through the page change (its repeated
// key-downs) and a click right after the page appeared each leave the offer
// page open, unanswered; Decline afterwards installs the product alone.
TEST_F(OfferFlowInUS, AnOfferIsNeverAcceptedUnseen) {
  Machine->UseBrowser(L"firefox.exe");
  struct TCase {
    const char* Name;
    void (*Gesture)(HWND AWindow, HWND ANext);
  };
  const TCase cases[] = {
      {"double click on Next", [](HWND, HWND ANext) { Testing::ClickWindow(ANext, 2); }},
      {"Enter held down", [](HWND AWindow, HWND) {
         SetForegroundWindow(AWindow);
         Testing::HoldKey(VK_RETURN, 20, 40);  // the keyboard's repeat: about 25 a second
       }},
      {"a click at once", [](HWND AWindow, HWND ANext) {
         Testing::ClickWindow(ANext);
         Testing::PumpUntil([&] { return Testing::FindVisibleChild(AWindow, L"Agree and Install") != nullptr; });
         Testing::ClickWindow(ANext);
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const size_t requestsBefore = ForgetEarlierRuns();
    Testing::TWrapperRun run = Testing::StartWrapper(Testing::BuildPath(BOUNTIQ_OFFER_WRAPPER_EXE));
    ASSERT_TRUE(run.Window);
    HWND next = Testing::FindVisibleChild(run.Window, L"Next");
    ASSERT_TRUE(next);
    c.Gesture(run.Window, next);
    ASSERT_TRUE(Testing::PumpUntil([&] { return Testing::FindVisibleChild(run.Window, L"Agree and Install"); }))
        << "the offer page did not appear";
    // Still there, unanswered, well after any press could have ended it.
    EXPECT_EQ(WaitForSingleObject(run.Process.Get(), 1500), DWORD(WAIT_TIMEOUT)) << "the offer was answered";
    HWND decline = Testing::FindVisibleChild(run.Window, L"Decline");
    ASSERT_TRUE(decline);
    Testing::ClickWindow(decline);
    TOutcome outcome;
    Finish(run, requestsBefore, outcome);
    EXPECT_EQ(outcome.ExitCode, 0u);
    EXPECT_TRUE(outcome.Product.Found);
    EXPECT_FALSE(outcome.Partner.Found);
    EXPECT_EQ(outcome.PartnerRequests, 0);
  }
}

// Whether the process has loaded a library of that file name.
bool ModuleLoaded(DWORD AProcessId, const wchar_t* AName) {
  Velqora::TUniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, AProcessId));
  if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "no list of the process's modules";
    return false;
  }
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Module32FirstW(snapshot.Get(), &entry); more; more = Module32NextW(snapshot.Get(), &entry))
    if (lstrcmpiW(entry.szModule, AName) == 0) return true;
  return false;
}

// A caption as the label shows it: without its tags.
std::wstring WithoutTags(const std::wstring& AMarkup) {
  std::wstring text;
  bool tag = false;
  for (wchar_t c : AMarkup) {
    if (c == L'<' || c == L'>') tag = c == L'<';
    else if (!tag) text += c;
  }
  return text;
}

// A screen reader in this process walks the real wizard as a blind user
// hears it: each page's whole text in reading order, the offer's three
// links and its two buttons with their states. Its presses answer as
// clicks do: Next, then Decline (the product alone) or, once the offer
// page could be read, "Agree and Install" (the product, then the partner);
// pressed at once, "Agree and Install" accepts nothing. The wrapper loads
// oleacc only when the reader first asks.
TEST_F(OfferFlowInUS, AScreenReaderReadsTheWizardAndAnswersTheOffer) {
  namespace texts = uGUILocalizer;
  using TReading = std::vector<std::pair<LONG, std::wstring>>;
  Machine->UseBrowser(L"firefox.exe");
  Testing::TComApartment apartment;
  const TReading welcome = {
      {ROLE_SYSTEM_CLIENT, L"Welcome"},
      {ROLE_SYSTEM_STATICTEXT, L"This software was checked by"},
      {ROLE_SYSTEM_GRAPHIC, L"Bountiq"},
      {ROLE_SYSTEM_GRAPHIC, L"No viruses"},
      {ROLE_SYSTEM_GRAPHIC, L"No adware"},
      {ROLE_SYSTEM_GRAPHIC, L"No spyware"},
      {ROLE_SYSTEM_STATICTEXT, L"NO VIRUSES"},
      {ROLE_SYSTEM_STATICTEXT, L"NO ADWARE"},
      {ROLE_SYSTEM_STATICTEXT, L"NO SPYWARE"},
      {ROLE_SYSTEM_STATICTEXT, L"Please click Next to proceed with the installation"},
      {ROLE_SYSTEM_PUSHBUTTON, L"Next"},
  };
  // The variant this machine gets, as the wrapper chooses it.
  const ufmPage::LavaSoftWebCompanion::TOfferTexts variant = ufmPage::LavaSoftWebCompanion::ChooseOfferTexts();
  const TReading offer = {
      {ROLE_SYSTEM_CLIENT, L"Optional offer"},
      {ROLE_SYSTEM_STATICTEXT, variant.Heading},
      {ROLE_SYSTEM_STATICTEXT, texts::sOfferSeeBelow},
      {ROLE_SYSTEM_STATICTEXT, texts::sOfferInfo},
      {ROLE_SYSTEM_STATICTEXT, texts::sOfferItem1},
      {ROLE_SYSTEM_STATICTEXT, texts::sOfferItem2},
      {ROLE_SYSTEM_STATICTEXT, WithoutTags(Velqora::Format(variant.LearnMore, {L"LearnMore"}))},
      {ROLE_SYSTEM_LINK, L"Learn more"},
      {ROLE_SYSTEM_STATICTEXT, WithoutTags(Velqora::Format(texts::sOfferTerms, {L"Terms", L"PrivacyPolicy"}))},
      {ROLE_SYSTEM_LINK, L"Terms"},
      {ROLE_SYSTEM_LINK, L"Privacy Policy"},
      {ROLE_SYSTEM_PUSHBUTTON, L"Decline"},
      {ROLE_SYSTEM_PUSHBUTTON, L"Agree and Install"},
  };
  struct TCase {
    const char* Name;
    const wchar_t* Answer;
    bool Partner;
  };
  const TCase cases[] = {{"declined", L"Decline", false}, {"agreed", L"Agree and Install", true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const size_t requestsBefore = ForgetEarlierRuns();
    Testing::TWrapperRun run = Testing::StartWrapper(Testing::BuildPath(BOUNTIQ_OFFER_WRAPPER_EXE));
    ASSERT_TRUE(run.Window);
    EXPECT_FALSE(ModuleLoaded(run.ProcessId, L"oleacc.dll")) << "loaded before a reader asked";
    std::vector<Testing::TAccessibleItem> tree = Testing::WalkAccessible(run.Window);
    EXPECT_EQ(Testing::Reading(tree), welcome);
    EXPECT_TRUE(ModuleLoaded(run.ProcessId, L"oleacc.dll"));
    const Testing::TAccessibleItem* next = Testing::FindAccessible(tree, ROLE_SYSTEM_PUSHBUTTON, L"Next");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->DoDefaultAction(), S_OK);
    HWND agree = nullptr;
    ASSERT_TRUE(Testing::PumpUntil([&] { return (agree = Testing::FindVisibleChild(run.Window, L"Agree and Install")); }))
        << "the offer page did not appear";
    if (c.Partner) {
      Testing::TAccessibleRef early = Testing::AccessibleOfWindow(agree);
      ASSERT_TRUE(early);
      EXPECT_EQ(early->accDoDefaultAction(Testing::ChildVariant(CHILDID_SELF)), S_OK);
      EXPECT_EQ(WaitForSingleObject(run.Process.Get(), 1000), DWORD(WAIT_TIMEOUT)) << "accepted before it could be read";
    }

    tree = Testing::WalkAccessible(run.Window);
    EXPECT_EQ(Testing::Reading(tree), offer);
    for (const wchar_t* name : {L"Learn more", L"Terms", L"Privacy Policy"}) {
      SCOPED_TRACE(Velqora::WideToUtf8(name));
      const Testing::TAccessibleItem* link = Testing::FindAccessible(tree, ROLE_SYSTEM_LINK, name);
      ASSERT_TRUE(link);
      EXPECT_TRUE(link->Has(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED)) << std::hex << link->State;
      EXPECT_FALSE(link->Has(STATE_SYSTEM_OFFSCREEN) || link->Has(STATE_SYSTEM_UNAVAILABLE));
      EXPECT_EQ(link->DefaultAction, L"Jump");
      // Its place on the screen is where its label finds it.
      VARIANT hit;
      VariantInit(&hit);
      const RECT& r = link->Location;
      EXPECT_EQ(link->Object->accHitTest((r.left + r.right) / 2, (r.top + r.bottom) / 2, &hit), S_OK);
      EXPECT_EQ(hit.vt, VT_I4);
      EXPECT_EQ(hit.lVal, link->Child);
    }
    const struct {
      const wchar_t* Name;
      LONG Has;
    } buttons[] = {{L"Decline", STATE_SYSTEM_FOCUSABLE},
                   {L"Agree and Install", STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED}};
    for (const auto& b : buttons) {
      SCOPED_TRACE(Velqora::WideToUtf8(b.Name));
      const Testing::TAccessibleItem* button = Testing::FindAccessible(tree, ROLE_SYSTEM_PUSHBUTTON, b.Name);
      ASSERT_TRUE(button);
      EXPECT_TRUE(button->Has(b.Has)) << std::hex << button->State;
      EXPECT_FALSE(button->Has(STATE_SYSTEM_UNAVAILABLE) || button->Has(STATE_SYSTEM_INVISIBLE));
      EXPECT_EQ(button->DefaultAction, L"Press");
    }

    AwaitReadableOffer(run);
    const Testing::TAccessibleItem* answer = Testing::FindAccessible(tree, ROLE_SYSTEM_PUSHBUTTON, c.Answer);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->DoDefaultAction(), S_OK);
    tree.clear();  // the wrapper's objects are let go before it ends
    TOutcome outcome;
    outcome.OfferShown = true;
    Finish(run, requestsBefore, outcome);
    EXPECT_EQ(outcome.ExitCode, 0u);
    EXPECT_EQ(outcome.Product.CommandLine, ProductCommandLine(outcome));
    EXPECT_EQ(outcome.Partner.Found, c.Partner);
    EXPECT_EQ(outcome.PartnerRequests, c.Partner ? 1 : 0);
    if (c.Partner) {
      EXPECT_EQ(outcome.Partner.CommandLine, PartnerCommandLine(outcome, L"1"));
    }
  }
}

// Wine told to prefer native DLLs, for the program, under the names the
// wrapper binds at run time: copies of a library that leaves a marker when
// loaded lie beside the wrapper under those names, and neither a whole run
// with the partner (download, signature check) nor a screen reader's walk
// (oleacc) loads one. A program that
// imports one of them statically does load it. (version.dll, which the
// wrapper binds at run time as well, is left out: Wine's own user32 imports
// it, so under Wine any program with a window loads a planted version.dll
// when native is preferred; Windows' user32 does not.)
TEST_F(OfferFlowInUS, LibrariesPlantedBesideTheWrapperAreNeverLoaded) {
  const wchar_t* const names[] = {L"wininet", L"wintrust", L"crypt32", L"oleacc"};
  Testing::TTempFolder folder;
  auto plant = [&](const wchar_t* AProgram, const std::wstring& ACopy) {
    ASSERT_TRUE(CopyFileW(ACopy.c_str(), (folder / AProgram).c_str(), FALSE));
    std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + AProgram + L"\\DllOverrides";
    for (const wchar_t* name : names) {
      ASSERT_TRUE(CopyFileW(Testing::BuildPath(BOUNTIQ_PLANTED_DLL).c_str(), (folder / (name + std::wstring(L".dll"))).c_str(),
                            FALSE));
      ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, L"native,builtin", 30), ERROR_SUCCESS);
    }
  };
  plant(L"Setup.exe", Testing::BuildPath(BOUNTIQ_OFFER_WRAPPER_EXE));
  plant(L"static-import.exe", Testing::BuildPath(BOUNTIQ_STATIC_IMPORT_EXE));
  std::wstring marker = folder / L"planted-was-loaded";

  Machine->UseBrowser(L"firefox.exe");
  TOutcome outcome = RunWizard(TChoice::Agree, folder / L"Setup.exe");
  EXPECT_TRUE(outcome.Partner.Found) << "the run did not get as far as the partner";
  {
    Testing::TComApartment apartment;
    Testing::TWrapperRun run = Testing::StartWrapper(folder / L"Setup.exe");
    ASSERT_TRUE(run.Window);
    EXPECT_FALSE(Testing::Reading(Testing::WalkAccessible(run.Window)).empty());
    EXPECT_TRUE(ModuleLoaded(run.ProcessId, L"oleacc.dll")) << "the reader's walk did not get the wrapper's objects";
    PostMessageW(run.Window, WM_CLOSE, 0, 0);
    Testing::WaitForExit(run, 60000);
  }
  EXPECT_FALSE(Testing::FileExists(marker)) << "a planted library was loaded by the wrapper";

  Testing::RunProgram(folder / L"static-import.exe", L"");
  EXPECT_TRUE(Testing::FileExists(marker)) << "the planted library did not take effect at all";
  for (const wchar_t* program : {L"Setup.exe", L"static-import.exe"})
    RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Wine\\AppDefaults\\") + program).c_str());
}

// What runs for each answer and each machine where the partner does not:
// declined, closed on the offer page, a partner signed by another publisher
// than the build names (fetched, refused, never started), and machines
// where no offer applies (the wizard ends after the welcome page).
TEST_F(OfferFlowInUS, WhatRunsWhereThePartnerDoesNot) {
  struct TCase {
    const char* Name;
    const wchar_t* Browser;
    bool PartnerInstalled;  // in the 64-bit view
    const wchar_t* Served;  // the partner the server hands out
    TChoice Choice;
    bool OfferShown, ProductRuns;
    int PartnerRequests;
    DWORD ExitCode;
  };
  const TCase cases[] = {
      {"declined", L"firefox.exe", false, L"signed.exe", TChoice::Decline, true, true, 0, 0},
      {"closed on the offer page", L"firefox.exe", false, L"signed.exe", TChoice::Close, true, false, 0,
       ERROR_INSTALL_USEREXIT},
      {"another publisher", L"firefox.exe", false, L"other-publisher.exe", TChoice::Agree, true, true, 1, 0},
      {"partner installed", L"firefox.exe", true, L"signed.exe", TChoice::Agree, false, true, 0, 0},
      {"another browser", L"opera.exe", false, L"signed.exe", TChoice::Agree, false, true, 0, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Testing::TOfferMachine::RemovePartnerKeys();
    if (c.PartnerInstalled) {
      ASSERT_TRUE(Testing::TOfferMachine::WritePartnerKey(
          KEY_WOW64_64KEY, [](Velqora::TRegistry& r) { r.WriteInteger(L"Installed", 1); }));
    }
    Machine->UseBrowser(c.Browser);
    ServePartner(c.Served);
    TOutcome outcome = RunWizard(c.Choice);
    ServePartner(L"signed.exe");
    EXPECT_EQ(outcome.OfferShown, c.OfferShown);
    EXPECT_EQ(outcome.ExitCode, c.ExitCode);
    EXPECT_EQ(outcome.Product.Found, c.ProductRuns);
    if (c.ProductRuns) {
      EXPECT_EQ(outcome.Product.CommandLine, ProductCommandLine(outcome));
    }
    EXPECT_FALSE(outcome.Partner.Found);
    EXPECT_EQ(outcome.PartnerRequests, c.PartnerRequests);
  }
}

// On a machine where the offer applies, none is seen or fetched when the
// wrapper was packed with --no-offer (Next ends the wizard) or runs
// unattended (no window at all); the product runs, and a partner that
// fails changes no exit code.
TEST_F(OfferFlowInUS, NoOfferWhenPackedWithoutItOrUnattended) {
  Machine->UseBrowser(L"firefox.exe");
  Testing::TTempFolder folder;
  const std::wstring noOffer = folder / L"No-Offer-Setup.exe";
  ASSERT_EQ(Testing::RunProgram(Testing::BuildPath(BOUNTIQ_PACK_EXE),
                                L"--template \"" + Testing::BuildPath(BOUNTIQ_OFFER_WRAPPER_EXE) + L"\" \"" +
                                    Testing::BuildPath(BOUNTIQ_FAKE_INSTALLER_EXE) +
                                    L"\" --name Product-Setup.exe --no-offer -o \"" + noOffer + L"\""),
            0);
  TOutcome outcome = RunWizard(TChoice::Agree, noOffer);
  EXPECT_FALSE(outcome.OfferShown);
  EXPECT_EQ(outcome.ExitCode, 0u);
  EXPECT_EQ(outcome.Product.CommandLine, ProductCommandLine(outcome));
  EXPECT_FALSE(outcome.Partner.Found);
  EXPECT_EQ(outcome.PartnerRequests, 0);

  for (const std::wstring& exe : {Testing::BuildPath(BOUNTIQ_OFFER_WRAPPER_EXE), noOffer}) {
    SCOPED_TRACE(Velqora::WideToUtf8(exe));
    const size_t requestsBefore = ForgetEarlierRuns();
    EXPECT_EQ(Testing::RunUnseen(exe, L"/S"), 0u);
    EXPECT_TRUE(Testing::ReadInstallerRecord(Product).Found);
    EXPECT_FALSE(Testing::ReadInstallerRecord(Partner).Found);
    EXPECT_EQ(Testing::ServerRequests(PartnerRequest).size(), requestsBefore);
    EXPECT_FALSE(Testing::InstallerFilesLeft(Testing::TempFolder()));
  }
}

// The country the system reports for the locale this process started with
// (the test script runs it under several): whether the offer shows and
// which values the partner gets.
TEST_F(OfferFlowTest, TheCountryOfTheSessionDecides) {
  struct TCase {
    int GeoID;
    const char* Country;
    const wchar_t* Browser;
    const wchar_t* Value;  // none: no offer
  };
  const TCase cases[] = {
      {244, "United States, Chrome", L"chrome.exe", L"1"},
      {94, "Germany, Chrome", L"chrome.exe", nullptr},
      {32, "Brazil, Firefox", L"firefox.exe", L"2"},
      {203, "Russia, Firefox", L"firefox.exe", nullptr},
  };
  int geo = ufmPage::LavaSoftWebCompanion::UserGeoID();
  const TCase* c = nullptr;
  for (const TCase& candidate : cases)
    if (candidate.GeoID == geo) c = &candidate;
  ASSERT_TRUE(c) << "no case for the session's country " << geo;
  SCOPED_TRACE(c->Country);
  Machine->UseBrowser(c->Browser);
  TOutcome outcome = RunWizard(TChoice::Agree);
  EXPECT_EQ(outcome.OfferShown, c->Value != nullptr);
  EXPECT_EQ(outcome.ExitCode, 0u);
  EXPECT_EQ(outcome.Product.CommandLine, ProductCommandLine(outcome));
  if (c->Value) {
    EXPECT_EQ(outcome.PartnerRequests, 1);
    EXPECT_EQ(outcome.Partner.CommandLine, PartnerCommandLine(outcome, c->Value));
  } else {
    EXPECT_FALSE(outcome.Partner.Found);
    EXPECT_EQ(outcome.PartnerRequests, 0);
  }
}

}  // namespace
