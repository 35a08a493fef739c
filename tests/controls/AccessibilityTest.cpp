// What a screen reader finds in our windows, read through oleacc as a
// reader reads it: roles, names, states and places of buttons, labels, their
// links and pictures; hit tests and navigation; the default actions and the
// focus; and objects that outlive their windows.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "AccessibleClient.h"
#include "ControlsTestSupport.h"
#include "ExtCtrls.h"
#include "Project.VCL.Accessibility.h"
#include "Project.VCL.AxButton.h"
#include "Project.VCL.AxLabel.h"
#include "Project.VCL.UIStateHelper.h"
#include "Project.VCL.Units.h"
#include "TestSupport.h"
#include "Utf.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.Timer.h"

using namespace Project::VCL;
using Testing::PumpUntil;
using Testing::TAccessibleItem;

namespace {

const wchar_t ThreeLinks[] = L"<a href=\"a\">one</a> and <a href=\"b\">two</a> and <a href=\"c\">three</a>";

class AccessibilityTest : public Testing::ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    Fades.emplace(UnitsThroughControls, TUIStateHelper::Start, Velqora::Timer::Start);
    Readers.emplace(UnitsThroughControls, TAccessibility::Start, TAccessibility::Start);
    Form.SetBounds(100, 100, 400, 200);
    Form.SetColor(Gui::clWhite);
  }
  void TearDown() override {
    Readers.reset();
    // The buttons' fades go before the timer service.
    for (int i = Form.ComponentCount(); i-- > 0;) delete Form.GetComponent(i);
    Fades.reset();
    ControlsTest::TearDown();
  }
  TButton* NewButton(RECT ABounds, const wchar_t* ACaption) {
    TButton* b = Add<TButton>(ABounds);
    b->SetCaption(ACaption);
    b->OnClick = [this](Gui::TComponent*) { ++Clicks; };
    return b;
  }
  TLabel* NewLabel(RECT ABounds, const std::wstring& ACaption, Gui::TWinControl* AParent = nullptr) {
    TLabel* l = Add<TLabel>(ABounds, AParent);
    l->SetDisplayStyle(TAxLabelDisplayStyle::ldsHTML);
    l->SetCaption(ACaption);
    l->OnLinkClick = [this](Gui::TComponent*, const std::wstring& ALink) { Followed.push_back(ALink); };
    return l;
  }
  // Shows the form and walks it.
  std::vector<TAccessibleItem> Walk() {
    Form.Show();
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(Form.GetHandle()) != FALSE; }));
    return Testing::WalkAccessible(Form.GetHandle());
  }
  static const TAccessibleItem& Find(const std::vector<TAccessibleItem>& AItems, LONG ARole, const wchar_t* AName) {
    const TAccessibleItem* item = Testing::FindAccessible(AItems, ARole, AName);
    if (!item) ADD_FAILURE() << "not found: " << Velqora::WideToUtf8(AName);
    static const TAccessibleItem none;
    return item ? *item : none;
  }
  // What the object answers for a point on the screen.
  static VARIANT HitTest(const TAccessibleItem& AObject, POINT AScreen) {
    VARIANT hit;
    VariantInit(&hit);
    EXPECT_TRUE(SUCCEEDED(AObject.Object->accHitTest(AScreen.x, AScreen.y, &hit)));
    return hit;
  }
  static POINT Centre(const RECT& ARect) { return {(ARect.left + ARect.right) / 2, (ARect.top + ARect.bottom) / 2}; }
  // The name of what a VARIANT of a hit test or navigation names.
  static std::wstring NameOf(const TAccessibleItem& AParent, VARIANT& AFound) {
    TAccessibleItem item;
    if (AFound.vt == VT_DISPATCH) {
      IAccessible* object = nullptr;
      AFound.pdispVal->QueryInterface(Testing::IIDAccessible, reinterpret_cast<void**>(&object));
      item.Object = Testing::TAccessibleRef(object);
    } else if (AFound.vt == VT_I4) {
      item.Object = AParent.Object;
      item.Child = AFound.lVal;
    }
    VariantClear(&AFound);
    if (!item.Object) return L"(nothing)";
    item.Read();
    return item.Name;
  }

  // The timer service and the fade helper; the screen readers' answers.
  std::optional<Velqora::TUnitsScope> Fades, Readers;
  Testing::TComApartment Apartment;
  int Clicks = 0;
  std::vector<std::wstring> Followed;
};

