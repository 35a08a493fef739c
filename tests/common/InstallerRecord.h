// What the stand-in installer (tests/internet/fixtures/fake-installer.c)
// leaves in the temporary folder: "<its name>.record" with its start and end
// time and its command line.
#pragma once

#include <windows.h>

#include <sstream>
#include <string>

#include "TestSupport.h"

namespace Testing {

struct TInstallerRecord {
  bool Found = false;
  double Start = 0, End = 0;  // Unix seconds
  std::wstring CommandLine;
};

inline std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  return std::wstring(temp, GetTempPathW(MAX_PATH, temp));
}

inline std::wstring InstallerRecordFile(const wchar_t* AInstallerName) {
  return TempFolder() + AInstallerName + L".record";
}

inline TInstallerRecord ReadInstallerRecord(const wchar_t* AInstallerName) {
  TInstallerRecord record;
  std::wstring file = InstallerRecordFile(AInstallerName);
  if (!FileExists(file)) return record;
  std::string bytes = ReadBytes(file);
  std::wistringstream in(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
  unsigned long long start = 0, end = 0;
  in >> start >> end;
  in.get();
  std::getline(in, record.CommandLine);
  record.Found = true;
  record.Start = double(start - 116444736000000000ull) / 1e7;
  record.End = double(end - 116444736000000000ull) / 1e7;
  return record;
}

// Installer files (of the stand-in product or the partner) left in a folder.
inline bool InstallerFilesLeft(const std::wstring& AFolder) {
  for (const wchar_t* pattern : {L"Product-Setup*.exe", L"WebCompanionInstaller*.exe"}) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((AFolder + pattern).c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      FindClose(find);
      return true;
    }
  }
  return false;
}

}  // namespace Testing
