#include "Project.VCL.UIStateHelper.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Timer.h"

namespace Project::VCL {

using Velqora::Timer;

namespace {

// The hidden window that receives the fade timers, and the helpers whose
// fade timer runs (not owned).
HWND AnimationWindow = nullptr;
constinit std::unique_ptr<std::vector<TUIStateHelper*>> AnimatedHelpers;
int32_t LastTimerID = 0;

}  // namespace

void TUIStateHelper::Start() {
  AnimatedHelpers = std::make_unique<std::vector<TUIStateHelper*>>();
  AnimationWindow = Velqora::AllocateWindow(AnimationWindowProc);
}

void TUIStateHelper::Stop() {
  AnimatedHelpers.reset();
  Velqora::DeallocateWindow(std::exchange(AnimationWindow, nullptr));
}

TUIStateHelper::TUIStateHelper(Gui::TWinControl* AOwner, TPaintItemEvent AOnPaintItem,
                               TInvalidateRectEvent AOnInvalidateRect)
    : FOwner(AOwner),
      FOnPaintItem(std::move(AOnPaintItem)),
      FOnInvalidateRect(std::move(AOnInvalidateRect)),
      FTimerID(++LastTimerID) {}

TUIStateHelper::TUIStateHelper(HWND AHandle, TPaintItemEvent AOnPaintItem, TInvalidateRectEvent AOnInvalidateRect)
    : FHandle(AHandle),
      FOwner(Gui::TWinControl::FromHandle(AHandle)),
      FOnPaintItem(std::move(AOnPaintItem)),
      FOnInvalidateRect(std::move(AOnInvalidateRect)),
      FTimerID(++LastTimerID) {}

TUIStateHelper::~TUIStateHelper() { StopAnimation(0); }

bool TUIStateHelper::Contains(int AX, int AY) const {
  return AX >= FItemRect.left && AX < FItemRect.right && AY >= FItemRect.top && AY < FItemRect.bottom;
}

void TUIStateHelper::InvalidateItem() {
  const bool erase = !(FOwner && FOwner->ControlStyle.Contains(Gui::csOpaque));
  if (FOnInvalidateRect) {
    FOnInvalidateRect(*this, FItemRect, erase);
  } else if (!FOwner) {
    InvalidateRect(FHandle, &FItemRect, erase);
  } else if (HWND wnd = FOwner->GetHandleIfAllocated()) {
    InvalidateRect(wnd, &FItemRect, erase);
  }
}

void TUIStateHelper::SetState(TUIControlState AValue) {
  using enum TUIControlState;
  if (AValue == FState) return;
  if (FState == uicsNormal && AValue == uicsHot)
    StartAnimation(255);
  else if (FState == uicsHot && AValue == uicsNormal)
    StartAnimation(0);
  else if (AValue == uicsHot || AValue == uicsPressed)
    StopAnimation(255);
  else
    StopAnimation(0);
  FState = AValue;
  InvalidateItem();
}

void TUIStateHelper::StopAnimation(uint8_t AValue) {
  if (FAnimationEnabled) StopAnimationTimer();
  FAnimationEnabled = false;
  FAnimationEndValue = AValue;
  FOpaque = AValue;
}

void TUIStateHelper::StartAnimation(uint8_t ATarget) {
  StopAnimation(FOpaque);
  if (ATarget == FOpaque) return;
  FAnimationEnabled = true;
  FAnimationStartTime = GetTickCount();
  FAnimationStartValue = FOpaque;
  FAnimationEndValue = ATarget;
  StartAnimationTimer(uint32_t(VCLCommon::AnimationTime / VCLCommon::AnimationSteps));
}

void TUIStateHelper::AnimationStep() {
  const DWORD elapsed = Velqora::TickDiff(GetTickCount(), FAnimationStartTime);
  // Rounded to the nearest, ties to even.
  double v = FAnimationStartValue + std::nearbyint(double(FAnimationEndValue - FAnimationStartValue) /
                                                   VCLCommon::AnimationTime * double(elapsed));
  if ((FAnimationEndValue >= FAnimationStartValue && v >= FAnimationEndValue) ||
      (FAnimationEndValue < FAnimationStartValue && v <= FAnimationEndValue))
    v = FAnimationEndValue;
  FOpaque = uint8_t(std::clamp(v, 0.0, 255.0));
  if (FOpaque == FAnimationEndValue) StopAnimation(uint8_t(FAnimationEndValue));
  InvalidateItem();
}

void TUIStateHelper::StartAnimationTimer(uint32_t AInterval) {
  if (!AnimatedHelpers) return;  // the unit has stopped
  if (std::find(AnimatedHelpers->begin(), AnimatedHelpers->end(), this) == AnimatedHelpers->end())
    AnimatedHelpers->push_back(this);
  Timer::SetTimer(AnimationWindow, FTimerID, AInterval);
}

void TUIStateHelper::StopAnimationTimer() {
  if (!AnimatedHelpers) return;
  Timer::KillTimer(AnimationWindow, FTimerID);
  std::erase(*AnimatedHelpers, this);
}

void TUIStateHelper::AnimationWindowProc(Velqora::TWindowMessage& AMessage) {
  if (AMessage.Msg == Timer::TimerMessage() && AnimatedHelpers &&
      Timer::IsValidTimer(AnimationWindow, int32_t(uint32_t(AMessage.WParam)))) {
    const int32_t id = int32_t(uint32_t(AMessage.WParam));
    for (TUIStateHelper* helper : *AnimatedHelpers)
      if (helper->FTimerID == id) {
        helper->AnimationStep();
        break;
      }
    return;
  }
  Velqora::DefaultWindowHandler(AnimationWindow, AMessage);
}

void TUIStateHelper::UpdateMouseInItem() {
  if (FOwner && !FOwner->HandleAllocated()) {
    FMouseInItem = false;
    return;
  }
  POINT p;
  if (!GetCursorPos(&p)) {
    FMouseInItem = false;
    return;
  }
  ScreenToClient(FOwner ? FOwner->GetHandleIfAllocated() : FHandle, &p);
  FMouseInItem = Contains(p.x, p.y);
}

void TUIStateHelper::DoEnabledChanged() {
  const bool enabled = FOwner ? FOwner->GetEnabled() : IsWindowEnabled(FHandle) != FALSE;
  if (enabled) {
    UpdateMouseInItem();
    SetState(FMouseInItem ? TUIControlState::uicsHot : TUIControlState::uicsNormal);
  } else {
    SetState(TUIControlState::uicsDisabled);
  }
}

void TUIStateHelper::DoLButtonDown(int AX, int AY) {
  FMouseInItem = Contains(AX, AY);
  if (FOwner && FMouseInItem && FState == TUIControlState::uicsHot) SetState(TUIControlState::uicsPressed);
}

void TUIStateHelper::DoLButtonUp(int AX, int AY) {
  FMouseInItem = Contains(AX, AY);
  if (FOwner && FState == TUIControlState::uicsPressed)
    SetState(FMouseInItem ? TUIControlState::uicsHot : TUIControlState::uicsNormal);
}

void TUIStateHelper::DoMouseMove(int AX, int AY) {
  const bool was = FMouseInItem;
  FMouseInItem = Contains(AX, AY);
  if (!FOwner || FState == TUIControlState::uicsDisabled) return;
  if (FState == TUIControlState::uicsPressed) {
    if (was != FMouseInItem) InvalidateItem();
    return;
  }
  SetState(FMouseInItem ? TUIControlState::uicsHot : TUIControlState::uicsNormal);
}

void TUIStateHelper::DoMouseLeave() {
  if (!FOwner) return;
  FMouseInItem = false;
  if (FState == TUIControlState::uicsHot)
    SetState(TUIControlState::uicsNormal);
  else if (FState == TUIControlState::uicsPressed)
    InvalidateItem();
}

void TUIStateHelper::DoKeyDown() {
  FKeyPressed = true;
  SetState(TUIControlState::uicsPressed);
}

void TUIStateHelper::DoKeyUp() {
  FKeyPressed = false;
  if (FState != TUIControlState::uicsPressed) return;
  UpdateMouseInItem();
  SetState(FMouseInItem ? TUIControlState::uicsHot : TUIControlState::uicsNormal);
}

void TUIStateHelper::Paint(Gui::TCanvas* ACanvas) {
  if (!FOnPaintItem || !ACanvas || FItemRect.right <= FItemRect.left || FItemRect.bottom <= FItemRect.top) return;
  if (FAnimationEnabled) {
    FOnPaintItem(*this, *ACanvas, TUIControlState::uicsNormal, true, 255);
    FOnPaintItem(*this, *ACanvas, TUIControlState::uicsHot, false, FOpaque);
    return;
  }
  TUIControlState state = FState;
  // Pressed with the mouse and dragged off the item: shown hot.
  if (state == TUIControlState::uicsPressed && !FKeyPressed && !FMouseInItem) state = TUIControlState::uicsHot;
  FOnPaintItem(*this, *ACanvas, state, false, 255);
}

}  // namespace Project::VCL
