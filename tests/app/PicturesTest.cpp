// The pictures the wizard draws, as the real template carries them: each is
// found under its name, is an 8-bit RGBA PNG that the GUI layer decodes to
// the size the layout expects, with anti-aliased edges and the pixels a
// reference decoder gives; and the button strips show each state's colours in
// their frames.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Graphics.h"
#include "TestSupport.h"
#include "UniqueHandle.h"
#include "Velqora.DllRoutines.h"
#include "Utf.h"

using Gui::TBitmap32;

namespace {

const wchar_t* const RT_RCDATA_W = MAKEINTRESOURCEW(10);

class PicturesTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Velqora::DllRoutines::Start();  // binds the decoder
    Template.Reset(LoadLibraryExW(Testing::BuildPath(BOUNTIQ_WRAPPER_EXE).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  }
  static void TearDownTestSuite() {
    Template.Reset();
    Velqora::DllRoutines::Stop();
  }

  void SetUp() override { ASSERT_TRUE(Template) << "cannot load the template, error " << GetLastError(); }

  // The stored bytes of picture AName (empty when it is missing).
  static std::string StoredBytes(const wchar_t* AName) {
    HRSRC info = FindResourceW(Template.Get(), AName, RT_RCDATA_W);
    HGLOBAL data = info ? LoadResource(Template.Get(), info) : nullptr;
    const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(Template.Get(), info)) : std::string();
  }

  static void Load(TBitmap32& ABitmap, const wchar_t* AName) {
    ABitmap.LoadFromPNGResource(Template.Get(), AName);
  }

  static Velqora::TUniqueModule Template;
};

Velqora::TUniqueModule PicturesTest::Template;

struct TPictureCase {
  const wchar_t* Name;
  int Width;
  int Height;
  int Frames;  // states stacked top to bottom (1: a single picture)
};

const TPictureCase Pictures[] = {
    {L"LOGO_BOUNTIQ", 231, 32, 1},
    {L"IMG_NO_VIRUS", 86, 86, 1},
    {L"IMG_NO_ADWARE", 86, 86, 1},
    {L"IMG_NO_SPYWARE", 86, 86, 1},
    {L"BTN_BACKGROUND_DEFAULT", 95, 124, 4},  // frames 95 x 31
    {L"BTN_BACKGROUND_BLUE", 129, 116, 4},    // frames 129 x 29
};

TEST_F(PicturesTest, EachIsAnRgbaPngOfItsSizeWithAntiAliasedEdges) {
  for (const TPictureCase& c : Pictures) {
    SCOPED_TRACE(Velqora::WideToUtf8(c.Name));
    // The header: signature, IHDR, bit depth 8, colour type 6 (RGBA).
    std::string bytes = StoredBytes(c.Name);
    ASSERT_GE(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_EQ(int(uint8_t(bytes[24])), 8);
    EXPECT_EQ(int(uint8_t(bytes[25])), 6);

    TBitmap32 bitmap;
    ASSERT_NO_THROW(Load(bitmap, c.Name));
    EXPECT_EQ(bitmap.GetWidth(), c.Width);
    ASSERT_EQ(bitmap.GetHeight(), c.Height);
    EXPECT_EQ(c.Height % c.Frames, 0);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectW(bitmap.GetHandle(), sizeof(dib), &dib), int(sizeof(dib)));
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);

    // The background shows through somewhere (nearly all of it), the shapes
    // are opaque, and their edges lie in between.
    int clear = 0, opaque = 0, partial = 0;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
      for (int x = 0; x < bitmap.GetWidth(); ++x) {
        uint32_t alpha = bitmap.ScanLine(y)[x] >> 24;
        (alpha < 0x20 ? clear : alpha == 0xFF ? opaque : partial)++;
      }
    EXPECT_GT(clear, 0);
    EXPECT_GT(opaque, 0);
    EXPECT_GT(partial, 0);
  }
}

