// The markup drawer's canvas on Windows: its fonts made as system fonts and
// selected into the device context of a canvas of the GUI layer for each
// measure or drawing, then deselected.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "Graphics.h"
#include "Project.VCL.AxLabel.HtmlDrawer.h"
#include "UniqueHandle.h"

namespace Project::VCL {

// The system fonts (and their metrics) of the last fonts a drawer used:
// a label keeps one for the life of its drawer, so that painting again
// makes no font.
class TAxHTMLFontCache {
public:
  static constexpr size_t Capacity = 16;

  // The font object of AFont (its colour aside).
  HFONT Handle(const THTMLFont& AFont);
  // The font's metrics as measured on ADC; all 0 for a font without
  // outline metrics.
  const THTMLTextMetric& Metric(HDC ADC, const THTMLFont& AFont);

private:
  struct TEntry {
    THTMLFont Font;
    std::unique_ptr<Gui::TFont> Handle;  // makes the font object
    bool HasMetric = false;
    THTMLTextMetric Metric;
  };
  TEntry& Find(const THTMLFont& AFont);

  std::vector<TEntry> FEntries;  // the most recently used first
};

class TAxHTMLCanvas final : public IHTMLCanvas {
public:
  TAxHTMLCanvas(Gui::TCanvas& ACanvas, TAxHTMLFontCache& ACache) : FCanvas(ACanvas), FCache(ACache) {}

  THTMLSize TextExtent(const THTMLFont& AFont, THTMLStringView AText, uint32_t AFormat) override;
  void CharExtents(const THTMLFont& AFont, THTMLStringView AText, std::vector<int32_t>& AExtents) override;
  THTMLTextMetric TextMetric(const THTMLFont& AFont) override;
  void DrawText(const THTMLFont& AFont, THTMLStringView AText, const THTMLRect& ARect, uint32_t AFormat) override;
  void DrawFocusRect(const THTMLRect& ARect) override;

private:
  Gui::TCanvas& FCanvas;
  TAxHTMLFontCache& FCache;
};

// A font of the GUI layer as the drawer takes it.
THTMLFont ToHTMLFont(const Gui::TFont& AFont);

}  // namespace Project::VCL
