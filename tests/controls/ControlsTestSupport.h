// Fixtures shared by the custom controls' tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "GuiTestSupport.h"
#include "Project.VCL.Common.h"

namespace Testing {

// A GUI test with the controls' shared defaults started, as the wrapper
// starts them before any control exists, and a form without frame, 80 x 60,
// to put controls on.
class ControlsTest : public GuiTest {
protected:
  void SetUp() override {
    Project::VCL::VCLCommon::Start();
    GuiTest::SetUp();
    Form.SetBorderStyle(Gui::TFormBorderStyle::bsNone);
    Form.SetBounds(0, 0, 80, 60);
  }
  void TearDown() override {
    GuiTest::TearDown();
    Project::VCL::VCLCommon::Stop();
  }
  // A new control, owned by the form, on AParent (the form without one).
  template <typename T>
  T* Add(RECT ABounds, Gui::TWinControl* AParent = nullptr) {
    auto control = new T(&Form);
    control->SetParent(AParent ? AParent : &Form);
    control->SetBounds(ABounds.left, ABounds.top, ABounds.right - ABounds.left, ABounds.bottom - ABounds.top);
    return control;
  }
  Gui::TForm Form{nullptr};
};

// A render target with a canvas attached to it, detached before the
// target goes.
struct TCanvasTarget : TRenderTarget {
  TCanvasTarget(int AWidth, int AHeight) : TRenderTarget(AWidth, AHeight) { Canvas.SetHandle(DC.Get()); }
  ~TCanvasTarget() { Canvas.SetHandle(nullptr); }
  Gui::TCanvas Canvas;
};

// An AWidth x AHeight bitmap whose pixel (x, y) is APixel(x, y), given as
// 0xAARRGGBB with premultiplied colour.
inline std::unique_ptr<Gui::TBitmap32> MakeBitmap(int AWidth, int AHeight,
                                                  const std::function<uint32_t(int, int)>& APixel) {
  auto bitmap = std::make_unique<Gui::TBitmap32>();
  bitmap->SetSize(AWidth, AHeight);
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x) bitmap->ScanLine(y)[x] = APixel(x, y);
  return bitmap;
}

// The opaque pixel 0xFFRRGGBB of a colour given as 0xRRGGBB.
constexpr uint32_t Opaque(uint32_t ARgb) { return 0xFF000000u | ARgb; }

}  // namespace Testing
