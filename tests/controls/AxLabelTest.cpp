// The markup label in real windows: Tab stops and focus, link events from
// real mouse and keyboard input, automatic size, and the hover colour read
// back from the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "Project.VCL.AxLabel.h"
#include "TestSupport.h"

using namespace Project::VCL;
using Gui::RGBColor;
using Testing::PumpUntil;
using Testing::Rgb;

namespace {

// A label that records where the mouse moves reached it.
class TProbeLabel : public TLabel {
public:
  using TLabel::TLabel;
  POINT LastMove{-1, -1};

protected:
  void MouseMove(int AX, int AY) override {
    LastMove = {AX, AY};
    TLabel::MouseMove(AX, AY);
  }
};

const wchar_t ThreeLinks[] = L"<a href=\"a\">one</a> and <a href=\"b\">two</a> and <a href=\"c\">three</a>";

class AxLabelTest : public Testing::ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    Form.SetBounds(100, 100, 400, 150);
    Form.SetColor(RGBColor(255, 255, 255));
  }
  void TearDown() override {
    MouseToScreen(5, 5);  // away from the form
    ControlsTest::TearDown();
  }
  // A label whose link events and clicks go to Log.
  TProbeLabel* NewLabel(RECT ABounds, TAxLabelDisplayStyle AStyle, const std::wstring& ACaption) {
    TProbeLabel* l = Add<TProbeLabel>(ABounds);
    l->SetDisplayStyle(AStyle);
    l->SetCaption(ACaption);
    auto log = [this](const wchar_t* AWhat) {
      return [this, AWhat](Gui::TComponent*, const std::wstring& ALink) { Log.push_back(AWhat + ALink); };
    };
    l->OnLinkSetFocus = log(L"set:");
    l->OnLinkKillFocus = log(L"kill:");
    l->OnLinkClick = log(L"click:");
    l->OnLinkMouseEnter = log(L"enter:");
    l->OnLinkMouseLeave = log(L"leave:");
    l->OnClick = [this](Gui::TComponent*) { Log.push_back(L"OnClick"); };
    return l;
  }
  // The centre of the link's first piece, in the label's client coordinates.
  static POINT LinkCentre(TLabel& ALabel, const wchar_t* AHRef) {
    const RECT r = ALabel.GetLinkRectByHRef(AHRef);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  static void MouseToScreen(int AX, int AY) {
    SetCursorPos(AX, AY);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = AX * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = AY * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
    Testing::PumpPending();
  }
  // Moves the mouse over the label and waits until the label has seen it.
  static void MouseTo(TProbeLabel& ALabel, POINT AClient) {
    POINT p = AClient;
    ClientToScreen(ALabel.GetHandle(), &p);
    MouseToScreen(p.x, p.y);
    ASSERT_TRUE(PumpUntil([&] { return ALabel.LastMove.x == AClient.x && ALabel.LastMove.y == AClient.y; }));
  }
  static void MouseButton(bool ADown) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = ADown ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(input));
    Testing::PumpPending();
  }
  // A link label that holds the focus (showing the form focuses its first
  // tab stop), so that the label under test starts without it.
  TLabel* FocusElsewhere() {
    TLabel* other = Add<TLabel>({10, 100, 100, 120});
    other->SetDisplayStyle(TAxLabelDisplayStyle::ldsLink);
    other->SetCaption(L"other");
    other->SetTabOrder(0);
    Form.Show();
    other->SetFocus();
    EXPECT_TRUE(PumpUntil([&] { return other->Focused(); }));
    Log.clear();
    return other;
  }
  // Waits until Log has AExpected's length, then compares.
  void ExpectLog(const std::vector<std::wstring>& AExpected) {
    PumpUntil([&] { return Log.size() >= AExpected.size(); });
    Testing::PumpPending();
    EXPECT_EQ(Log, AExpected);
    Log.clear();
  }

  std::vector<std::wstring> Log;
};

// ---- Tab stops and focus ----

TEST_F(AxLabelTest, ACaptionWithoutLinksIsNoTabStopAndTakesNoFocus) {
  struct TCase {
    const char* Name;
    TAxLabelDisplayStyle Style;
    const wchar_t* Caption;
  };
  const TCase cases[] = {
      {"plain text", TAxLabelDisplayStyle::ldsPlain, L"<a href=\"x\">looks like a link</a>"},
      {"markup without a link", TAxLabelDisplayStyle::ldsHTML, L"<b>bold</b> text"},
  };
  Form.Show();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TProbeLabel* l = NewLabel({10, 10, 200, 30}, c.Style, c.Caption);
    EXPECT_FALSE(l->GetTabStop());
    EXPECT_FALSE(l->CanFocus());
    l->SetFocus();
    Testing::PumpPending();
    EXPECT_FALSE(l->Focused());
    delete l;
  }
}

