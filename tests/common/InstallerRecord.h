// What the stand-in installer (tests/internet/fixtures/fake-installer.c)
// leaves in the temporary folder: "<its name>.record" with its start and end
// time and its command line; and what the loopback server
// (tests/internet/http_server.py) logs of the requests it had.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cwctype>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"

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

// The program of a command line that starts with it quoted.
inline std::wstring ProgramOf(const std::wstring& ACommandLine) {
  if (ACommandLine.empty() || ACommandLine[0] != L'"') return {};
  size_t end = ACommandLine.find(L'"', 1);
  return end == std::wstring::npos ? std::wstring() : ACommandLine.substr(1, end - 1);
}

// The folder the program of a command line ran from, when that is a private
// installer folder in AParent ("bq-" and 16 hexadecimal digits, trailing
// backslash); empty otherwise.
inline std::wstring PrivateFolderOf(const std::wstring& ACommandLine, const std::wstring& AParent) {
  std::wstring program = ProgramOf(ACommandLine);
  size_t slash = program.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  std::wstring folder = program.substr(0, slash + 1);
  if (folder.compare(0, AParent.size(), AParent) != 0) return {};
  std::wstring name = folder.substr(AParent.size());
  if (name.size() != 3 + 16 + 1 || name.compare(0, 3, L"bq-") != 0) return {};
  for (size_t i = 3; i < 19; ++i)
    if (!iswxdigit(name[i])) return {};
  return folder;
}

// Installer files (of the stand-in product or the partner), or private
// installer folders, left in a folder.
inline bool InstallerFilesLeft(const std::wstring& AFolder) {
  for (const wchar_t* pattern : {L"Product-Setup*.exe", L"WebCompanionInstaller*.exe", L"bq-*"}) {
    WIN32_FIND_DATAW data;
    if (Velqora::TUniqueFind(FindFirstFileW((AFolder + pattern).c_str(), &data))) return true;
  }
  return false;
}

// Unix times of the server's request lines containing AText so far, in the
// order they came (the log the test script names in BOUNTIQ_SERVER_LOG).
inline std::vector<double> ServerRequests(const std::string& AText) {
  std::vector<double> times;
  std::wstring file = Velqora::Utf8ToWide(getenv("BOUNTIQ_SERVER_LOG"));
  if (!FileExists(file)) return times;  // no request yet
  std::istringstream log(ReadBytes(file));
  for (std::string line; std::getline(log, line);)
    if (line.find(AText) != std::string::npos) times.push_back(std::stod(line));
  return times;
}

}  // namespace Testing
