#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <string>

#include "ControlsTestSupport.h"
#include "ExtCtrls.h"
#include "Project.VCL.BitmapHelper.h"
#include "Project.VCL.Utils.h"
#include "Velqora.System.SysUtils.h"

using namespace Gui;
using namespace Project::VCL;
using namespace Testing;

namespace {

// ---- loading ----

class PngLoadingTest : public ControlsTest {};

// Each loader raises at once for what cannot become a 32-bit bitmap with
// alpha, and leaves what it had: nothing is left to fail while painting.
TEST_F(PngLoadingTest, LoadsAnyPngAsPremultipliedAlphaAndRaisesOnlyWhileLoading) {
  auto image = Add<TImage>({0, 0, 2, 1});
  TBitmap32 bitmap;
  using TLoad = std::function<const TBitmap32&(const wchar_t*)>;
  const HINSTANCE module = GetModuleHandleW(nullptr);
  const struct {
    const char* Name;
    TLoad Load;
  } loaders[] = {
      {"bitmap",
       [&](const wchar_t* AName) -> const TBitmap32& {
         TBitmapHelper::LoadFromPngResource(bitmap, module, AName);
         return bitmap;
       }},
      {"image",
       [&](const wchar_t* AName) -> const TBitmap32& {
         LoadImageFromPngResource(*image, module, AName);
         return image->Picture();
       }},
  };
  enum class TOutcome { Loads, BadImage, NoResource };
  const struct {
    const wchar_t* Resource;
    TOutcome Outcome;
    uint32_t Left, Right;  // the pixels it loads as
  } cases[] = {
      {L"ALPHA_PNG", TOutcome::Loads, 0x80808080, 0xFF0000FF},   // white at half alpha, blue
      {L"OPAQUE_PNG", TOutcome::Loads, 0xFFFF0000, 0xFF00FF00},  // no alpha: opaque red, green
      {L"DAMAGED_PNG", TOutcome::BadImage, 0, 0},
      {L"NO_SUCH_PNG", TOutcome::NoResource, 0, 0},
  };
  for (const auto& loader : loaders) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << loader.Name << " "
                                      << std::string(c.Resource, c.Resource + wcslen(c.Resource)));
      const TBitmap32& before = loader.Load(L"ALPHA_PNG");
      switch (c.Outcome) {
        case TOutcome::Loads:
          break;
        case TOutcome::BadImage:
          EXPECT_THROW(loader.Load(c.Resource), Velqora::Exception);
          break;
        case TOutcome::NoResource:
          try {
            loader.Load(c.Resource);
            ADD_FAILURE() << "no exception";
          } catch (const Velqora::ESystemError& e) {
            EXPECT_EQ(e.ErrorCode, DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
          }
          break;
      }
      const TBitmap32& after = c.Outcome == TOutcome::Loads ? loader.Load(c.Resource) : before;
      ASSERT_EQ(after.GetWidth(), 2);
      ASSERT_EQ(after.GetHeight(), 1);
      if (c.Outcome == TOutcome::Loads) {
        EXPECT_EQ(after.ScanLine(0)[0], c.Left);
        EXPECT_EQ(after.ScanLine(0)[1], c.Right);
      } else {
        EXPECT_EQ(after.ScanLine(0)[0], 0x80808080u) << "kept";
      }
    }
  }
  // The image that failed to load paints what it kept, without raising.
  TRenderTarget target(2, 1);
  target.Fill(0);
  EXPECT_NO_THROW(image->Perform(WM_PAINT, WPARAM(target.DC.Get()), 0));
  EXPECT_EQ(target.Pixel(1, 0), Rgb(0, 0, 255));
}

// ---- drawing ----

// Two pixels, opaque red and opaque blue.
std::unique_ptr<TBitmap32> RedBlue() {
  return MakeBitmap(2, 1, [](int x, int) { return x == 0 ? 0xFFFF0000 : 0xFF0000FF; });
}

