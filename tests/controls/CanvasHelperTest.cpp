#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "Project.VCL.CanvasHelper.h"

using namespace Gui;
using namespace Project::VCL;
using namespace Testing;

namespace {

TEST(BlendColors, GivesTheEndpointsAndRoundsBetweenThem) {
  struct TCase {
    TColor Color1, Color2;
    uint8_t Weight;
    TColor Expected;
  } cases[] = {
      {RGBColor(10, 200, 30), RGBColor(250, 0, 99), 0, RGBColor(10, 200, 30)},
      {RGBColor(10, 200, 30), RGBColor(250, 0, 99), 255, RGBColor(250, 0, 99)},
      {RGBColor(0, 0, 0), RGBColor(255, 255, 255), 128, RGBColor(128, 128, 128)},
      {RGBColor(255, 255, 255), RGBColor(0, 0, 0), 128, RGBColor(127, 127, 127)},
      {RGBColor(0, 0, 0), RGBColor(255, 255, 255), 64, RGBColor(64, 64, 64)},
      // Each channel on its own: red, green and blue stay in their bytes.
      {RGBColor(255, 0, 0), RGBColor(0, 0, 255), 128, RGBColor(127, 0, 128)},
      {RGBColor(0, 100, 0), RGBColor(0, 200, 0), 51, RGBColor(0, 120, 0)},
      // The high bytes are left out.
      {0xFF000000, 0x12FFFFFF, 128, RGBColor(128, 128, 128)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Color1 << " " << c.Color2 << " " << std::dec << int(c.Weight));
    EXPECT_EQ(TCanvasHelper::BlendColors(c.Color1, c.Color2, c.Weight), c.Expected);
  }
}

// Text drawn on a grey target: black text, red shadow.
class ShadowTextTest : public testing::Test {
protected:
  static constexpr int Width = 60, Height = 40;
  static constexpr uint32_t Background = Rgb(128, 128, 128), Text = Rgb(0, 0, 0), Shadow = Rgb(255, 0, 0);

  // The pixels of "Hi" drawn with the given shadow, 0xRRGGBB row by row.
  std::vector<uint32_t> Draw(int ASize, TAxTextShadowStyles AStyles, TColor AShadowColor, TFontQuality AQuality) {
    TCanvasTarget target(Width, Height);
    target.Fill(Background);
    target.Canvas.Font().SetHeight(-20);
    target.Canvas.Font().SetColor(clBlack);
    target.Canvas.Font().SetQuality(AQuality);
    RECT r{10, 10, 50, 34};
    TCanvasHelper::AxDrawShadowText(target.Canvas, L"Hi", r, DT_SINGLELINE | DT_NOPREFIX, ASize, AStyles, AShadowColor);
    EXPECT_EQ(target.Canvas.Font().GetColor(), clBlack) << "the font colour comes back";
    std::vector<uint32_t> pixels;
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x) pixels.push_back(target.Pixel(x, y));
    return pixels;
  }
};

