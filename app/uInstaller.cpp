#include "uInstaller.h"

#include <ntsecapi.h>
#include <sddl.h>

#include <memory>
#include <optional>

#include "FileNames.h"
#include "FolderTree.h"
#include "Paths.h"
#include "UniqueHandle.h"
#include "Velqora.Project.ProcessInfo.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.Internet.h"
#include "Velqora.System.Win.Trust.h"
#include "Velqora.Winapi.Kernel32.h"
#include "settings.h"
#include "uWrapper.PayloadText.h"
#include "uWrapper.ResourceManager.h"

namespace uInstaller {

using namespace Velqora;
using Debug::TDebugLog;
using Debug::TLogOwner;
using enum TInstallerLogLevel;
using TInstallerProcess = Installer::TInstallerProcess;
using TInstallerFolder = Installer::TInstallerFolder;

namespace {

constinit std::unique_ptr<TDebugLog<TInstallerLogLevel>> FLog;
constexpr TLogOwner LogOwner(L"Installer");

DWORD StartProcess(const std::wstring& AApplication, const std::wstring& ACommandLine, PROCESS_INFORMATION& AInfo) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  if (Winapi::Kernel32::CreateProcessW(AApplication, ACommandLine, nullptr, nullptr, FALSE,
                                       CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS,
                                       nullptr, L"", startup, AInfo))
    return 0;
  DWORD error = GetLastError();
  return error ? error : ExitFailure;
}

const wchar_t* TypeName(TInstallerType AType) {
  return AType == TInstallerType::itAction ? L"product installer" : L"partner installer";
}

// A new file written through its handle, for the download: only the body
// of a successful answer, and no more than MaxDownloadBytes of it.
class TDownloadStream : public TStream {
public:
  explicit TDownloadStream(HANDLE AFile) : FFile(AFile) {}
  void Begin(DWORD AStatusCode, int64_t AAnnouncedLength) override {
    // An error page is no installer: its body is not even read.
    if (!IsSuccessStatus(AStatusCode))
      throw Exception(Format(L"The server answered with status %u", {uint64_t(AStatusCode)}));
    if (AAnnouncedLength >= 0 && uint64_t(AAnnouncedLength) > MaxDownloadBytes) TooLarge();
  }
  void Write(const void* AData, size_t ASize) override {
    if (ASize > MaxDownloadBytes - FWritten) TooLarge();
    DWORD written = 0;
    if (!WriteFile(FFile, AData, DWORD(ASize), &written, nullptr)) ThrowLastOSError();
    if (written != ASize) ThrowOSError(ERROR_WRITE_FAULT);
    FWritten += ASize;
  }

private:
  [[noreturn]] static void TooLarge() {
    throw Exception(Format(L"The installer is larger than the limit of %u bytes", {MaxDownloadBytes}));
  }
  HANDLE FFile;  // the caller's
  uint64_t FWritten = 0;
};

}  // namespace

TDebugLog<TInstallerLogLevel>& Log() { return *FLog; }

DWORD ExitCodeOf(const std::exception& AError) {
  auto system = dynamic_cast<const ESystemError*>(&AError);
  return system && system->ErrorCode ? system->ErrorCode : ExitFailure;
}

Installer::TStarter Installer::Starter = {StartProcess, ProcessInfo::StartElevated};

uint64_t MaxDownloadBytes = uint64_t(BOUNTIQ_MAX_DOWNLOAD_MB) << 20;

// ---- TInstallerFolder ----

namespace {

// A security descriptor made from its text form.
TUniqueLocalMemory SecurityDescriptor(const wchar_t* ASDDL) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(ASDDL, SDDL_REVISION_1, &descriptor, nullptr))
    ThrowLastOSError(L"Making the installer folder's security descriptor");
  return TUniqueLocalMemory(descriptor);
}

// 16 random hexadecimal digits.
std::wstring RandomName() {
  uint32_t bits[2] = {};
  if (!RtlGenRandom(bits, sizeof(bits))) ThrowLastOSError(L"Choosing the installer folder's name");
  return Format(L"%.8x%.8x", {uint64_t(bits[0]), uint64_t(bits[1])});
}

}  // namespace

TInstallerFolder::TInstallerFolder() : TInstallerFolder(ProcessInfo::IsElevated()) {}

