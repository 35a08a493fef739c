// The installer phase after the wizard: what the user agreed to (the install
// plan), and the runs that act on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "FolderTree.h"
#include "UniqueHandle.h"
#include "Velqora.Debug.Log.h"
#include "Velqora.System.Win.Trust.h"

namespace uInstaller {

// Levels of the installer phase's log records.
enum class TInstallerLogLevel { ilNone, ilError, ilWarning, ilInfo };
constexpr TInstallerLogLevel LastLogLevel(TInstallerLogLevel) { return TInstallerLogLevel::ilInfo; }
// The wrapper's own records go to the program's log (off without -debug).
Velqora::Debug::TDebugLog<TInstallerLogLevel>& Log();
// A record of the start-up trace: AStep and the milliseconds since the
// process began (the wizard's steps up to its first paint).
void LogStartupStep(const wchar_t* AStep);

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
  // An install without any window of the wrapper: the product gets the
  // publisher's unattended arguments (an MSI /qn when none were packed).
  bool Unattended = false;
  // Appended as written to the product's command line (the wrapper's own
  // arguments after a lone "--").
  std::wstring ProductArguments;
  // The wrapper was packed without the offer: no offer rule runs.
  bool NoOffer = false;
};

// The wrapper's exit codes besides the product installer's own.
// The wizard was closed without Next, Decline or "Agree and Install".
constexpr DWORD ExitUserCancelled = ERROR_INSTALL_USEREXIT;  // 1602
// The wizard could not start, or a failure that carries no system error.
constexpr DWORD ExitFailure = ERROR_INSTALL_FAILURE;  // 1603
// The user refused the elevation prompt the product asked for.
constexpr DWORD ExitElevationRefused = ERROR_CANCELLED;  // 1223

// What starting a program that demands elevation the process lacks fails
// with (ERROR_ELEVATION_REQUIRED, which this toolchain's headers lack).
constexpr DWORD ErrorElevationRequired = 740;

// The code an exit reports for an error: a system error's own code, else
// ExitFailure; never 0.
DWORD ExitCodeOf(const std::exception& AError);

enum class TInstallerType { itAction, itOffer };

// The most a downloaded installer may take on disk; a larger answer is cut
// off and refused. A build setting (BOUNTIQ_MAX_DOWNLOAD_MB); tests lower it.
extern uint64_t MaxDownloadBytes;

class Installer {
public:
  Installer() = delete;

  // The folder the installer files go to: the user's temporary folder, or,
  // for a wrapper that runs elevated, a new private folder in it (a random
  // name; owner Administrators, access for SYSTEM and Administrators only).
  // Either is held open by handle while in use, and every file in it is
  // made, opened and deleted relative to that handle, never through a path
  // that a link could lead elsewhere. The private folder is made and opened
  // in one step, cannot be renamed or removed while held, and is emptied and
  // removed through its handle when the object goes (links inside removed,
  // never followed). Raises ESystemError when the folder cannot be found,
  // opened or made: the shared temporary folder is no place for files an
  // elevated process starts, and no other folder is guessed.
  class TInstallerFolder {
  public:
    TInstallerFolder();  // private when the process runs elevated
    explicit TInstallerFolder(bool APrivate);
    ~TInstallerFolder();
    TInstallerFolder(const TInstallerFolder&) = delete;
    TInstallerFolder& operator=(const TInstallerFolder&) = delete;

    // With a trailing backslash.
    const std::wstring& Path() const { return FPath; }
    bool IsPrivate() const { return FPrivate; }
    HANDLE Handle() const { return FHandle.Get(); }

    // A new file for AName (a safe bare name): AName itself, else with "_0",
    // "_1", ... before its extension, the first name nobody has taken,
    // made and opened in one step for writing without sharing. AChosen
    // receives the name it got.
    Velqora::TUniqueFileHandle CreateNewFile(const std::wstring& AName, std::wstring& AChosen) const;

    // The private folder's security descriptor.
    static constexpr const wchar_t* PrivateSDDL = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

  private:
    std::wstring FPath;
    Velqora::TUniqueFileHandle FHandle;  // the folder, open while in use
    bool FPrivate;
  };

  // One installer: its file in the installer folder and its process. From
  // writing to starting (for an MSI, until msiexec has ended), the file is
  // held open in a way that lets nobody else write, rename or delete it.
  // Freeing it closes the handles and deletes the file. The folder outlives
  // the object.
  class TInstallerProcess {
  public:
    TInstallerProcess(TInstallerType AType, const TInstallerFolder& AFolder)
        : FInstallerType(AType), FFolder(AFolder) {}
    ~TInstallerProcess();
    TInstallerProcess(const TInstallerProcess&) = delete;
    TInstallerProcess& operator=(const TInstallerProcess&) = delete;

