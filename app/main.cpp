// The wrapper's entry point: reads the command line, starts the units, runs
// the wizard (or, unattended, nothing visible), hands over to the installer
// phase, stops the units again and ends with the installer phase's exit
// code.
#include <windows.h>

#include "Forms.h"
#include "Paths.h"
#include "Velqora.System.Win.Trust.h"
#include "Velqora.Units.h"
#include "settings.h"
#include "uCommandLine.h"
#include "uGUILocalizer.h"
#include "uInstaller.h"
#include "uUnits.h"
#include "uWrapper.ResourceManager.h"
#include "ufmMain.h"

// The partner's publisher is a build setting, narrow text (settings.h).
#define WIDEN_(x) L##x
#define WIDEN(x) WIDEN_(x)

namespace {

// Runs the wizard, then the installer phase on what the user agreed to;
// answers the exit code.
DWORD RunWizard(uInstaller::TInstallPlan& APlan) {
  Gui::TApplication application;
  application.Initialize();
  application.MainFormOnTaskbar = true;
  bool asked = true;
  try {
    uInstaller::LogStartupStep(L"units started");
    new ufmMain::TfmMain(&application, APlan);  // the application owns its main form
    uInstaller::LogStartupStep(L"main form made");
    application.Run();
  } catch (...) {
    // A wizard that could not run has not asked the user: install nothing.
    asked = false;
    APlan.InstallAction = false;
    APlan.InstallOffer = false;
    application.HandleException(std::current_exception());
  }
  application.ProcessMessages();
  DWORD exitCode = uInstaller::Installer::Run(APlan);
  return asked ? exitCode : uInstaller::ExitFailure;
}  // the main form goes with the application

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const uCommandLine::TWrapperCommandLine commandLine = uCommandLine::ParseCommandLine(GetCommandLineW());
  // Unattended, nothing is ever shown: not even the system's boxes for a
  // missing disk or a file that cannot be opened.
  if (commandLine.Unattended) SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  DWORD exitCode = uInstaller::ExitFailure;
  try {
    // Stops the started units in reverse as the block ends, whatever ends it.
    Velqora::TUnitsScope units(uUnits::Units);
    if (commandLine.Help) {
      if (!commandLine.Unattended)
        MessageBoxW(nullptr, uGUILocalizer::sHelpText, uGUILocalizer::sFormCaption, MB_OK | MB_ICONINFORMATION);
      exitCode = 0;
    } else {
      uInstaller::TInstallPlan plan;
      plan.PartnerPublisher = Velqora::ParsePublisher(WIDEN(BOUNTIQ_PARTNER_PUBLISHER));
      plan.ProductArguments = commandLine.ProductArguments;
      using namespace uWrapper::ResourceManager;
      plan.NoOffer = TResourceManager(Velqora::ProgramPath()).IsExist(RES_NO_OFFER);
      if (commandLine.Unattended) {
        // No wizard, so no offer rule runs and nothing is downloaded.
        plan.Unattended = true;
        plan.InstallOffer = false;
        exitCode = uInstaller::Installer::Run(plan);
      } else {
        exitCode = RunWizard(plan);
      }
    }
  } catch (...) {
    // Nothing is shown to the user once the wizard has gone; an error in
    // start-up has nowhere else to go.
  }
  return int(exitCode);
}
