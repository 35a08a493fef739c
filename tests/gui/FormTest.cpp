#include <gtest/gtest.h>

#include <stdexcept>

#include "ExtCtrls.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "Velqora.System.SysUtils.h"

using namespace Gui;
using Testing::PumpUntil;

namespace {

class FormTest : public Testing::GuiTest {};

// A focusable control that counts its clicks, fails on message FailOn by
// calling Raise and runs OnApp for WM_APP + 1.
struct TProbe : TCustomControl {
  explicit TProbe(TComponent* AOwner) : TCustomControl(AOwner) { SetTabStop(true); }
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == FailOn) Raise();
    if (AMessage.Msg == WM_APP + 1 && OnApp) OnApp();
    TCustomControl::WndProc(AMessage);
  }
  UINT FailOn = WM_APP;
  void (*Raise)() = [] { throw Velqora::Exception(L"probe failed"); };
  std::function<void()> OnApp;
  bool WantsKey(WPARAM AKey) override { return AKey == VK_RETURN; }
  void KeyDown(WPARAM AKey) override {
    if (AKey == VK_RETURN) ++Clicks;
  }
  int Clicks = 0;
};

TEST_F(FormTest, WindowsAreMadeWhenShownAndKeepTheClientSize) {
  auto form = new TForm(App.get());
  form->SetBorderStyle(TFormBorderStyle::bsSingle);
  form->SetBorderIcons(biSystemMenu);
  form->SetPosition(TPosition::poScreenCenter);
  form->SetClientSize(300, 200);
  auto panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetAlign(TAlign::alClient);
  EXPECT_FALSE(form->HandleAllocated());
  EXPECT_FALSE(panel->HandleAllocated());
  EXPECT_EQ(panel->GetWidth(), 300);  // laid out before any window exists

  form->Show();
  HWND wnd = form->GetHandleIfAllocated();
  ASSERT_TRUE(wnd);
  ASSERT_TRUE(panel->HandleAllocated());
  EXPECT_EQ(::GetParent(panel->GetHandleIfAllocated()), wnd);
  RECT client;
  GetClientRect(wnd, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
  EXPECT_EQ(panel->GetWidth(), 300);
  EXPECT_EQ(panel->GetHeight(), 200);

  LONG style = GetWindowLongW(wnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);  // the main form
  RECT window;
  GetWindowRect(wnd, &window);
  EXPECT_NEAR((window.left + window.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((window.top + window.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(FormTest, MovingAControlToAFormWithoutWindowDropsItsWindow) {
  auto shown = new TForm(App.get());
  auto hidden = new TForm(App.get());
  auto panel = new TPanel(hidden);
  auto inner = new TPanel(hidden);
  inner->SetParent(panel);
  panel->SetParent(shown);
  shown->Show();
  ASSERT_TRUE(inner->HandleAllocated());
  panel->SetParent(hidden);
  EXPECT_FALSE(panel->HandleAllocated());
  EXPECT_FALSE(inner->HandleAllocated());
  panel->SetParent(shown);  // made again under the shown form
  EXPECT_TRUE(panel->HandleAllocated());
  EXPECT_TRUE(inner->HandleAllocated());
  EXPECT_EQ(::GetParent(inner->GetHandleIfAllocated()), panel->GetHandleIfAllocated());
}

TEST_F(FormTest, ClosingTheMainFormEndsTheLoopOtherFormsHide) {
  auto mainForm = new TForm(App.get());
  auto other = new TForm(App.get());
  EXPECT_EQ(App->GetMainForm(), mainForm);
  int asked = 0;
  other->OnClose = [&](TComponent*, TCloseAction&) { ++asked; };
  other->Show();
  mainForm->Show();
  PostMessageW(other->GetHandle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return asked == 1; }));
  EXPECT_FALSE(IsWindowVisible(other->GetHandle()));
  EXPECT_FALSE(App->GetTerminated());

  mainForm->OnClose = [](TComponent*, TCloseAction& AAction) { AAction = TCloseAction::caNone; };
  PostMessageW(mainForm->GetHandle(), WM_CLOSE, 0, 0);
  Testing::PumpPending();
  EXPECT_FALSE(App->GetTerminated());  // refused
  mainForm->OnClose = nullptr;
  PostMessageW(mainForm->GetHandle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return App->GetTerminated(); }));
}

TEST_F(FormTest, ErrorsInWindowProceduresReachTheApplicationNotTheSystem) {
  auto form = new TForm(App.get());
  auto probe = new TProbe(form);
  probe->SetParent(form);
  form->Show();
  PostMessageW(probe->GetHandle(), WM_APP, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !Errors.empty(); }));
  EXPECT_EQ(Errors, std::vector<std::wstring>{L"probe failed"});
  EXPECT_TRUE(IsWindow(probe->GetHandle()));  // the control carries on
}

