// Alignment of children: the layout itself is a pure function of
// rectangles (AlignBounds); the controls feed it and apply its result.
#include "Controls.Align.h"

#include "UniqueHandle.h"

namespace Gui {

void AlignBounds(const RECT& AClient, std::span<TAlignItem> AChildren) {
  RECT rest = AClient;
  for (TAlign align : AlignOrder) {
    for (TAlignItem& c : AChildren) {
      if (c.Align != align || !c.Visible) continue;
      TMargins m = c.AlignWithMargins ? c.Margins : TMargins{0, 0, 0, 0};
      RECT box = rest;  // the area the child takes, margins included
      switch (align) {
        case TAlign::alTop: box.bottom = rest.top += c.Bounds.bottom - c.Bounds.top + m.Top + m.Bottom; break;
        case TAlign::alBottom: box.top = rest.bottom -= c.Bounds.bottom - c.Bounds.top + m.Top + m.Bottom; break;
        case TAlign::alLeft: box.right = rest.left += c.Bounds.right - c.Bounds.left + m.Left + m.Right; break;
        case TAlign::alRight: box.left = rest.right -= c.Bounds.right - c.Bounds.left + m.Left + m.Right; break;
        default: break;
      }
      c.Bounds = {box.left + m.Left, box.top + m.Top, box.right - m.Right, box.bottom - m.Bottom};
    }
  }
}

// ---- TControl ----

void TControl::RequestAlign() {
  if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

void TControl::SetAlign(TAlign AValue) {
  if (FAlign == AValue) return;
  FAlign = AValue;
  if (FParent) FParent->Realign();
}

void TControl::SetMargins(int ALeft, int ATop, int ARight, int ABottom) {
  FMargins = {ALeft, ATop, ARight, ABottom};
  if (FAlignWithMargins) RequestAlign();
}

void TControl::SetAlignWithMargins(bool AValue) {
  if (FAlignWithMargins == AValue) return;
  FAlignWithMargins = AValue;
  RequestAlign();
}

// ---- TWinControl ----

void TWinControl::Realign() {
  if (FAlignDisabled > 0) {
    FAlignPending = true;
    return;
  }
  AlignControls();
}

void TWinControl::SetPadding(int ALeft, int ATop, int ARight, int ABottom) {
  FPadding = {ALeft, ATop, ARight, ABottom};
  Realign();
}

void TWinControl::EnableAlign() {
  if (--FAlignDisabled == 0 && FAlignPending) {
    FAlignPending = false;
    AlignControls();
  }
}

void TWinControl::AlignControls() {
  if (ControlState.Contains(csAligning)) return;
  // Moving a child asks this control to align again: not while it aligns.
  ControlState |= csAligning;
  auto aligned = Velqora::ScopeExit([this] { ControlState -= csAligning; });
  // A child placed may change what the placement reads: its own height (a
  // label that wraps in the width it was given) or, from its OnResize, its
  // neighbours' sizes and margins. The placement repeats until it holds,
  // a bounded number of times.
  for (int pass = 0; pass < MaxAlignPasses; ++pass) {
    RECT client = GetClientRect();
    client.left += FPadding.Left;
    client.top += FPadding.Top;
    client.right -= FPadding.Right;
    client.bottom -= FPadding.Bottom;
    std::vector<TControl*> children(FControls);
    std::vector<TAlignItem> items;
    items.reserve(children.size());
    for (const TControl* c : children)
      items.push_back({c->FAlign, c->FVisible, c->FAlignWithMargins, c->FMargins, c->GetBoundsRect()});
    AlignBounds(client, items);
    bool moved = false;
    for (TAlign align : AlignOrder) {  // moved in the order they were laid out
      for (size_t i = 0; i < children.size(); ++i) {
        if (items[i].Align != align || !items[i].Visible) continue;
        const RECT& r = items[i].Bounds;
        const RECT now = children[i]->GetBoundsRect();
        if (EqualRect(&r, &now)) continue;
        moved = true;
        children[i]->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
      }
    }
    if (!moved) return;
  }
}

}  // namespace Gui