TInstallerFolder::TInstallerFolder(bool APrivate) : FPath(TInstallerProcess::TempFolder()), FPrivate(APrivate) {
  ForceFolders(FPath);
  TUniqueFileHandle temp;
  try {
    temp = OpenFolder(FPath);
  } catch (const ESystemError& e) {
    ThrowOSError(e.ErrorCode, L"Opening the temporary folder " + FPath);
  }
  if (!APrivate) {
    FHandle = std::move(temp);
    return;
  }
  TUniqueLocalMemory descriptor = SecurityDescriptor(PrivateSDDL);
  // A new folder of our own: a name that exists already is someone else's.
  for (int attempt = 0;; ++attempt) {
    std::wstring name = L"bq-" + RandomName();
    try {
      FHandle = CreateFolderIn(temp.Get(), name, descriptor.Get());
      FPath += name + L"\\";
      return;
    } catch (const ESystemError& e) {
      if (e.ErrorCode != ERROR_ALREADY_EXISTS || attempt == 15)
        ThrowOSError(e.ErrorCode, L"Creating the installer folder " + FPath + name);
    }
  }
}

TInstallerFolder::~TInstallerFolder() {
  if (!FPrivate || !FHandle) return;
  // Through the handle: whatever the path leads to by now is not touched.
  bool emptied = DeleteFolderContents(FHandle.Get());
  if (emptied && DeleteOpenFolder(FHandle.Get())) return;
  // Something an installer started may still hold a file in it.
  try {
    if (FLog) Log().WriteLog(ilWarning, L"Could not remove the installer folder " + FPath, LogOwner);
  } catch (...) {
  }
}

TUniqueFileHandle TInstallerFolder::CreateNewFile(const std::wstring& AName, std::wstring& AChosen) const {
  size_t dot = AName.find_last_of(L'.');
  std::wstring base = dot == std::wstring::npos ? AName : AName.substr(0, dot);
  std::wstring extension = dot == std::wstring::npos ? L"" : AName.substr(dot);
  AChosen = AName;
  for (unsigned i = 0;; ++i) {
    // Made new, never opened over a file (or link) that is there already.
    if (TUniqueFileHandle file = CreateFileIn(FHandle.Get(), AChosen, GENERIC_WRITE, 0)) return file;
    if (i == 10000) ThrowOSError(ERROR_FILE_EXISTS, L"Every name for " + AName + L" is taken in " + FPath);
    AChosen = base + Format(L"_%u", {uint64_t(i)}) + extension;
  }
}

// ---- TInstallerProcess ----

TInstallerProcess::~TInstallerProcess() {
  FProcessInfo = {};  // closed before the file goes
  DeleteInstallerFile();
}

void TInstallerProcess::CreateInstallerFile(const std::wstring& AName, TUniqueFileHandle& AFile) {
  std::wstring chosen;
  AFile = FFolder.CreateNewFile(AName, chosen);
  FFileName = chosen;
  FInstallerFileName = FFolder.Path() + chosen;
  FIdentity = FileIdentity(AFile.Get());
}

void TInstallerProcess::LockInstallerFile() {
  // Read sharing only: from now until the process has started nobody can
  // write, truncate, rename or delete the file. It must be the file that
  // was written, not one put in its place meanwhile.
  try {
    FLock = OpenFileIn(FFolder.Handle(), FFileName, GENERIC_READ, FILE_SHARE_READ);
  } catch (const ESystemError& e) {
    ThrowOSError(e.ErrorCode, L"Opening " + FInstallerFileName);
  }
  if (FileIdentity(FLock.Get()) != FIdentity) {
    FLock.Reset();
    throw Exception(L"Another file has taken the place of " + FInstallerFileName);
  }
}

void TInstallerProcess::DeleteInstallerFile() {
  FLock.Reset();
  if (!FFileName.empty()) DeleteIn(FFolder.Handle(), FFileName, FIdentity);
}

std::wstring TInstallerProcess::TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0) ThrowLastOSError(L"Finding the temporary folder");
  if (length > MAX_PATH) ThrowOSError(ERROR_FILENAME_EXCED_RANGE, L"Finding the temporary folder");
  std::wstring folder(temp, length);
  wchar_t longForm[MAX_PATH + 1] = {};
  DWORD longLength = GetLongPathNameW(folder.c_str(), longForm, MAX_PATH + 1);
  if (longLength > 0 && longLength <= MAX_PATH) folder.assign(longForm, longLength);
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

std::wstring TInstallerProcess::InstallerName(const std::wstring& AFileName) {
  // Only the last component of whatever the name holds (no folders, no
  // drive, no stream): the file never lands outside its folder.
  std::wstring name = AFileName.substr(AFileName.find_last_of(L"\\/:") + 1);
  if (!IsSafeFileName(name)) throw Exception(L"\"" + AFileName + L"\" is no name for an installer file");
  return name;
}

