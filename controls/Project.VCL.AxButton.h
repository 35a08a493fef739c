// The wizard's image-skinned push button: a four-state background drawn
// nine-sliced and faded through the interaction state helper, an optional
// four-state icon, a caption with per-state colours and an optional shadow,
// two looks (default and blue), Enter, Escape and Space, default and
// cancel buttons.
#pragma once

#include <array>
#include <memory>

#include "Graphics.h"
#include "Project.VCL.AxButtonControl.h"
#include "Project.VCL.UIStateHelper.h"

namespace Project::VCL {

class TAxCustomButton : public TAxButtonControl {
public:
  explicit TAxCustomButton(Gui::TComponent* AOwner);
  ~TAxCustomButton() override;

  // Grey frames and black text; blue frames and white text with a dark
  // blue shadow above. Neither repaints: a caption change does.
  void SetDefualtStyle();
  void SetBlueStyle();

  Gui::TColor GetFontColor(TUIControlState AButtonState) const { return FFontColor[size_t(AButtonState)]; }
  void SetFontColor(TUIControlState AButtonState, Gui::TColor AValue) { FFontColor[size_t(AButtonState)] = AValue; }
  Gui::TColor GetTextShadowColor(TUIControlState AState) const { return FTextShadowColor[size_t(AState)]; }
  void SetTextShadowColor(TUIControlState AState, Gui::TColor AValue);
  TAxTextShadowStyles GetTextShadowStyle(TUIControlState AState) const { return FTextShadowStyle[size_t(AState)]; }
  void SetTextShadowStyle(TUIControlState AState, TAxTextShadowStyles AValue);
  int GetTextShadowSize() const { return FTextShadowSize; }
  void SetTextShadowSize(int AValue);
  const Gui::TBitmap32& GetButtonImage() const { return *FButtonImage; }
  void SetButtonImage(const Gui::TBitmap32* AValue);
  const Gui::TBitmap32& GetIcon() const { return *FIcon; }
  void SetIcon(const Gui::TBitmap32* AValue);
  bool GetCancel() const { return FCancel; }
  void SetCancel(bool AValue) { FCancel = AValue; }
  bool GetDefault() const { return FDefault; }
  void SetDefault(bool Value);
  int GetModalResult() const { return FModalResult; }
  void SetModalResult(int AValue) { FModalResult = AValue; }
  // The button reacts to Enter: it has the focus, or it is the default
  // button while a control that is no button has it.
  bool GetActive() const { return FActive; }
  TUIStateHelper& UIMainState() { return *FUIMainState; }

  // With automatic size on, the size follows the caption and the icon.
  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue);
  // The size automatic sizing proposes; always true.
  bool CanAutoSize(int& NewWidth, int& NewHeight);

  // How far inside the button's edge the focus mark is drawn: within the
  // 3-pixel frame of the backgrounds.
  static constexpr int FocusMarkInset = 4;

  void Click() override;
  // Clicks as a press that begins now would (an accessibility client's
  // default action).
  void Press();
  // When the press that led to the last click began (message time: the
  // mouse button or the key went down), for callers that accept only
  // presses begun after something was shown. An auto-repeated key-down and
  // the second press of a double click begin no press and click nothing.
  DWORD GetPressStartTime() const { return FPressStartTime; }
  bool PreProcessMessage(MSG& AMsg) override;
  bool CMDialogKey(WPARAM AKey) override;
  void CMFocusChanged(Gui::TWinControl* AFocused) override;

protected:
  void WndProc(Gui::TMessage& AMessage) override;
  void Paint(const RECT& AClientRect, const RECT& AClipRect) override;
  void Resize() override;
  void MouseDown(UINT AButton, int AX, int AY) override;
  void MouseUp(UINT AButton, int AX, int AY) override;
  void MouseMove(int AX, int AY) override;
  void MouseLeave() override;
  void KeyUp(WPARAM AKey) override;
  void EnabledChanged() override;
  void FontChanged() override;
  void TextChanged() override;

  virtual void CalcLayout(const RECT& AItemRect, RECT& AIconRect, RECT& ATextRect);
  virtual void PaintItem(TUIStateHelper& ASender, Gui::TCanvas& ACanvas, TUIControlState AState, bool AFirstLayer,
                         uint8_t AOpaque);
  virtual void DrawCaption(Gui::TCanvas& ACanvas, const RECT& ARect, Gui::TColor ATextColor, int AShadowSize,
                           Gui::TColor AShadowColor, TAxTextShadowStyles AShadowStyle);

private:
  void PaintSystemColours(Gui::TCanvas& ACanvas, const RECT& AItem, TUIControlState AState);
  void LoadStyle(const wchar_t* AResource, const std::array<Gui::TColor, 4>& AFontColor,
                 TAxTextShadowStyles AShadowStyle, Gui::TColor AShadowColor);
  void AdjustSize();
  int CaptionWidth();

  bool FActive = false;
  DWORD FPressStartTime = 0;
  std::unique_ptr<Gui::TBitmap32> FButtonImage;
  bool FCancel = false;
  bool FDefault = false;
  std::array<Gui::TColor, 4> FFontColor{};
  int FTextShadowSize = 1;
  std::array<TAxTextShadowStyles, 4> FTextShadowStyle{};
  std::array<Gui::TColor, 4> FTextShadowColor{};
  std::unique_ptr<Gui::TBitmap32> FIcon;
  int FModalResult = 0;
  bool FAutoSize = false;
  std::unique_ptr<TUIStateHelper> FUIMainState;
};

// The class the forms use for their buttons.
class TButton : public TAxCustomButton {
public:
  using TAxCustomButton::TAxCustomButton;
};

}  // namespace Project::VCL
