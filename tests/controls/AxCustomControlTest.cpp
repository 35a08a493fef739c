#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "ControlsTestSupport.h"
#include "ExtCtrls.h"
#include "Project.VCL.AxCustomControl.h"
#include "Project.VCL.CanvasHelper.h"
#include "TestSupport.h"
#include "Velqora.System.SysUtils.h"

using namespace Gui;
using namespace Project::VCL;
using namespace Testing;

namespace {

// A control that counts its windows and background steps, records the
// redraw switches it is sent and fails its background on request.
struct TProbe : TAxCustomControl {
  using TAxCustomControl::TAxCustomControl;
  void CreateWnd() override {
    ++Creations;
    TAxCustomControl::CreateWnd();
  }
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == WM_SETREDRAW) Redraws.push_back(AMessage.WParam != 0);
    TAxCustomControl::WndProc(AMessage);
  }
  void DrawBackground(const RECT& AClientRect, const RECT& AClipRect) override {
    if (FailBackground) throw Velqora::Exception(L"background failed");
    ++Backgrounds;
    TAxCustomControl::DrawBackground(AClientRect, AClipRect);
  }
  void SetLoading(bool AValue) {
    if (AValue)
      FComponentState |= csLoading;
    else
      FComponentState -= csLoading;
  }
  int Creations = 0;
  int Backgrounds = 0;
  bool FailBackground = false;
  std::vector<bool> Redraws;
};

class AxCustomControlTest : public ControlsTest {
protected:
  // A probe on the form at (10, 10), 10 x 10.
  TProbe* NewProbe() { return Add<TProbe>({10, 10, 20, 20}); }
};

// ---- the erase step ----

TEST_F(AxCustomControlTest, AnOpaqueControlFillsOnlyTheClipRectangleInItsColour) {
  Form.SetColor(RGBColor(0, 128, 255));
  const struct {
    const char* Name;
    bool Parented;
    uint32_t Expected;
  } cases[] = {{"alone: its own white", false, Rgb(255, 255, 255)}, {"the parent's colour", true, Rgb(0, 128, 255)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TProbe probe(nullptr);
    if (c.Parented) probe.SetParent(&Form);
    TRenderTarget target(10, 10);
    target.Fill(Rgb(9, 9, 9));
    HDC dc = target.DC.Get();
    IntersectClipRect(dc, 2, 3, 6, 7);
    EXPECT_EQ(probe.Perform(WM_ERASEBKGND, WPARAM(dc), LPARAM(dc)), 1);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) {
        const bool clip = x >= 2 && x < 6 && y >= 3 && y < 7;
        ASSERT_EQ(target.Pixel(x, y), clip ? c.Expected : Rgb(9, 9, 9)) << x << "," << y;
      }
    probe.SetParent(nullptr);
  }
}

TEST_F(AxCustomControlTest, DrawsOnlyTheErasesThatReachTheScreenAndAlwaysAnswersErased) {
  TProbe probe(nullptr);
  TRenderTarget target(4, 4);
  HDC dc = target.DC.Get();
  enum TSecond { None, Same, Other };
  const struct {
    const char* Name;
    bool DoubleBuffered;
    bool WithDC;
    TSecond LParam;
    bool PaintCopy;
    bool Draws;
  } cases[] = {
      {"unbuffered, the system's erase", false, true, None, false, true},
      {"buffered, the system's erase", true, true, None, false, false},
      {"buffered, another value", true, true, Other, false, false},
      {"buffered, the buffer's erase", true, true, Same, false, true},
      {"buffered, captured", true, true, None, true, true},
      {"no device context", false, false, None, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    probe.SetDoubleBuffered(c.DoubleBuffered);
    if (c.PaintCopy) probe.ControlState |= csPaintCopy;
    target.Fill(0);
    const LPARAM second = c.LParam == Same ? LPARAM(dc) : c.LParam == Other ? 1 : 0;
    const int before = probe.Backgrounds;
    EXPECT_EQ(probe.Perform(WM_ERASEBKGND, c.WithDC ? WPARAM(dc) : 0, second), 1);
    EXPECT_EQ(probe.Backgrounds - before, c.Draws ? 1 : 0);
    EXPECT_EQ(target.Pixel(1, 1), c.Draws ? Rgb(255, 255, 255) : 0u);
    probe.ControlState -= csPaintCopy;
  }
}

TEST_F(AxCustomControlTest, ABackgroundThatFailsLeavesCanvasAndDeviceContextAsTheyWere) {
  TProbe* probe = NewProbe();
  HWND wnd = probe->GetHandle();
  probe->FailBackground = true;
  TRenderTarget target(4, 4);
  HDC dc = target.DC.Get();
  HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT), brush = GetCurrentObject(dc, OBJ_BRUSH);
  // As the system sends it: the window procedure catches what the step
  // raises and answers all the same.
  EXPECT_EQ(SendMessageW(wnd, WM_ERASEBKGND, WPARAM(dc), LPARAM(dc)), 1);
  App->ReportQueuedException();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], L"background failed");
  EXPECT_FALSE(probe->Canvas().HandleAllocated());
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  EXPECT_EQ(SaveDC(dc), 1) << "no saved state left behind";
  RestoreDC(dc, -1);
}

