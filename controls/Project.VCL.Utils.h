// Operations on any windowed control that the custom controls share: the
// parent's background drawn into a device context, frame and full redraws,
// capturing a control into a device context; and a PNG resource loaded into
// an image control.
#pragma once

#include <windows.h>

#include <string>

#include "Controls.h"
#include "ExtCtrls.h"

namespace Project::VCL {

// The parent of AControl paints its erase step on ADC, its client
// coordinates moved onto AControl's area (ADC's origin comes back); answers
// the parent's answer, 1 when there is no parent or it has no window yet.
LRESULT PerformEraseBackground(Gui::TWinControl& AControl, HDC ADC);
// The window's frame calculated and painted again; nothing without window.
void InvalidateNC(Gui::TWinControl& AControl);
// The whole window, frame and children included, to be erased and painted
// again; nothing without window.
void InvalidateAll(Gui::TWinControl& AControl);
// Captures AControl's window as it is on screen into ADC at (AX, AY),
// clipped to its size. Meanwhile the control is marked as painting a copy
// (its erase step draws whatever its buffering) and has no window region;
// ADC's state and the region come back on every path.
void AxPaintTo(Gui::TWinControl& AControl, HDC ADC, int AX, int AY);
// The PNG stored as RT_RCDATA resource AName of AInstance becomes AImage's
// picture. Raises the resource loader's or the decoder's error; the
// picture then stays as it was.
void LoadImageFromPngResource(Gui::TImage& AImage, HINSTANCE AInstance, const std::wstring& AName);

}  // namespace Project::VCL
