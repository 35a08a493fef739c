#include "Velqora.System.Win.OSInfo.h"

#include <shlwapi.h>

#include "Velqora.DllRoutines.h"

#include <atomic>
#include <vector>

namespace Velqora {

namespace {
std::atomic<uint8_t> DetectedVersion{0};
// shlwapi only when asked, not at every start of the program.
constinit DllRoutines::TRoutine<HRESULT(WINAPI*)(ASSOCF, ASSOCSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD*)>
    AssocQueryStringW{L"shlwapi.dll", "AssocQueryStringW"};
}  // namespace

const wchar_t* WinVersionName(TWinVersion AVersion) {
  static const wchar_t* const names[] = {
      L"Unknown",         L"Win32s",          L"Windows 95",          L"Windows NT",
      L"Windows 98",      L"Windows 98 SE",   L"Windows Millennium",  L"Windows 2000",
      L"Windows XP",      L"Windows Server 2003", L"Windows Server 2003 R2", L"Windows Home Server",
      L"Windows Vista",   L"Windows Server 2008", L"Windows Server 2008 R2", L"Windows 7",
      L"Windows 8",       L"Windows Server 2012", L"Windows 8.1",       L"Windows Server 2012 R2",
      L"Windows 10",      L"Windows Server 2014", L"Windows Maximum"};
  size_t index = size_t(AVersion);
  return index < sizeof(names) / sizeof(names[0]) ? names[index] : names[0];
}

TWinVersion DetectWinVersion(const OSVERSIONINFOEXW& AInfo, int AServerR2Metric) {
  using enum TWinVersion;
  const DWORD major = AInfo.dwMajorVersion, minor = AInfo.dwMinorVersion;
  switch (AInfo.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      return wvWin32s;
    case VER_PLATFORM_WIN32_WINDOWS:
      if (major != 4) return wvUnknown;
      if (minor >= 90) return wvWinME;
      if (minor >= 10) return AInfo.szCSDVersion[1] == L'A' ? wvWin98SE : wvWin98;
      return wvWin95;
    case VER_PLATFORM_WIN32_NT: {
      bool server = AInfo.wProductType == VER_NT_DOMAIN_CONTROLLER || AInfo.wProductType == VER_NT_SERVER;
      if (major >= 10 || (major >= 6 && minor >= 4)) return server ? wvWin2014 : wvWin10;
      if (major >= 6 && minor >= 3) return server ? wvWin2012R2 : wvWin81;
      if (major >= 6 && minor >= 2) return server ? wvWin2012 : wvWin8;
      if (major >= 6 && minor >= 1) return server ? wvWin2008R2 : wvWin7;
      if (major >= 6) return server ? wvWin2008 : wvWinVista;
      if (major >= 5 && minor >= 2) {
        if (AInfo.wSuiteMask & VER_SUITE_WH_SERVER) return wvWinHomeServer;
        if (AInfo.wProductType == VER_NT_WORKSTATION) return wvWinXP;
        return AServerR2Metric != 0 ? wvWin2003R2 : wvWin2003;
      }
      if (major >= 5 && minor >= 1) return wvWinXP;
      if (major >= 5) return wvWin2000;
      return wvWinNT;
    }
    default:
      return wvUnknown;
  }
}

TWinVersion GetWinVersion() {
  if (uint8_t known = DetectedVersion.load()) return TWinVersion(known);
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  TWinVersion version = TWinVersion::wvUnknown;
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) version = DetectWinVersion(info, GetSystemMetrics(89));
  DetectedVersion.store(uint8_t(version));
  return version;
}

bool IsWinVersionInRange(TWinVersion AMin, TWinVersion AMax) {
  uint8_t version = uint8_t(GetWinVersion());
  return version >= uint8_t(AMin) && version <= uint8_t(AMax);
}

std::wstring BrowserFromAssociation(const std::wstring& AExecutable) {
  size_t split = AExecutable.find_last_of(L"\\:");
  size_t nameStart = split == std::wstring::npos ? 0 : split + 1;
  std::wstring name = AExecutable.substr(nameStart);
  if (size_t blank = name.find(L' '); blank != std::wstring::npos) name.erase(blank);
  return AExecutable.substr(0, nameStart) + name;
}

std::wstring GetDefaultBrowserPath() {
  std::wstring executable;
  auto query = AssocQueryStringW.Find();
  DWORD length = 0;
  if (query && query(0, ASSOCSTR_EXECUTABLE, L"http", L"open", nullptr, &length) == S_FALSE && length > 0) {
    std::vector<wchar_t> buffer(length);
    if (query(0, ASSOCSTR_EXECUTABLE, L"http", L"open", buffer.data(), &length) == S_OK)
      executable = buffer.data();
  }
  if (executable.empty()) executable = L"iexplore.exe";
  return BrowserFromAssociation(executable);
}

}  // namespace Velqora