TEST_F(AxCustomControlTest, ATransparentControlShowsItsParentAndTheGraphicSiblingsBelow) {
  Form.SetColor(RGBColor(10, 20, 30));
  auto addShape = [&](RECT ABounds, TColor AColor) {
    auto shape = Add<TShape>(ABounds);
    shape->Pen().SetColor(AColor);
    shape->Brush().SetColor(AColor);
    return shape;
  };
  addShape({12, 12, 16, 16}, RGBColor(255, 0, 0));
  addShape({9, 9, 12, 12}, RGBColor(0, 0, 255))->Hide();  // hidden: not painted
  auto panel = Add<TPanel>({16, 16, 26, 26});             // windowed: paints itself
  panel->SetColor(RGBColor(0, 255, 0));
  TProbe* probe = NewProbe();
  probe->SetTransparent(true);
  Form.HandleNeeded();

  TRenderTarget target(10, 10);
  target.Fill(0);
  HDC dc = target.DC.Get();
  EXPECT_EQ(probe->Perform(WM_ERASEBKGND, WPARAM(dc), LPARAM(dc)), 1);
  EXPECT_EQ(target.Pixel(0, 0), Rgb(10, 20, 30));
  EXPECT_EQ(target.Pixel(1, 1), Rgb(10, 20, 30)) << "hidden sibling";
  EXPECT_EQ(target.Pixel(2, 2), Rgb(255, 0, 0)) << "the shape at (12, 12)";
  EXPECT_EQ(target.Pixel(5, 5), Rgb(255, 0, 0));
  EXPECT_EQ(target.Pixel(6, 6), Rgb(10, 20, 30)) << "the shape ends at (16, 16)";
  EXPECT_EQ(target.Pixel(8, 8), Rgb(10, 20, 30)) << "windowed sibling";
  POINT origin;
  GetWindowOrgEx(dc, &origin);
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);

  TProbe alone(nullptr);  // transparent without parent: nothing under it
  alone.SetTransparent(true);
  target.Fill(0);
  EXPECT_EQ(alone.Perform(WM_ERASEBKGND, WPARAM(dc), LPARAM(dc)), 1);
  EXPECT_EQ(target.Pixel(0, 0), 0u);
}

TEST_F(AxCustomControlTest, OnScreenTheBackgroundAndTheContentShowThroughEitherPaintPath) {
  const struct {
    const char* Name;
    bool DoubleBuffered, Transparent;
    uint32_t Background;
  } cases[] = {
      {"opaque", false, false, Rgb(0, 200, 0)},
      {"transparent", false, true, Rgb(0, 0, 255)},
      {"double-buffered, opaque", true, false, Rgb(0, 200, 0)},
      {"double-buffered, transparent", true, true, Rgb(0, 0, 255)},
  };
  Form.SetColor(RGBColor(0, 0, 255));
  Form.Show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Form.SetDoubleBuffered(c.DoubleBuffered);
    std::unique_ptr<TProbe> probe(Add<TProbe>({10, 10, 30, 22}));
    probe->SetColor(RGBColor(0, 200, 0));
    probe->SetTransparent(c.Transparent);
    probe->OnPaint = [&probe](TComponent*) {
      probe->Canvas().Brush().SetColor(RGBColor(255, 0, 255));
      probe->Canvas().FillRect({4, 4, 6, 6});
    };
    HWND wnd = probe->GetHandle();
    RedrawWindow(Form.GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(wnd, 4, 4) == Rgb(255, 0, 255); }, 5000)) << "content";
    EXPECT_EQ(ScreenPixel(wnd, 1, 1), c.Background);
    EXPECT_EQ(ScreenPixel(wnd, 19, 11), c.Background);
  }
}