TEST_F(ShadowTextTest, TheShadowIsTheTextMovedTowardsEachStyle) {
  constexpr auto top = ShadowStyleBit(TAxTextShadowStyle::tssTop), left = ShadowStyleBit(TAxTextShadowStyle::tssLeft),
                 bottom = ShadowStyleBit(TAxTextShadowStyle::tssBottom),
                 right = ShadowStyleBit(TAxTextShadowStyle::tssRigh);
  // Plain pixels (no antialiasing): text and shadow compare exactly.
  const std::vector<uint32_t> text = Draw(0, 0, clNone, TFontQuality::fqNonAntialiased);
  auto isText = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < Width && y < Height && text[size_t(y * Width + x)] == Text;
  };
  ASSERT_GT(std::count(text.begin(), text.end(), Text), 20);
  struct TCase {
    const char* Name;
    int Size;
    TAxTextShadowStyles Styles;
    int DX, DY;
  } cases[] = {
      {"top, 1", 1, top, 0, -1},
      {"top and left, 2", 2, top | left, -2, -2},
      {"bottom, 2", 2, bottom, 0, 2},
      {"right, 3", 3, right, 3, 0},
      {"bottom and right, 1", 1, bottom | right, 1, 1},
      {"top and bottom cancel", 2, top | bottom, 0, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint32_t> drawn = Draw(c.Size, c.Styles, RGBColor(255, 0, 0), TFontQuality::fqNonAntialiased);
    int wrong = 0;
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x) {
        // The text over its shadow, the shadow over the background.
        uint32_t expected = isText(x, y) ? Text : isText(x - c.DX, y - c.DY) ? Shadow : Background;
        if (drawn[size_t(y * Width + x)] != expected && ++wrong <= 3)
          ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << drawn[size_t(y * Width + x)];
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(ShadowTextTest, WithoutSizeStylesOrColourTheTextIsDrawnOnce) {
  constexpr auto topLeft = ShadowStyleBit(TAxTextShadowStyle::tssTop) | ShadowStyleBit(TAxTextShadowStyle::tssLeft);
  // Smoothed edges: a second copy in the same place, or a shadow under the
  // text, would change them.
  const std::vector<uint32_t> once = Draw(0, 0, clNone, TFontQuality::fqAntialiased);
  struct TCase {
    const char* Name;
    int Size;
    TAxTextShadowStyles Styles;
    TColor Color;
  } cases[] = {
      {"size 0", 0, topLeft, RGBColor(255, 0, 0)},
      {"no styles", 2, 0, RGBColor(255, 0, 0)},
      {"no colour", 2, topLeft, clNone},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Draw(c.Size, c.Styles, c.Color, TFontQuality::fqAntialiased), once);
  }
}

TEST(CanvasHelperText, DrawsTextWithoutBackgroundWhateverTheBrush) {
  TCanvasTarget target(40, 30);
  target.Fill(Rgb(0, 255, 0));
  target.Canvas.Brush().SetColor(RGBColor(255, 0, 0));  // solid: an opaque text background would be red
  target.Canvas.Font().SetHeight(-20);
  target.Canvas.Font().SetColor(clBlack);
  target.Canvas.Font().SetQuality(TFontQuality::fqNonAntialiased);
  RECT r{0, 0, 40, 30};
  TCanvasHelper::AxDrawText(target.Canvas, L"W", r, DT_SINGLELINE | DT_NOPREFIX);
  int black = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      uint32_t p = target.Pixel(x, y);
      ASSERT_TRUE(p == Rgb(0, 255, 0) || p == Rgb(0, 0, 0)) << x << "," << y << ": " << std::hex << p;
      black += p == 0;
    }
  EXPECT_GT(black, 10);
}

// Measuring: the rectangle DrawTextExW computes, widened by the overhang
// of italic glyphs.
class MeasureTest : public testing::Test {
protected:
  MeasureTest() : Target(1, 1) { Target.Canvas.Font().SetHeight(-40); }
  // DrawTextExW's own measure.
  SIZE Measured(const std::wstring& AText, UINT AFormat, RECT ARect = {0, 0, 1000, 1000}) {
    DrawTextExW(Target.Canvas.DrawingHandle(), const_cast<wchar_t*>(AText.c_str()), int(AText.size()), &ARect,
                AFormat | DT_CALCRECT, nullptr);
    return {ARect.right - ARect.left, ARect.bottom - ARect.top};
  }
  // The overhang the measure adds: the first glyph's negative A width and
  // the last one's negative C width.
  int Overhang(const std::wstring& AText) {
    if (AText.empty()) return 0;
    ABC first{}, last{};
    HDC dc = Target.Canvas.DrawingHandle();
    GetCharABCWidthsW(dc, AText.front(), AText.front(), &first);
    GetCharABCWidthsW(dc, AText.back(), AText.back(), &last);
    return std::max(-first.abcA, 0) + std::max(-last.abcC, 0);
  }
  TCanvasTarget Target;
};

