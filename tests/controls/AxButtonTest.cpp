// The skinned button in a real window: its looks in every state read back
// from the screen, the hover fade, and clicks by mouse and keyboard.
#include <gtest/gtest.h>
#include <windows.h>
#include <imm.h>

#include <optional>
#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "UniqueHandle.h"
#include "Project.VCL.AxButton.h"
#include "Project.VCL.CanvasHelper.h"
#include "Project.VCL.UIStateHelper.h"
#include "Project.VCL.Units.h"
#include "TestSupport.h"
#include "Velqora.System.Timer.h"

using namespace Project::VCL;
using Gui::RGBColor;
using Testing::PumpUntil;
using Testing::Rgb;

namespace {

// The shared defaults, the timer service and the fade helper started as the
// wrapper starts them.
class AxButtonTest : public Testing::ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    Fades.emplace(UnitsThroughControls, TUIStateHelper::Start, Velqora::Timer::Start);
    Form.SetBounds(100, 100, 300, 120);
    Form.SetColor(RGBColor(240, 240, 240));
  }
  void TearDown() override {
    for (TButton* b : Buttons) delete b;
    Buttons.clear();
    Fades.reset();
    ControlsTest::TearDown();
  }
  TButton* NewButton(RECT ABounds) {
    TButton* b = Add<TButton>(ABounds);
    Buttons.push_back(b);
    b->OnClick = [this](Gui::TComponent*) { ++Clicks; };
    return b;
  }
  // The window as it is on screen, once it has been painted.
  void Capture(TButton& AButton, Testing::TRenderTarget& ATarget) {
    HWND wnd = AButton.GetHandle();
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Testing::PumpPending();
    Velqora::TWindowDC dc(wnd);
    BitBlt(ATarget.DC.Get(), 0, 0, AButton.GetWidth(), AButton.GetHeight(), dc.Get(), 0, 0, SRCCOPY);
  }
  POINT ScreenPoint(TButton& AButton, int AX, int AY) {
    POINT p{AX, AY};
    ClientToScreen(AButton.GetHandle(), &p);
    return p;
  }
  void MouseTo(TButton& AButton, int AX, int AY) {
    POINT p = ScreenPoint(AButton, AX, AY);
    SetCursorPos(p.x, p.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
    Testing::PumpPending();
  }
  void MouseButton(bool ADown) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = ADown ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(input));
    Testing::PumpPending();
  }

  // The timer service and the fade helper.
  std::optional<Velqora::TUnitsScope> Fades;
  std::vector<TButton*> Buttons;
  int Clicks = 0;
};

// ---- Looks ----

struct TLookCase {
  const char* Name;
  bool Blue;
  TUIControlState State;
  uint32_t Border;  // at the top edge's centre
  uint32_t Text;
  uint32_t Shadow;  // 0: no shadow row above the text
};

const TLookCase Looks[] = {
    {"default normal", false, TUIControlState::uicsNormal, 0x717171, 0x000000, 0},
    {"default disabled", false, TUIControlState::uicsDisabled, 0xACB3B7, 0xA0A0A0, 0},
    {"default hot", false, TUIControlState::uicsHot, 0x0080B4, 0x000000, 0},
    {"default pressed", false, TUIControlState::uicsPressed, 0x00628E, 0x000000, 0},
    {"blue normal", true, TUIControlState::uicsNormal, 0x2593BC, 0xFFFFFF, 0x0D5C87},
    {"blue disabled", true, TUIControlState::uicsDisabled, 0xB6B6B6, 0x7C7C7C, 0x0D5C87},
    {"blue hot", true, TUIControlState::uicsHot, 0x2593BC, 0xFFFFFF, 0x0D5C87},
    {"blue pressed", true, TUIControlState::uicsPressed, 0x0D607F, 0xFFFFFF, 0x0D5C87},
};