void TInstallerProcess::ExtractFromResources(const std::wstring& AResFileName, const std::wstring& AResInstallerData,
                                             bool AUnattended, const std::wstring& AProductArguments) {
  try {
    uWrapper::ResourceManager::TResourceManager resources(ProgramPath());
    std::wstring name = InstallerName(resources.GetString(AResFileName));
    // Unattended: the publisher's arguments, else what an MSI needs to show
    // nothing; an EXE without them gets none.
    FInstallerParams.clear();
    if (AUnattended) {
      using uWrapper::ResourceManager::RES_INSTALLER_SILENT_ARGS;
      if (resources.IsExist(RES_INSTALLER_SILENT_ARGS))
        FInstallerParams = resources.GetString(RES_INSTALLER_SILENT_ARGS);
      else if (uWrapper::IsMsiName<wchar_t>(name))
        FInstallerParams = L"/qn";
    }
    if (!AProductArguments.empty())
      FInstallerParams += (FInstallerParams.empty() ? L"" : L" ") + AProductArguments;
    TUniqueFileHandle file;
    CreateInstallerFile(name, file);
    resources.GetFileInto(AResInstallerData, file.Get());
    file.Reset();
    LockInstallerFile();
    Log().WriteLog(ilInfo, Format(L"Extracted the %s to %s", {std::wstring(TypeName(FInstallerType)), FInstallerFileName}), LogOwner);
  } catch (const std::exception& e) {
    Log().LogError(ilError, std::wstring(L"Extracting the ") + TypeName(FInstallerType), e, LogOwner);
    FResult = ExitCodeOf(e);
    DeleteInstallerFile();
  }
}

void TInstallerProcess::DownloadFromServer(const std::wstring& ADownloadFromURL,
                                           const std::wstring& AInstallerFileName, const std::wstring& ARunParams,
                                           const TPublisher& APublisher) {
  try {
    std::wstring name = InstallerName(AInstallerFileName);
    FInstallerParams = ARunParams;
    DWORD status = 0;
    bool complete;
    {
      TUniqueFileHandle file;
      CreateInstallerFile(name, file);
      TDownloadStream stream(file.Get());
      complete = InternetRequest(L"GET", ADownloadFromURL, L"", nullptr, 0, status, &stream);
    }
    // An error page is no installer.
    if (!complete) ThrowLastOSError();
    if (!IsSuccessStatus(status))
      throw Exception(Format(L"The server answered with status %u", {uint64_t(status)}));
    // A program from the network runs only when it is what the partner
    // signed; the check reads the file through the handle that locks it.
    LockInstallerFile();
    VerifySignedFile(FInstallerFileName, FLock.Get(), APublisher);
    Log().WriteLog(ilInfo, Format(L"Downloaded %s to %s", {ADownloadFromURL, FInstallerFileName}), LogOwner);
  } catch (const std::exception& e) {
    Log().LogError(ilError, L"Downloading " + ADownloadFromURL, e, LogOwner);
    DeleteInstallerFile();
  }
}