TEST_F(AxLabelTest, TabStopFollowsTheLinksOfCaptionAndStyle) {
  TProbeLabel* l = NewLabel({10, 10, 200, 30}, TAxLabelDisplayStyle::ldsHTML, L"no link");
  EXPECT_FALSE(l->GetTabStop());
  l->SetCaption(L"a <a href=\"x\">link</a>");
  EXPECT_TRUE(l->GetTabStop());
  l->SetDisplayStyle(TAxLabelDisplayStyle::ldsPlain);
  EXPECT_FALSE(l->GetTabStop());
}

TEST_F(AxLabelTest, AnEmptyLinkLabelIsATabStopAndSpaceClicksIt) {
  TProbeLabel* l = NewLabel({10, 10, 100, 30}, TAxLabelDisplayStyle::ldsLink, L"");
  EXPECT_TRUE(l->GetTabStop());
  Form.Show();
  l->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return l->Focused(); }));
  ExpectLog({L"set:link"});
  Testing::PressKeys({VK_SPACE});
  ExpectLog({L"click:link"});
  EXPECT_EQ(l->PressLinkID(), -1);
}

TEST_F(AxLabelTest, TabWalksTheLinksThenLeavesAndShiftTabEntersAtTheLast) {
  TProbeLabel* l = NewLabel({10, 10, 300, 30}, TAxLabelDisplayStyle::ldsHTML, ThreeLinks);
  TLabel* next = Add<TLabel>({10, 50, 100, 70});
  next->SetDisplayStyle(TAxLabelDisplayStyle::ldsLink);
  next->SetCaption(L"next");
  Form.Show();
  next->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return next->Focused(); }));
  Log.clear();

  Testing::PressKeys({VK_TAB});
  ASSERT_TRUE(PumpUntil([&] { return l->Focused(); }));
  ExpectLog({L"set:a"});
  Testing::PressKeys({VK_TAB});
  ExpectLog({L"kill:a", L"set:b"});
  Testing::PressKeys({VK_TAB});
  ExpectLog({L"kill:b", L"set:c"});
  EXPECT_TRUE(l->Focused());
  Testing::PressKeys({VK_TAB});
  ASSERT_TRUE(PumpUntil([&] { return next->Focused(); }));
  ExpectLog({L"kill:c"});
  EXPECT_EQ(l->FocusedLinkID(), -1);

  Testing::PressKeys({VK_SHIFT, VK_TAB});
  ASSERT_TRUE(PumpUntil([&] { return l->Focused(); }));
  ExpectLog({L"set:c"});
  Testing::PressKeys({VK_SHIFT, VK_TAB});
  ExpectLog({L"kill:c", L"set:b"});
}

TEST_F(AxLabelTest, EnterClicksTheFocusedLink) {
  TProbeLabel* l = NewLabel({10, 10, 300, 30}, TAxLabelDisplayStyle::ldsHTML, ThreeLinks);
  Form.Show();
  l->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return l->Focused(); }));
  Testing::PressKeys({VK_TAB});
  ExpectLog({L"set:a", L"kill:a", L"set:b"});
  Testing::PressKeys({VK_RETURN});
  ExpectLog({L"click:b"});
}

// ---- Mouse ----

TEST_F(AxLabelTest, ClickingTheSecondLinkOfAnUnfocusedLabel) {
  TProbeLabel* l = NewLabel({10, 10, 300, 30}, TAxLabelDisplayStyle::ldsHTML, ThreeLinks);
  FocusElsewhere();
  MouseTo(*l, LinkCentre(*l, L"b"));
  ASSERT_TRUE(PumpUntil([&] { return l->OverLinkID() == 2; }));
  EXPECT_EQ(l->GetCursor(), Gui::TCursor::crHandPoint);
  ExpectLog({L"enter:b"});
  MouseButton(true);
  MouseButton(false);
  // The focus arrives at the first link; the click, after the control's
  // own click, names the second; no focus event names it.
  ExpectLog({L"set:a", L"OnClick", L"click:b"});
  EXPECT_TRUE(l->Focused());
  EXPECT_EQ(l->FocusedLinkID(), 2);

  MouseToScreen(5, 5);
  ASSERT_TRUE(PumpUntil([&] { return l->OverLinkID() == -1; }));
  ExpectLog({L"leave:b"});
  EXPECT_EQ(l->GetCursor(), Gui::TCursor::crDefault);
}

