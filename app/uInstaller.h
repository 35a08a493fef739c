// The installer phase after the wizard: what the user agreed to, and the
// runs that act on it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

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

enum class TInstallerType { itAction, itOffer };

class Installer {
public:
  Installer() = delete;

  // One installer: its file in the temporary folder and its process. Freeing
  // it closes the handles and deletes the file.
  class TInstallerProcess {
  public:
    explicit TInstallerProcess(TInstallerType AType) : FInstallerType(AType) {}
    ~TInstallerProcess();
    TInstallerProcess(const TInstallerProcess&) = delete;
    TInstallerProcess& operator=(const TInstallerProcess&) = delete;

    // Writes the embedded installer (its name and bytes are the resource
    // items) to a new file; on failure no file is left.
    void ExtractFromResources(const std::wstring& AResFileName, const std::wstring& AResInstallerData);
    // Downloads an installer to a new file; a failed download (no answer, a
    // cut body, a status other than 2xx) leaves no file.
    void DownloadFromServer(const std::wstring& ADownloadFromURL, const std::wstring& AInstallerFileName,
                           const std::wstring& ARunParams);
    // Starts the file: an ".msi" through msiexec with "/i", anything else
    // with its parameters; the command line begins with the quoted program.
    void ExecuteProcess();
    // Returns when the started process has ended (at once when none).
    void WaitFor();

    const std::wstring& InstallerFileName() const { return FInstallerFileName; }
    const std::wstring& InstallerParams() const { return FInstallerParams; }
    const PROCESS_INFORMATION& ProcessInfo() const { return FProcessInfo; }

    // A free path in AFolder for a file name that may hold anything: only its
    // last component counts ("installer.exe" when nothing usable is left);
    // "_0", "_1", ... go before the extension while the name is taken.
    static std::wstring MakeInstallerFileName(const std::wstring& AFileName, const std::wstring& AFolder);
    // The user's temporary folder, long form, with a trailing backslash.
    static std::wstring TempFolder();
    // The system folder with a trailing backslash, looked up once.
    static std::wstring SystemDirectory();

  private:
    void DeleteInstallerFile();

    TInstallerType FInstallerType;
    std::wstring FInstallerFileName;
    std::wstring FInstallerParams;
    PROCESS_INFORMATION FProcessInfo{};
  };

  // Runs what the install flags ask for and waits for it; shows nothing.
  static void Run();
};

// Unit start-up and shut-down.
void Start();
void Stop();

}  // namespace uInstaller
