// Ownership: a component frees what it owns, last created first.
#include <algorithm>

#include "Controls.h"

namespace Gui {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->FComponents.emplace_back(this);
}

TComponent::~TComponent() {
  FComponentState |= csDestroying;
  while (!FComponents.empty()) {
    std::unique_ptr<TComponent> last = std::move(FComponents.back());
    FComponents.pop_back();
    last->FOwner = nullptr;
    last.reset();
  }
  if (FOwner) {
    auto& list = FOwner->FComponents;
    auto it = std::find_if(list.begin(), list.end(), [this](auto& p) { return p.get() == this; });
    if (it != list.end()) {
      it->release();  // this object is being freed already
      list.erase(it);
    }
  }
}

TComponent* TComponent::FindComponent(const std::wstring& AName) const {
  for (auto& c : FComponents)
    if (!AName.empty() && c->FName == AName) return c.get();
  return nullptr;
}

}  // namespace Gui
