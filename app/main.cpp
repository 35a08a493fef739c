// The wrapper's entry point: reads the command line, starts the units, runs
// the wizard (or, unattended, nothing visible), hands over to the installer
// phase, stops the units again and ends with the installer phase's exit
// code.
#include <windows.h>

#include "Forms.h"
#include "Graphics.h"
#include "Paths.h"
#include "Project.VCL.Accessibility.h"
#include "Project.VCL.Common.h"
#include "Project.VCL.UIStateHelper.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.Project.ProcessInfo.h"
#include "Velqora.System.Timer.h"
#include "Velqora.System.Win.Trust.h"
#include "settings.h"
#include "uCommandLine.h"
#include "uGUILocalizer.h"
#include "uInstaller.h"
#include "uWrapper.ResourceManager.h"
#include "ufmMain.h"

// The partner's publisher is a build setting, narrow text (settings.h).
#define WIDEN_(x) L##x
#define WIDEN(x) WIDEN_(x)

namespace {

constinit Velqora::DllRoutines::TRoutine<BOOL(WINAPI*)(DWORD)> SetDefaultDllDirectories{
    L"kernel32.dll", "SetDefaultDllDirectories"};

// Libraries are loaded from the system folder only, where the system offers
// that; a DLL planted beside the wrapper is never picked up. Right after the
// binding registry starts (the log and the registry load nothing).
void RestrictDllSearch() {
  if (auto set = SetDefaultDllDirectories.Find()) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // drops the current folder from the search
}

void StartPictureCache() { Gui::PictureCache::Start(GetModuleHandleW(nullptr)); }

// Units with process-wide state, in dependency order; they stop in reverse.
struct TUnit {
  void (*Start)();
  void (*Stop)();
};
constexpr TUnit Units[] = {
    {Velqora::Debug::TDebugLogFile::Start, Velqora::Debug::TDebugLogFile::Stop},
    {Velqora::DllRoutines::Start, Velqora::DllRoutines::Stop},
    {RestrictDllSearch, [] {}},
    {Velqora::ProcessInfo::Start, Velqora::ProcessInfo::Stop},
    // Its hidden window belongs to this thread, the GUI thread.
    {Velqora::Timer::Start, Velqora::Timer::Stop},
    // Each picture decoded once (the decoder is bound from the system
    // folder: after the search restriction).
    {StartPictureCache, Gui::PictureCache::Stop},
    // The buttons' fades run on the timer service.
    {Project::VCL::TUIStateHelper::Start, Project::VCL::TUIStateHelper::Stop},
    {Project::VCL::VCLCommon::Start, Project::VCL::VCLCommon::Stop},
    // Answers screen readers; loads nothing until one asks.
    {Project::VCL::TAccessibility::Start, Project::VCL::TAccessibility::Stop},
    {uInstaller::Start, uInstaller::Stop},
};

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
  size_t started = 0;
  try {
    for (const TUnit& unit : Units) {
      unit.Start();
      ++started;
    }
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
  while (started > 0) {
    try {
      Units[--started].Stop();
    } catch (...) {
    }
  }
  return int(exitCode);
}