void TInstallerProcess::ExecuteProcess() {
  try {
    if (!FLock) return;  // nothing was written completely
    // What is started goes by path: the path must still lead to the file
    // that is held (a query of attributes opens it whatever the sharing).
    TUniqueFileHandle byPath(CreateFileW(FInstallerFileName.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!byPath || FileIdentity(byPath.Get()) != FIdentity)
      throw Exception(L"The path no longer leads to the installer file written");
    byPath.Reset();
    const bool msi = uWrapper::IsMsiName<wchar_t>(FInstallerFileName);
    std::wstring application = msi ? SystemFolder() + L"\\msiexec.exe" : FInstallerFileName;
    std::wstring arguments = msi ? L"/i \"" + FInstallerFileName + L"\"" : L"";
    if (!FInstallerParams.empty()) arguments += (arguments.empty() ? L"" : L" ") + FInstallerParams;
    // The program's own path first, as every program expects.
    std::wstring command = L"\"" + application + L"\"" + (arguments.empty() ? L"" : L" ") + arguments;
    PROCESS_INFORMATION info{};
    DWORD error = Starter.Start(application, command, info);
    if (error == ErrorElevationRequired && FInstallerType == TInstallerType::itAction) {
      // The wrapper runs with what the user has; the product demands more.
      // The file stays held while the prompt is up.
      Log().WriteLog(ilInfo, L"The product installer demands elevation: starting it through the elevation prompt",
                     LogOwner);
      TUniqueKernelHandle process = Starter.StartElevated(application, arguments);
      info.hProcess = process.Release();
      error = 0;
    } else if (error == ErrorElevationRequired) {
      Log().WriteLog(ilWarning, L"The partner installer demands elevation: it is not started", LogOwner);
    }
    // A program has its image now; msiexec reads the package while it runs,
    // so that stays held until it has ended.
    if (error || !msi) FLock.Reset();
    if (error) {
      FResult = error;
      Log().LogError(ilError, L"Starting " + command, error, LogOwner);
      return;
    }
    FProcessInfo = TUniqueProcessInformation(info);
    Log().WriteLog(ilInfo, Format(L"Started: %s", {command}), LogOwner);
  } catch (const std::exception& e) {
    FLock.Reset();
    FResult = ExitCodeOf(e);
    Log().LogError(ilError, L"Starting " + FInstallerFileName, e, LogOwner);
  }
}

void TInstallerProcess::WaitFor() {
  if (!FProcessInfo.Process) return;
  // On the handle: a process that exits with 259 has ended all the same.
  // Messages are handled meanwhile: an installer that sends a message to
  // every top-level window (many do, after changing the environment) waits
  // for this thread's windows, which must not be waiting for it.
  HANDLE process = FProcessInfo.Process.Get();
  std::optional<WPARAM> quit;
  for (;;) {
    DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    if (result != WAIT_OBJECT_0 + 1) {
      if (result == WAIT_FAILED) WaitForSingleObject(process, INFINITE);
      break;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = msg.wParam;  // for the caller's loop, afterwards
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (quit) PostQuitMessage(int(*quit));
  FLock.Reset();
  DWORD code = 0;
  if (!GetExitCodeProcess(FProcessInfo.Process.Get(), &code)) {
    code = GetLastError();
    Log().LogError(ilError, std::wstring(L"Reading the exit code of the ") + TypeName(FInstallerType), code, LogOwner);
    code = code ? code : ExitFailure;
  }
  FResult = code;
  Log().WriteLog(ilInfo, Format(L"The %s ended with exit code %u", {std::wstring(TypeName(FInstallerType)), uint64_t(code)}), LogOwner);
}

// ---- Installer ----

DWORD Installer::Run(const TInstallPlan& APlan) {
  Log().WriteLog(ilInfo, L"Install flags: action %s, offer %s",
                 {std::wstring(APlan.InstallAction ? L"True" : L"False"),
                  std::wstring(APlan.InstallOffer ? L"True" : L"False")},
                 LogOwner);
  // Destroyed in reverse: the runs with their files, then the private
  // folder with anything left in it.
  std::optional<TInstallerFolder> folder;
  std::optional<TInstallerProcess> action, offer;
  DWORD failure = ExitFailure;
  try {
    if (APlan.InstallAction || APlan.InstallOffer) {
      folder.emplace();
      Log().WriteLog(ilInfo, L"Installer folder: " + folder->Path(), LogOwner);
    }
    if (APlan.InstallAction) action.emplace(TInstallerType::itAction, *folder);
    if (APlan.InstallOffer) offer.emplace(TInstallerType::itOffer, *folder);
    if (action) {
      action->ExtractFromResources(uWrapper::ResourceManager::RES_INSTALLER_NAME,
                                   uWrapper::ResourceManager::RES_INSTALLER_PACKAGE, APlan.Unattended,
                                   APlan.ProductArguments);
      action->ExecuteProcess();
    }
    if (offer)
      offer->DownloadFromServer(APlan.OfferDownloadURL, APlan.OfferInstallerFileName, APlan.OfferRunParams,
                                APlan.PartnerPublisher);
    if (action) action->WaitFor();
    if (offer) {
      offer->ExecuteProcess();
      offer->WaitFor();
    }
  } catch (const std::exception& e) {
    Log().LogError(ilError, L"Installer phase", e, LogOwner);
    failure = ExitCodeOf(e);
  }
  DWORD result = !APlan.InstallAction ? ExitUserCancelled : action ? action->Result() : failure;
  Log().WriteLog(ilInfo, Format(L"Exit code: %u", {uint64_t(result)}), LogOwner);
  return result;
}

void LogStartupStep(const wchar_t* AStep) {
  if (!FLog || !Log().IsActive(ilInfo)) return;
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](const FILETIME& ATime) { return uint64_t(ATime.dwHighDateTime) << 32 | ATime.dwLowDateTime; };
  const uint64_t ms = ticks(now) > ticks(created) ? (ticks(now) - ticks(created)) / 10000 : 0;
  Log().WriteLog(ilInfo, Format(L"Start-up: %s, %u ms after the process began", {std::wstring(AStep), ms}),
                 TLogOwner(L"Start-up"));
}

void Start() {
  FLog.reset(TDebugLog<TInstallerLogLevel>::CreateProgramLog());
  if (Log().IsActive(ilInfo)) Log().WriteLog(ilInfo, L"Started: " + std::wstring(GetCommandLineW()), LogOwner);
}

void Stop() {
  if (FLog) Log().WriteLog(ilInfo, L"Finished", LogOwner);
  FLog.reset();  // the last facade of the log writes out what is buffered
}

}  // namespace uInstaller