// A panel with a named picture, a decoration and a label; three buttons,
// made in another order than they stand. The client reads the windows as
// objects of their own, the named picture as an element of its panel, and
// leaves out what is hidden and the unnamed picture.
TEST_F(AccessibilityTest, ReadsWhatIsShownInReadingOrderWithRolesNamesAndStates) {
  auto panel = Add<Gui::TPanel>({0, 0, 400, 90});
  panel->SetBevelOuter(Gui::TBevelCut::bvNone);
  auto decoration = Add<Gui::TImage>({10, 10, 40, 40}, panel);
  auto logo = Add<Gui::TImage>({50, 10, 80, 40}, panel);
  logo->SetAccessibleName(L"Logo");
  NewLabel({100, 10, 390, 30}, L"Plain <b>bold</b> text", panel);
  NewLabel({100, 50, 390, 70}, L"Hidden", panel)->SetVisible(false);
  TButton* save = NewButton({140, 120, 240, 150}, L"Save && E&xit");
  save->SetDefault(true);
  TButton* cancel = NewButton({20, 120, 120, 150}, L"&Cancel");
  cancel->SetEnabled(false);
  NewButton({260, 120, 360, 150}, L"OK")->SetAccessibleName(L"Confirm");
  (void)decoration;

  const std::vector<TAccessibleItem> items = Walk();
  struct TExpected {
    int Depth;
    LONG Role;
    const wchar_t* Name;
    LONG Has, HasNot;  // states
  };
  const TExpected expected[] = {
      {0, ROLE_SYSTEM_CLIENT, L"", STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_INVISIBLE},
      {1, ROLE_SYSTEM_CLIENT, L"", 0, STATE_SYSTEM_FOCUSABLE},
      {2, ROLE_SYSTEM_GRAPHIC, L"Logo", STATE_SYSTEM_READONLY, STATE_SYSTEM_INVISIBLE},
      {2, ROLE_SYSTEM_STATICTEXT, L"Plain bold text", STATE_SYSTEM_READONLY, STATE_SYSTEM_FOCUSABLE},
      {1, ROLE_SYSTEM_PUSHBUTTON, L"Cancel", STATE_SYSTEM_UNAVAILABLE, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_DEFAULT},
      {1, ROLE_SYSTEM_PUSHBUTTON, L"Save & Exit", STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_DEFAULT,
       STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_PRESSED},
      {1, ROLE_SYSTEM_PUSHBUTTON, L"Confirm", STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_DEFAULT},
  };
  ASSERT_EQ(items.size(), std::size(expected));
  for (size_t i = 0; i < items.size(); ++i) {
    const TAccessibleItem& item = items[i];
    const TExpected& e = expected[i];
    SCOPED_TRACE(Velqora::WideToUtf8(e.Name));
    EXPECT_EQ(item.Depth, e.Depth);
    EXPECT_EQ(item.Role, e.Role);
    EXPECT_EQ(item.Name, e.Name);
    EXPECT_EQ(item.State & e.Has, e.Has) << std::hex << item.State;
    EXPECT_EQ(item.State & e.HasNot, 0) << std::hex << item.State;
    EXPECT_EQ(item.DefaultAction, e.Role == ROLE_SYSTEM_PUSHBUTTON ? L"Press" : L"");
  }

  // Places on the screen: the picture where its panel shows it, and each
  // item's middle hits it again.
  POINT origin{50, 10};
  ClientToScreen(panel->GetHandle(), &origin);
  const TAccessibleItem& picture = Find(items, ROLE_SYSTEM_GRAPHIC, L"Logo");
  EXPECT_EQ(picture.Location.left, origin.x);
  EXPECT_EQ(picture.Location.top, origin.y);
  EXPECT_EQ(picture.Location.right - picture.Location.left, 30);
  EXPECT_EQ(picture.Location.bottom - picture.Location.top, 30);
  for (size_t i = 1; i < items.size(); ++i) {
    SCOPED_TRACE(Velqora::WideToUtf8(items[i].Name));
    const TAccessibleItem& parent = *std::find_if(items.rbegin() + std::ptrdiff_t(items.size() - i), items.rend(),
                                                   [&](const TAccessibleItem& A) { return A.Depth == items[i].Depth - 1; });
    VARIANT hit = HitTest(parent, Centre(items[i].Location));
    EXPECT_EQ(NameOf(parent, hit), items[i].Name);
  }
  VARIANT outside = HitTest(items[0], {5, 5});
  EXPECT_EQ(outside.vt, VT_EMPTY);
}

