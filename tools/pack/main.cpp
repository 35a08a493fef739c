// bountiq-pack: turns the wrapper template and a product installer into a
// finished wrapper.
//
//   bountiq-pack INSTALLER -o OUTPUT [--template TEMPLATE] [--name FILENAME]
//                [--silent-args TEXT] [--no-offer]
//   bountiq-pack --info WRAPPER
//   bountiq-pack --help | --version
#include <windows.h>

#include <new>
#include <optional>
#include <string>
#include <vector>

#include "FileNames.h"
#include "InstallerResources.h"
#include "uWrapper.PayloadText.h"
#include "Paths.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "uWrapper.ResourceManager.h"
#include "settings.h"

using namespace Velqora;
using uWrapper::ResourceManager::RES_INSTALLER_NAME;
using uWrapper::ResourceManager::RES_INSTALLER_PACKAGE;
using uWrapper::ResourceManager::RES_INSTALLER_SILENT_ARGS;
using uWrapper::ResourceManager::RES_NO_OFFER;
using uWrapper::ResourceManager::TResourceManager;

namespace {

const wchar_t Usage[] =
    L"usage: bountiq-pack INSTALLER -o OUTPUT [--template TEMPLATE] [--name FILENAME]\n"
    L"                    [--silent-args TEXT] [--no-offer]\n"
    L"       bountiq-pack --info WRAPPER\n"
    L"\n"
    L"Writes OUTPUT: a copy of the wrapper template carrying INSTALLER (an EXE or\n"
    L"MSI file), its file name, its icon and its version information, with the PE\n"
    L"checksum repaired.\n"
    L"\n"
    L"  -o, --output OUTPUT   the finished wrapper (replaced if it exists)\n"
    L"  --template TEMPLATE   the wrapper template (default: the one inside this tool)\n"
    L"  --name FILENAME       the installer's file name in the wrapper (default: its own)\n"
    L"  --silent-args TEXT    the installer's arguments for an unattended install (/S)\n"
    L"  --no-offer            the wrapper never shows or runs the partner offer\n"
    L"  --info WRAPPER        shows the installer name, the payload size, the silent\n"
    L"                        arguments, whether the offer is on and whether the PE\n"
    L"                        checksum is correct\n"
    L"  --help, --version\n";

// Writes text to a standard handle: as text to a console, as UTF-8 elsewhere.
void Write(DWORD AStdHandle, const std::wstring& AText) {
  HANDLE out = GetStdHandle(AStdHandle);
  DWORD mode, written;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, AText.data(), DWORD(AText.size()), &written, nullptr);
    return;
  }
  std::vector<char> utf8(AText.size() * 3 + 1);
  int size = WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), utf8.data(), int(utf8.size()),
                                 nullptr, nullptr);
  WriteFile(out, utf8.data(), DWORD(size), &written, nullptr);
}

// An error the user can act on: one line on stderr.
struct EUsage {
  std::wstring Message;
};
struct EFailure {
  std::wstring Message;
};

std::wstring FullPath(const std::wstring& APath) {
  DWORD size = GetFullPathNameW(APath.c_str(), 0, nullptr, nullptr);
  if (!size) return APath;
  std::wstring result(size, L'\0');
  size = GetFullPathNameW(APath.c_str(), size, result.data(), nullptr);
  result.resize(size);
  return result;
}

std::wstring FolderOf(const std::wstring& APath) {
  size_t slash = APath.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : APath.substr(0, slash + (slash == 2 && APath[1] == L':' ? 1 : 0));
}

std::wstring BareName(const std::wstring& APath) {
  size_t slash = APath.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? APath : APath.substr(slash + 1);
}

std::wstring Quoted(const std::wstring& AText) { return L"'" + AText + L"'"; }

// The wrapper writes the installer under its stored name: one file in a
// folder and nothing else.
std::wstring NotABareFileName(const std::wstring& AName) {
  return L"the installer's file name " + Quoted(AName) +
         L" is not a bare file name (not empty, none of <>:\"/\\|?*, no trailing dot or blank, no device name "
         L"such as CON or NUL)";
}

std::wstring SystemText(DWORD ACode) {
  std::wstring text = SysErrorMessage(ACode);
  return text.empty() ? Format(L"error %u", {uint64_t(ACode)}) : text;
}

