#include <gtest/gtest.h>

#include "Controls.Align.h"
#include "ExtCtrls.h"
#include "GuiTestSupport.h"

using namespace Gui;

namespace {

struct TChildSpec {
  TAlign Align;
  int Width, Height;
  TMargins Margins;  // used when not all zero
  bool Visible;
};

struct TLayoutCase {
  const char* Name;
  std::vector<TChildSpec> Children;
  std::vector<RECT> Expected;  // bounds of each child, in order
};

TEST(Layout, AlignsChildrenInCreationOrderWithMargins) {
  const TMargins none{0, 0, 0, 0};
  const TLayoutCase cases[] = {
      {"top then bottom then client",
       {{TAlign::alTop, 10, 20, none, true}, {TAlign::alBottom, 10, 30, none, true},
        {TAlign::alClient, 0, 0, none, true}},
       {{0, 0, 200, 20}, {0, 70, 200, 100}, {0, 20, 200, 70}}},
      {"client is laid out last whatever its order",
       {{TAlign::alClient, 0, 0, none, true}, {TAlign::alBottom, 10, 50, none, true}},
       {{0, 0, 200, 50}, {0, 50, 200, 100}}},
      {"two right-aligned: the first is rightmost",
       {{TAlign::alRight, 110, 5, {0, 8, 15, 8}, true}, {TAlign::alRight, 110, 5, {0, 8, 15, 8}, true}},
       {{75, 8, 185, 92}, {-50, 8, 60, 92}}},
      {"a hidden control takes no space",
       {{TAlign::alRight, 50, 5, none, false}, {TAlign::alRight, 40, 5, none, true}},
       {{0, 0, 50, 5}, {160, 0, 200, 100}}},  // the hidden one is not moved either
      {"left and right share what top and bottom leave",
       {{TAlign::alLeft, 30, 0, {1, 2, 3, 4}, true}, {TAlign::alTop, 0, 10, none, true},
        {TAlign::alRight, 20, 0, none, true}},
       {{1, 12, 31, 96}, {0, 0, 200, 10}, {180, 10, 200, 100}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TComponent owner(nullptr);
    auto parent = new TPanel(&owner);
    parent->SetBounds(0, 0, 200, 100);
    std::vector<TControl*> children;
    for (const auto& wanted : c.Children) {
      auto child = new TPanel(&owner);
      child->SetVisible(wanted.Visible);
      child->SetBounds(0, 0, wanted.Width, wanted.Height);
      const TMargins& m = wanted.Margins;
      if (m.Left || m.Top || m.Right || m.Bottom) {
        child->SetAlignWithMargins(true);
        child->SetMargins(m.Left, m.Top, m.Right, m.Bottom);
      }
      child->SetAlign(wanted.Align);
      child->SetParent(parent);
      children.push_back(child);
    }
    for (size_t i = 0; i < children.size(); ++i) {
      RECT r = children[i]->GetBoundsRect();
      const RECT& e = c.Expected[i];
      EXPECT_TRUE(EqualRect(&r, &e)) << "child " << i << ": " << r.left << "," << r.top << "," << r.right << ","
                                     << r.bottom;
    }
  }
}

TEST(Layout, AlignBoundsIsAFunctionOfRectangles) {
  const TMargins m{1, 2, 3, 4};
  const struct {
    const char* Name;
    RECT Client;
    std::vector<TAlignItem> Children;
    std::vector<RECT> Expected;
  } cases[] = {
      {"the client area need not start at the origin",
       {10, 20, 110, 70},
       {{TAlign::alTop, true, false, {}, {0, 0, 5, 10}}, {TAlign::alClient, true, false, {}, {0, 0, 5, 5}}},
       {{10, 20, 110, 30}, {10, 30, 110, 70}}},
      {"unaligned and hidden children keep their bounds and take no space",
       {0, 0, 100, 50},
       {{TAlign::alNone, true, false, {}, {7, 7, 9, 9}}, {TAlign::alLeft, false, false, {}, {1, 1, 31, 11}},
        {TAlign::alLeft, true, false, {}, {0, 0, 20, 0}}},
       {{7, 7, 9, 9}, {1, 1, 31, 11}, {0, 0, 20, 50}}},
      {"margins count only when aligning with them",
       {0, 0, 100, 50},
       {{TAlign::alBottom, true, false, m, {0, 0, 0, 10}}, {TAlign::alBottom, true, true, m, {0, 0, 0, 10}}},
       {{0, 40, 100, 50}, {1, 26, 97, 36}}},
      {"kinds in order: the right strip is what top and left leave",
       {0, 0, 100, 50},
       {{TAlign::alRight, true, false, {}, {0, 0, 10, 0}}, {TAlign::alLeft, true, false, {}, {0, 0, 10, 0}},
        {TAlign::alTop, true, false, {}, {0, 0, 0, 5}}},
       {{90, 5, 100, 50}, {0, 5, 10, 50}, {0, 0, 100, 5}}},
      {"where space runs out sizes come out negative",
       {0, 0, 100, 20},
       {{TAlign::alTop, true, false, {}, {0, 0, 0, 15}}, {TAlign::alBottom, true, false, {}, {0, 0, 0, 15}},
        {TAlign::alClient, true, false, {}, {0, 0, 0, 0}}},
       {{0, 0, 100, 15}, {0, 5, 100, 20}, {0, 15, 100, 5}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<TAlignItem> items = c.Children;
    AlignBounds(c.Client, items);
    for (size_t i = 0; i < items.size(); ++i) {
      const RECT& r = items[i].Bounds;
      EXPECT_TRUE(EqualRect(&r, &c.Expected[i]))
          << "child " << i << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
  }
}

TEST(Layout, FollowsSizeVisibilityAndPaddingChanges) {
  TComponent owner(nullptr);
  auto parent = new TPanel(&owner);
  parent->SetBounds(0, 0, 200, 50);
  auto first = new TPanel(&owner);
  first->SetParent(parent);
  first->SetAlign(TAlign::alRight);
  first->SetWidth(50);
  auto second = new TPanel(&owner);
  second->SetParent(parent);
  second->SetAlign(TAlign::alRight);
  second->SetWidth(40);
  EXPECT_EQ(second->GetLeft(), 110);

  first->SetWidth(80);  // the neighbour moves along
  EXPECT_EQ(first->GetLeft(), 120);
  EXPECT_EQ(second->GetLeft(), 80);

  first->SetVisible(false);
  EXPECT_EQ(second->GetLeft(), 160);

  parent->SetWidth(300);
  EXPECT_EQ(second->GetLeft(), 260);

  parent->SetPadding(0, 0, 10, 2);
  EXPECT_EQ(second->GetLeft(), 250);
  EXPECT_EQ(second->GetHeight(), 48);
}

}  // namespace