TEST_F(AxButtonTest, EachLookInEachStateShowsItsFrameTextAndShadow) {
  Form.Show();
  for (const TLookCase& c : Looks) {
    SCOPED_TRACE(c.Name);
    // The frame's own size: nothing is stretched, so the pixels are the
    // picture's.
    const int w = c.Blue ? 129 : 95, h = c.Blue ? 29 : 31;
    TButton* b = NewButton({10, 10, 10 + w, 10 + h});
    if (c.Blue) b->SetBlueStyle();
    // Without smoothing every glyph pixel has the text colour.
    b->Font().SetQuality(Gui::TFontQuality::fqNonAntialiased);
    b->Font().SetHeight(-16);
    b->SetCaption(L"HHH");
    switch (c.State) {
      case TUIControlState::uicsDisabled: b->SetEnabled(false); break;
      case TUIControlState::uicsPressed: b->UIMainState().DoKeyDown(); break;
      case TUIControlState::uicsHot:  // through pressed: no fade
        b->UIMainState().DoKeyDown();
        b->UIMainState().SetState(TUIControlState::uicsHot);
        break;
      case TUIControlState::uicsNormal: break;
    }
    Testing::TRenderTarget shot(w, h);
    Capture(*b, shot);
    EXPECT_EQ(shot.Pixel(w / 2, 0), c.Border);
    // The text: its colour's pixels, and one row above its top row the
    // shadow's.
    int top = -1, count = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 3; x < w - 3; ++x)
        if (shot.Pixel(x, y) == c.Text) {
          if (top < 0) top = y;
          ++count;
        }
    EXPECT_GT(count, 20);
    ASSERT_GT(top, 0);
    int shadow = 0;
    for (int x = 3; x < w - 3; ++x) shadow += shot.Pixel(x, top - 1) == c.Shadow;
    if (c.Shadow)
      EXPECT_GT(shadow, 3);
    else
      EXPECT_EQ(shadow, 0);
    delete b;
    Buttons.clear();
  }
}

// ---- The hover fade ----

TEST_F(AxButtonTest, HoveringFadesTheHotLookInStepsAndCompletely) {
  TButton* b = NewButton({10, 10, 120, 42});
  b->SetCaption(L"Next");
  std::vector<int> opacities;
  b->OnPaint = [&](Gui::TComponent*) {
    if (b->UIMainState().AnimationEnabled() || opacities.empty() || opacities.back() != b->UIMainState().Opaque())
      opacities.push_back(b->UIMainState().Opaque());
  };
  Form.Show();
  MouseTo(*b, -50, -50);
  opacities.clear();
  MouseTo(*b, 20, 10);
  ASSERT_TRUE(PumpUntil([&] { return !b->UIMainState().AnimationEnabled() && b->UIMainState().Opaque() == 255; }));
  EXPECT_EQ(b->UIMainState().State(), TUIControlState::uicsHot);
  ASSERT_FALSE(opacities.empty());
  for (size_t i = 1; i < opacities.size(); ++i) EXPECT_GE(opacities[i], opacities[i - 1]) << "rising";
  EXPECT_LT(opacities.front(), 255);
  EXPECT_EQ(opacities.back(), 255);

  // Leaving fades it out again, down to nothing; the fade's timer goes.
  opacities.clear();
  MouseTo(*b, -50, -50);
  ASSERT_TRUE(PumpUntil([&] { return !b->UIMainState().AnimationEnabled() && b->UIMainState().Opaque() == 0; }));
  EXPECT_EQ(b->UIMainState().State(), TUIControlState::uicsNormal);
  for (size_t i = 1; i < opacities.size(); ++i) EXPECT_LE(opacities[i], opacities[i - 1]) << "falling";
  EXPECT_EQ(opacities.back(), 0);
}

TEST_F(AxButtonTest, PressingDuringAFadeShowsThePressedLookAtOnce) {
  TButton* b = NewButton({10, 10, 120, 42});
  b->UIMainState().SetItemRect(b->GetClientRect());
  b->UIMainState().SetState(TUIControlState::uicsHot);  // fading in
  ASSERT_TRUE(b->UIMainState().AnimationEnabled());
  b->UIMainState().DoKeyDown();
  EXPECT_FALSE(b->UIMainState().AnimationEnabled());
  EXPECT_EQ(b->UIMainState().Opaque(), 255);
  b->UIMainState().SetState(TUIControlState::uicsDisabled);
  EXPECT_EQ(b->UIMainState().Opaque(), 0);
}