// Checks the installer: an existing, readable, non-empty file.
uint64_t CheckInstaller(const std::wstring& APath) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(APath.c_str(), GetFileExInfoStandard, &data))
    throw EFailure{L"cannot read installer " + Quoted(APath) + L": " + SystemText(GetLastError())};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    throw EFailure{Quoted(APath) + L" is a folder, not an installer"};
  TUniqueFileHandle file(CreateFileW(APath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw EFailure{L"cannot read installer " + Quoted(APath) + L": " + SystemText(GetLastError())};
  uint64_t size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  if (size == 0) throw EFailure{L"installer " + Quoted(APath) + L" is empty"};
  if (size >= 0xFFFFFFFFull) throw EFailure{L"installer " + Quoted(APath) + L" is too large: 4 GiB or more"};
  return size;
}

// The installer's icon and version information as the portable reader
// takes them over (every size and offset checked against the file);
// warnings for what is left out go to stderr.
std::vector<Pack::TNewResource> TakeOver(const std::wstring& AInstaller, uint64_t ASize) {
  TUniqueFileHandle file(CreateFileW(AInstaller.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw EFailure{L"cannot read installer " + Quoted(AInstaller) + L": " + SystemText(GetLastError())};
  char mz[2] = {};
  DWORD read = 0;
  if (!ReadFile(file.Get(), mz, 2, &read, nullptr) || read != 2 || mz[0] != 'M' || mz[1] != 'Z') return {};  // an MSI
  Pack::TInstallerResources taken;
  TUniqueKernelHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  TUniqueMappedView view(mapping ? MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0) : nullptr);
  if (view)
    taken = Pack::ReadInstallerResources({static_cast<const uint8_t*>(view.Get()), size_t(ASize)});
  else
    taken.Warnings.push_back("the installer cannot be mapped (" + WideToUtf8(SystemText(GetLastError())) +
                             "): its icon and version information are left out");
  for (const std::string& warning : taken.Warnings)
    Write(STD_ERROR_HANDLE, L"bountiq-pack: warning: " + Utf8ToWide(warning) + L"\n");
  return std::move(taken.Resources);
}

// What --silent-args may hold: text of at most BOUNTIQ_SILENT_ARGS_MAX code
// units that the wrapper puts on the installer's command line as it is.
// The command line arrives as UTF-16: a lone surrogate is the only way it
// is not text.
void CheckSilentArgs(const std::wstring& AArgs) {
  if (AArgs.empty()) throw EFailure{L"--silent-args is empty"};
  if (!uWrapper::IsUtf16Text<wchar_t>(AArgs)) throw EFailure{L"--silent-args is not text (a lone UTF-16 surrogate)"};
  if (AArgs.size() > BOUNTIQ_SILENT_ARGS_MAX)
    throw EFailure{Format(L"--silent-args is too long: %u characters, at most %u",
                          {uint64_t(AArgs.size()), uint64_t(BOUNTIQ_SILENT_ARGS_MAX)})};
  if (int control = uWrapper::FirstControlCharacter<wchar_t>(AArgs); control >= 0)
    throw EFailure{Format(L"--silent-args holds a control character (U+%.4x)", {uint64_t(control)})};
}

const wchar_t NoSilentArgsWarning[] =
    L"bountiq-pack: warning: no --silent-args for an EXE installer: an unattended install (/S) starts it "
    L"without arguments, and it may show its own windows\n";

struct TPackOptions {
  std::wstring Installer, Output, Template, Name;
  std::optional<std::wstring> SilentArgs;
  bool NoOffer = false;
};

void Pack(const TPackOptions& AOptions) {
  std::wstring installer = FullPath(AOptions.Installer);
  uint64_t payload = CheckInstaller(installer);
  std::wstring name = AOptions.Name.empty() ? BareName(installer) : AOptions.Name;
  if (!IsSafeFileName(name)) throw EFailure{NotABareFileName(name)};

  std::wstring output = FullPath(AOptions.Output);
  std::wstring folder = FolderOf(output);
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    throw EFailure{L"output folder " + Quoted(folder) + L" does not exist"};
  attributes = GetFileAttributesW(output.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throw EFailure{L"output " + Quoted(output) + L" is a folder"};

  std::wstring templ;
  if (!AOptions.Template.empty()) {
    templ = FullPath(AOptions.Template);
    if (GetFileAttributesW(templ.c_str()) == INVALID_FILE_ATTRIBUTES)
      throw EFailure{L"cannot read template " + Quoted(templ) + L": " + SystemText(GetLastError())};
    if (!TResourceManager::IsPEImage(templ))
      throw EFailure{L"template " + Quoted(templ) + L" is not a Windows executable"};
  }

  // The result is built under a temporary name beside the output and moved
  // into place at the end: a failed run leaves nothing behind.
  wchar_t temporary[MAX_PATH];
  if (!GetTempFileNameW(folder.c_str(), L"bqp", 0, temporary))
    throw EFailure{L"cannot write in " + Quoted(folder) + L": " + SystemText(GetLastError())};
  auto removeTemporary = ScopeExit([&] { DeleteFileW(temporary); });
  try {
    if (templ.empty()) {
      TResourceManager(ProgramPath()).GetFile(L"BOUNTIQ_TEMPLATE", temporary);
    } else if (!CopyFileW(templ.c_str(), temporary, FALSE)) {
      ThrowLastOSError();
    }
    // Small items first: each update rewrites the file, the payload once.
    TResourceManager wrapper(temporary);
    wrapper.AddString(RES_INSTALLER_NAME, name);
    {
      std::vector<Pack::TNewResource> taken = TakeOver(installer, payload);
      std::vector<TResourceManager::TItem> items;
      for (const Pack::TNewResource& r : taken)
        items.push_back({r.Type.Number, std::wstring(r.Name.Text.begin(), r.Name.Text.end()), r.Name.Number, r.Bytes});
      // Both as UTF-16 without terminator, like the name.
      auto bytes = [](const std::wstring& AText) {
        return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(AText.data()), AText.size() * sizeof(wchar_t));
      };
      const std::wstring noOffer = L"1";
      if (AOptions.SilentArgs)
        items.push_back({WORD(uintptr_t(RT_RCDATA)), RES_INSTALLER_SILENT_ARGS, 0, bytes(*AOptions.SilentArgs)});
      if (AOptions.NoOffer) items.push_back({WORD(uintptr_t(RT_RCDATA)), RES_NO_OFFER, 0, bytes(noOffer)});
      wrapper.AddItems(items);
    }
    wrapper.AddFile(RES_INSTALLER_PACKAGE, installer);
    if (!wrapper.UpdateChecksum())  // after the last update
      throw EFailure{L"the packed wrapper is no Windows executable"};
    if (!MoveFileExW(temporary, output.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      ThrowLastOSError();
  } catch (const ESystemError& e) {
    if (e.ErrorCode == ERROR_NOT_ENOUGH_MEMORY || e.ErrorCode == ERROR_OUTOFMEMORY)
      throw EFailure{Format(L"not enough memory to pack an installer of %u bytes", {payload})};
    // The system's resource writer fails without an error code when it
    // runs out of room: it holds about twice the payload in memory.
    if (e.ErrorCode == 0 && payload >= (256u << 20))
      throw EFailure{Format(L"the system's resource writer could not store an installer of %u bytes: too large "
                            L"for it (it holds about twice the installer in memory)",
                            {payload})};
    throw EFailure{L"packing failed: " + Trim(e.Message())};
  } catch (const std::bad_alloc&) {
    throw EFailure{Format(L"not enough memory to pack an installer of %u bytes", {payload})};
  }
  removeTemporary.Release();  // moved into place
  if (!AOptions.SilentArgs && !uWrapper::IsMsiName<wchar_t>(name)) Write(STD_ERROR_HANDLE, NoSilentArgsWarning);
  Write(STD_OUTPUT_HANDLE, Format(L"bountiq-pack: wrote %s (installer %s, %u bytes)\n", {output, name, payload}));
}

void Info(const std::wstring& APath) {
  std::wstring path = FullPath(APath);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    throw EFailure{L"cannot read " + Quoted(path) + L": " + SystemText(GetLastError())};
  if (!TResourceManager::IsPEImage(path)) throw EFailure{Quoted(path) + L" is not a Windows executable"};
  TResourceManager wrapper(path);
  if (!wrapper.IsExist(RES_INSTALLER_NAME) || !wrapper.IsExist(RES_INSTALLER_PACKAGE))
    throw EFailure{Quoted(path) + L" is not a packed wrapper: it carries no installer"};
  std::wstring name = wrapper.GetString(RES_INSTALLER_NAME);
  uint32_t size = wrapper.GetSize(RES_INSTALLER_PACKAGE);
  // The packing tools store the silent arguments as text without control
  // characters: anything else was not written by them.
  std::wstring silentArgs = L"none";
  if (wrapper.IsExist(RES_INSTALLER_SILENT_ARGS)) {
    silentArgs = wrapper.GetString(RES_INSTALLER_SILENT_ARGS);
    if (wrapper.GetSize(RES_INSTALLER_SILENT_ARGS) % 2 || !uWrapper::IsUtf16Text<wchar_t>(silentArgs) ||
        uWrapper::FirstControlCharacter<wchar_t>(silentArgs) >= 0)
      throw EFailure{Quoted(path) + L" has damaged resources: the silent arguments are not text"};
  }
  std::wstring offer = wrapper.IsExist(RES_NO_OFFER) ? L"off (--no-offer)" : L"on";
  DWORD stored = 0, correct = 0;
  TResourceManager::ReadChecksum(path, stored, correct);
  std::wstring checksum = stored == correct ? Format(L"correct (0x%.8x)", {uint64_t(stored)})
                                            : Format(L"wrong (stored 0x%.8x, correct 0x%.8x)",
                                                     {uint64_t(stored), uint64_t(correct)});
  Write(STD_OUTPUT_HANDLE, Format(L"installer: %s\npayload: %u bytes\nsilent arguments: %s\noffer: %s\nchecksum: %s\n",
                                  {name, uint64_t(size), silentArgs, offer, checksum}));
}

int Run(int argc, wchar_t** argv) {
  TPackOptions options;
  std::optional<std::wstring> info;
  bool nameGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    auto value = [&]() -> std::wstring {
      if (i + 1 >= argc) throw EUsage{L"option " + arg + L" needs a value"};
      return argv[++i];
    };
    if (arg == L"--help" || arg == L"-h") {
      Write(STD_OUTPUT_HANDLE, Usage);
      return 0;
    } else if (arg == L"--version") {
      Write(STD_OUTPUT_HANDLE, L"bountiq-pack " BOUNTIQ_VERSION_TEXT_W L"\n");
      return 0;
    } else if (arg == L"-o" || arg == L"--output") {
      options.Output = value();
    } else if (arg == L"--template") {
      options.Template = value();
      if (options.Template.empty()) throw EUsage{L"--template needs a file"};
    } else if (arg == L"--name") {
      options.Name = value();
      nameGiven = true;
    } else if (arg == L"--silent-args") {
      options.SilentArgs = value();
    } else if (arg == L"--no-offer") {
      options.NoOffer = true;
    } else if (arg == L"--info") {
      info = value();
    } else if (arg.size() > 1 && arg[0] == L'-') {
      throw EUsage{L"unknown option " + arg};
    } else if (options.Installer.empty()) {
      options.Installer = arg;
    } else {
      throw EUsage{L"more than one installer given: " + arg};
    }
  }
  if (info) {
    if (!options.Installer.empty() || !options.Output.empty()) throw EUsage{L"--info takes no other arguments"};
    Info(*info);
    return 0;
  }
  if (options.Installer.empty()) throw EUsage{L"no installer given"};
  if (options.Output.empty()) throw EUsage{L"no output given (-o OUTPUT)"};
  if (nameGiven && !IsSafeFileName(options.Name)) throw EFailure{NotABareFileName(options.Name)};
  if (options.SilentArgs) CheckSilentArgs(*options.SilentArgs);
  Pack(options);
  return 0;
}

int Report(int argc, wchar_t** argv) {
  try {
    // The resource package binds system functions through the binding
    // registry, which writes to the diagnostic log.
    Debug::TDebugLogFile::Start();
    DllRoutines::Start();
    return Run(argc, argv);
  } catch (const EUsage& e) {
    Write(STD_ERROR_HANDLE, L"bountiq-pack: " + e.Message + L" (see --help)\n");
    return 2;
  } catch (const EFailure& e) {
    Write(STD_ERROR_HANDLE, L"bountiq-pack: " + e.Message + L"\n");
    return 1;
  } catch (const Exception& e) {
    Write(STD_ERROR_HANDLE, L"bountiq-pack: " + Trim(e.Message()) + L"\n");
    return 1;
  } catch (const std::bad_alloc&) {
    Write(STD_ERROR_HANDLE, L"bountiq-pack: not enough memory\n");
    return 1;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int code = Report(argc, argv);
  DllRoutines::Stop();
  Debug::TDebugLogFile::Stop();
  return code;
}
