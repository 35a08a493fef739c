// The markup drawer's canvas on Windows: real fonts selected only for each
// call, text in the font's colour and only inside its rectangle.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "Project.VCL.AxLabel.HtmlCanvas.h"

using namespace Project::VCL;

namespace {

struct TAttachedCanvas : Testing::TRenderTarget {
  TAttachedCanvas() : TRenderTarget(120, 40) { Canvas.SetHandle(DC.Get()); }
  ~TAttachedCanvas() { Canvas.SetHandle(nullptr); }
  Gui::TCanvas Canvas;
};

TEST(HtmlCanvasTest, TextIsDrawnInItsColourInsideItsRectangleOnly) {
  struct TCase {
    const char* Name;
    uint32_t Color;     // as the drawer gives it
    uint32_t Expected;  // 0xRRGGBB
  };
  const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
  const TCase cases[] = {
      {"plain red", 0x0000FF, 0xFF0000},
      {"system grey text", 0xFF000000 | COLOR_GRAYTEXT,
       uint32_t(GetRValue(grey)) << 16 | uint32_t(GetGValue(grey)) << 8 | GetBValue(grey)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TAttachedCanvas target;
    target.Fill(0xFFFFFF);
    TAxHTMLFontCache cache;
    TAxHTMLCanvas canvas(target.Canvas, cache);
    // Without smoothing every painted pixel has the text colour.
    const THTMLFont font{u"Tahoma", -24, 0, c.Color, NONANTIALIASED_QUALITY};
    const THTMLRect rect{10, 5, 40, 35};
    canvas.DrawText(font, u"WWWWWW", rect, HTML_DT_SINGLELINE | HTML_DT_NOPREFIX);
    int inside = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 120; ++x) {
        const uint32_t p = target.Pixel(x, y);
        if (p == 0xFFFFFF) continue;
        if (rect.Contains(x, y) && p == c.Expected)
          ++inside;
        else
          ++outside;
      }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(outside, 0);
  }
}

TEST(HtmlCanvasTest, TheCanvasKeepsItsOwnFontSelectedBetweenCalls) {
  TAttachedCanvas target;
  TAxHTMLFontCache cache;
  TAxHTMLCanvas canvas(target.Canvas, cache);
  const HGDIOBJ own = GetCurrentObject(target.Canvas.DrawingHandle(), OBJ_FONT);
  // More fonts than the cache keeps: the evicted ones must not be selected.
  for (int32_t height = -8; height > -8 - 2 * int32_t(TAxHTMLFontCache::Capacity); --height) {
    const THTMLFont font{u"Tahoma", height, 0, 0, 0};
    std::vector<int32_t> extents;
    canvas.CharExtents(font, u"abc", extents);
    ASSERT_EQ(extents.size(), 3u);
    EXPECT_TRUE(extents[0] > 0 && extents[0] <= extents[1] && extents[1] <= extents[2]);
    EXPECT_EQ(canvas.TextExtent(font, u"abc", HTML_DT_SINGLELINE).cx, extents[2]);
    EXPECT_GT(canvas.TextMetric(font).tmAscent, 0);
    EXPECT_EQ(GetCurrentObject(target.Canvas.DrawingHandle(), OBJ_FONT), own);
  }
}

}  // namespace
