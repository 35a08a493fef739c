// The installer phase after the wizard: what the user agreed to (the install
// plan), and the runs that act on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "UniqueHandle.h"
#include "Velqora.Debug.Log.h"
#include "Velqora.System.Win.Trust.h"

namespace uInstaller {

// Levels of the installer phase's log records.
enum class TInstallerLogLevel { ilNone, ilError, ilWarning, ilInfo };
constexpr TInstallerLogLevel LastLogLevel(TInstallerLogLevel) { return TInstallerLogLevel::ilInfo; }
// The wrapper's own records go to the program's log (off without -debug).
Velqora::Debug::TDebugLog<TInstallerLogLevel>& Log();

// What the installer phase does: the wizard records what the user agreed
// to and where the partner installer comes from; Installer::Run acts on it.
struct TInstallPlan {
  // Run the product installer the wrapper carries.
  bool InstallAction = true;
  // Download and run the partner installer.
  bool InstallOffer = true;
  // The offer run values: the partner installer's address, file name and
  // parameters.
  std::wstring OfferDownloadURL;
  std::wstring OfferInstallerFileName;
  std::wstring OfferRunParams;
  // Whose signature the partner installer must carry (any publisher whose
  // certificate chains to a trusted root when empty).
  Velqora::TPublisher PartnerPublisher;
};

enum class TInstallerType { itAction, itOffer };

// The most a downloaded installer may take on disk; a larger answer is cut
// off and refused. A build setting (BOUNTIQ_MAX_DOWNLOAD_MB); tests lower it.
extern uint64_t MaxDownloadBytes;

class Installer {
public:
  Installer() = delete;

  // The folder the installer files go to: the user's temporary folder, or,
  // for a wrapper that runs elevated, a new private folder in it (a random
  // name; owner Administrators, access for SYSTEM and Administrators only)
  // that is held open while in use and removed with everything in it when
  // the object goes. Raises ESystemError when a private folder cannot be
  // made: the shared temporary folder is no place for files an elevated
  // process starts.
  class TInstallerFolder {
  public:
    TInstallerFolder();  // private when the process runs elevated
    explicit TInstallerFolder(bool APrivate);
    ~TInstallerFolder();
    TInstallerFolder(const TInstallerFolder&) = delete;
    TInstallerFolder& operator=(const TInstallerFolder&) = delete;

    // With a trailing backslash.
    const std::wstring& Path() const { return FPath; }
    bool IsPrivate() const { return static_cast<bool>(FHandle); }

    // The private folder's security descriptor.
    static constexpr const wchar_t* PrivateSDDL = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

  private:
    std::wstring FPath;
    Velqora::TUniqueFileHandle FHandle;  // the private folder, open while in use
  };

  // One installer: its file in the installer folder and its process. From
  // writing to starting, the file is held open in a way that lets nobody
  // else write, rename or delete it. Freeing it closes the handles and
  // deletes the file.
  class TInstallerProcess {
  public:
    explicit TInstallerProcess(TInstallerType AType, std::wstring AFolder = TempFolder())
        : FInstallerType(AType), FFolder(std::move(AFolder)) {}
    ~TInstallerProcess();
    TInstallerProcess(const TInstallerProcess&) = delete;
    TInstallerProcess& operator=(const TInstallerProcess&) = delete;

    // Writes the embedded installer (its name and bytes are the resource
    // items) to a new file; on failure no file is left.
    void ExtractFromResources(const std::wstring& AResFileName, const std::wstring& AResInstallerData);
    // Downloads an installer to a new file and verifies its signature (by
    // APublisher unless that is any); a failed download (no answer, a cut
    // body, a status other than 2xx) or a file that is not signed as
    // required leaves no file.
    void DownloadFromServer(const std::wstring& ADownloadFromURL, const std::wstring& AInstallerFileName,
                           const std::wstring& ARunParams, const Velqora::TPublisher& APublisher);
    // Starts the file: an ".msi" through msiexec with "/i", anything else
    // with its parameters; the command line begins with the quoted program.
    // Only a file that was written (and verified) completely is started.
    void ExecuteProcess();
    // Returns when the started process has ended (at once when none).
    void WaitFor();

    const std::wstring& InstallerFileName() const { return FInstallerFileName; }
    const std::wstring& InstallerParams() const { return FInstallerParams; }
    const Velqora::TUniqueProcessInformation& ProcessInfo() const { return FProcessInfo; }

    // A free path in AFolder for a file name that may hold anything: only its
    // last component counts ("installer.exe" when nothing usable is left);
    // "_0", "_1", ... go before the extension while the name is taken.
    static std::wstring MakeInstallerFileName(const std::wstring& AFileName, const std::wstring& AFolder);
    // The user's temporary folder, long form, with a trailing backslash.
    static std::wstring TempFolder();

    // Whether the file is held open (written completely, not yet started).
    bool IsLocked() const { return static_cast<bool>(FLock); }

  private:
    void LockInstallerFile();
    void DeleteInstallerFile();

    TInstallerType FInstallerType;
    std::wstring FFolder;
    Velqora::TUniqueFileHandle FLock;
    std::wstring FInstallerFileName;
    std::wstring FInstallerParams;
    Velqora::TUniqueProcessInformation FProcessInfo;
  };

  // Runs what the plan asks for and waits for it; shows nothing.
  static void Run(const TInstallPlan& APlan);
};

// Unit start-up and shut-down.
void Start();
void Stop();

}  // namespace uInstaller
