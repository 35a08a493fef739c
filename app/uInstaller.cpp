#include "uInstaller.h"

#include <memory>

namespace uInstaller {

using Velqora::Debug::TDebugLog;
using enum TInstallerLogLevel;

bool InstallAction = true;
bool InstallOffer = true;

namespace {
std::unique_ptr<TDebugLog<TInstallerLogLevel>> FLog;
const Velqora::Debug::TLogOwner LogOwner(L"Installer");
}  // namespace

TDebugLog<TInstallerLogLevel>& Log() { return *FLog; }

void Installer::Run() {
  Log().WriteLog(ilInfo, L"Install flags: action %s, offer %s",
                 {std::wstring(InstallAction ? L"True" : L"False"), std::wstring(InstallOffer ? L"True" : L"False")},
                 LogOwner);
  // Extraction, download and the installer runs come with the HTTP client.
}

void Start() {
  InstallAction = true;
  InstallOffer = true;
  FLog.reset(TDebugLog<TInstallerLogLevel>::CreateProgramLog());
  Log().WriteLog(ilInfo, L"Started: " + std::wstring(GetCommandLineW()), LogOwner);
}

void Stop() {
  if (FLog) Log().WriteLog(ilInfo, L"Finished", LogOwner);
  FLog.reset();  // the last facade of the log writes out what is buffered
}

}  // namespace uInstaller