TEST_F(AccessibilityTest, APressClicksAsTheMouseDoesAndADisabledButtonRefuses) {
  TButton* enabled = NewButton({20, 120, 120, 150}, L"Go");
  TButton* disabled = NewButton({140, 120, 240, 150}, L"Stop");
  disabled->SetEnabled(false);
  const std::vector<TAccessibleItem> items = Walk();
  const TAccessibleItem& go = Find(items, ROLE_SYSTEM_PUSHBUTTON, L"Go");
  const TAccessibleItem& stop = Find(items, ROLE_SYSTEM_PUSHBUTTON, L"Stop");

  const DWORD before = GetTickCount();
  EXPECT_EQ(go.DoDefaultAction(), S_OK);
  EXPECT_EQ(Clicks, 1);
  // A press that began now: what a consent guard reads.
  EXPECT_GE(LONG(enabled->GetPressStartTime() - before), 0);
  EXPECT_LE(LONG(enabled->GetPressStartTime() - GetTickCount()), 0);
  EXPECT_EQ(stop.DoDefaultAction(), E_FAIL);
  EXPECT_EQ(Clicks, 1);

  // Held down with the mouse, the button reads as pressed.
  POINT p{50, 15};
  ClientToScreen(enabled->GetHandle(), &p);
  SetCursorPos(p.x, p.y);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &input, sizeof(input));
  ASSERT_TRUE(PumpUntil([&] { return enabled->UIMainState().State() == TUIControlState::uicsPressed; }));
  Testing::TAccessibleItem held = go;
  held.Read();
  EXPECT_TRUE(held.Has(STATE_SYSTEM_PRESSED | STATE_SYSTEM_FOCUSED)) << std::hex << held.State;
  SetCursorPos(5, 5);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof(input));
  PumpUntil([&] { return enabled->UIMainState().State() != TUIControlState::uicsPressed; });
  EXPECT_EQ(Clicks, 1);  // released away from it
}

