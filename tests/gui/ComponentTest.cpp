#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Controls.h"
#include "ExtCtrls.h"
#include "GuiTestSupport.h"

using namespace Gui;

namespace {

// Records its own destruction in a shared journal.
struct TRecorder : TComponent {
  TRecorder(TComponent* AOwner, std::vector<std::wstring>& AJournal, const wchar_t* AName)
      : TComponent(AOwner), Journal(AJournal) {
    SetName(AName);
  }
  ~TRecorder() override { Journal.push_back(GetName()); }
  std::vector<std::wstring>& Journal;
};

TEST(Component, OwnerFreesOwnedComponentsInReverseOrder) {
  std::vector<std::wstring> journal;
  {
    TComponent owner(nullptr);
    new TRecorder(&owner, journal, L"a");
    auto b = new TRecorder(&owner, journal, L"b");
    new TRecorder(b, journal, L"b1");
    new TRecorder(&owner, journal, L"c");
    EXPECT_EQ(owner.ComponentCount(), 3);
    EXPECT_EQ(owner.FindComponent(L"b"), b);
  }
  // b1 goes while b itself is being freed, after b's own destructor ran.
  EXPECT_EQ(journal, (std::vector<std::wstring>{L"c", L"b", L"b1", L"a"}));
}

TEST(Component, FreeingAnOwnedComponentTakesItOutOfItsOwner) {
  std::vector<std::wstring> journal;
  TComponent owner(nullptr);
  auto a = new TRecorder(&owner, journal, L"a");
  new TRecorder(&owner, journal, L"b");
  delete a;
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.GetComponent(0)->GetName(), L"b");
  EXPECT_EQ(journal, std::vector<std::wstring>{L"a"});
}

TEST(Component, ParentDisplaysButDoesNotOwn) {
  TComponent owner(nullptr);
  auto parent = new TPanel(&owner);
  auto child = new TPanel(&owner);
  child->SetParent(parent);
  EXPECT_EQ(parent->ControlCount(), 1);
  delete parent;  // the child stays, without a parent
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(child->GetParent(), nullptr);
}

TEST(Component, FreeingAChildTakesItOutOfItsParent) {
  TComponent owner(nullptr);
  auto parent = new TPanel(&owner);
  auto shape = new TShape(&owner);
  auto panel = new TPanel(&owner);
  shape->SetParent(parent);
  panel->SetParent(parent);
  delete shape;
  delete panel;
  EXPECT_EQ(parent->ControlCount(), 0);
  EXPECT_EQ(parent->FindNextControl(nullptr, true), nullptr);  // not in the tab list either
}

TEST(Control, ColourAndFontFollowTheParentUntilSetOwnFont) {
  TComponent owner(nullptr);
  auto parent = new TPanel(&owner);
  auto child = new TPanel(&owner);
  child->SetParentColor(true);
  child->SetParent(parent);
  parent->SetColor(RGBColor(1, 2, 3));
  parent->Font().SetName(L"Arial");
  EXPECT_EQ(child->GetColor(), RGBColor(1, 2, 3));
  EXPECT_EQ(child->Font().GetName(), L"Arial");
  EXPECT_TRUE(child->GetParentFont());

  child->Font().SetHeight(-13);  // its own font from now on
  EXPECT_FALSE(child->GetParentFont());
  parent->Font().SetName(L"Tahoma");
  EXPECT_EQ(child->Font().GetName(), L"Arial");
  EXPECT_EQ(child->Font().GetHeight(), -13);

  child->SetColor(clWhite);  // its own colour from now on
  parent->SetColor(clBlack);
  EXPECT_EQ(child->GetColor(), clWhite);
}

TEST(Control, ChildrenTakeParentDoubleBufferingUnlessSetOwn) {
  TComponent owner(nullptr);
  auto parent = new TPanel(&owner);
  auto child = new TPanel(&owner);
  auto own = new TPanel(&owner);
  own->SetDoubleBuffered(false);
  child->SetParent(parent);
  own->SetParent(parent);
  parent->SetDoubleBuffered(true);
  EXPECT_TRUE(child->GetDoubleBuffered());
  EXPECT_FALSE(own->GetDoubleBuffered());
}

// Whether a flag of kind TFlag can be put into, and asked of, a TSet.
template <typename TSet, typename TFlag>
concept TakesFlag = requires(TSet ASet, TFlag AFlag) {
  ASet |= AFlag;
  ASet.Contains(AFlag);
};

TEST(Control, StyleStateAndComponentStateAreSetsOfTheirOwn) {
  // Flags of different sets share values: mixing them is a compile error.
  static_assert(TakesFlag<TControlStyle, TControlStyleFlag>);
  static_assert(!TakesFlag<TControlStyle, TControlStateFlag>);
  static_assert(!TakesFlag<TControlState, TControlStyleFlag>);
  static_assert(!TakesFlag<TComponentState, TControlStateFlag>);
  static_assert(!TakesFlag<TControlState, TComponentStateFlag>);

  TControlStyle style = csCaptureMouse | csOpaque;
  style -= csCaptureMouse;
  EXPECT_TRUE(style.Contains(csOpaque));
  EXPECT_FALSE(style.Contains(csCaptureMouse));
  EXPECT_FALSE(style.Contains(csAcceptsControls));
}

TEST(Font, MakesTheFontItDescribes) {
  TFont font;
  font.SetName(L"Segoe UI");
  font.SetHeight(-12);
  font.SetStyle(fsBold | fsUnderline);
  font.SetQuality(TFontQuality::fqClearType);
  LOGFONTW lf{};
  ASSERT_EQ(GetObjectW(font.GetHandle(), sizeof(lf), &lf), int(sizeof(lf)));
  EXPECT_STREQ(lf.lfFaceName, L"Segoe UI");
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_FALSE(lf.lfItalic);
  EXPECT_EQ(lf.lfQuality, CLEARTYPE_QUALITY);
}

TEST(Font, ReportsChangesAndAssignCopiesEveryAttribute) {
  TFont a, b;
  int changes = 0;
  b.OnChange = [&] { ++changes; };
  a.SetName(L"Arial");
  a.SetHeight(-20);
  a.SetStyle(fsItalic);
  a.SetColor(RGBColor(9, 8, 7));
  b.Assign(a);
  EXPECT_TRUE(b.SameAs(a));
  EXPECT_EQ(changes, 1);
  b.Assign(a);  // nothing changes, nothing reported
  EXPECT_EQ(changes, 1);
  HFONT before = b.GetHandle();
  b.SetColor(clWhite);  // the colour is not part of the font object
  EXPECT_EQ(b.GetHandle(), before);
  EXPECT_EQ(changes, 2);
}

}  // namespace
