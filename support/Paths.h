// Where the program finds itself and the system: each looked up once, in
// buffers as long as the answer.
#pragma once

#include <windows.h>

#include <string>

namespace Velqora {

// The program's own file, as a full path of whatever length. Read on first
// use; raises ESystemError when the system cannot tell it.
const std::wstring& ProgramPath();
// The file of a loaded module (none: the program), as ProgramPath reads it.
std::wstring ModulePath(HMODULE AModule);

// The system folder, without trailing backslash. Looked up on first use
// (safe from any thread); raises ESystemError when the system cannot tell it.
const std::wstring& SystemFolder();

}  // namespace Velqora
