#include <gtest/gtest.h>

#include <vector>

#include "ExtCtrls.h"
#include "GuiTestSupport.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Velqora.System.SysUtils.h"

using namespace Gui;
using Testing::Rgb;
using Testing::TRenderTarget;

namespace {

// 2 x 2 RGBA: opaque red, white at alpha 128 / transparent, opaque blue.
const unsigned char SmallPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x72, 0xB6, 0x0D, 0x24, 0x00, 0x00, 0x00, 0x14, 0x49,
    0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x08, 0x1A, 0x18, 0x20, 0xE0, 0xFF, 0x7F, 0x00,
    0x4A, 0xCC, 0x07, 0x7A, 0xAB, 0x63, 0x94, 0xE7, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60,
    0x82};

// The decoder is the system's, bound through the registry the fixture runs.
class Bitmap32Test : public Testing::GuiTest {};

TEST_F(Bitmap32Test, DecodesPngToPremultipliedAlpha) {
  TBitmap32 bitmap;
  bitmap.LoadFromPNG(SmallPng, sizeof(SmallPng));
  ASSERT_EQ(bitmap.GetWidth(), 2);
  ASSERT_EQ(bitmap.GetHeight(), 2);
  EXPECT_EQ(bitmap.ScanLine(0)[0], 0xFFFF0000u);  // opaque red
  EXPECT_EQ(bitmap.ScanLine(0)[1], 0x80808080u);  // white at half alpha, premultiplied
  EXPECT_EQ(bitmap.ScanLine(1)[0], 0x00000000u);  // transparent
  EXPECT_EQ(bitmap.ScanLine(1)[1], 0xFF0000FFu);  // opaque blue
}

// 1 x 1 BMP, 24 bits, one white pixel: a picture the system could decode,
// but not a PNG.
const unsigned char SmallBmp[] = {
    'B',  'M',  0x3A, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 0x28, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,
    0,    0,    0,    0, 4, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};

