// The interaction state of one clickable item (normal, disabled, hot,
// pressed) from the mouse, keyboard and enabled-state events its control
// forwards, with the hot look faded in and out over the shared animation
// time, painted through a callback.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "Controls.h"
#include "Graphics.h"
#include "Project.VCL.Common.h"
#include "UtilityWindow.h"

namespace Project::VCL {

class TUIStateHelper;

// Paints the look of AState over the item with opacity AOpaque; AFirstLayer
// marks the base layer of a fade (the receiver paints the background only).
using TPaintItemEvent =
    std::function<void(TUIStateHelper& ASender, Gui::TCanvas& ACanvas, TUIControlState AState, bool AFirstLayer,
                       uint8_t AOpaque)>;
using TInvalidateRectEvent = std::function<void(TUIStateHelper& ASender, const RECT& ARect, bool AErase)>;

class TUIStateHelper {
public:
  TUIStateHelper(Gui::TWinControl* AOwner, TPaintItemEvent AOnPaintItem, TInvalidateRectEvent AOnInvalidateRect = {});
  TUIStateHelper(HWND AHandle, TPaintItemEvent AOnPaintItem, TInvalidateRectEvent AOnInvalidateRect = {});
  virtual ~TUIStateHelper();
  TUIStateHelper(const TUIStateHelper&) = delete;
  TUIStateHelper& operator=(const TUIStateHelper&) = delete;

  Gui::TWinControl* Owner() const { return FOwner; }
  const RECT& ItemRect() const { return FItemRect; }
  void SetItemRect(const RECT& AValue) { FItemRect = AValue; }
  bool MouseInItem() const { return FMouseInItem; }
  TUIControlState State() const { return FState; }
  void SetState(TUIControlState AValue);
  // The hot look's opacity while a fade runs (0 to 255).
  uint8_t Opaque() const { return FOpaque; }
  bool AnimationEnabled() const { return FAnimationEnabled; }

  void Paint(Gui::TCanvas* ACanvas);

  virtual void DoEnabledChanged();
  virtual void DoLButtonDown(int AX, int AY);
  virtual void DoLButtonUp(int AX, int AY);
  virtual void DoMouseMove(int AX, int AY);
  virtual void DoMouseLeave();
  virtual void DoKeyDown();
  virtual void DoKeyUp();

  // Unit start-up and shut-down (after and before the timer service).
  static void Start();
  static void Stop();

private:
  void InvalidateItem();
  void StartAnimation(uint8_t ATarget);
  void StopAnimation(uint8_t AValue);
  void AnimationStep();
  void StartAnimationTimer(uint32_t AInterval);
  void StopAnimationTimer();
  void UpdateMouseInItem();
  bool Contains(int AX, int AY) const;
  static void AnimationWindowProc(Velqora::TWindowMessage& AMessage);

  HWND FHandle = nullptr;
  Gui::TWinControl* FOwner = nullptr;
  TPaintItemEvent FOnPaintItem;
  TInvalidateRectEvent FOnInvalidateRect;
  RECT FItemRect{};
  TUIControlState FState = TUIControlState::uicsNormal;
  bool FMouseInItem = false;
  bool FAnimationEnabled = false;
  DWORD FAnimationStartTime = 0;
  int FAnimationStartValue = 0;
  int FAnimationEndValue = 0;
  uint8_t FOpaque = 0;
  bool FKeyPressed = false;
  // The fade timer's ID: a number of this helper's own, not its address,
  // which does not fit the 32 bits of an ID in a 64-bit process.
  int32_t FTimerID;
};

}  // namespace Project::VCL
