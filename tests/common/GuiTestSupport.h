// Fixtures shared by the GUI layer's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Forms.h"
#include "UniqueHandle.h"
#include "Velqora.DllRoutines.h"

namespace Testing {

// An application object for the test, with errors that reach the message
// loop collected instead of shown; the binding registry runs, as in the
// wrapper (the pictures' decoder is bound through it).
class GuiTest : public ::testing::Test {
protected:
  void SetUp() override {
    Velqora::DllRoutines::Start();
    NewApplication();
  }
  // A fresh application object (the previous one goes first).
  void NewApplication() {
    App.reset();
    App = std::make_unique<Gui::TApplication>();
    App->OnException = [this](std::exception_ptr AError) { Errors.push_back(Gui::ExceptionMessage(AError)); };
  }
  void TearDown() override {
    App.reset();
    Velqora::DllRoutines::Stop();
  }

  std::unique_ptr<Gui::TApplication> App;
  std::vector<std::wstring> Errors;
};

// A 32-bit bitmap selected into a memory device context, to paint on and
// read back.
struct TRenderTarget {
  TRenderTarget(int AWidth, int AHeight) : DC(CreateCompatibleDC(nullptr)) {
    Bitmap.SetSize(AWidth, AHeight);
    Old = SelectObject(DC.Get(), Bitmap.GetHandle());
  }
  ~TRenderTarget() { SelectObject(DC.Get(), Old); }
  // The pixel's colour as 0xRRGGBB.
  uint32_t Pixel(int AX, int AY) const {
    GdiFlush();
    return Bitmap.ScanLine(AY)[AX] & 0xFFFFFF;
  }
  void Fill(uint32_t ARGB) {
    for (int y = 0; y < Bitmap.GetHeight(); ++y)
      for (int x = 0; x < Bitmap.GetWidth(); ++x) Bitmap.ScanLine(y)[x] = ARGB;
  }

  Gui::TBitmap32 Bitmap;
  Velqora::TUniqueMemoryDC DC;
  HGDIOBJ Old;
};

// 0xRRGGBB of a colour given as red, green, blue.
constexpr uint32_t Rgb(uint8_t R, uint8_t G, uint8_t B) { return uint32_t(R) << 16 | uint32_t(G) << 8 | B; }

// The colour at client point (AX, AY) of AWnd as it is on screen.
inline uint32_t ScreenPixel(HWND AWnd, int AX, int AY) {
  Velqora::TWindowDC dc(AWnd);
  COLORREF c = GetPixel(dc.Get(), AX, AY);
  return Rgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace Testing
