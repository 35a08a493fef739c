// The machine facts the partner offer depends on, set up through the real
// registry by a test and put back afterwards: the default browser (the
// http association the shell reads) and the partner's key in either view.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "DefaultBrowser.h"
#include "Paths.h"
#include "SystemUnitsTest.h"
#include "TestSupport.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.Registry.h"

namespace Testing {

class TOfferMachine {
public:
  TOfferMachine() { RemovePartnerKeys(); }
  ~TOfferMachine() { RemovePartnerKeys(); }
  TOfferMachine(const TOfferMachine&) = delete;
  TOfferMachine& operator=(const TOfferMachine&) = delete;

  // A browser program of that name becomes the default (the association
  // needs the file).
  void UseBrowser(const wchar_t* AName) {
    std::wstring path = FFolder / AName;
    CopyFileW((Velqora::SystemFolder() + L"\\cmd.exe").c_str(), path.c_str(), FALSE);
    FBrowser.UseProgram(path);
  }
  static void RemovePartnerKeys() {
    for (REGSAM view : {REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
      Velqora::TRegistry reg(KEY_ALL_ACCESS | view);
      reg.SetRootKey(HKEY_LOCAL_MACHINE);
      reg.DeleteKey(L"\\SOFTWARE\\Lavasoft");
    }
  }
  // Creates the partner's key in the view and lets AWrite set its values.
  template <typename F>
  static bool WritePartnerKey(REGSAM AView, F AWrite) {
    Velqora::TRegistry reg(KEY_ALL_ACCESS | AView);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKey(L"\\SOFTWARE\\Lavasoft\\Web Companion", true)) return false;
    AWrite(reg);
    return true;
  }

private:
  TTempFolder FFolder;
  TDefaultBrowserCommand FBrowser;
};

// A test of the offer on this machine: the units the offer rules need are
// started, and the machine is set up and put back around each test.
class TOfferMachineTest : public SystemTest {
protected:
  void SetUp() override {
    SystemTest::SetUp();
    Machine.emplace();
  }
  void TearDown() override {
    Machine.reset();
    SystemTest::TearDown();
  }

  std::optional<TOfferMachine> Machine;
};

}  // namespace Testing
