// Drawing 32-bit bitmaps with premultiplied alpha as the custom controls do
// it: loading from a PNG resource, drawing with a constant opacity,
// nine-slice drawing and drawing cells of a grid of frames, such as the
// four state frames of a strip.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Graphics.h"
#include "Project.VCL.Common.h"

namespace Project::VCL {

// Operations on a bitmap of the GUI layer, which each of them takes first
// (a static class: the bitmap stays the GUI layer's own type). The bitmap
// type holds 32-bit pixels with premultiplied alpha and nothing else, so
// every bitmap can be drawn: whatever cannot become one fails when it is
// loaded, never when it is drawn. A target canvas is optional: without one
// nothing is drawn.
class TBitmapHelper {
public:
  TBitmapHelper() = delete;

  // Decodes the PNG stored as RT_RCDATA resource AName of AInstance into
  // ABitmap (any colour type: an image without alpha becomes opaque).
  // Raises the resource loader's error or the decoder's; ABitmap then keeps
  // what it had.
  static void LoadFromPngResource(Gui::TBitmap32& ABitmap, HINSTANCE AInstance, const std::wstring& AName);

  // Draws the part ASource of the bitmap into ADest (stretched to its size)
  // with its alpha channel and the constant opacity AOpacity.
  static void AlphaDraw(const Gui::TBitmap32& ABitmap, Gui::TCanvas* ATarget, const RECT& ADest, const RECT& ASource,
                        uint8_t AOpacity);
  // Nine-slice drawing: AMargins' Left, Top, Right and Bottom are the widths
  // of the borders of ASource. Corners keep their size, edges stretch along
  // the edge, the centre both ways; a margin of 0 or less has no border.
  static void AlphaDrawSliced(const Gui::TBitmap32& ABitmap, Gui::TCanvas* ATarget, const RECT& ADest,
                              const RECT& ASource, const RECT& AMargins, uint8_t AOpacity);
  // Draws cell (ACol, ARow) of the bitmap cut into AColCount x ARowCount
  // equal cells (sizes rounded down) into ADest.
  static void AlphaDrawCell(const Gui::TBitmap32& ABitmap, Gui::TCanvas* ATarget, const RECT& ADest, int AColCount,
                            int ARowCount, int ACol, int ARow, uint8_t AOpacity);
  // Draws the frame of AState from a strip of four frames stacked in the
  // order of TUIControlState.
  static void AlphaDrawState(const Gui::TBitmap32& ABitmap, Gui::TCanvas* ATarget, const RECT& ADest,
                             TUIControlState AState, uint8_t AOpacity);
};

}  // namespace Project::VCL