TEST_F(MeasureTest, MeasuresWhatDrawTextMeasuresPlusTheOverhang) {
  struct TCase {
    const wchar_t* Text;
    TFontStyles Style;
    UINT Format;
  } cases[] = {
      {L"Next", 0, DT_SINGLELINE | DT_NOPREFIX},
      {L"&Cancel", 0, DT_SINGLELINE | DT_HIDEPREFIX},
      {L"", 0, DT_SINGLELINE},  // no glyph, no overhang: one line high, no width
      {L"two\nlines", 0, DT_NOPREFIX},
      {L"elf", fsItalic, DT_SINGLELINE | DT_NOPREFIX},
      {L"jiff", fsItalic, DT_SINGLELINE | DT_NOPREFIX},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.Text, c.Text + wcslen(c.Text)) << " style " << int(c.Style));
    Target.Canvas.Font().SetStyle(c.Style);
    const std::wstring text = c.Text;
    SIZE expected = Measured(text, c.Format);
    expected.cx += Overhang(text);
    const SIZE extent = TCanvasHelper::AxTextExtent(Target.Canvas, text, c.Format);
    EXPECT_EQ(extent.cx, expected.cx);
    EXPECT_EQ(extent.cy, expected.cy);
    EXPECT_EQ(TCanvasHelper::AxTextWidth(Target.Canvas, text, c.Format), expected.cx);
    EXPECT_EQ(TCanvasHelper::AxTextHeight(Target.Canvas, text, c.Format), expected.cy);
    const SIZE inRect = TCanvasHelper::AxTextExtentInRect(Target.Canvas, {5, 5, 800, 600}, text, c.Format);
    EXPECT_EQ(inRect.cx, expected.cx);
    EXPECT_EQ(inRect.cy, expected.cy);
  }
}

TEST_F(MeasureTest, ItalicOverhangsWidenTheBox) {
  // Wine's italic Tahoma: "j" reaches left of its cell, "f" right of it.
  Target.Canvas.Font().SetStyle(fsItalic);
  HDC dc = Target.Canvas.DrawingHandle();
  ABC j{}, f{};
  ASSERT_TRUE(GetCharABCWidthsW(dc, L'j', L'j', &j));
  ASSERT_TRUE(GetCharABCWidthsW(dc, L'f', L'f', &f));
  ASSERT_LT(j.abcA, 0);
  ASSERT_LT(f.abcC, 0);
  EXPECT_EQ(TCanvasHelper::AxTextWidth(Target.Canvas, L"jeef", DT_SINGLELINE),
            Measured(L"jeef", DT_SINGLELINE).cx - j.abcA - f.abcC);
  EXPECT_EQ(TCanvasHelper::AxTextWidth(Target.Canvas, L"jf", DT_SINGLELINE),
            Measured(L"jf", DT_SINGLELINE).cx - j.abcA - f.abcC);
  // Only the first glyph's left and the last glyph's right side count.
  EXPECT_EQ(TCanvasHelper::AxTextWidth(Target.Canvas, L"fj", DT_SINGLELINE),
            Measured(L"fj", DT_SINGLELINE).cx + Overhang(L"fj"));
}

TEST(CanvasHelperFocus, InvertsADottedFrameAndGivesTheColoursBack) {
  TCanvasTarget target(20, 12);
  target.Fill(Rgb(255, 255, 255));
  target.Canvas.Font().SetColor(RGBColor(0, 0, 255));
  target.Canvas.Brush().SetStyle(TBrushStyle::bsClear);
  HDC dc = target.Canvas.DrawingHandle();
  const COLORREF text = GetTextColor(dc);
  const RECT r{2, 2, 18, 10};
  TCanvasHelper::AxDrawFocusRect(target.Canvas, r);
  EXPECT_EQ(GetTextColor(dc), text);
  EXPECT_EQ(target.Canvas.Brush().GetStyle(), TBrushStyle::bsClear);
  int black = 0, other = 0;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool edge = x >= r.left && x < r.right && y >= r.top && y < r.bottom &&
                        (x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1);
      const uint32_t p = target.Pixel(x, y);
      if (edge && p == 0) ++black;
      if ((!edge || p != 0) && p != Rgb(255, 255, 255)) ++other;
    }
  EXPECT_GT(black, 10) << "black dots on the frame";
  EXPECT_EQ(other, 0) << "nothing else, nothing off the frame";
  TCanvasHelper::AxDrawFocusRect(target.Canvas, r);  // drawn again, it is gone
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(target.Pixel(x, y), Rgb(255, 255, 255)) << x << "," << y;
}

}  // namespace
