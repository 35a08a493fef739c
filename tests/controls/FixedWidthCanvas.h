// A canvas for the markup drawer with made-up fixed-width fonts: every
// character of a font is equally wide (eastern characters twice as wide),
// so that layouts can be worked out by hand. Used by the build machine's
// tests and by the fuzzer; draws nothing.
#pragma once

#include <algorithm>
#include <cstdlib>

#include "Project.VCL.AxLabel.HtmlDrawer.h"

namespace Testing {

class TFixedWidthCanvas : public Project::VCL::IHTMLCanvas {
public:
  using THTMLFont = Project::VCL::THTMLFont;
  using THTMLRect = Project::VCL::THTMLRect;
  using THTMLSize = Project::VCL::THTMLSize;
  using THTMLTextMetric = Project::VCL::THTMLTextMetric;
  using THTMLStringView = Project::VCL::THTMLStringView;

  // The character height of a font in pixels, at least 1.
  static int32_t PixelHeight(const THTMLFont& AFont) {
    const int64_t h = AFont.Height;
    return int32_t(std::clamp(h < 0 ? -h : h, int64_t(1), int64_t(1) << 20));
  }
  // Half the character height, one more in bold; eastern characters twice
  // that, combining marks nothing.
  static int32_t BaseWidth(const THTMLFont& AFont) {
    return std::max(PixelHeight(AFont) / 2, 1) + ((AFont.Style & 1) ? 1 : 0);
  }
  static int32_t CharWidth(int32_t ABase, char16_t AChar) {
    if (AChar < 0x0300) return ABase;
    if (AChar <= 0x036F) return 0;
    return Project::VCL::IsEasternChar(AChar) ? 2 * ABase : ABase;
  }

  THTMLSize TextExtent(const THTMLFont& AFont, THTMLStringView AText, uint32_t) override {
    const int32_t base = BaseWidth(AFont);
    int32_t cx = 0;
    for (char16_t c : AText) cx += CharWidth(base, c);
    if ((AFont.Style & 2) && !AText.empty()) cx += 1;  // italic overhang
    return {cx, TextMetric(AFont).tmHeight};
  }
  void CharExtents(const THTMLFont& AFont, THTMLStringView AText, std::vector<int32_t>& AExtents) override {
    const int32_t base = BaseWidth(AFont);
    AExtents.resize(AText.size());
    int32_t sum = 0;
    for (size_t i = 0; i < AText.size(); ++i) AExtents[i] = sum += CharWidth(base, AText[i]);
  }
  // Ascent the character height, descent a quarter of it; the extra
  // ascent and descent (outline against mac values) one pixel each.
  THTMLTextMetric TextMetric(const THTMLFont& AFont) override {
    const int32_t h = PixelHeight(AFont), descent = h / 4 + 1;
    THTMLTextMetric m;
    m.tmAscent = h;
    m.tmDescent = descent;
    m.tmHeight = h + descent;
    m.tmInternalLeading = descent;
    m.otmAscent = h - 1;
    m.otmDescent = -(descent - 1);
    m.otmMacAscent = h;
    m.otmMacDescent = -descent;
    return m;
  }
  void DrawText(const THTMLFont&, THTMLStringView, const THTMLRect&, uint32_t) override {}
  void DrawFocusRect(const THTMLRect&) override {}
};

}  // namespace Testing
