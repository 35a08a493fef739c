// Drawing on a canvas as the custom controls do it: text without
// background, text with an offset shadow, measuring, colour blending, saved
// drawing states and focus rectangles.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "Graphics.h"
#include "Project.VCL.Common.h"

namespace Project::VCL {

// Operations on a canvas of the GUI layer, which each of them takes first
// (a static class: the canvas stays the GUI layer's own type). Formats are
// DrawTextExW flag sets.
class TCanvasHelper {
public:
  TCanvasHelper() = delete;

  // Draws AText into ARect with the canvas font and its colour, without
  // background. With DT_CALCRECT nothing is drawn and ARect gets the
  // measured rectangle, its right edge widened by the overhang of the first
  // glyph (a negative A width) and of the last one (a negative C width).
  static void AxDrawText(Gui::TCanvas& ACanvas, std::wstring_view AText, RECT& ARect, UINT AFormat);
  // The same on a device context with its font and text colour selected.
  static void AxDrawText(HDC ADC, std::wstring_view AText, RECT& ARect, UINT AFormat);
  // AxDrawText, first in AShadowColor offset by AShadowSize pixels towards
  // each of AShadowStyles (the offsets add up), then in the font colour
  // into ARect. Without styles, with size 0 or with clNone the text is
  // drawn once. The font colour is given back on every path.
  static void AxDrawShadowText(Gui::TCanvas& ACanvas, std::wstring_view AText, RECT& ARect, UINT AFormat,
                               int AShadowSize, TAxTextShadowStyles AShadowStyles, Gui::TColor AShadowColor);
  // The size AText takes when laid out in ARect with AFormat.
  static SIZE AxTextExtentInRect(Gui::TCanvas& ACanvas, const RECT& ARect, std::wstring_view AText, UINT AFormat);
  // The same in a rectangle as large as the primary screen.
  static SIZE AxTextExtent(Gui::TCanvas& ACanvas, std::wstring_view AText, UINT AFormat);
  static int AxTextWidth(Gui::TCanvas& ACanvas, std::wstring_view AText, UINT AFormat);
  static int AxTextHeight(Gui::TCanvas& ACanvas, std::wstring_view AText, UINT AFormat);

  // AColor1 blended into AColor2: weight 0 gives AColor1, 255 gives AColor2;
  // each channel rounded to the nearest value, ties to even. The high bytes
  // of the inputs are ignored.
  static Gui::TColor BlendColors(Gui::TColor AColor1, Gui::TColor AColor2, uint8_t AWeight);

  // The device context's state saved and given back (the most recent one);
  // nothing while the canvas has no device context.
  static void SaveState(Gui::TCanvas& ACanvas);
  static void RestoreState(Gui::TCanvas& ACanvas);

  // The system's dotted focus rectangle, black on the canvas brush's colour
  // (the rectangle is inverted: drawing it twice removes it).
  static void AxDrawFocusRect(Gui::TCanvas& ACanvas, const RECT& ARect);
};

}  // namespace Project::VCL
