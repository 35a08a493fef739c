#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "Project.VCL.AxCustomControl.h"
#include "Project.VCL.Utils.h"

using namespace Gui;
using namespace Project::VCL;
using namespace Testing;

namespace {

class UtilsTest : public ControlsTest {};

// A form whose erase step paints its colour and one marked pixel at (10, 10)
// of its client area.
struct TMarkedForm : TForm {
  using TForm::TForm;
  LRESULT EraseBackground(HDC ADC, LPARAM ALParam) override {
    TForm::EraseBackground(ADC, ALParam);
    SetPixelV(ADC, 10, 10, RGB(255, 0, 0));
    return 7;
  }
};

TEST_F(UtilsTest, TheParentsBackgroundLandsUnderTheControl) {
  TMarkedForm form(nullptr);
  form.SetColor(RGBColor(0, 0, 80));
  auto child = new TAxCustomControl(&form);
  child->SetBounds(8, 9, 5, 5);
  TRenderTarget target(5, 5);
  HDC dc = target.DC.Get();
  const struct {
    const char* Name;
    bool Parented, ParentWindow;
    LRESULT Answer;
    bool Draws;
  } cases[] = {
      {"no parent", false, false, 1, false},
      {"parent without window", true, false, 1, false},
      {"parent with window", true, true, 7, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    child->SetParent(c.Parented ? &form : nullptr);
    if (c.ParentWindow) form.HandleNeeded();
    target.Fill(Rgb(1, 1, 1));
    EXPECT_EQ(PerformEraseBackground(*child, dc), c.Answer);
    EXPECT_EQ(target.Pixel(0, 0), c.Draws ? Rgb(0, 0, 80) : Rgb(1, 1, 1));
    EXPECT_EQ(target.Pixel(2, 1), c.Draws ? Rgb(255, 0, 0) : Rgb(1, 1, 1)) << "the parent's (10, 10)";
    POINT origin;
    GetWindowOrgEx(dc, &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
  }
}

// Whether AWnd has anything left to paint.
bool NeedsPaint(HWND AWnd) {
  RECT r;
  return GetUpdateRect(AWnd, &r, FALSE) != FALSE;
}

TEST_F(UtilsTest, InvalidationReachesTheWholeWindowAndItsChildrenOnceThereIsOne) {
  auto outer = Add<TAxCustomControl>({0, 0, 50, 50});
  auto inner = Add<TAxCustomControl>({5, 5, 15, 15}, outer);
  InvalidateAll(*outer);
  InvalidateNC(*outer);
  EXPECT_FALSE(outer->HandleAllocated()) << "no window is made for it";

  Form.Show();  // hidden windows have nothing to paint
  for (HWND wnd : {outer->GetHandle(), inner->GetHandle()}) ValidateRect(wnd, nullptr);
  InvalidateAll(*outer);
  EXPECT_TRUE(NeedsPaint(outer->GetHandle()));
  EXPECT_TRUE(NeedsPaint(inner->GetHandle()));
}

// A green control with a red square at (1, 1)-(3, 3).
struct TSquare : TAxCustomControl {
  explicit TSquare(TComponent* AOwner) : TAxCustomControl(AOwner) {
    SetColor(RGBColor(0, 160, 0));
    OnPaint = [this](TComponent*) {
      Canvas().Brush().SetColor(RGBColor(255, 0, 0));
      Canvas().FillRect({1, 1, 3, 3});
      PaintCopy = ControlState.Contains(csPaintCopy);
    };
  }
  bool PaintCopy = false;
};

TEST_F(UtilsTest, CapturesTheControlAtThePlaceGivenWhateverItsBufferingAndRegion) {
  Form.SetColor(RGBColor(0, 0, 255));
  auto square = Add<TSquare>({20, 20, 28, 26});
  Form.HandleNeeded();
  const struct {
    const char* Name;
    bool DoubleBuffered, Region;
  } cases[] = {{"plain", false, false}, {"double-buffered", true, false}, {"with a window region", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    square->SetDoubleBuffered(c.DoubleBuffered);
    HWND wnd = square->GetHandle();
    if (c.Region) SetWindowRgn(wnd, CreateEllipticRgn(0, 0, 8, 6), FALSE);  // the window owns it
    TRenderTarget target(20, 20);
    target.Fill(Rgb(9, 9, 9));
    AxPaintTo(*square, target.DC.Get(), 5, 6);
    EXPECT_TRUE(square->PaintCopy) << "painted as a copy";
    EXPECT_FALSE(square->ControlState.Contains(csPaintCopy)) << "and no longer";
    EXPECT_EQ(target.Pixel(5, 6), Rgb(0, 160, 0)) << "background, corner included";
    EXPECT_EQ(target.Pixel(12, 11), Rgb(0, 160, 0));
    EXPECT_EQ(target.Pixel(6, 7), Rgb(255, 0, 0)) << "content";
    EXPECT_EQ(target.Pixel(4, 6), Rgb(9, 9, 9)) << "clipped to the control";
    EXPECT_EQ(target.Pixel(13, 6), Rgb(9, 9, 9));
    EXPECT_EQ(target.Pixel(5, 12), Rgb(9, 9, 9));
    POINT origin;
    GetWindowOrgEx(target.DC.Get(), &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    if (c.Region) {
      Velqora::TUniqueRegion region(CreateRectRgn(0, 0, 0, 0));
      EXPECT_EQ(GetWindowRgn(wnd, region.Get()), COMPLEXREGION) << "the window has its region back";
      SetWindowRgn(wnd, nullptr, FALSE);
    }
  }
}

}  // namespace