// ---- the measuring canvas ----

DWORD WINAPI LockAndUnlock(void* ACanvas) {
  static_cast<TCanvas*>(ACanvas)->Lock();
  static_cast<TCanvas*>(ACanvas)->Unlock();
  return 0;
}

TEST_F(AxCustomControlTest, NestedMeasuringCanvasesShareOneScreenDeviceContext) {
  TProbe probe(nullptr);
  probe.Font().SetHeight(-30);
  EXPECT_FALSE(probe.Canvas().HandleAllocated());
  probe.InitCustomCanvas();
  const HDC dc = probe.Canvas().GetHandle();
  ASSERT_TRUE(dc);
  EXPECT_TRUE(probe.Canvas().Font().SameAs(probe.Font()));
  probe.InitCustomCanvas();
  EXPECT_EQ(probe.Canvas().GetHandle(), dc);
  TRenderTarget target(4, 4);  // a paint meanwhile gives the canvas back as it found it
  probe.Perform(WM_ERASEBKGND, WPARAM(target.DC.Get()), LPARAM(target.DC.Get()));
  probe.Perform(WM_PAINT, WPARAM(target.DC.Get()), 0);
  EXPECT_EQ(probe.Canvas().GetHandle(), dc);
  probe.DoneCustomCanvas();
  EXPECT_EQ(probe.Canvas().GetHandle(), dc) << "still open";
  EXPECT_GE(TCanvasHelper::AxTextHeight(probe.Canvas(), L"Hg", DT_SINGLELINE), 30);

  // Meanwhile the canvas is the measuring code's: another thread waits.
  Velqora::TUniqueKernelHandle thread(CreateThread(nullptr, 0, LockAndUnlock, &probe.Canvas(), 0, nullptr));
  ASSERT_TRUE(thread);
  EXPECT_EQ(WaitForSingleObject(thread.Get(), 200), DWORD(WAIT_TIMEOUT));
  probe.DoneCustomCanvas();
  EXPECT_FALSE(probe.Canvas().HandleAllocated());
  EXPECT_EQ(WaitForSingleObject(thread.Get(), 10000), DWORD(WAIT_OBJECT_0));

  probe.DoneCustomCanvas();  // one too many: nothing
  probe.InitCustomCanvas();
  EXPECT_TRUE(probe.Canvas().HandleAllocated());
  probe.DoneCustomCanvas();
  EXPECT_FALSE(probe.Canvas().HandleAllocated());
}

TEST_F(AxCustomControlTest, OutlineMetricsAreThoseOfTheControlsFontInsideOrOutsideMeasuring) {
  TProbe probe(nullptr);
  probe.Font().SetHeight(-30);
  for (bool measuring : {false, true}) {
    SCOPED_TRACE(measuring ? "inside" : "outside");
    if (measuring) probe.InitCustomCanvas();
    OUTLINETEXTMETRICW metrics;
    std::memset(&metrics, 0xCC, sizeof(metrics));
    probe.GetOutlineTextMetrics(metrics);
    EXPECT_GE(metrics.otmSize, sizeof(metrics)) << "filled in";
    EXPECT_EQ(metrics.otmTextMetrics.tmHeight - metrics.otmTextMetrics.tmInternalLeading, 30);
    EXPECT_EQ(probe.Canvas().HandleAllocated(), measuring) << "the canvas stays as it was";
    if (measuring) probe.DoneCustomCanvas();
  }
}

// ---- windows ----