    // Writes the embedded installer (its name and bytes are the resource
    // items) to a new file; on failure no file is left. Its command line
    // gets the packed unattended arguments when AUnattended, then
    // AProductArguments as written.
    void ExtractFromResources(const std::wstring& AResFileName, const std::wstring& AResInstallerData,
                              bool AUnattended = false, const std::wstring& AProductArguments = L"");
    // Downloads an installer to a new file and verifies its signature (by
    // APublisher unless that is any); a failed download (no answer, a cut
    // body, a status other than 2xx) or a file that is not signed as
    // required leaves no file.
    void DownloadFromServer(const std::wstring& ADownloadFromURL, const std::wstring& AInstallerFileName,
                           const std::wstring& ARunParams, const Velqora::TPublisher& APublisher);
    // Starts the file: an ".msi" through msiexec with "/i" and the quoted
    // path, anything else as itself, either followed by its parameters; the
    // command line begins with the quoted program. Only a file that was
    // written (and verified) completely, and that its path still leads to,
    // is started. A product installer that demands elevation the wrapper
    // lacks is started again through the elevation prompt; a partner
    // installer is not (a bundled offer never raises a prompt).
    void ExecuteProcess();
    // Returns when the started process has ended (at once when none),
    // handling this thread's messages meanwhile.
    void WaitFor();
    // The installer's exit code once it has run and been waited for; before
    // that, the system error code of the step that failed (ExitFailure where
    // that carries none, ExitElevationRefused for a refused prompt).
    DWORD Result() const { return FResult; }

    const std::wstring& InstallerFileName() const { return FInstallerFileName; }
    const std::wstring& InstallerParams() const { return FInstallerParams; }
    const Velqora::TUniqueProcessInformation& ProcessInfo() const { return FProcessInfo; }

    // The bare file name an installer is stored under, from a name that may
    // hold anything: its last component, which must be a file name as it
    // stands (not empty, no device name such as NUL or COM1.exe, no trailing
    // dot or blank, none of the characters a file name cannot hold). Raises
    // Exception naming it otherwise.
    static std::wstring InstallerName(const std::wstring& AFileName);
    // The user's temporary folder, long form, with a trailing backslash.
    // Raises ESystemError when the system cannot say (or names one longer
    // than MAX_PATH).
    static std::wstring TempFolder();

    // Whether the file is held open (written completely, not yet started;
    // for an MSI, until msiexec has ended).
    bool IsLocked() const { return static_cast<bool>(FLock); }

  private:
    void CreateInstallerFile(const std::wstring& AName, Velqora::TUniqueFileHandle& AFile);
    void LockInstallerFile();
    void DeleteInstallerFile();

    TInstallerType FInstallerType;
    const TInstallerFolder& FFolder;
    std::wstring FFileName;  // bare, in FFolder
    Velqora::TFileIdentity FIdentity;  // of the file written
    Velqora::TUniqueFileHandle FLock;
    std::wstring FInstallerFileName;
    std::wstring FInstallerParams;
    Velqora::TUniqueProcessInformation FProcessInfo;
    DWORD FResult = ExitFailure;
  };

  // How processes are started; tests replace them, since Wine runs every
  // process elevated and has no elevation prompt. Start answers 0 and the
  // process's handles, or the system error code (ErrorElevationRequired
  // for a program that demands elevation); StartElevated goes through the
  // elevation prompt and raises ESystemError (ERROR_CANCELLED: refused).
  struct TStarter {
    DWORD (*Start)(const std::wstring& AApplication, const std::wstring& ACommandLine, PROCESS_INFORMATION& AInfo);
    Velqora::TUniqueKernelHandle (*StartElevated)(const std::wstring& AApplication, const std::wstring& AParameters);
  };
  static TStarter Starter;

  // Runs what the plan asks for and waits for it; shows nothing. Answers
  // the wrapper's exit code: the product installer's own; ExitUserCancelled
  // when the plan runs no product; else the code of the step that failed
  // (never 0). The partner's result never changes it.
  static DWORD Run(const TInstallPlan& APlan);
};

// Unit start-up and shut-down.
void Start();
void Stop();

}  // namespace uInstaller
