// Focus: tab order within a parent, Tab navigation across a form, and the
// keys the focused control passes on as dialog keys.
#include <algorithm>
#include <functional>

#include "Controls.WindowProc.h"

namespace Gui {

int TWinControl::GetTabOrder() const {
  if (!FParent) return -1;
  auto& list = FParent->FTabList;
  return int(std::find(list.begin(), list.end(), this) - list.begin());
}

void TWinControl::SetTabOrder(int AValue) {
  if (!FParent) return;
  auto& list = FParent->FTabList;
  list.erase(std::find(list.begin(), list.end(), this));
  AValue = std::clamp(AValue, 0, int(list.size()));
  list.insert(list.begin() + AValue, this);
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible || !c->FEnabled) return false;
  return true;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
  if (!CanFocus()) return;
  HWND wnd = GetHandle();
  Sending([&] { return ::SetFocus(wnd); });
}

TWinControl* TWinControl::FindNextControl(TWinControl* ACurrent, bool AForward) const {
  // Every tab stop below this control, depth first in tab order.
  std::vector<TWinControl*> stops;
  std::function<void(const TWinControl*)> collect = [&](const TWinControl* AParent) {
    for (TWinControl* w : AParent->FTabList) {
      if (!w->FVisible || !w->FEnabled) continue;
      if (w->FTabStop) stops.push_back(w);
      collect(w);
    }
  };
  collect(this);
  if (stops.empty()) return nullptr;
  auto it = std::find(stops.begin(), stops.end(), ACurrent);
  if (it == stops.end()) return AForward ? stops.front() : stops.back();
  if (AForward) return ++it == stops.end() ? stops.front() : *it;
  return it == stops.begin() ? stops.back() : *--it;
}

bool TWinControl::PreProcessMessage(MSG&) { return false; }
bool TWinControl::WantsKey(WPARAM) { return false; }
bool TWinControl::DialogKey(WPARAM AKey) {
  if (FParent) return FParent->DialogKey(AKey);
  // The form: every control on it, depth first in tab order, until one
  // takes the key.
  std::function<bool(const TWinControl*)> offer = [&](const TWinControl* AParent) {
    for (TWinControl* w : AParent->FTabList)
      if (w->CMDialogKey(AKey) || offer(w)) return true;
    return false;
  };
  return offer(this);
}

void TWinControl::NotifyFocusChanged() {
  TWinControl* root = this;
  while (root->FParent) root = root->FParent;
  std::function<void(TWinControl*)> tell = [&](TWinControl* AParent) {
    for (TWinControl* w : AParent->FTabList) {
      w->CMFocusChanged(this);
      tell(w);
    }
  };
  root->CMFocusChanged(this);
  tell(root);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

}  // namespace Gui