TEST_F(FormTest, AnErrorOfASentMessageReachesTheCallThatSentIt) {
  using TAct = void (*)(TProbe&, TForm&);
  const struct {
    const char* Name;
    UINT FailOn;
    TAct Act;
    bool HasWindow;  // afterwards
  } cases[] = {
      {"window made, WM_NCCREATE", WM_NCCREATE, [](TProbe& p, TForm& f) { p.SetParent(&f); }, false},
      {"window made, WM_CREATE", WM_CREATE, [](TProbe& p, TForm& f) { p.SetParent(&f); }, false},
      {"window made, WM_SIZE", WM_SIZE, [](TProbe& p, TForm& f) { p.SetParent(&f); }, false},
      {"moved, WM_SIZE", WM_SIZE, [](TProbe& p, TForm&) { p.SetBounds(5, 5, 40, 40); }, true},
      {"moved, WM_WINDOWPOSCHANGED", WM_WINDOWPOSCHANGED, [](TProbe& p, TForm&) { p.SetLeft(9); }, true},
      {"caption, WM_SETTEXT", WM_SETTEXT, [](TProbe& p, TForm&) { p.SetCaption(L"x"); }, true},
      {"font, WM_SETFONT", WM_SETFONT, [](TProbe& p, TForm&) { p.Font().SetHeight(-20); }, true},
      {"hidden, WM_SHOWWINDOW", WM_SHOWWINDOW, [](TProbe& p, TForm&) { p.Hide(); }, true},
      {"disabled, WM_ENABLE", WM_ENABLE, [](TProbe& p, TForm&) { p.SetEnabled(false); }, true},
      {"focused, WM_SETFOCUS", WM_SETFOCUS, [](TProbe& p, TForm&) { p.SetFocus(); }, true},
      {"brought to front, WM_WINDOWPOSCHANGING", WM_WINDOWPOSCHANGING,
       [](TProbe& p, TForm&) { p.BringToFront(); }, true},
      {"updated, WM_PAINT", WM_PAINT,
       [](TProbe& p, TForm&) {
         p.Invalidate();
         p.Update();
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    NewApplication();
    Errors.clear();
    auto form = new TForm(App.get());
    form->SetClientSize(100, 50);
    auto other = new TProbe(form);  // so that the probe is not on top already
    other->SetParent(form);
    auto probe = new TProbe(form);
    probe->SetBounds(30, 0, 20, 20);
    if (c.HasWindow) probe->SetParent(form);
    form->Show();
    other->BringToFront();
    Testing::PumpPending();
    probe->FailOn = c.FailOn;
    std::wstring raised;
    try {
      c.Act(*probe, *form);
    } catch (...) {
      raised = ExceptionMessage(std::current_exception());
    }
    EXPECT_EQ(raised, L"probe failed");
    EXPECT_EQ(probe->HandleAllocated(), c.HasWindow);
    probe->FailOn = WM_APP;
    Testing::PumpPending();
    EXPECT_TRUE(Errors.empty()) << "reported as well";
  }
}

TEST_F(FormTest, AnErrorOfASentMessageInADispatchedOneReachesTheApplicationOnce) {
  auto form = new TForm(App.get());
  auto sender = new TProbe(form);
  auto failing = new TProbe(form);
  sender->SetParent(form);
  failing->SetParent(form);
  form->Show();
  failing->FailOn = WM_SIZE;
  bool passedThrough = false;
  sender->OnApp = [&] {
    try {
      failing->SetBounds(0, 0, 50, 50);
    } catch (...) {
      passedThrough = true;
      throw;
    }
  };
  PostMessageW(sender->GetHandle(), WM_APP + 1, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !Errors.empty(); }));
  Testing::PumpPending();
  EXPECT_EQ(Errors, std::vector<std::wstring>{L"probe failed"});
  EXPECT_TRUE(passedThrough) << "the handler that moved the control saw the error";
}

TEST_F(FormTest, TheWindowProcedureCatchesWhateverIsThrown) {
  using TRaise = void (*)();
  const struct {
    TRaise Raise;
    const wchar_t* Text;
  } cases[] = {
      {[] { throw Velqora::Exception(L"ours"); }, L"ours"},
      {[] { throw std::runtime_error("standard"); }, L"standard"},
      {[] { throw 42; }, L"Unknown error"},
  };
  auto form = new TForm(App.get());
  auto probe = new TProbe(form);
  probe->SetParent(form);
  form->Show();
  for (const auto& c : cases) {
    SCOPED_TRACE(Velqora::WideToUtf8(c.Text));
    Errors.clear();
    probe->Raise = c.Raise;
    PostMessageW(probe->GetHandle(), WM_APP, 0, 0);  // dispatched by the loop
    ASSERT_TRUE(PumpUntil([&] { return !Errors.empty(); }));
    EXPECT_EQ(Errors, std::vector<std::wstring>{c.Text});
    try {  // sent by a call of ours
      probe->FailOn = WM_SETTEXT;
      probe->SetCaption(c.Text);
      ADD_FAILURE() << "nothing raised";
    } catch (...) {
      EXPECT_EQ(ExceptionMessage(std::current_exception()), c.Text);
    }
    probe->FailOn = WM_APP;
    Testing::PumpPending();
    EXPECT_EQ(Errors, std::vector<std::wstring>{c.Text}) << "the sent message's error is not reported";
  }
}

TEST_F(FormTest, TabMovesFocusInTabOrderAndKeysReachTheFocusedControl) {
  auto form = new TForm(App.get());
  auto a = new TProbe(form);
  auto b = new TProbe(form);
  auto c = new TProbe(form);
  for (auto p : {a, b, c}) p->SetParent(form);
  c->SetTabOrder(0);  // c, a, b
  b->SetBounds(0, 30, 20, 20);
  form->Show();
  ASSERT_TRUE(PumpUntil([&] { return c->Focused(); })) << "the first control in tab order gets the focus";
  Testing::PressKeys({VK_TAB});
  EXPECT_TRUE(PumpUntil([&] { return a->Focused(); }));
  Testing::PressKeys({VK_SHIFT, VK_TAB});
  EXPECT_TRUE(PumpUntil([&] { return c->Focused(); }));
  Testing::PressKeys({VK_RETURN});
  EXPECT_TRUE(PumpUntil([&] { return c->Clicks == 1; }));
  b->SetEnabled(false);  // disabled controls are skipped
  Testing::PressKeys({VK_TAB});
  Testing::PressKeys({VK_TAB});
  EXPECT_TRUE(PumpUntil([&] { return c->Focused(); }));
}

}  // namespace
