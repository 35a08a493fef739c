// The one rule set for file names that come from data (a stored installer
// name, a version string that names a folder, a library name, a name given
// on the command line): such a name must name one file inside its folder
// and nothing else.
#pragma once

#include <string_view>

namespace Velqora {

// Whether AName names exactly one file inside a folder: not empty, at most
// 255 characters; none of the characters below 32 or < > : " / \ | ? * (so
// no folder, drive or stream); no trailing dot or blank, which the system
// drops (so neither "." nor ".."); and no device name: CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM and LPT with a digit or a superscript 1, 2 or 3, in
// any letter case, alone or before an extension, with or without blanks
// after it.
bool IsSafeFileName(std::wstring_view AName);
// Whether a name may hold AChar: none below 32 and none of < > : " / \ | ? *.
bool IsFileNameCharacter(wchar_t AChar);

// Whether APath names a file below a folder: safe file names joined by
// backslashes (so no drive, no root, no "." or ".." step, no empty step).
bool IsSafeRelativePath(std::wstring_view APath);

}  // namespace Velqora