// A label cut off by its ellipsis: its name is what shows, its links are
// its children; one cut away is still there, off the screen.
TEST_F(AccessibilityTest, ALabelsLinksAreChildrenToFindFollowAndFocus) {
  TLabel* label = NewLabel({10, 10, 390, 40}, ThreeLinks);
  Form.Show();
  const RECT third = label->GetLinkRectByHRef(L"c");
  label->SetEllipsisPosition(TAxEllipsisPosition::epEndEllipsis);
  label->SetWidth(third.left + 2);
  const std::vector<TAccessibleItem> items = Walk();
  const TAccessibleItem* text = Testing::FindAccessible(items, ROLE_SYSTEM_STATICTEXT, label->GetShownText());
  ASSERT_TRUE(text);
  EXPECT_EQ(text->Name.rfind(L"one and two", 0), 0u) << Velqora::WideToUtf8(text->Name);
  EXPECT_EQ(text->Name.back(), L'\u2026');
  EXPECT_EQ(text->Name.find(L"three"), std::wstring::npos);

  struct TLink {
    const wchar_t* Name;
    bool Shown;
  };
  const TLink links[] = {{L"one", true}, {L"two", true}, {L"three", false}};
  for (LONG id = 1; id <= 3; ++id) {
    const TLink& l = links[id - 1];
    SCOPED_TRACE(Velqora::WideToUtf8(l.Name));
    const TAccessibleItem& link = Find(items, ROLE_SYSTEM_LINK, l.Name);
    EXPECT_EQ(link.Child, id);
    EXPECT_TRUE(link.Has(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED));
    EXPECT_EQ(link.Has(STATE_SYSTEM_OFFSCREEN), !l.Shown);
    EXPECT_EQ(link.DefaultAction, L"Jump");
    EXPECT_EQ(IsRectEmpty(&link.Location) == FALSE, l.Shown);
    if (l.Shown) {
      VARIANT hit = HitTest(*text, Centre(link.Location));
      EXPECT_EQ(NameOf(*text, hit), l.Name);
    }
  }

  struct TStep {
    LONG Direction, From;
    const wchar_t* Reached;
  };
  const TStep steps[] = {{NAVDIR_FIRSTCHILD, CHILDID_SELF, L"one"}, {NAVDIR_LASTCHILD, CHILDID_SELF, L"three"},
                         {NAVDIR_NEXT, 1, L"two"},                  {NAVDIR_PREVIOUS, 2, L"one"},
                         {NAVDIR_NEXT, 3, L"(nothing)"},            {NAVDIR_PREVIOUS, 1, L"(nothing)"}};
  for (const TStep& s : steps) {
    SCOPED_TRACE(testing::Message() << s.Direction << " from " << s.From);
    VARIANT end;
    VariantInit(&end);
    text->Object->accNavigate(s.Direction, Testing::ChildVariant(s.From), &end);
    EXPECT_EQ(NameOf(*text, end), s.Reached);
  }

  // Jump follows the link as a click does; a disabled label takes none.
  EXPECT_EQ(Find(items, ROLE_SYSTEM_LINK, L"three").DoDefaultAction(), S_OK);
  EXPECT_EQ(Followed, std::vector<std::wstring>{L"c"});
  // Taking the focus focuses the label and the link, and says so.
  Testing::TWinEventRecorder events(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS);
  EXPECT_EQ(text->Object->accSelect(SELFLAG_TAKEFOCUS, Testing::ChildVariant(2)), S_OK);
  EXPECT_TRUE(label->Focused());
  EXPECT_EQ(label->FocusedLinkID(), 2);
  VARIANT focus;
  VariantInit(&focus);
  items.front().Object->get_accFocus(&focus);
  EXPECT_EQ(focus.vt, VT_DISPATCH);
  EXPECT_EQ(NameOf(items.front(), focus), text->Name);
  text->Object->get_accFocus(&focus);
  EXPECT_EQ(NameOf(*text, focus), L"two");
  ASSERT_TRUE(PumpUntil([&] { return !events.Events.empty() && events.Events.back().Child == 2; }));
  EXPECT_EQ(Testing::AccessibleOfEvent(events.Events.back()).Name, L"two");

  label->SetEnabled(false);
  EXPECT_EQ(Find(items, ROLE_SYSTEM_LINK, L"one").DoDefaultAction(), E_FAIL);
  EXPECT_EQ(Followed.size(), 1u);
}

// An object kept by a client after its window went answers that it is
// disconnected, and nothing else happens.
TEST_F(AccessibilityTest, AnObjectWhoseWindowIsGoneIsDisconnected) {
  TButton* button = NewButton({20, 120, 120, 150}, L"Gone");
  const std::vector<TAccessibleItem> items = Walk();
  const TAccessibleItem& item = Find(items, ROLE_SYSTEM_PUSHBUTTON, L"Gone");
  delete button;
  BSTR name = nullptr;
  EXPECT_EQ(item.Object->get_accName(item.Id(), &name), RPC_E_DISCONNECTED);
  EXPECT_EQ(name, nullptr);
  EXPECT_EQ(item.DoDefaultAction(), RPC_E_DISCONNECTED);
  EXPECT_EQ(Clicks, 0);
  long children = -1;
  items.front().Object->get_accChildCount(&children);
  EXPECT_EQ(children, 0);
}

}  // namespace