// Whether AWnd has anything left to paint.
bool NeedsPaint(HWND AWnd) {
  RECT r;
  return GetUpdateRect(AWnd, &r, FALSE) != FALSE;
}

TEST_F(AxCustomControlTest, RedrawLocksNestAndOnlyTheOutermostReachesTheWindow) {
  TProbe* probe = NewProbe();
  probe->LockRedraw();  // no window yet: counted only
  probe->UnlockRedraw(true);
  EXPECT_FALSE(probe->HandleAllocated());
  EXPECT_TRUE(probe->Redraws.empty());

  Form.Show();  // hidden windows have nothing to paint
  HWND wnd = probe->GetHandle();
  for (bool invalidate : {true, false}) {
    SCOPED_TRACE(invalidate ? "invalidating" : "not invalidating");
    probe->Redraws.clear();
    ValidateRect(wnd, nullptr);
    probe->LockRedraw();
    probe->LockRedraw();
    EXPECT_EQ(probe->Redraws, std::vector<bool>{false});
    EXPECT_FALSE(GetWindowLongW(wnd, GWL_STYLE) & WS_VISIBLE) << "drawing switched off";
    probe->UnlockRedraw(invalidate);
    EXPECT_EQ(probe->Redraws, std::vector<bool>{false});
    probe->UnlockRedraw(invalidate);
    EXPECT_EQ(probe->Redraws, (std::vector<bool>{false, true}));
    EXPECT_TRUE(GetWindowLongW(wnd, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(NeedsPaint(wnd), invalidate);
  }
}

TEST_F(AxCustomControlTest, KeyboardCueEventsSetAndClearTheFlagsTheyName) {
  TProbe probe(nullptr);
  const struct {
    WORD Initial, Action, Flags;
    bool HideFocus, HideAccel;
  } cases[] = {
      {0, UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL, true, true},
      {0, UIS_SET, UISF_HIDEACCEL, false, true},
      {3, UIS_CLEAR, UISF_HIDEFOCUS, false, true},
      {3, UIS_CLEAR, UISF_HIDEACCEL, true, false},
      {3, UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL, false, false},
      {2, UIS_INITIALIZE, UISF_HIDEFOCUS, true, false},
      {3, UIS_INITIALIZE, 0, false, false},
      {3, 7, UISF_HIDEFOCUS | UISF_HIDEACCEL, true, true},  // unknown action
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "from " << c.Initial << ", action " << c.Action << " flags " << c.Flags);
    probe.Perform(WM_UPDATEUISTATE, MAKEWPARAM(UIS_INITIALIZE, c.Initial), 0);
    probe.Perform(WM_UPDATEUISTATE, MAKEWPARAM(c.Action, c.Flags), 0);
    EXPECT_EQ(probe.GetUIHideFocus(), c.HideFocus);
    EXPECT_EQ(probe.GetUIHideAccel(), c.HideAccel);
  }
}

// A control with a window of its own at the top.
struct TTopLevelProbe : TProbe {
  using TProbe::TProbe;
  bool IsTopLevel() const override { return true; }
  void CreateParams(TCreateParams& AParams) override {
    TProbe::CreateParams(AParams);
    AParams.Style = WS_POPUP;
  }
};

// A form that answers the keyboard-cue query with State (Wine keeps no
// keyboard-cue state: its default answer is always 0).
struct TCueForm : TForm {
  using TForm::TForm;
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == WM_QUERYUISTATE) {
      AMessage.Result = State;
      return;
    }
    TForm::WndProc(AMessage);
  }
  WORD State = 0;
};

TEST_F(AxCustomControlTest, AWindowTakesTheKeyboardCuesOfItsForm) {
  TCueForm form(nullptr);
  auto panel = new TPanel(&form);  // the form is asked, not the parent
  panel->SetParent(&form);
  form.HandleNeeded();
  for (WORD state : {0, 1, 2, 3}) {
    SCOPED_TRACE(state);
    form.State = state;
    TProbe probe(nullptr);
    probe.SetParent(panel);
    ASSERT_TRUE(probe.HandleAllocated());
    EXPECT_EQ(probe.GetUIHideFocus(), (state & UISF_HIDEFOCUS) != 0);
    EXPECT_EQ(probe.GetUIHideAccel(), (state & UISF_HIDEACCEL) != 0);
  }
  TTopLevelProbe alone(nullptr);  // no form to ask: both hidden
  alone.HandleNeeded();
  EXPECT_TRUE(alone.GetUIHideFocus());
  EXPECT_TRUE(alone.GetUIHideAccel());
}

