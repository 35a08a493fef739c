// Which Windows the program runs on, and which program opens web addresses.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace Velqora {

// Ordered so that a range test selects a version and the later ones.
enum class TWinVersion : uint8_t {
  wvUnknown,
  wvWin32s,
  wvWin95,
  wvWinNT,
  wvWin98,
  wvWin98SE,
  wvWinME,
  wvWin2000,
  wvWinXP,
  wvWin2003,
  wvWin2003R2,
  wvWinHomeServer,
  wvWinVista,
  wvWin2008,
  wvWin2008R2,
  wvWin7,
  wvWin8,
  wvWin2012,
  wvWin81,
  wvWin2012R2,
  wvWin10,
  wvWin2014,
  wvWinMaximum,  // upper bound for range tests; never detected
};

const wchar_t* WinVersionName(TWinVersion AVersion);

// The running Windows, detected on first use (again while it is unknown).
TWinVersion GetWinVersion();
// AMin <= the running version <= AMax.
bool IsWinVersionInRange(TWinVersion AMin, TWinVersion AMax);
// The version a system reports: its version record and, for 5.2 servers,
// the SM_SERVERR2 metric.
TWinVersion DetectWinVersion(const OSVERSIONINFOEXW& AInfo, int AServerR2Metric);

// The executable of the program that opens "http" addresses, or
// "iexplore.exe" when the system names none.
std::wstring GetDefaultBrowserPath();
// What the association gave, reduced to the program: the directory part and
// the file name without what follows its first blank.
std::wstring BrowserFromAssociation(const std::wstring& AExecutable);

}  // namespace Velqora