TEST_F(AxLabelTest, ReleasingOverAnotherLinkMovesTheFocusButDoesNotClick) {
  TProbeLabel* l = NewLabel({10, 10, 300, 30}, TAxLabelDisplayStyle::ldsHTML, ThreeLinks);
  FocusElsewhere();
  MouseTo(*l, LinkCentre(*l, L"a"));
  ASSERT_TRUE(PumpUntil([&] { return l->OverLinkID() == 1; }));
  MouseButton(true);
  ASSERT_TRUE(PumpUntil([&] { return l->PressLinkID() == 1; }));
  // With the button down the hovered link stays.
  MouseTo(*l, LinkCentre(*l, L"c"));
  EXPECT_EQ(l->OverLinkID(), 1);
  MouseButton(false);
  ASSERT_TRUE(PumpUntil([&] { return l->PressLinkID() == -1; }));
  // (The system may follow the release with a move of its own, which then
  // hovers the link under the mouse.)
  const std::vector<std::wstring> expected{L"enter:a", L"set:a", L"OnClick", L"kill:a", L"set:c"};
  PumpUntil([&] { return Log.size() >= expected.size(); });
  Testing::PumpPending();
  ASSERT_GE(Log.size(), expected.size());
  EXPECT_EQ(std::vector<std::wstring>(Log.begin(), Log.begin() + ptrdiff_t(expected.size())), expected);
  for (const std::wstring& e : Log) EXPECT_NE(e.rfind(L"click:", 0), 0u) << "a click: " << testing::PrintToString(e);
  EXPECT_EQ(l->FocusedLinkID(), 3);
}

TEST_F(AxLabelTest, AMoveWithShiftHeldKeepsTheHoveredLink) {
  TProbeLabel* l = NewLabel({10, 10, 300, 30}, TAxLabelDisplayStyle::ldsHTML, ThreeLinks);
  Form.Show();
  MouseTo(*l, LinkCentre(*l, L"a"));
  ASSERT_TRUE(PumpUntil([&] { return l->OverLinkID() == 1; }));
  auto shift = [](bool ADown) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_SHIFT;
    input.ki.dwFlags = ADown ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
  };
  shift(true);
  ASSERT_TRUE(PumpUntil([] { return GetKeyState(VK_SHIFT) < 0; }));
  MouseTo(*l, LinkCentre(*l, L"c"));
  EXPECT_EQ(l->OverLinkID(), 1);
  shift(false);
  ASSERT_TRUE(PumpUntil([] { return GetKeyState(VK_SHIFT) >= 0; }));
  MouseTo(*l, LinkCentre(*l, L"b"));
  EXPECT_EQ(l->OverLinkID(), 2);
}

TEST_F(AxLabelTest, AHoveredLinkIsDrawnInTheHoverFontsColour) {
  TProbeLabel* l = NewLabel({10, 10, 300, 40}, TAxLabelDisplayStyle::ldsHTML, L"<a href=\"x\">HHHHHH</a>");
  // Without smoothing every glyph pixel has the text colour.
  l->Font().SetName(L"Tahoma");
  l->Font().SetHeight(-20);
  l->Font().SetQuality(Gui::TFontQuality::fqNonAntialiased);
  Gui::TFont hover;
  hover.Assign(VCLCommon::DefaultLinkHoverFont());
  hover.SetColor(RGBColor(255, 0, 0));
  l->SetLinkHoverFont(hover);
  Form.Show();
  auto count = [&](uint32_t AColor) {
    HWND wnd = l->GetHandle();
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Testing::PumpPending();
    Testing::TRenderTarget shot(l->GetWidth(), l->GetHeight());
    Velqora::TWindowDC dc(wnd);
    BitBlt(shot.DC.Get(), 0, 0, l->GetWidth(), l->GetHeight(), dc.Get(), 0, 0, SRCCOPY);
    int n = 0;
    for (int y = 0; y < l->GetHeight(); ++y)
      for (int x = 0; x < l->GetWidth(); ++x) n += shot.Pixel(x, y) == AColor;
    return n;
  };
  const uint32_t normal = Rgb(0, 102, 221), red = Rgb(255, 0, 0);
  EXPECT_GT(count(normal), 20);
  EXPECT_EQ(count(red), 0);
  MouseTo(*l, LinkCentre(*l, L"x"));
  ASSERT_TRUE(PumpUntil([&] { return l->OverLinkID() == 1; }));
  EXPECT_GT(count(red), 20);
  EXPECT_EQ(count(normal), 0);
}