TEST_F(AxCustomControlTest, TransparencyChangesMakeTheWindowAgainOncePerChangeAndNotWhileLoading) {
  TProbe* probe = NewProbe();
  Form.HandleNeeded();
  ASSERT_EQ(probe->Creations, 1);
  const struct {
    const char* Name;
    bool Transparent, Loading;
    int Creations;
  } steps[] = {
      {"transparent", true, false, 1},  {"transparent again", true, false, 0}, {"opaque", false, false, 1},
      {"while loading", true, true, 0}, {"loaded, opaque", false, false, 1},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.Name);
    probe->SetLoading(s.Loading);
    const int before = probe->Creations;
    probe->SetTransparent(s.Transparent);
    EXPECT_EQ(probe->Creations - before, s.Creations);
    EXPECT_EQ(probe->GetTransparent(), s.Transparent);
    EXPECT_EQ(probe->ControlStyle.Contains(csOpaque), !s.Transparent);
    EXPECT_TRUE(probe->HandleAllocated());
  }
}

TEST_F(AxCustomControlTest, TheSingleBorderKeepsOnePixelFreeOnEachSide) {
  TProbe* probe = NewProbe();
  probe->SetBounds(10, 10, 20, 12);
  Form.HandleNeeded();
  HWND wnd = probe->GetHandle();
  for (TBorderStyle style : {TBorderStyle::bsSingle, TBorderStyle::bsNone}) {
    const int border = style == TBorderStyle::bsSingle ? 1 : 0;
    SCOPED_TRACE(border);
    probe->SetBorderStyle(style);
    RECT client = probe->GetClientRect(), window;
    EXPECT_EQ(client.right, 20 - 2 * border);
    EXPECT_EQ(client.bottom, 12 - 2 * border);
    GetWindowRect(wnd, &window);
    POINT origin{0, 0};
    ClientToScreen(wnd, &origin);
    EXPECT_EQ(origin.x - window.left, border);
    EXPECT_EQ(origin.y - window.top, border);
  }
}

TEST_F(AxCustomControlTest, ResizeRunsOnceForEveryMoveOrSize) {
  TProbe* probe = NewProbe();
  Form.HandleNeeded();
  HWND wnd = probe->GetHandle();
  int resizes = 0;
  probe->OnResize = [&](TComponent*) { ++resizes; };
  const struct {
    const char* Name;
    std::function<void()> Change;
    int Resizes;
  } cases[] = {
      {"moved", [&] { probe->SetBounds(15, 10, 10, 10); }, 1},
      {"sized", [&] { probe->SetBounds(15, 10, 12, 10); }, 1},
      {"both", [&] { probe->SetBounds(10, 10, 10, 10); }, 1},
      {"z-order only", [&] { SetWindowPos(wnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); },
       0},
      {"frame only", [&] { probe->InvalidateNC(); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    resizes = 0;
    c.Change();
    EXPECT_EQ(resizes, c.Resizes);
  }
}

TEST_F(AxCustomControlTest, MouseInClientFollowsThePointer) {
  Form.SetBorderStyle(TFormBorderStyle::bsNone);
  Form.SetBounds(100, 100, 60, 40);
  TProbe* probe = NewProbe();
  Form.Show();
  RECT r;
  GetWindowRect(probe->GetHandle(), &r);
  auto moveTo = [](int AX, int AY) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (AX * 65535 + w / 2) / (w - 1);
    input.mi.dy = (AY * 65535 + h / 2) / (h - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
  };
  moveTo(r.left + 5, r.top + 5);
  EXPECT_TRUE(PumpUntil([&] { return probe->GetMouseInClient(); }));
  moveTo(r.right + 20, r.bottom + 20);
  EXPECT_TRUE(PumpUntil([&] { return !probe->GetMouseInClient(); }));
}

}  // namespace
