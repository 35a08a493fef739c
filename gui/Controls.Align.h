// Inside the GUI layer: alignment of children as a function of rectangles.
#pragma once

#include <span>

#include "Controls.h"

namespace Gui {

// A child as alignment sees it.
struct TAlignItem {
  TAlign Align = TAlign::alNone;
  bool Visible = true;
  bool AlignWithMargins = false;
  TMargins Margins;  // kept free around the child when AlignWithMargins
  RECT Bounds{};
};

// The kinds of alignment in the order they are laid out.
inline constexpr TAlign AlignOrder[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight,
                                        TAlign::alClient};

// Lays out the children (given in creation order) in AClient and gives each
// its new Bounds: kind after kind as in AlignOrder, within each kind in
// creation order. Each takes a strip of what is left, with its own height
// (top, bottom) or width (left, right) plus its margins. Hidden and
// unaligned children keep their bounds. Where space runs out a width or
// height comes out negative; SetBounds makes it 0.
void AlignBounds(const RECT& AClient, std::span<TAlignItem> AChildren);

}  // namespace Gui
