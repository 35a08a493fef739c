// Inside the GUI layer: the window procedure of all our windows and where
// the exceptions it catches go.
#pragma once

#include <windows.h>

#include <exception>

#include "Controls.h"

namespace Gui {

LRESULT CALLBACK ControlWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) noexcept;

// Hands AError to the error sink, if one is installed.
void ReportError(std::exception_ptr AError) noexcept;

}  // namespace Gui
