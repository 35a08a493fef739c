// The version resource of a file as the system's version reader hands it
// out: what the diagnostic log names its folder after, and what the
// packaging tool copies from a product. version.dll is no KnownDLL: it is
// bound at run time, through the binding registry.
#pragma once

#include <string>
#include <vector>

namespace Velqora {

// The version resource of AFileName; empty when the file has none (or
// cannot be read). Raises ESystemError when version.dll cannot be bound or
// the reader fails on a resource it announced. Writes no log record: the
// log itself names its folder with it.
std::vector<char> ReadVersionInfo(const std::wstring& AFileName);

// A string value of a version resource, by its path in the resource
// ("\StringFileInfo\040904E4\CompanyName"), up to its terminator; empty when
// the resource has none.
std::wstring VersionInfoString(const std::vector<char>& AInfo, const std::wstring& APath);

}  // namespace Velqora
