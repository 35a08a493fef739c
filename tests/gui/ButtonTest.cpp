#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "Project.VCL.AxButton.h"

using namespace Gui;
using Project::VCL::TButton;
using Testing::Rgb;
using Testing::TRenderTarget;

namespace {

class ButtonTest : public Testing::GuiTest {};

TEST_F(ButtonTest, EachLookPaintsItsOwnFaceWhateverWasPaintedBefore) {
  TForm form(nullptr);
  auto button = new TButton(&form);
  button->SetParent(&form);
  button->SetBounds(0, 0, 60, 30);
  button->SetCaption(L"Next");
  TRenderTarget target(60, 30);
  HDC dc = target.DC.Get();
  const uint32_t blue = Rgb(0, 120, 215), face = ColorToRGB(clBtnFace);
  // A point of the face away from the frame, the caption and the focus box.
  const int x = 3, y = 15;

  button->Perform(WM_PAINT, WPARAM(dc), 0);
  EXPECT_EQ(target.Pixel(x, y), Rgb(GetRValue(face), GetGValue(face), GetBValue(face)));
  button->SetBlueStyle();
  button->Perform(WM_PAINT, WPARAM(dc), 0);
  EXPECT_EQ(target.Pixel(x, y), blue) << "the blue face after the default look";
  button->Perform(WM_PAINT, WPARAM(dc), 0);
  EXPECT_EQ(target.Pixel(x, y), blue) << "the blue face painted twice";
}

}  // namespace
