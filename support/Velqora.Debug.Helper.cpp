#include "Velqora.Debug.Helper.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "FileNames.h"
#include "Paths.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "VersionInfo.h"

namespace Velqora::Debug {

namespace {

// Filled on first need, for the life of the process.
std::wstring ProgramFolder, MainFileName, LogRoot;
TVersionStrings VersionStrings;

std::wstring WithBackslash(std::wstring APath) {
  if (APath.empty() || APath.back() != L'\\') APath += L'\\';
  return APath;
}

bool IsFile(const std::wstring& APath) {
  DWORD attributes = GetFileAttributesW(APath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The shell library only when a log is written, not at every start; found
// quietly, since the loader's records would go to this log.
constinit DllRoutines::TRoutine<BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL)> SHGetSpecialFolderPathW{
    L"shell32.dll", "SHGetSpecialFolderPathW"};

// A version string as one folder name, so that the log stays under its
// root: characters that would name another folder, and trailing dots and
// blanks, become "_"; what is still no safe name (nothing, a device name,
// too long) gives "Unknown".
std::wstring FolderComponent(std::wstring AText) {
  for (wchar_t& c : AText)
    if (!IsFileNameCharacter(c)) c = L'_';
  for (size_t i = AText.size(); i > 0 && (AText[i - 1] == L'.' || AText[i - 1] == L' '); --i) AText[i - 1] = L'_';
  return IsSafeFileName(AText) ? AText : L"Unknown";
}

}  // namespace

std::wstring MainFileNameIn(const std::wstring& AProgramFolder, const std::wstring& AExeName) {
  std::wstring ini = AProgramFolder + L"Data\\main.ini";
  if (!IsFile(ini)) return AExeName;
  wchar_t value[MAX_PATH] = {};
  GetPrivateProfileStringW(L"General", L"Main", L"", value, MAX_PATH, ini.c_str());
  std::wstring main = value;
  if (IsSafeRelativePath(main) && IsFile(AProgramFolder + main)) return main;  // below the program's folder only
  return AExeName;
}

std::wstring GetMainFileName() {
  if (MainFileName.empty()) {
    std::wstring path;
    try {
      path = ProgramPath();
    } catch (const std::exception&) {
      // An unknown program: names relative to the current folder.
    }
    size_t slash = path.find_last_of(L'\\');
    if (ProgramFolder.empty()) ProgramFolder = path.substr(0, slash + 1);
    MainFileName = MainFileNameIn(ProgramFolder, path.substr(slash + 1));
  }
  return MainFileName;
}

TVersionStrings ReadVersionStrings(const std::wstring& AFileName) {
  TVersionStrings result{L"Unknown", L"Unknown", L"Unknown"};
  std::vector<char> info;
  try {
    info = ReadVersionInfo(AFileName);
  } catch (const std::exception&) {
    return result;
  }
  auto read = [&](const wchar_t* AName, std::wstring& AValue) {
    std::wstring text = Trim(VersionInfoString(info, std::wstring(L"\\StringFileInfo\\040904E4\\") + AName));
    if (!text.empty()) AValue = text;
  };
  read(L"CompanyName", result.Company);
  read(L"ProductName", result.Product);
  read(L"ProductVersion", result.Version);
  return result;
}

std::wstring GetLogFolder() {
  std::wstring main = GetMainFileName();
  if (LogRoot.empty()) {
    wchar_t folder[MAX_PATH + 1] = {};
    auto getFolder = SHGetSpecialFolderPathW.Find();
    if (getFolder && getFolder(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE) && folder[0]) {
      LogRoot = folder;
    } else {
      DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, folder);
      LogRoot.assign(folder, length);
    }
    LogRoot = WithBackslash(LogRoot);
  }
  if (VersionStrings.Company.empty()) VersionStrings = ReadVersionStrings(ProgramFolder + main);
  std::wstring root = LogRoot.substr(0, LogRoot.size() - 1);
  return Format(L"%s\\%s\\%s\\%s\\",
                {root, FolderComponent(VersionStrings.Company), FolderComponent(VersionStrings.Product),
                 FolderComponent(VersionStrings.Version)}) +
         L"Logs\\";
}

}  // namespace Velqora::Debug
