// The installer phase after the wizard: what the user agreed to, and the
// runs that act on it.
#pragma once

#include "Velqora.Debug.Log.h"

namespace uInstaller {

// Levels of the installer phase's log records.
enum class TInstallerLogLevel { ilNone, ilError, ilWarning, ilInfo };
constexpr TInstallerLogLevel LastLogLevel(TInstallerLogLevel) { return TInstallerLogLevel::ilInfo; }
// The wrapper's own records go to the program's log (off without -debug).
Velqora::Debug::TDebugLog<TInstallerLogLevel>& Log();

// Run the product installer the wrapper carries. True at start.
extern bool InstallAction;
// Download and run the partner installer. True at start.
extern bool InstallOffer;

class Installer {
public:
  Installer() = delete;
  // Runs what the install flags ask for and waits for it; shows nothing.
  static void Run();
};

// Unit start-up and shut-down.
void Start();
void Stop();

}  // namespace uInstaller
