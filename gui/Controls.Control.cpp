// Controls and windowed controls: parent and children, bounds, visibility,
// enabled state, colour, font, caption and double buffering.
#include <algorithm>

#include "Controls.WindowProc.h"
#include "Velqora.System.SysUtils.h"

namespace Gui {

// ---- TControl ----

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  FFont.OnChange = [this] {
    if (!FUpdatingParentFont) FParentFont = false;
    FontChanged();
  };
}

TControl::~TControl() {
  FFont.OnChange = nullptr;
  ReportingErrors([&] { SetParent(nullptr); });
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  if (AParent == this) throw Velqora::Exception(L"A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (AParent) AParent->InsertControl(this);
  ParentChanged();
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  bool resized = AWidth != FWidth || AHeight != FHeight;
  if (FParent && FVisible) FParent->Invalidate();  // the old area
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  Invalidate();
  if (resized) Resize();
  RequestAlign();
}

RECT TControl::GetClientRect() const { return {0, 0, FWidth, FHeight}; }
int TControl::GetClientWidth() const {
  RECT r = GetClientRect();
  return r.right - r.left;
}
int TControl::GetClientHeight() const {
  RECT r = GetClientRect();
  return r.bottom - r.top;
}

void TControl::SetVisible(bool AValue) {
  if (FVisible == AValue) return;
  if (!AValue) Invalidate();  // the area it leaves
  FVisible = AValue;
  VisibleChanged();
}

void TControl::VisibleChanged() {
  Invalidate();
  if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

bool TControl::IsShowing() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible) return false;
  return true;
}

void TControl::SetEnabled(bool AValue) {
  if (FEnabled == AValue) return;
  FEnabled = AValue;
  EnabledChanged();
  Invalidate();
}

void TControl::SetColor(TColor AValue) {
  FParentColor = false;
  if (FColor == AValue) return;
  FColor = AValue;
  ColorChanged();
}

void TControl::SetParentColor(bool AValue) {
  FParentColor = AValue;
  if (AValue) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!FParentColor || !FParent || FColor == FParent->FColor) return;
  FColor = FParent->FColor;
  ColorChanged();
}

void TControl::SetParentFont(bool AValue) {
  FParentFont = AValue;
  if (AValue) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!FParentFont || !FParent) return;
  FUpdatingParentFont = true;
  FFont.Assign(FParent->FFont);
  FUpdatingParentFont = false;
}

void TControl::SetCaption(const std::wstring& AValue) {
  if (FCaption == AValue) return;
  FCaption = AValue;
  TextChanged();
}

void TControl::SetAccessibleName(const std::wstring& AValue) {
  if (FAccessibleName == AValue) return;
  FAccessibleName = AValue;
  if (auto self = dynamic_cast<const TWinControl*>(this)) self->NotifyAccessible(EVENT_OBJECT_NAMECHANGE);
}

void TControl::ColorChanged() { Invalidate(); }
void TControl::FontChanged() { Invalidate(); }
void TControl::TextChanged() { Invalidate(); }
void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::Resize() {
  if (OnResize) OnResize(this);
}

LRESULT TControl::Perform(UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  TMessage m{AMsg, AWParam, ALParam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& AMessage) { DefaultHandler(AMessage); }
void TControl::DefaultHandler(TMessage&) {}

void TControl::Invalidate() {
  if (!FParent || !FParent->HandleAllocated() || !IsShowing()) return;
  RECT r = GetBoundsRect();
  InvalidateRect(FParent->GetHandleIfAllocated(), &r, !ControlStyle.Contains(csOpaque));
}

void TControl::BringToFront() {
  if (!FParent) return;
  auto& list = FParent->FControls;
  list.erase(std::find(list.begin(), list.end(), this));
  list.push_back(this);
  if (auto w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    Sending([&] { return SetWindowPos(w->FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); });
  Invalidate();
}

// ---- TGraphicControl ----

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}
TGraphicControl::~TGraphicControl() { FCanvas.SetHandle(nullptr); }

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  FComponentState |= csDestroying;
  // A destructor raises nothing: what handlers raise meanwhile is reported.
  ReportingErrors([&] { SetParent(nullptr); });  // while this is still a windowed control
  // Children are not owned: they lose their parent (and their windows).
  // Each leaves the list before anything can raise.
  while (!FControls.empty()) ReportingErrors([&] { FControls.back()->SetParent(nullptr); });
  ReportingErrors([&] { DestroyWnd(); });
}