TEST_F(Bitmap32Test, RejectsDamagedOrOtherPicturesAndKeepsWhatItHad) {
  TBitmap32 bitmap;
  bitmap.LoadFromPNG(SmallPng, sizeof(SmallPng));
  std::vector<unsigned char> damaged(SmallPng, SmallPng + sizeof(SmallPng));
  damaged[45] ^= 0xFF;  // inside the compressed pixels
  std::vector<unsigned char> huge(SmallPng, SmallPng + sizeof(SmallPng));
  huge[18] = 0x40;  // 16,386 pixels wide (the checksum is wrong too)
  const std::vector<std::vector<unsigned char>> inputs = {
      {},
      {SmallPng, SmallPng + 20},  // cut in the header
      {SmallPng, SmallPng + 50},  // cut in the pixels
      damaged,
      huge,
      {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'},
      {SmallBmp, SmallBmp + sizeof(SmallBmp)},
  };
  for (size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_THROW(bitmap.LoadFromPNG(inputs[i].data(), inputs[i].size()), Velqora::ESystemError);
    EXPECT_EQ(bitmap.GetWidth(), 2);
    EXPECT_EQ(bitmap.ScanLine(0)[0], 0xFFFF0000u);
  }
}

// A system without the imaging component: the load says so and the bitmap
// keeps what it had.
TEST_F(Bitmap32Test, WithoutTheSystemsDecoderTheLoadFailsClearly) {
  TBitmap32 bitmap;
  bitmap.LoadFromPNG(SmallPng, sizeof(SmallPng));
  Gui::SetPictureCodecLibrary(L"bountiq-no-such-codec.dll");
  auto restore = Velqora::ScopeExit([] { Gui::SetPictureCodecLibrary(nullptr); });
  try {
    bitmap.LoadFromPNG(SmallPng, sizeof(SmallPng));
    FAIL() << "no exception";
  } catch (const Velqora::EVelqoraInitException& e) {
    EXPECT_NE(e.Message().find(L"The system cannot decode pictures"), std::wstring::npos)
        << Velqora::WideToUtf8(e.Message());
  }
  EXPECT_EQ(bitmap.GetWidth(), 2);
  EXPECT_EQ(bitmap.ScanLine(1)[1], 0xFF0000FFu);
}

TEST_F(Bitmap32Test, LoadsPngFromTheProgramsResources) {
  TBitmap32 bitmap;
  bitmap.LoadFromPNGResource(GetModuleHandleW(nullptr), L"SMALL_PNG");
  EXPECT_EQ(bitmap.GetWidth(), 2);
  EXPECT_EQ(bitmap.ScanLine(1)[1], 0xFF0000FFu);
  try {
    bitmap.LoadFromPNGResource(GetModuleHandleW(nullptr), L"NO_SUCH_PNG");
    FAIL() << "no exception";
  } catch (const Velqora::ESystemError& e) {
    EXPECT_EQ(e.ErrorCode, DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
  }
}

// With the cache running, a picture is decoded once: later loads copy it
// even where the decoder has gone, each load gets a bitmap of its own, and
// a picture never loaded, or one after Stop, is decoded (and fails) again.
TEST_F(Bitmap32Test, TheCacheDecodesEachPictureOnce) {
  const HINSTANCE module = GetModuleHandleW(nullptr);
  PictureCache::Start(module);
  auto stop = Velqora::ScopeExit([] { PictureCache::Stop(); });
  TBitmap32 first, second;
  first.LoadFromPNGResource(module, L"SMALL_PNG");
  Gui::SetPictureCodecLibrary(L"bountiq-no-such-codec.dll");
  auto restore = Velqora::ScopeExit([] { Gui::SetPictureCodecLibrary(nullptr); });
  second.LoadFromPNGResource(module, L"SMALL_PNG");
  ASSERT_EQ(second.GetWidth(), 2);
  EXPECT_EQ(second.ScanLine(1)[1], 0xFF0000FFu);
  EXPECT_NE(second.GetHandle(), first.GetHandle());
  second.ScanLine(0)[0] = 0;
  EXPECT_EQ(first.ScanLine(0)[0], 0xFFFF0000u);
  TBitmap32 third;
  third.LoadFromPNGResource(module, L"SMALL_PNG");
  EXPECT_EQ(third.ScanLine(0)[0], 0xFFFF0000u);  // the cache's copy is untouched
  // A failed load is not kept: its error comes again.
  EXPECT_THROW(third.LoadFromPNGResource(module, L"NO_SUCH_PNG"), Velqora::ESystemError);
  EXPECT_THROW(third.LoadFromPNGResource(module, L"NO_SUCH_PNG"), Velqora::ESystemError);
  EXPECT_EQ(third.GetWidth(), 2);
  PictureCache::Stop();
  EXPECT_THROW(third.LoadFromPNGResource(module, L"SMALL_PNG"), Velqora::EVelqoraInitException);
  EXPECT_EQ(third.ScanLine(1)[1], 0xFF0000FFu);
}

TEST(Canvas, DrawsWithItsObjectsAndGivesTheDeviceContextBack) {
  TRenderTarget target(20, 10);
  HGDIOBJ font = GetCurrentObject(target.DC.Get(), OBJ_FONT);
  HGDIOBJ brush = GetCurrentObject(target.DC.Get(), OBJ_BRUSH);
  {
    TCanvas canvas;
    canvas.SetHandle(target.DC.Get());
    canvas.Brush().SetColor(RGBColor(10, 20, 30));
    canvas.FillRect({0, 0, 10, 10});
    canvas.Brush().SetColor(RGBColor(200, 100, 50));  // selected again at the next use
    canvas.FillRect({10, 0, 20, 10});
    canvas.TextExtent(L"x");
    canvas.SetHandle(nullptr);
  }
  EXPECT_EQ(target.Pixel(5, 5), Rgb(10, 20, 30));
  EXPECT_EQ(target.Pixel(15, 5), Rgb(200, 100, 50));
  EXPECT_EQ(GetCurrentObject(target.DC.Get(), OBJ_FONT), font);
  EXPECT_EQ(GetCurrentObject(target.DC.Get(), OBJ_BRUSH), brush);
}

TEST(Canvas, DeselectsAnObjectBeforeReleasingIt) {
  using TAction = void (*)(TCanvas&);
  const TAction fill = [](TCanvas& c) { c.FillRect({0, 0, 2, 2}); };
  const TAction line = [](TCanvas& c) { c.LineTo(2, 2); };
  const TAction text = [](TCanvas& c) { c.TextExtent(L"x"); };
  struct TCase {
    const char* Name;
    DWORD Kind;
    TAction Use, Change;
  } cases[] = {
      {"brush colour", OBJ_BRUSH, fill, [](TCanvas& c) { c.Brush().SetColor(clBlack); }},
      {"brush style", OBJ_BRUSH, fill, [](TCanvas& c) { c.Brush().SetStyle(TBrushStyle::bsClear); }},
      {"pen colour", OBJ_PEN, line, [](TCanvas& c) { c.Pen().SetColor(clWhite); }},
      {"pen width", OBJ_PEN, line, [](TCanvas& c) { c.Pen().SetWidth(3); }},
      {"pen style", OBJ_PEN, line, [](TCanvas& c) { c.Pen().SetStyle(TPenStyle::psClear); }},
      {"font name", OBJ_FONT, text, [](TCanvas& c) { c.Font().SetName(L"Arial"); }},
      {"font height", OBJ_FONT, text, [](TCanvas& c) { c.Font().SetHeight(-20); }},
      {"font style", OBJ_FONT, text, [](TCanvas& c) { c.Font().SetStyle(fsBold); }},
      {"font quality", OBJ_FONT, text, [](TCanvas& c) { c.Font().SetQuality(TFontQuality::fqDraft); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRenderTarget target(4, 4);
    HDC dc = target.DC.Get();
    HGDIOBJ original = GetCurrentObject(dc, c.Kind);
    TCanvas canvas;
    canvas.SetHandle(dc);
    c.Use(canvas);
    HGDIOBJ used = GetCurrentObject(dc, c.Kind);
    ASSERT_NE(used, original);
    c.Change(canvas);  // releases the object made for the old value
    EXPECT_NE(GetCurrentObject(dc, c.Kind), used) << "released while still selected";
    c.Use(canvas);
    EXPECT_NE(GetCurrentObject(dc, c.Kind), original);
    canvas.SetHandle(nullptr);
    EXPECT_EQ(GetCurrentObject(dc, c.Kind), original);
  }
}

TEST(Canvas, ASavedStateNeverGivesBackAnObjectReleasedMeanwhile) {
  TRenderTarget target(4, 4);
  HDC dc = target.DC.Get();
  const HGDIOBJ original = GetCurrentObject(dc, OBJ_FONT);
  TCanvas canvas;
  canvas.SaveDC();  // without a device context: nothing
  canvas.RestoreDC();
  canvas.SetHandle(dc);
  canvas.TextExtent(L"x");  // the canvas font is selected
  ASSERT_NE(GetCurrentObject(dc, OBJ_FONT), original);
  canvas.SaveDC();
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), original) << "saved without the canvas font";
  canvas.Font().SetHeight(-30);  // releases the font the canvas had selected
  canvas.TextExtent(L"x");
  canvas.RestoreDC();
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), original) << "the state as it was before the canvas drew";
  EXPECT_GE(canvas.TextExtent(L"x").cy, 30) << "the canvas font is selected again";
  canvas.SetHandle(nullptr);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), original);
}