TEST(AlphaDraw, StretchesThePartAndBlendsWithItsOpacity) {
  const uint32_t background = Rgb(200, 100, 0);
  const auto redBlue = RedBlue();
  const auto halfWhitePixel = MakeBitmap(1, 1, [](int, int) { return 0x80808080; });  // premultiplied
  const auto clear = MakeBitmap(1, 1, [](int, int) { return 0; });
  const uint32_t red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255);
  // src * o / 255 + dst * (1 - src_alpha * o / 255^2)
  const uint32_t halfRed = Rgb(228, 50, 0), halfWhite = Rgb(228, 178, 128);
  const struct {
    const char* Name;
    const TBitmap32& Bitmap;
    RECT Source;
    uint8_t Opacity;
    uint32_t Expected[4];  // the 4 x 1 destination
  } cases[] = {
      {"whole, stretched", *redBlue, {0, 0, 2, 1}, 255, {red, red, blue, blue}},
      {"one pixel of it", *redBlue, {1, 0, 2, 1}, 255, {blue, blue, blue, blue}},
      {"half opacity", *redBlue, {0, 0, 1, 1}, 128, {halfRed, halfRed, halfRed, halfRed}},
      {"half alpha", *halfWhitePixel, {0, 0, 1, 1}, 255, {halfWhite, halfWhite, halfWhite, halfWhite}},
      {"transparent", *clear, {0, 0, 1, 1}, 255, {background, background, background, background}},
      {"opacity 0", *redBlue, {0, 0, 2, 1}, 0, {background, background, background, background}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCanvasTarget target(4, 1);
    target.Fill(background);
    TBitmapHelper::AlphaDraw(c.Bitmap, &target.Canvas, {0, 0, 4, 1}, c.Source, c.Opacity);
    for (int x = 0; x < 4; ++x) {
      const uint32_t p = target.Pixel(x, 0), e = c.Expected[x];
      for (int shift : {0, 8, 16})  // the system may round either way
        EXPECT_NEAR(int(p >> shift & 0xFF), int(e >> shift & 0xFF), 1) << "x " << x << ": " << std::hex << p;
    }
  }
}

TEST(AlphaDraw, WithoutCanvasOrPixelsDrawsNothing) {
  const auto redBlue = RedBlue();
  TBitmap32 empty;
  TCanvasTarget target(4, 4);
  target.Fill(Rgb(1, 2, 3));
  EXPECT_NO_THROW(TBitmapHelper::AlphaDraw(*redBlue, nullptr, {0, 0, 4, 4}, {0, 0, 2, 1}, 255));
  TBitmapHelper::AlphaDraw(empty, &target.Canvas, {0, 0, 4, 4}, {0, 0, 2, 1}, 255);
  TBitmapHelper::AlphaDrawSliced(empty, &target.Canvas, {0, 0, 4, 4}, {0, 0, 2, 1}, {1, 1, 1, 1}, 255);
  TBitmapHelper::AlphaDrawState(empty, &target.Canvas, {0, 0, 4, 4}, TUIControlState::uicsHot, 255);
  TBitmapHelper::AlphaDrawCell(*redBlue, &target.Canvas, {0, 0, 4, 4}, 0, 0, 0, 0, 255);  // no cells
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Pixel(x, y), Rgb(1, 2, 3));
}

// A 9 x 9 source of nine 3 x 3 blocks, each of its own colour.
uint32_t BlockColor(int AColumn, int ARow) { return Rgb(uint8_t(40 + 80 * AColumn), uint8_t(40 + 80 * ARow), 99); }