void TWinControl::InsertControl(TControl* AControl) {
  FControls.push_back(AControl);
  AControl->FParent = this;
  if (auto w = dynamic_cast<TWinControl*>(AControl)) {
    FTabList.push_back(w);
    w->ParentDoubleBufferedChanged();
    if (FHandle) {
      if (HWND child = w->FHandle) {
        Sending([&] { return ::SetParent(child, FHandle); });
        Sending([&] { return SetWindowPos(child, HWND_TOP, w->FLeft, w->FTop, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE); });
      } else {
        w->CreateHandle();
      }
    }
  }
  AControl->ParentColorChanged();
  AControl->ParentFontChanged();
  if (AControl->GetAlign() != TAlign::alNone) Realign();
  AControl->Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl) {
  AControl->Invalidate();
  FControls.erase(std::remove(FControls.begin(), FControls.end(), AControl), FControls.end());
  AControl->FParent = nullptr;
  if (auto w = dynamic_cast<TWinControl*>(AControl)) {
    FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), w), FTabList.end());
    // A window cannot outlive its parent window: it is made again under the
    // next parent.
    w->DestroyWnd();
  }
  if (AControl->GetAlign() != TAlign::alNone && !FComponentState.Contains(csDestroying)) Realign();
}

void TWinControl::ParentChanged() { ParentDoubleBufferedChanged(); }

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  bool resized = AWidth != FWidth || AHeight != FHeight;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (HWND wnd = FHandle) {
    // WM_WINDOWPOSCHANGED reads the bounds back and does the rest.
    Sending([&] { return SetWindowPos(wnd, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE); });
    return;
  }
  if (resized) {
    AlignControls();
    Resize();
  }
  RequestAlign();
}

void TWinControl::UpdateBoundsFromWindow() {
  RECT r;
  GetWindowRect(FHandle, &r);
  if (HWND parent = ::GetParent(FHandle); parent && (GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  FLeft = r.left;
  FTop = r.top;
  FWidth = r.right - r.left;
  FHeight = r.bottom - r.top;
}

void TWinControl::WMWindowPosChanged(TMessage& AMessage) {
  auto pos = reinterpret_cast<const WINDOWPOS*>(AMessage.LParam);
  DefaultHandler(AMessage);
  if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) == (SWP_NOMOVE | SWP_NOSIZE)) return;
  int oldWidth = FWidth, oldHeight = FHeight;
  UpdateBoundsFromWindow();
  bool resized = FWidth != oldWidth || FHeight != oldHeight || !(pos->flags & SWP_NOSIZE);
  if (resized) AlignControls();
  WindowPosChanged(resized);
  RequestAlign();
}

void TWinControl::WindowPosChanged(bool AResized) {
  if (AResized) Resize();
}

RECT TWinControl::GetClientRect() const {
  RECT r{0, 0, FWidth, FHeight};
  if (FHandle) ::GetClientRect(FHandle, &r);
  return r;
}

void TWinControl::SetVisible(bool AValue) {
  if (FVisible == AValue) return;
  FVisible = AValue;
  if (HWND wnd = FHandle) Sending([&] { return ShowWindow(wnd, AValue ? SW_SHOWNA : SW_HIDE); });
  VisibleChanged();
}

void TWinControl::VisibleChanged() {
  if (FParent && GetAlign() != TAlign::alNone) FParent->Realign();
}

void TWinControl::SetEnabled(bool AValue) {
  if (FEnabled == AValue) return;
  FEnabled = AValue;
  if (HWND wnd = FHandle) Sending([&] { return EnableWindow(wnd, AValue); });
  EnabledChanged();
  Invalidate();
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, !ControlStyle.Contains(csOpaque));
}

void TWinControl::Update() {
  if (HWND wnd = FHandle) Sending([&] { return UpdateWindow(wnd); });
}

void TWinControl::ColorChanged() {
  Invalidate();
  for (TControl* c : FControls) c->ParentColorChanged();
}

void TWinControl::FontChanged() {
  if (HWND wnd = FHandle)
    Sending([&] { return SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font().GetHandle()), 0); });
  Invalidate();
  for (TControl* c : FControls) c->ParentFontChanged();
}

void TWinControl::TextChanged() {
  if (HWND wnd = FHandle) Sending([&] { return SetWindowTextW(wnd, GetCaption().c_str()); });
  Invalidate();
}

void TWinControl::SetDoubleBuffered(bool AValue) {
  FParentDoubleBuffered = false;
  if (FDoubleBuffered == AValue) return;
  FDoubleBuffered = AValue;
  for (TControl* c : FControls)
    if (auto w = dynamic_cast<TWinControl*>(c)) w->ParentDoubleBufferedChanged();
  Invalidate();
}

void TWinControl::SetParentDoubleBuffered(bool AValue) {
  FParentDoubleBuffered = AValue;
  ParentDoubleBufferedChanged();
}

void TWinControl::ParentDoubleBufferedChanged() {
  if (!FParentDoubleBuffered || !FParent || FDoubleBuffered == FParent->FDoubleBuffered) return;
  FDoubleBuffered = FParent->FDoubleBuffered;
  for (TControl* c : FControls)
    if (auto w = dynamic_cast<TWinControl*>(c)) w->ParentDoubleBufferedChanged();
}

void TWinControl::SetParentBackground(bool AValue) {
  if (FParentBackground == AValue) return;
  FParentBackground = AValue;
  Invalidate();
}

// ---- TCustomControl ----

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

}  // namespace Gui