TEST(Canvas, RefusesToDrawWithoutDeviceContext) {
  TCanvas canvas;
  EXPECT_THROW(canvas.FillRect({0, 0, 1, 1}), Velqora::Exception);
}

class PaintTest : public Testing::GuiTest {};

TEST_F(PaintTest, DoubleBufferedControlDrawsOnlyTheBufferedErase) {
  TForm form(nullptr);
  auto panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetColor(RGBColor(255, 0, 0));
  panel->SetDoubleBuffered(true);
  TRenderTarget target(4, 4);
  target.Fill(0);
  HDC dc = target.DC.Get();
  // The system's own erase: device context in WParam, something else in LParam.
  EXPECT_EQ(panel->Perform(WM_ERASEBKGND, WPARAM(dc), 0), 1);
  EXPECT_EQ(target.Pixel(1, 1), 0u);
  // The buffered erase: the buffer in both.
  EXPECT_EQ(panel->Perform(WM_ERASEBKGND, WPARAM(dc), LPARAM(dc)), 1);
  EXPECT_EQ(target.Pixel(1, 1), Rgb(255, 0, 0));

  panel->SetDoubleBuffered(false);  // unbuffered controls draw any erase
  panel->SetColor(RGBColor(0, 255, 0));
  panel->Perform(WM_ERASEBKGND, WPARAM(dc), 0);
  EXPECT_EQ(target.Pixel(1, 1), Rgb(0, 255, 0));
}