// ---- Clicks ----

TEST_F(AxButtonTest, TheMouseClicksOnlyWhenReleasedOverTheButton) {
  TButton* b = NewButton({10, 10, 120, 42});
  Form.Show();
  auto state = [&] { return b->UIMainState().State(); };
  struct TCase {
    const char* Name;
    POINT Press, Release;
    int Clicks;
  };
  // Pressed apart from each other: a second press where the first was is
  // the second half of a double click, which presses nothing.
  const TCase cases[] = {{"released inside", {50, 15}, {50, 15}, 1},
                         {"dragged off and released outside", {80, 20}, {200, 80}, 0}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Clicks = 0;
    MouseTo(*b, c.Press.x, c.Press.y);
    ASSERT_TRUE(PumpUntil([&] { return b->UIMainState().MouseInItem(); }));
    MouseButton(true);
    ASSERT_TRUE(PumpUntil([&] { return state() == TUIControlState::uicsPressed; }));
    MouseTo(*b, c.Release.x, c.Release.y);
    const bool inside = c.Release.x < b->GetWidth() && c.Release.y < b->GetHeight();
    ASSERT_TRUE(PumpUntil([&] { return b->UIMainState().MouseInItem() == inside; }));
    MouseButton(false);
    ASSERT_TRUE(PumpUntil([&] { return state() != TUIControlState::uicsPressed; }));
    Testing::PumpPending();
    EXPECT_EQ(Clicks, c.Clicks);
  }
  MouseTo(*b, -50, -50);
}

// The second press of a double click is no press: a double click clicks
// once.
TEST_F(AxButtonTest, ADoubleClickClicksOnce) {
  TButton* b = NewButton({10, 10, 120, 42});
  Form.Show();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(b->GetHandle()) != FALSE; }));
  Clicks = 0;
  Testing::ClickWindow(b->GetHandle(), 2);
  ASSERT_TRUE(PumpUntil([&] { return Clicks > 0; }));
  PumpUntil([&] { return GetAsyncKeyState(VK_LBUTTON) >= 0 && b->UIMainState().State() != TUIControlState::uicsPressed; });
  Testing::PumpPending();
  EXPECT_EQ(Clicks, 1);
  Testing::ClickAt(0, 0);  // the pointer away, not a double click with the next test's
}

TEST_F(AxButtonTest, KeysClickOnceAndADisabledButtonIgnoresThem) {
  TButton* next = NewButton({10, 10, 120, 42});
  TButton* cancel = NewButton({130, 10, 240, 42});
  cancel->SetCancel(true);
  Form.Show();
  struct TCase {
    const char* Name;
    WORD Key;
    int NextClicks, CancelClicks;
  };
  const TCase cases[] = {
      {"space on the focused button", VK_SPACE, 1, 0},
      {"enter on the focused button", VK_RETURN, 1, 0},
      {"escape reaches the cancel button", VK_ESCAPE, 0, 1},
  };
  int nextClicks = 0, cancelClicks = 0;
  next->OnClick = [&](Gui::TComponent*) { ++nextClicks; };
  cancel->OnClick = [&](Gui::TComponent*) { ++cancelClicks; };
  next->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return next->Focused(); }));
  // Pressed once, and held down: the keyboard's repeated key-downs click
  // nothing more.
  for (const TCase& c : cases)
    for (int repeats : {0, 12}) {
    SCOPED_TRACE(testing::Message() << c.Name << ", " << repeats << " repeats");
    nextClicks = cancelClicks = 0;
    Testing::HoldKey(c.Key, repeats, 30);
    ASSERT_TRUE(PumpUntil([&] { return nextClicks + cancelClicks > 0; }));
    // The key's release has arrived too: nothing more clicks.
    PumpUntil([&] { return GetAsyncKeyState(c.Key) >= 0 && next->UIMainState().State() != TUIControlState::uicsPressed; });
    Testing::PumpPending();
    EXPECT_EQ(nextClicks, c.NextClicks);
    EXPECT_EQ(cancelClicks, c.CancelClicks);
    }

  cancel->SetEnabled(false);
  cancelClicks = 0;
  Testing::PressKeys({VK_ESCAPE});
  EXPECT_FALSE(PumpUntil([&] { return cancelClicks > 0; }, 1000));
  MouseTo(*cancel, 20, 10);
  MouseButton(true);
  MouseButton(false);
  EXPECT_FALSE(PumpUntil([&] { return cancelClicks > 0; }, 1000));
  MouseTo(*cancel, -50, -50);
}

