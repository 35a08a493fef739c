#include "Velqora.Debug.Helper.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "Velqora.System.SysUtils.h"

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

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

template <typename T>
T VersionFunction(const char* AName) {
  static HMODULE module = [] {
    try {
      return LoadSystemLibrary(L"version.dll");
    } catch (const Exception&) {
      return HMODULE(nullptr);
    }
  }();
  return module ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, AName))) : nullptr;
}

// A version string as one folder name: characters that would name another
// folder, or none, are replaced, so that the log stays under its root.
std::wstring FolderComponent(std::wstring AText) {
  for (wchar_t& c : AText)
    if (c < 32 || wcschr(L"\\/:*?\"<>|", c)) c = L'_';
  while (!AText.empty() && (AText.back() == L'.' || AText.back() == L' ')) AText.back() = L'_';
  return AText.empty() ? L"Unknown" : AText;
}

}  // namespace

std::wstring MainFileNameIn(const std::wstring& AProgramFolder, const std::wstring& AExeName) {
  std::wstring ini = AProgramFolder + L"Data\\main.ini";
  if (!IsFile(ini)) return AExeName;
  wchar_t value[MAX_PATH] = {};
  GetPrivateProfileStringW(L"General", L"Main", L"", value, MAX_PATH, ini.c_str());
  std::wstring main = value;
  if (!main.empty() && IsFile(AProgramFolder + main)) return main;
  return AExeName;
}

std::wstring GetMainFileName() {
  if (MainFileName.empty()) {
    std::wstring path = ModulePath();
    size_t slash = path.find_last_of(L'\\');
    if (ProgramFolder.empty()) ProgramFolder = path.substr(0, slash + 1);
    MainFileName = MainFileNameIn(ProgramFolder, path.substr(slash + 1));
  }
  return MainFileName;
}

TVersionStrings ReadVersionStrings(const std::wstring& AFileName) {
  TVersionStrings result{L"Unknown", L"Unknown", L"Unknown"};
  using TGetSize = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using TGetInfo = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using TQuery = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  auto getSize = VersionFunction<TGetSize>("GetFileVersionInfoSizeW");
  auto getInfo = VersionFunction<TGetInfo>("GetFileVersionInfoW");
  auto query = VersionFunction<TQuery>("VerQueryValueW");
  if (!getSize || !getInfo || !query) return result;
  DWORD handle = 0;
  DWORD size = getSize(AFileName.c_str(), &handle);
  if (!size) return result;
  std::vector<char> info(size);
  if (!getInfo(AFileName.c_str(), 0, size, info.data())) return result;
  auto read = [&](const wchar_t* AName, std::wstring& AValue) {
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904E4\\") + AName;
    if (query(info.data(), key.c_str(), reinterpret_cast<LPVOID*>(&value), &length) && value && length) {
      std::wstring text = Trim(std::wstring(value, wcsnlen(value, length)));
      if (!text.empty()) AValue = text;
    }
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
    // The shell library only when a log is written, not at every start.
    using TGetFolder = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
    static HMODULE shell = TryLoadSystemLibrary(L"shell32.dll");
    auto getFolder = shell ? reinterpret_cast<TGetFolder>(
                                 reinterpret_cast<void*>(GetProcAddress(shell, "SHGetSpecialFolderPathW")))
                           : nullptr;
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
