// The installer phase after the wizard: what the user agreed to, and the
// runs that act on it.
#pragma once

namespace uInstaller {

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