// The reference decoder's pixels of a PNG: libpng's straight BGRA,
// premultiplied with rounding to the nearest value; empty when it fails.
std::vector<uint32_t> ReferencePixels(const std::string& ABytes, int& AWidth, int& AHeight) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, ABytes.data(), ABytes.size())) return {};
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint32_t> pixels(size_t(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  AWidth = int(image.width);
  AHeight = int(image.height);
  for (uint32_t& p : pixels) {
    const uint32_t a = p >> 24;
    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
    p = a << 24 | mul(p >> 16 & 0xFF) << 16 | mul(p >> 8 & 0xFF) << 8 | mul(p & 0xFF);
  }
  return pixels;
}

// The system's decoder gives every picture the pixels of the reference
// decoder, to the last bit: what the user sees does not depend on it.
TEST_F(PicturesTest, TheSystemsDecoderGivesTheReferencePixels) {
  for (const TPictureCase& c : Pictures) {
    SCOPED_TRACE(Velqora::WideToUtf8(c.Name));
    int width = 0, height = 0;
    const std::vector<uint32_t> expected = ReferencePixels(StoredBytes(c.Name), width, height);
    ASSERT_FALSE(expected.empty());
    TBitmap32 bitmap;
    ASSERT_NO_THROW(Load(bitmap, c.Name));
    ASSERT_EQ(bitmap.GetWidth(), width);
    ASSERT_EQ(bitmap.GetHeight(), height);
    int differing = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (bitmap.ScanLine(y)[x] != expected[size_t(y) * size_t(width) + size_t(x)] && differing++ == 0)
          ADD_FAILURE() << "first difference at " << x << ", " << y << ": " << std::hex << bitmap.ScanLine(y)[x]
                        << " against " << expected[size_t(y) * size_t(width) + size_t(x)];
    EXPECT_EQ(differing, 0);
  }
}

// Colours as 0xRRGGBB.
struct TFrameCase {
  const wchar_t* Strip;
  int Frame;  // 0 normal, 1 disabled, 2 hot, 3 pressed
  uint32_t BorderTop, BorderBottom;
  // The fill at the centre column a quarter down the frame lies between
  // UpperFrom and UpperTo, three quarters down between LowerFrom and LowerTo;
  // a fill of one run from top to bottom gives the same pair twice.
  uint32_t UpperFrom, UpperTo, LowerFrom, LowerTo;
};

const TFrameCase Frames[] = {
    {L"BTN_BACKGROUND_DEFAULT", 0, 0x717171, 0x717171, 0xF2F2F2, 0xECECEC, 0xDEDEDE, 0xD0D0D0},
    {L"BTN_BACKGROUND_DEFAULT", 1, 0xACB3B7, 0xACB3B7, 0xF4F4F4, 0xF4F4F4, 0xF4F4F4, 0xF4F4F4},
    {L"BTN_BACKGROUND_DEFAULT", 2, 0x0080B4, 0x0080B4, 0xE6F6FD, 0xD0F0FD, 0xACE7FE, 0x8EDAF6},
    {L"BTN_BACKGROUND_DEFAULT", 3, 0x00628E, 0x00628E, 0xE0F4FC, 0xB6E6F7, 0x79D2F1, 0x2DB7DF},
    {L"BTN_BACKGROUND_BLUE", 0, 0x2593BC, 0x0D6180, 0x52B2D5, 0x2594BD, 0x52B2D5, 0x2594BD},
    {L"BTN_BACKGROUND_BLUE", 1, 0xB6B6B6, 0xB6B6B6, 0xE7E7E7, 0xE7E7E7, 0xE7E7E7, 0xE7E7E7},
    {L"BTN_BACKGROUND_BLUE", 2, 0x2593BC, 0x0D6180, 0x5BC8F0, 0x2FAEDD, 0x5BC8F0, 0x2FAEDD},
    {L"BTN_BACKGROUND_BLUE", 3, 0x0D607F, 0x107398, 0x1987AF, 0x43A8CD, 0x1987AF, 0x43A8CD},
};

uint32_t Channel(uint32_t AColour, int AShift) { return AColour >> AShift & 0xFF; }

// Whether each channel of AColour lies between those of AFrom and ATo.
bool Between(uint32_t AColour, uint32_t AFrom, uint32_t ATo) {
  for (int shift : {0, 8, 16}) {
    uint32_t c = Channel(AColour, shift), a = Channel(AFrom, shift), b = Channel(ATo, shift);
    if (c < std::min(a, b) || c > std::max(a, b)) return false;
  }
  return true;
}

int Brightness(uint32_t AColour) { return int(Channel(AColour, 0) + Channel(AColour, 8) + Channel(AColour, 16)); }

TEST_F(PicturesTest, ButtonFramesShowTheirStatesColours) {
  for (const TFrameCase& c : Frames) {
    SCOPED_TRACE(Velqora::WideToUtf8(c.Strip) + " frame " + std::to_string(c.Frame));
    TBitmap32 strip;
    ASSERT_NO_THROW(Load(strip, c.Strip));
    const int width = strip.GetWidth(), height = strip.GetHeight() / 4, top = c.Frame * height;
    const int centre = width / 2, bottom = top + height - 1;
    auto pixel = [&](int AX, int AY) { return strip.ScanLine(AY)[AX]; };

    // Opaque along its edges, and the four corners let the background show.
    for (uint32_t p : {pixel(centre, top), pixel(centre, bottom), pixel(0, top + height / 2),
                       pixel(width - 1, top + height / 2)})
      EXPECT_EQ(p >> 24, 0xFFu);
    for (uint32_t p : {pixel(0, top), pixel(width - 1, top), pixel(0, bottom), pixel(width - 1, bottom)})
      EXPECT_LT(p >> 24, 0x80u);

    EXPECT_EQ(pixel(centre, top) & 0xFFFFFF, c.BorderTop);
    EXPECT_EQ(pixel(centre, bottom) & 0xFFFFFF, c.BorderBottom);
    uint32_t upper = pixel(centre, top + height / 4) & 0xFFFFFF;
    uint32_t lower = pixel(centre, top + 3 * height / 4) & 0xFFFFFF;
    EXPECT_TRUE(Between(upper, c.UpperFrom, c.UpperTo)) << std::hex << upper;
    EXPECT_TRUE(Between(lower, c.LowerFrom, c.LowerTo)) << std::hex << lower;
    // The fill runs the right way: lighter at the top, or darker where the
    // table says so.
    int expected = Brightness(c.UpperFrom) - Brightness(c.LowerTo);
    int actual = Brightness(upper) - Brightness(lower);
    EXPECT_EQ(expected > 0, actual > 0);
    EXPECT_EQ(expected < 0, actual < 0);
  }
}

}  // namespace