TEST_F(PaintTest, ParentBackgroundIsThePartOfTheParentUnderTheControl) {
  TForm form(nullptr);
  form.SetColor(RGBColor(1, 2, 3));
  auto panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(10, 10, 4, 4);
  panel->SetColor(RGBColor(255, 255, 255));
  panel->SetParentBackground(true);
  TRenderTarget target(4, 4);
  panel->Perform(WM_ERASEBKGND, WPARAM(target.DC.Get()), 0);
  EXPECT_EQ(target.Pixel(0, 0), Rgb(1, 2, 3));
  POINT origin;
  GetWindowOrgEx(target.DC.Get(), &origin);
  EXPECT_EQ(origin.x, 0);  // the origin is given back
}

TEST_F(PaintTest, GraphicChildrenPaintAtTheirPlaceImageCentredShapeAsLine) {
  TForm form(nullptr);
  form.SetColor(RGBColor(0, 0, 0));
  auto panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBevelOuter(TBevelCut::bvNone);
  panel->SetParentColor(true);
  panel->SetBounds(0, 0, 40, 20);

  auto image = new TImage(&form);
  image->SetParent(panel);
  image->SetBounds(2, 2, 10, 10);
  image->SetCenter(true);
  image->Picture().LoadFromPNG(SmallPng, sizeof(SmallPng));  // 2 x 2 at (4, 4) inside the image

  auto line = new TShape(&form);
  line->SetParent(panel);
  line->SetBounds(20, 15, 10, 1);
  line->Pen().SetColor(clWhite);

  TRenderTarget target(40, 20);
  HDC dc = target.DC.Get();
  panel->Perform(WM_ERASEBKGND, WPARAM(dc), LPARAM(dc));
  panel->Perform(WM_PAINT, WPARAM(dc), 0);  // painting a copy
  EXPECT_EQ(target.Pixel(6, 6), Rgb(255, 0, 0));
  EXPECT_EQ(target.Pixel(7, 6), Rgb(128, 128, 128));  // half-white over black
  EXPECT_EQ(target.Pixel(6, 7), Rgb(0, 0, 0));
  EXPECT_EQ(target.Pixel(7, 7), Rgb(0, 0, 255));
  EXPECT_EQ(target.Pixel(5, 5), Rgb(0, 0, 0));
  for (int x = 20; x < 30; ++x) EXPECT_EQ(target.Pixel(x, 15), Rgb(255, 255, 255)) << x;
  EXPECT_EQ(target.Pixel(19, 15), Rgb(0, 0, 0));
  EXPECT_EQ(target.Pixel(25, 14), Rgb(0, 0, 0));
}

}  // namespace