// ---- Size ----

TEST_F(AxLabelTest, AnAutoSizedEmptyLabelIsTwiceTheTextMargin) {
  TLabel* l = Add<TLabel>({10, 10, 100, 40});
  Form.Show();
  EXPECT_TRUE(l->GetAutoSize());
  EXPECT_EQ(l->GetWidth(), 2 * VCLCommon::TextMargin.x);
  EXPECT_EQ(l->GetHeight(), 2 * VCLCommon::TextMargin.y);
}

TEST_F(AxLabelTest, WrappingAndEllipsisSwitchAutoSizeOffAndAutoSizeClearsThem) {
  TLabel* l = Add<TLabel>({10, 10, 100, 40});
  l->SetCaption(L"some text");
  struct TCase {
    const char* Name;
    void (*Change)(TLabel&);
  };
  const TCase cases[] = {
      {"word wrap on", [](TLabel& L) { L.SetWordWrap(true); }},
      {"ellipsis", [](TLabel& L) { L.SetEllipsisPosition(TAxEllipsisPosition::epEndEllipsis); }},
      {"auto height", [](TLabel& L) { L.SetAutoHeight(true); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    l->SetAutoSize(true);
    c.Change(*l);
    EXPECT_FALSE(l->GetAutoSize());
  }
  l->SetWordWrap(true);
  l->SetEllipsisPosition(TAxEllipsisPosition::epWordEllipsis);
  l->SetAutoHeight(true);
  l->SetAutoSize(true);
  EXPECT_FALSE(l->GetWordWrap());
  EXPECT_FALSE(l->GetAutoHeight());
  EXPECT_EQ(l->GetEllipsisPosition(), TAxEllipsisPosition::epNone);
}

TEST_F(AxLabelTest, CaptionCuttingOnlyWhenTheTextIsWiderThanTheLabel) {
  TLabel* l = Add<TLabel>({10, 10, 100, 40});
  l->SetCaption(L"A caption much wider than thirty pixels");
  Form.Show();
  EXPECT_GT(l->GetWidth(), 30);
  EXPECT_FALSE(l->IsCaptionCutting());
  l->SetAutoSize(false);
  l->SetWidth(30);
  EXPECT_TRUE(l->IsCaptionCutting());
}

TEST_F(AxLabelTest, AutoHeightGrowsWithTheWrappedText) {
  TLabel* l = Add<TLabel>({10, 10, 300, 20});
  l->SetCaption(L"one two three four five six seven eight nine ten");
  l->SetWordWrap(true);
  l->SetAutoHeight(true);
  Form.Show();
  const int wide = l->GetHeight();
  l->SetWidth(60);
  EXPECT_EQ(l->GetWidth(), 60);
  EXPECT_GT(l->GetHeight(), wide);

  // The height of the text wrapped in the label's text area, measured by a
  // drawer of its own with the label's font, plus the margins.
  Testing::TCanvasTarget target(10, 10);
  TAxHTMLFontCache cache;
  TAxHTMLCanvas canvas(target.Canvas, cache);
  TAxHTMLDrawer drawer;
  drawer.Font() = ToHTMLFont(l->Font());
  drawer.SetText(u"one two three four five six seven eight nine ten");
  drawer.SetWordWrap(true);
  drawer.SetAutoHeight(true);
  const POINT m = VCLCommon::TextMargin;
  drawer.Update(canvas, {m.x, m.y, 60 - m.x, 1000});
  EXPECT_EQ(l->GetHeight(), drawer.TextRect().Height() + 2 * m.y);
}

TEST_F(AxLabelTest, LinkRectByHRefIgnoresAsciiCase) {
  TLabel* l = Add<TLabel>({10, 10, 300, 30});
  l->SetDisplayStyle(TAxLabelDisplayStyle::ldsHTML);
  l->SetCaption(L"<a href=\"Terms\">terms</a> and <a href=\"privacy\">privacy</a>");
  Form.Show();
  const RECT terms = l->GetLinkRectByHRef(L"Terms");
  EXPECT_LT(terms.left, terms.right);
  EXPECT_LT(terms.top, terms.bottom);
  const RECT upper = l->GetLinkRectByHRef(L"TERMS");
  EXPECT_TRUE(EqualRect(&terms, &upper));
  const RECT privacy = l->GetLinkRectByHRef(L"Privacy");
  EXPECT_GT(privacy.left, terms.right);
  const RECT none = l->GetLinkRectByHRef(L"other");
  EXPECT_TRUE(IsRectEmpty(&none));
}

}  // namespace
