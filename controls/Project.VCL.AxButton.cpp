#include "Project.VCL.AxButton.h"

#include <cstring>

#include "Forms.h"
#include "Project.VCL.BitmapHelper.h"
#include "Project.VCL.CanvasHelper.h"

namespace Project::VCL {

using Gui::TColor;
using enum TUIControlState;

namespace {

constexpr UINT CaptionFormat = DT_CENTER | DT_SINGLELINE | DT_HIDEPREFIX;
constexpr UINT MeasureFormat = DT_SINGLELINE | DT_NOPREFIX;
constexpr RECT SliceMargins{3, 3, 3, 3};

bool ModifierHeld() {
  return GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
}

}  // namespace

TAxCustomButton::TAxCustomButton(Gui::TComponent* AOwner)
    : TAxButtonControl(AOwner),
      FButtonImage(std::make_unique<Gui::TBitmap32>()),
      FIcon(std::make_unique<Gui::TBitmap32>()) {
  // Its own flags in place of the base's: it captures the mouse, and it is
  // not opaque (the background shows at its rounded corners).
  ControlStyle = Gui::csCaptureMouse;
  FUIMainState = std::make_unique<TUIStateHelper>(
      this, [this](TUIStateHelper& ASender, Gui::TCanvas& ACanvas, TUIControlState AState, bool AFirstLayer,
                   uint8_t AOpaque) { PaintItem(ASender, ACanvas, AState, AFirstLayer, AOpaque); });
  SetBounds(GetLeft(), GetTop(), 90, 25);
  Font().Assign(VCLCommon::DefaultFont());
  SetDefualtStyle();
  SetTabStop(true);
}

TAxCustomButton::~TAxCustomButton() {
  // The helper goes first: its fade timer must not tick into a half-freed
  // button.
  FUIMainState.reset();
}

void TAxCustomButton::LoadStyle(const wchar_t* AResource, const std::array<TColor, 4>& AFontColor,
                                TAxTextShadowStyles AShadowStyle, TColor AShadowColor) {
  TBitmapHelper::LoadFromPngResource(*FButtonImage, GetModuleHandleW(nullptr), AResource);
  FFontColor = AFontColor;
  FTextShadowStyle.fill(AShadowStyle);
  FTextShadowColor.fill(AShadowColor);
}

void TAxCustomButton::SetDefualtStyle() {
  const TColor text = VCLCommon::DefaultFontColor;
  // In TUIControlState order: normal, disabled, hot, pressed.
  LoadStyle(L"BTN_BACKGROUND_DEFAULT", {text, VCLCommon::DisabledFontColor, text, text}, 0, Gui::clNone);
}

void TAxCustomButton::SetBlueStyle() {
  const TColor white = Gui::RGBColor(255, 255, 255);
  LoadStyle(L"BTN_BACKGROUND_BLUE", {white, Gui::RGBColor(0x7C, 0x7C, 0x7C), white, white},
            ShadowStyleBit(TAxTextShadowStyle::tssTop), Gui::RGBColor(13, 92, 135));
}

void TAxCustomButton::SetTextShadowColor(TUIControlState AState, TColor AValue) {
  if (FTextShadowColor[size_t(AState)] == AValue) return;
  FTextShadowColor[size_t(AState)] = AValue;
  Invalidate();
}

void TAxCustomButton::SetTextShadowStyle(TUIControlState AState, TAxTextShadowStyles AValue) {
  if (FTextShadowStyle[size_t(AState)] == AValue) return;
  FTextShadowStyle[size_t(AState)] = AValue;
  Invalidate();
}

void TAxCustomButton::SetTextShadowSize(int AValue) {
  if (FTextShadowSize == AValue) return;
  FTextShadowSize = AValue;
  Invalidate();
}

void TAxCustomButton::SetButtonImage(const Gui::TBitmap32* AValue) {
  if (AValue) FButtonImage->Assign(*AValue);
  AdjustSize();
  Invalidate();
}

void TAxCustomButton::SetIcon(const Gui::TBitmap32* AValue) {
  if (AValue)
    FIcon->Assign(*AValue);
  else
    FIcon = std::make_unique<Gui::TBitmap32>();
  AdjustSize();
  Invalidate();
}

void TAxCustomButton::SetDefault(bool Value) {
  if (FDefault == Value) return;
  FDefault = Value;
  // The buttons work out again which of them reacts to Enter.
  if (HandleAllocated()) CMFocusChanged(Gui::TWinControl::FromHandle(GetFocus()));
}

void TAxCustomButton::SetAutoSize(bool AValue) {
  if (FAutoSize == AValue) return;
  FAutoSize = AValue;
  AdjustSize();
}

void TAxCustomButton::AdjustSize() {
  if (!FAutoSize) return;
  int w = GetWidth(), h = GetHeight();
  if (CanAutoSize(w, h)) SetBounds(GetLeft(), GetTop(), w, h);
}

// The caption's width in the button's font: on the canvas of the paint
// that runs, else on the measuring canvas.
int TAxCustomButton::CaptionWidth() {
  Gui::TCanvas& canvas = Canvas();
  if (canvas.HandleAllocated()) {
    Gui::TFont saved;
    saved.Assign(canvas.Font());
    auto restore = Velqora::ScopeExit([&] { canvas.Font().Assign(saved); });
    canvas.Font().Assign(Font());
    return TCanvasHelper::AxTextWidth(canvas, GetCaption(), MeasureFormat);
  }
  InitCustomCanvas();
  auto done = Velqora::ScopeExit([&] { DoneCustomCanvas(); });
  return TCanvasHelper::AxTextWidth(canvas, GetCaption(), MeasureFormat);
}

bool TAxCustomButton::CanAutoSize(int& NewWidth, int& NewHeight) {
  int w = GetCaption().empty() ? 0 : CaptionWidth() + 20, h = 0;
  if (!FIcon->Empty()) {
    if (!GetCaption().empty()) w += FIcon->GetWidth() / 2 + 10;
    w += FIcon->GetWidth();
    h = std::max(h, FIcon->GetHeight() / 4);
  }
  const Gui::TMargins& padding = GetPadding();
  w = (w + 9) / 10 * 10 + padding.Left + padding.Right;  // whole tens of pixels
  h += padding.Top + padding.Bottom;
  const Gui::TSizeConstraints& limits = Constraints();
  w = std::max(w, limits.MinWidth);
  h = std::max(h, limits.MinHeight);
  if (limits.MaxHeight > 0) h = std::min(h, limits.MaxHeight);
  if (limits.MaxWidth > 0) w = std::min(w, limits.MaxWidth);
  if (GetAlign() != Gui::TAlign::alTop && GetAlign() != Gui::TAlign::alBottom) NewWidth = w;
  if (GetAlign() != Gui::TAlign::alLeft && GetAlign() != Gui::TAlign::alRight) NewHeight = h;
  return true;
}

void TAxCustomButton::Click() {
  for (Gui::TWinControl* p = GetParent(); p; p = p->GetParent())
    if (auto form = dynamic_cast<Gui::TForm*>(p)) {
      form->SetModalResult(FModalResult);
      break;
    }
  FUIMainState->DoKeyUp();
  TAxButtonControl::Click();
}

void TAxCustomButton::Press() {
  FPressStartTime = GetTickCount();
  Click();
}

bool TAxCustomButton::PreProcessMessage(MSG& AMsg) {
  const bool key = AMsg.message == WM_KEYDOWN &&
                   (AMsg.wParam == VK_RETURN || AMsg.wParam == VK_SPACE || AMsg.wParam == VK_ESCAPE);
  // A key held down repeats its key-down: only the first one is a press,
  // so that leaning on Enter clicks once, not on every page it reaches.
  if (key && (AMsg.lParam & (1 << 30))) return true;
  const bool handled = TAxButtonControl::PreProcessMessage(AMsg);
  if (key && AMsg.wParam != VK_ESCAPE) {
    FPressStartTime = AMsg.time;
    FUIMainState->DoKeyDown();
  }
  return handled;
}

bool TAxCustomButton::CMDialogKey(WPARAM AKey) {
  if (((AKey == VK_RETURN && FActive) || (AKey == VK_ESCAPE && FCancel)) && !ModifierHeld() && CanFocus()) {
    Click();
    return true;
  }
  return false;
}

void TAxCustomButton::CMFocusChanged(Gui::TWinControl* AFocused) {
  // A button held down keeps the focus.
  if (AFocused != this && FUIMainState->State() == uicsPressed && CanFocus()) {
    SetFocus();
    return;
  }
  FActive = dynamic_cast<TAxCustomButton*>(AFocused) ? AFocused == this : FDefault;
  Invalidate();
}

void TAxCustomButton::WndProc(Gui::TMessage& AMessage) {
  // The second press of a double click is no press of its own: a double
  // click on a button that changes the page must not press what the new
  // page puts under the pointer.
  if (AMessage.Msg == WM_LBUTTONDBLCLK) return;
  if (AMessage.Msg == WM_SYSKEYUP &&
      (AMessage.WParam == VK_RETURN || AMessage.WParam == VK_MENU || AMessage.WParam == VK_SPACE))
    FUIMainState->DoKeyUp();
  TAxButtonControl::WndProc(AMessage);
}

void TAxCustomButton::Resize() {
  TAxButtonControl::Resize();
  FUIMainState->SetItemRect(GetClientRect());
}

void TAxCustomButton::Paint(const RECT& AClientRect, const RECT& AClipRect) {
  FUIMainState->Paint(&Canvas());
  // The keyboard's place: a dotted frame inside the face, while the window
  // shows keyboard cues (the first Tab or arrow key shows them).
  if (Focused() && !GetUIHideFocus()) {
    RECT mark = AClientRect;
    InflateRect(&mark, -FocusMarkInset, -FocusMarkInset);
    SetTextColor(Canvas().DrawingHandle(), RGB(0, 0, 0));
    SetBkColor(Canvas().DrawingHandle(), RGB(255, 255, 255));
    DrawFocusRect(Canvas().DrawingHandle(), &mark);
  }
  TAxButtonControl::Paint(AClientRect, AClipRect);
}

void TAxCustomButton::MouseDown(UINT AButton, int AX, int AY) {
  TAxButtonControl::MouseDown(AButton, AX, AY);
  if (AButton != VK_LBUTTON) return;
  FPressStartTime = GetMessageTime();
  FUIMainState->DoLButtonDown(AX, AY);
}

void TAxCustomButton::MouseUp(UINT AButton, int AX, int AY) {
  TAxButtonControl::MouseUp(AButton, AX, AY);
  if (AButton != VK_LBUTTON) return;
  // Only a release inside a pressed button clicks.
  const RECT& r = FUIMainState->ItemRect();
  const bool click = FUIMainState->State() == uicsPressed && AX >= r.left && AX < r.right && AY >= r.top &&
                     AY < r.bottom && !FClicksDisabled;
  FUIMainState->DoLButtonUp(AX, AY);
  if (click) Click();
}

void TAxCustomButton::MouseMove(int AX, int AY) {
  TAxButtonControl::MouseMove(AX, AY);
  FUIMainState->DoMouseMove(AX, AY);
}

void TAxCustomButton::MouseLeave() {
  FUIMainState->DoMouseLeave();
  TAxButtonControl::MouseLeave();
}

void TAxCustomButton::KeyUp(WPARAM AKey) {
  TAxButtonControl::KeyUp(AKey);
  if ((AKey == VK_RETURN || AKey == VK_ESCAPE || AKey == VK_SPACE) && FUIMainState->State() == uicsPressed) {
    FUIMainState->DoKeyUp();
    if (AKey != VK_RETURN) Click();
  }
}

void TAxCustomButton::EnabledChanged() {
  TAxButtonControl::EnabledChanged();
  FUIMainState->DoEnabledChanged();
}

void TAxCustomButton::FontChanged() {
  TAxButtonControl::FontChanged();
  AdjustSize();
}

void TAxCustomButton::TextChanged() {
  TAxButtonControl::TextChanged();
  AdjustSize();
}

// ---- Painting ----

void TAxCustomButton::PaintItem(TUIStateHelper& ASender, Gui::TCanvas& ACanvas, TUIControlState AState,
                                bool AFirstLayer, uint8_t AOpaque) {
  const RECT& item = ASender.ItemRect();
  if (VCLCommon::HighContrast()) {
    PaintSystemColours(ACanvas, item, AState);
    return;
  }
  if (!FButtonImage->Empty()) {
    const int h = FButtonImage->GetHeight() / 4, top = int(AState) * h;
    TBitmapHelper::AlphaDrawSliced(*FButtonImage, &ACanvas, item, {0, top, FButtonImage->GetWidth(), top + h},
                                   SliceMargins, AOpaque);
  }
  if (AFirstLayer) return;  // the base layer of a fade is the background only
  RECT iconRect, textRect;
  CalcLayout(item, iconRect, textRect);
  if (!FIcon->Empty()) {
    if (AOpaque < 255) TBitmapHelper::AlphaDrawState(*FIcon, &ACanvas, iconRect, uicsNormal, 255);
    TBitmapHelper::AlphaDrawState(*FIcon, &ACanvas, iconRect, AState, AOpaque);
  }
  if (GetCaption().empty()) return;
  TColor text = FFontColor[size_t(AState)], shadow = FTextShadowColor[size_t(AState)];
  if (AOpaque < 255 && GetEnabled()) {
    text = TCanvasHelper::BlendColors(FFontColor[size_t(uicsNormal)], text, AOpaque);
    shadow = TCanvasHelper::BlendColors(FTextShadowColor[size_t(uicsNormal)], shadow, AOpaque);
  }
  DrawCaption(ACanvas, textRect, text, FTextShadowSize, shadow, FTextShadowStyle[size_t(AState)]);
}

void TAxCustomButton::PaintSystemColours(Gui::TCanvas& ACanvas, const RECT& AItem, TUIControlState AState) {
  // The user's theme, not the pictures: face and text of a button, the
  // selection's colours under the pointer or pressed, grey text disabled;
  // a frame in the text's colour, doubled while pressed.
  const bool lit = AState == uicsHot || AState == uicsPressed;
  const int face = lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE;
  const int text = AState == uicsDisabled ? COLOR_GRAYTEXT : lit ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT;
  HDC dc = ACanvas.DrawingHandle();
  FillRect(dc, &AItem, GetSysColorBrush(face));
  RECT frame = AItem;
  for (int i = AState == uicsPressed ? 2 : 1; i > 0; --i) {
    FrameRect(dc, &frame, GetSysColorBrush(text));
    InflateRect(&frame, -1, -1);
  }
  if (GetCaption().empty()) return;
  RECT iconRect, textRect;
  CalcLayout(AItem, iconRect, textRect);
  DrawCaption(ACanvas, textRect, Gui::TColor(0xFF000000 | text), 0, Gui::clNone, 0);
}

void TAxCustomButton::DrawCaption(Gui::TCanvas& ACanvas, const RECT& ARect, TColor ATextColor, int AShadowSize,
                                  TColor AShadowColor, TAxTextShadowStyles AShadowStyle) {
  ACanvas.Brush().SetStyle(Gui::TBrushStyle::bsClear);
  auto solid = Velqora::ScopeExit([&] { ACanvas.Brush().SetStyle(Gui::TBrushStyle::bsSolid); });
  ACanvas.Font().Assign(Font());
  ACanvas.Font().SetColor(ATextColor);
  OUTLINETEXTMETRICW otm;
  std::memset(&otm, 0, sizeof(otm));
  if (!::GetOutlineTextMetricsW(ACanvas.DrawingHandle(), sizeof(otm), &otm)) std::memset(&otm, 0, sizeof(otm));
  RECT r = ARect;
  // The typographic ascent centred vertically.
  r.top = ARect.top + (ARect.bottom - ARect.top - int(otm.otmAscent)) / 2 -
          (otm.otmTextMetrics.tmAscent - int(otm.otmAscent));
  TCanvasHelper::AxDrawShadowText(ACanvas, GetCaption(), r, CaptionFormat, AShadowSize, AShadowStyle, AShadowColor);
}

void TAxCustomButton::CalcLayout(const RECT& AItemRect, RECT& AIconRect, RECT& ATextRect) {
  const Gui::TMargins& padding = GetPadding();
  const RECT padded{AItemRect.left + padding.Left, AItemRect.top + padding.Top, AItemRect.right - padding.Right,
                    AItemRect.bottom - padding.Bottom};
  AIconRect = {};
  ATextRect = padded;
  if (FIcon->Empty()) {
    ATextRect.left += 10;
    ATextRect.right -= 10;
    return;
  }
  const int w = FIcon->GetWidth(), h = FIcon->GetHeight() / 4;
  const int iconTop = padded.top + (padded.bottom - padded.top - h) / 2;
  if (GetCaption().empty()) {
    const int left = padded.left + (padded.right - padded.left - w) / 2;
    AIconRect = {left, iconTop, left + w, iconTop + h};
    ATextRect = {};
    return;
  }
  ATextRect.right -= 10;
  const int left = padded.left + 32 - w / 2;
  AIconRect = {left, iconTop, left + w, iconTop + h};
  ATextRect.left = AIconRect.right - w / 2;
  const int caption = CaptionWidth();
  const int needed = caption + w + 10;
  if (ATextRect.right - ATextRect.left < needed) {
    // Icon, gap and caption centred as one group.
    const int groupLeft = padded.left + (AItemRect.right - AItemRect.left - needed) / 2;
    AIconRect = {groupLeft, iconTop, groupLeft + w, iconTop + h};
    ATextRect.left = AIconRect.right + 10;
    ATextRect.right = ATextRect.left + caption;
  }
}

}  // namespace Project::VCL