TEST(AlphaDrawSliced, CornersKeepTheirSizeEdgesAndCentreStretch) {
  const auto source = MakeBitmap(9, 9, [](int x, int y) { return Opaque(BlockColor(x / 3, y / 3)); });
  const RECT margins{3, 3, 3, 3};
  const struct { int Width, Height; } sizes[] = {{9, 9}, {21, 9}, {9, 15}, {21, 15}, {6, 6}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s.Width << " x " << s.Height);
    TCanvasTarget target(s.Width + 2, s.Height + 2);
    target.Fill(0);
    TBitmapHelper::AlphaDrawSliced(*source, &target.Canvas, {1, 1, s.Width + 1, s.Height + 1}, {0, 0, 9, 9}, margins,
                                   255);
    // Which block each pixel comes from: a border of 3, the middle between.
    auto band = [](int AAt, int ASize) { return AAt < 3 ? 0 : AAt >= ASize - 3 ? 2 : 1; };
    for (int y = 0; y < s.Height + 2; ++y)
      for (int x = 0; x < s.Width + 2; ++x) {
        const bool inside = x >= 1 && y >= 1 && x <= s.Width && y <= s.Height;
        const uint32_t expected = inside ? BlockColor(band(x - 1, s.Width), band(y - 1, s.Height)) : 0;
        ASSERT_EQ(target.Pixel(x, y), expected) << x << "," << y;
      }
  }
}

TEST(AlphaDrawSliced, DrawsWhatAPlainDrawDrawsWhereNothingStretchesOrNothingIsCut) {
  const auto source = MakeBitmap(9, 9, [](int x, int y) { return Opaque(Rgb(uint8_t(x * 25), uint8_t(y * 25), 7)); });
  const struct {
    const char* Name;
    RECT Dest, Margins;
    uint8_t Opacity;
  } cases[] = {
      {"same size", {0, 0, 9, 9}, {3, 3, 3, 3}, 255},
      {"same size, half opacity", {0, 0, 9, 9}, {3, 3, 3, 3}, 128},
      {"uneven margins", {0, 0, 9, 9}, {1, 2, 4, 0}, 255},
      {"no margins, stretched", {0, 0, 18, 13}, {0, 0, -1, 0}, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCanvasTarget sliced(18, 13), plain(18, 13);
    sliced.Fill(Rgb(50, 50, 50));
    plain.Fill(Rgb(50, 50, 50));
    TBitmapHelper::AlphaDrawSliced(*source, &sliced.Canvas, c.Dest, {0, 0, 9, 9}, c.Margins, c.Opacity);
    TBitmapHelper::AlphaDraw(*source, &plain.Canvas, c.Dest, {0, 0, 9, 9}, c.Opacity);
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 18; ++x) ASSERT_EQ(sliced.Pixel(x, y), plain.Pixel(x, y)) << x << "," << y;
  }
}

// Cells and state frames: a 7 x 124 source whose pixel tells its place.
uint32_t PlaceColor(int AX, int AY) { return Rgb(uint8_t(AX * 30), uint8_t(AY), 200); }

TEST(AlphaDrawCell, DrawsTheCellOfTheGridRoundedDown) {
  const auto source = MakeBitmap(7, 124, [](int x, int y) { return Opaque(PlaceColor(x, y)); });
  const struct {
    const char* Name;
    int Cols, Rows, Col, Row;
    int Left, Top, Width, Height;  // the cell in the source
  } cases[] = {
      {"state normal", 1, 4, 0, 0, 0, 0, 7, 31},
      {"state disabled", 1, 4, 0, 1, 0, 31, 7, 31},
      {"state hot", 1, 4, 0, 2, 0, 62, 7, 31},
      {"state pressed", 1, 4, 0, 3, 0, 93, 7, 31},
      {"right column, last of five rows", 2, 5, 1, 4, 3, 96, 3, 24},
      {"middle of three columns", 3, 1, 1, 0, 2, 0, 2, 124},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCanvasTarget target(c.Width, c.Height);
    const RECT dest{0, 0, c.Width, c.Height};
    if (c.Cols == 1 && c.Rows == 4)
      TBitmapHelper::AlphaDrawState(*source, &target.Canvas, dest, TUIControlState(c.Row), 255);
    else
      TBitmapHelper::AlphaDrawCell(*source, &target.Canvas, dest, c.Cols, c.Rows, c.Col, c.Row, 255);
    for (int y = 0; y < c.Height; ++y)
      for (int x = 0; x < c.Width; ++x)
        ASSERT_EQ(target.Pixel(x, y), PlaceColor(c.Left + x, c.Top + y)) << x << "," << y;
  }
}

}  // namespace
