// Where the diagnostic log goes: the common application data folder, then
// the company, product and version of the program's version resource, then
// "Logs".
#pragma once

#include <string>

namespace Velqora::Debug {

// The folder of log files, with a trailing backslash. Computed once.
std::wstring GetLogFolder();

// The file whose version strings name the log folder: the program itself,
// unless "Data\main.ini" beside it names (section "General", key "Main") a
// file that exists in the program's folder.
std::wstring GetMainFileName();
// The same for a given program folder (with trailing backslash) and file
// name.
std::wstring MainFileNameIn(const std::wstring& AProgramFolder, const std::wstring& AExeName);

struct TVersionStrings {
  std::wstring Company, Product, Version;  // "Unknown" when missing or empty
};
// CompanyName, ProductName and ProductVersion of the 040904E4 block of
// AFileName's version resource, trimmed.
TVersionStrings ReadVersionStrings(const std::wstring& AFileName);

}  // namespace Velqora::Debug
