#include "uInstaller.h"

namespace uInstaller {

bool InstallAction = true;
bool InstallOffer = true;

void Installer::Run() {
  // Extraction, download and the installer runs come with the resource
  // package and the HTTP client.
}

void Start() {
  InstallAction = true;
  InstallOffer = true;
}

void Stop() {}

}  // namespace uInstaller