// ---- Automatic size ----

TEST_F(AxButtonTest, AutomaticSizeRoundsTheCaptionUpToWholeTens) {
  TButton* b = NewButton({10, 10, 100, 35});
  b->SetCaption(L"Install");
  b->InitCustomCanvas();
  const int caption = TCanvasHelper::AxTextWidth(b->Canvas(), L"Install", DT_SINGLELINE | DT_NOPREFIX);
  b->DoneCustomCanvas();
  int w = 0, h = 0;
  EXPECT_TRUE(b->CanAutoSize(w, h));
  EXPECT_EQ(w, (caption + 20 + 9) / 10 * 10);
  EXPECT_EQ(w % 10, 0);
  EXPECT_EQ(h, 0);  // no icon and no padding: nothing but the padding's height

  // The size constraints have the last word: minimums first, then maximums.
  struct TCase {
    Gui::TSizeConstraints Limits;
    int Width, Height;
  };
  const int natural = (caption + 20 + 9) / 10 * 10;
  const TCase cases[] = {
      {{natural + 40, 25, 0, 0}, natural + 40, 25},
      {{0, 0, natural - 10, 0}, natural - 10, 0},
      {{0, 30, 0, 20}, natural, 20},  // a maximum below the minimum wins
      {{natural + 40, 0, natural + 20, 0}, natural + 20, 0},
  };
  for (const TCase& c : cases) {
    b->Constraints() = c.Limits;
    w = h = -1;
    EXPECT_TRUE(b->CanAutoSize(w, h));
    EXPECT_EQ(w, c.Width);
    EXPECT_EQ(h, c.Height);
  }
}

// A button is no surface of its own (the footer shows at its rounded
// corners), takes no text input (no input method where East Asian input
// methods would switch on for it) and is a multi-line window when its
// caption may wrap.
TEST_F(AxButtonTest, NotOpaqueNoInputMethodMultiLineWhenWrapping) {
  struct TWrapping : TButton {
    explicit TWrapping(Gui::TComponent* AOwner) : TButton(AOwner) { FWordWrap = true; }
  };
  TButton* plain = NewButton({10, 10, 100, 35});
  EXPECT_FALSE(plain->ControlStyle.Contains(Gui::csOpaque));
  EXPECT_TRUE(plain->ControlStyle.Contains(Gui::csCaptureMouse));
  EXPECT_FALSE(GetWindowLongW(plain->GetHandle(), GWL_STYLE) & BS_MULTILINE);
  TWrapping* wrapping = Add<TWrapping>({10, 40, 100, 65});
  EXPECT_TRUE(GetWindowLongW(wrapping->GetHandle(), GWL_STYLE) & BS_MULTILINE);

  // What a window's input context is: the association a new one replaces
  // (ImmGetContext would answer the thread's default context in its place).
  auto associated = [](HWND AWnd) {
    HIMC previous = ImmAssociateContext(AWnd, nullptr);
    ImmAssociateContext(AWnd, previous);
    return previous;
  };
  const bool systemGivesContexts = associated(plain->GetHandle()) != nullptr;
  const auto saved = Project::VCL::TAxButtonControl::FarEastInput;
  Project::VCL::TAxButtonControl::FarEastInput = [] { return true; };
  TButton* eastAsian = NewButton({10, 70, 100, 95});
  eastAsian->GetHandle();
  Project::VCL::TAxButtonControl::FarEastInput = saved;
  EXPECT_EQ(associated(eastAsian->GetHandle()), nullptr) << "an input method on a button";
  EXPECT_TRUE(systemGivesContexts) << "the system gives windows no input context: the case above shows nothing";
}

}  // namespace
