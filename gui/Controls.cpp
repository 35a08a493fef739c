#include "Controls.h"

#include <windowsx.h>

#include <algorithm>
#include <set>

#include "Forms.h"
#include "Velqora.System.SysUtils.h"

namespace Gui {

// ---- TComponent ----

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

// ---- TControl ----

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  FFont.OnChange = [this] {
    if (!FUpdatingParentFont) FParentFont = false;
    FontChanged();
  };
}

TControl::~TControl() {
  FFont.OnChange = nullptr;
  SetParent(nullptr);
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
  InvalidateRect(FParent->GetHandleIfAllocated(), &r, !(ControlStyle & csOpaque));
}

void TControl::BringToFront() {
  if (!FParent) return;
  auto& list = FParent->FControls;
  list.erase(std::find(list.begin(), list.end(), this));
  list.push_back(this);
  if (auto w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

// ---- TGraphicControl ----

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}
TGraphicControl::~TGraphicControl() { FCanvas.SetHandle(nullptr); }

namespace {

// A canvas attached to a device context for one paint, starting from its
// defaults and the control's font, and detached again on every path.
class TCanvasPaint {
public:
  TCanvasPaint(TCanvas& ACanvas, HDC ADC, const TFont& AFont) : FCanvas(ACanvas) {
    FCanvas.SetHandle(ADC);
    FCanvas.Reset(AFont);
  }
  ~TCanvasPaint() { FCanvas.SetHandle(nullptr); }
  TCanvasPaint(const TCanvasPaint&) = delete;
  TCanvasPaint& operator=(const TCanvasPaint&) = delete;

private:
  TCanvas& FCanvas;
};

}  // namespace

void TGraphicControl::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_PAINT && AMessage.WParam) {
    TCanvasPaint paint(FCanvas, reinterpret_cast<HDC>(AMessage.WParam), Font());
    Paint();
    return;
  }
  TControl::WndProc(AMessage);
}

// ---- window classes and the window procedure ----

LRESULT CALLBACK ControlWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam);

namespace {

// Registers each window class once, on first use.
void EnsureWindowClass(const TCreateParams& AParams) {
  static std::set<std::wstring> registered;
  if (registered.count(AParams.WinClassName)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = AParams.ClassStyle;
  wc.lpfnWndProc = ControlWindowProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(wc.hInstance, L"MAINICON");
  wc.lpszClassName = AParams.WinClassName.c_str();
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) Velqora::ThrowLastOSError();
  registered.insert(AParams.WinClassName);
}

// The control whose window is being created, for the messages that arrive
// before WM_NCCREATE.
TWinControl* CreatingControl = nullptr;  // the GUI runs on one thread

}  // namespace

LRESULT CALLBACK ControlWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  auto control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(AWnd, 0));
  if (!control && CreatingControl) {
    control = std::exchange(CreatingControl, nullptr);
    control->FHandle = AWnd;
    SetWindowLongPtrW(AWnd, 0, reinterpret_cast<LONG_PTR>(control));
  }
  if (!control) return DefWindowProcW(AWnd, AMsg, AWParam, ALParam);
  TMessage message{AMsg, AWParam, ALParam, 0};
  try {
    control->WndProc(message);
  } catch (...) {
    // Nothing may cross into the system: the application reports it after
    // the message has been dispatched.
    TApplication::QueueException(std::current_exception());
  }
  if (AMsg == WM_NCDESTROY) {
    SetWindowLongPtrW(AWnd, 0, 0);
    control->FHandle = nullptr;
    control->FMouseTracking = false;
  }
  return message.Result;
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  FComponentState |= csDestroying;
  SetParent(nullptr);  // while this is still a windowed control
  // Children are not owned: they lose their parent (and their windows).
  while (!FControls.empty()) FControls.back()->SetParent(nullptr);
  DestroyWnd();
}

TWinControl* TWinControl::FromHandle(HWND AWnd) {
  if (!AWnd) return nullptr;
  wchar_t name[64];
  if (!GetClassNameW(AWnd, name, 64) || wcsncmp(name, L"Bountiq.", 8) != 0) return nullptr;
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(AWnd, 0));
}

void TWinControl::CreateParams(TCreateParams& AParams) {
  AParams.Caption = GetCaption();
  AParams.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (FVisible) AParams.Style |= WS_VISIBLE;
  if (!FEnabled) AParams.Style |= WS_DISABLED;
  if (FTabStop) AParams.Style |= WS_TABSTOP;
  AParams.X = FLeft;
  AParams.Y = FTop;
  AParams.Width = FWidth;
  AParams.Height = FHeight;
  AParams.WndParent = FParent ? FParent->GetHandle() : nullptr;
  AParams.ClassStyle = CS_DBLCLKS;
  AParams.WinClassName = L"Bountiq.Control";
}

HWND TWinControl::GetHandle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  if (FComponentState & csDestroying) throw Velqora::Exception(L"Control is being destroyed");
  if (!FParent && !dynamic_cast<TForm*>(this))
    throw Velqora::Exception(L"Control '" + GetName() + L"' has no parent window");
  CreateWnd();
  // Children get their windows in creation order, which is their z-order.
  for (TControl* c : FControls)
    if (auto w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  // A class style of its own needs a class of its own.
  if (params.ClassStyle != CS_DBLCLKS) params.WinClassName += Velqora::Format(L".%x", {uint64_t(params.ClassStyle)});
  EnsureWindowClass(params);
  ControlState |= csCreating;
  CreatingControl = this;
  HWND wnd = CreateWindowExW(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style,
                             params.X, params.Y, params.Width, params.Height, params.WndParent, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  DWORD error = GetLastError();
  CreatingControl = nullptr;
  ControlState &= ~uint32_t(csCreating);
  if (!wnd) Velqora::ThrowOSError(error);
  SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font().GetHandle()), 0);
  UpdateBoundsFromWindow();
}

void TWinControl::DestroyWnd() {
  if (!FHandle) return;
  HWND wnd = FHandle;
  DestroyWindow(wnd);  // WM_NCDESTROY clears FHandle, also for the children
  FHandle = nullptr;
}

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  DestroyWnd();
  if (!FParent || FParent->HandleAllocated() || dynamic_cast<TForm*>(this)) CreateHandle();
}

void TWinControl::InsertControl(TControl* AControl) {
  FControls.push_back(AControl);
  AControl->FParent = this;
  if (auto w = dynamic_cast<TWinControl*>(AControl)) {
    FTabList.push_back(w);
    w->ParentDoubleBufferedChanged();
    if (FHandle) {
      if (w->FHandle) {
        ::SetParent(w->FHandle, FHandle);
        SetWindowPos(w->FHandle, HWND_TOP, w->FLeft, w->FTop, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
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
  if (AControl->GetAlign() != TAlign::alNone && !(FComponentState & csDestroying)) Realign();
}

void TWinControl::ParentChanged() {
  ParentDoubleBufferedChanged();
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  bool resized = AWidth != FWidth || AHeight != FHeight;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FHandle) {
    // WM_WINDOWPOSCHANGED reads the bounds back and does the rest.
    SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
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
  if (FWidth != oldWidth || FHeight != oldHeight || !(pos->flags & SWP_NOSIZE)) {
    AlignControls();
    Resize();
  }
  RequestAlign();
}

RECT TWinControl::GetClientRect() const {
  RECT r{0, 0, FWidth, FHeight};
  if (FHandle) ::GetClientRect(FHandle, &r);
  return r;
}

void TWinControl::SetVisible(bool AValue) {
  if (FVisible == AValue) return;
  FVisible = AValue;
  if (FHandle) ShowWindow(FHandle, AValue ? SW_SHOWNA : SW_HIDE);
  VisibleChanged();
}

void TWinControl::VisibleChanged() {
  if (FParent && GetAlign() != TAlign::alNone) FParent->Realign();
}

void TWinControl::SetEnabled(bool AValue) {
  if (FEnabled == AValue) return;
  FEnabled = AValue;
  if (FHandle) EnableWindow(FHandle, AValue);
  EnabledChanged();
  Invalidate();
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, !(ControlStyle & csOpaque));
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::ColorChanged() {
  Invalidate();
  for (TControl* c : FControls) c->ParentColorChanged();
}

void TWinControl::FontChanged() {
  if (FHandle) SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font().GetHandle()), 0);
  Invalidate();
  for (TControl* c : FControls) c->ParentFontChanged();
}

void TWinControl::TextChanged() {
  if (FHandle) SetWindowTextW(FHandle, GetCaption().c_str());
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

// ---- tab order and focus ----

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
  if (CanFocus()) ::SetFocus(GetHandle());
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
bool TWinControl::DialogKey(WPARAM AKey) { return FParent && FParent->DialogKey(AKey); }

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ---- alignment ----

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
  if (ControlState & csAligning) return;
  ControlState |= csAligning;
  try {
    RECT rest = GetClientRect();
    rest.left += FPadding.Left;
    rest.top += FPadding.Top;
    rest.right -= FPadding.Right;
    rest.bottom -= FPadding.Bottom;
    for (TAlign align : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
      for (TControl* c : std::vector<TControl*>(FControls)) {
        if (c->GetAlign() != align || !c->FVisible) continue;
        TMargins m = c->GetAlignWithMargins() ? c->GetMargins() : TMargins{0, 0, 0, 0};
        int w = c->FWidth + m.Left + m.Right, h = c->FHeight + m.Top + m.Bottom;
        RECT box = rest;  // the area the control takes, margins included
        switch (align) {
          case TAlign::alTop: box.bottom = rest.top + h; rest.top = box.bottom; break;
          case TAlign::alBottom: box.top = rest.bottom - h; rest.bottom = box.top; break;
          case TAlign::alLeft: box.right = rest.left + w; rest.left = box.right; break;
          case TAlign::alRight: box.left = rest.right - w; rest.right = box.left; break;
          default: break;
        }
        c->SetBounds(box.left + m.Left, box.top + m.Top, box.right - box.left - m.Left - m.Right,
                     box.bottom - box.top - m.Top - m.Bottom);
      }
    }
  } catch (...) {
    ControlState &= ~uint32_t(csAligning);
    throw;
  }
  ControlState &= ~uint32_t(csAligning);
}

// ---- painting ----

void TWinControl::PaintWindow(HDC) {}

LRESULT TWinControl::PaintParentBackground(HDC ADC) {
  if (!FParent || !ADC) return 0;
  POINT origin;
  GetWindowOrgEx(ADC, &origin);
  SetWindowOrgEx(ADC, origin.x + FLeft, origin.y + FTop, nullptr);
  LRESULT result = 0;
  try {
    result = FParent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(ADC), reinterpret_cast<LPARAM>(ADC));
  } catch (...) {
    SetWindowOrgEx(ADC, origin.x, origin.y, nullptr);
    throw;
  }
  SetWindowOrgEx(ADC, origin.x, origin.y, nullptr);
  return result;
}

LRESULT TWinControl::EraseBackground(HDC ADC, LPARAM ALParam) {
  // With double buffering only the buffered erase (the buffer in both
  // parameters) draws; the system's own erase would flicker.
  if (!ADC || (FDoubleBuffered && reinterpret_cast<LPARAM>(ADC) != ALParam)) return 1;
  if (FParentBackground && FParent) {
    PaintParentBackground(ADC);
    return 1;
  }
  if (GetColor() == clNone) return 1;
  RECT r;
  GetClipBox(ADC, &r);
  Velqora::TUniqueBrush brush(CreateSolidBrush(ColorToRGB(GetColor())));
  FillRect(ADC, &r, brush.Get());
  return 1;
}

void TWinControl::PaintControls(HDC ADC) {
  for (TControl* c : FControls) {
    if (dynamic_cast<TWinControl*>(c) || !c->FVisible || c->FWidth <= 0 || c->FHeight <= 0) continue;
    RECT bounds = c->GetBoundsRect(), clip, visible;
    GetClipBox(ADC, &clip);
    if (!IntersectRect(&visible, &bounds, &clip)) continue;
    int saved = SaveDC(ADC);
    POINT origin;
    GetWindowOrgEx(ADC, &origin);
    IntersectClipRect(ADC, bounds.left, bounds.top, bounds.right, bounds.bottom);
    SetWindowOrgEx(ADC, origin.x - c->FLeft, origin.y - c->FTop, nullptr);
    try {
      c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(ADC), reinterpret_cast<LPARAM>(ADC));
    } catch (...) {
      RestoreDC(ADC, saved);
      throw;
    }
    RestoreDC(ADC, saved);
  }
}

void TWinControl::WMPaint(TMessage& AMessage) {
  if (HDC given = reinterpret_cast<HDC>(AMessage.WParam)) {  // painting a copy
    PaintWindow(given);
    PaintControls(given);
    return;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(FHandle, &ps);
  if (!dc) return;
  struct TEndPaint {
    HWND Wnd;
    PAINTSTRUCT* Ps;
    ~TEndPaint() { EndPaint(Wnd, Ps); }
  } endPaint{FHandle, &ps};
  if (!FDoubleBuffered) {
    PaintWindow(dc);
    PaintControls(dc);
    return;
  }
  RECT client = GetClientRect();
  Velqora::TUniqueMemoryDC buffer(CreateCompatibleDC(dc));
  Velqora::TUniqueBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
  if (!buffer || !bitmap) {  // out of resources: paint directly
    PaintWindow(dc);
    PaintControls(dc);
    return;
  }
  Velqora::TSelectObject select(buffer.Get(), bitmap.Get());
  const RECT& p = ps.rcPaint;
  IntersectClipRect(buffer.Get(), p.left, p.top, p.right, p.bottom);
  Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(buffer.Get()), reinterpret_cast<LPARAM>(buffer.Get()));
  PaintWindow(buffer.Get());
  PaintControls(buffer.Get());
  BitBlt(dc, p.left, p.top, p.right - p.left, p.bottom - p.top, buffer.Get(), p.left, p.top, SRCCOPY);
}

// ---- messages ----

void TWinControl::WndProc(TMessage& AMessage) {
  TMessage& m = AMessage;
  // While the object is being freed its window only gets the default
  // handling: handlers and events may touch parts that are gone already.
  if (FComponentState & csDestroying) {
    DefaultHandler(m);
    return;
  }
  switch (m.Msg) {
    case WM_PAINT:
      WMPaint(m);
      return;
    case WM_ERASEBKGND:
      m.Result = EraseBackground(reinterpret_cast<HDC>(m.WParam), m.LParam);
      return;
    case WM_WINDOWPOSCHANGED:
      WMWindowPosChanged(m);
      return;
    case WM_SETFOCUS:
      DefaultHandler(m);
      DoEnter();
      return;
    case WM_KILLFOCUS:
      DefaultHandler(m);
      DoExit();
      return;
    case WM_MOUSEMOVE:
      if (!FMouseTracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, FHandle, 0};
        FMouseTracking = TrackMouseEvent(&tme) != FALSE;
        MouseEnter();
      }
      MouseMove(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_MOUSELEAVE:
      FMouseTracking = false;
      MouseLeave();
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
      if ((ControlStyle & csCaptureMouse) && m.Msg != WM_RBUTTONDOWN) SetCapture(FHandle);
      MouseDown(m.Msg == WM_RBUTTONDOWN ? VK_RBUTTON : VK_LBUTTON, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (m.Msg == WM_LBUTTONUP && GetCapture() == FHandle) ReleaseCapture();
      MouseUp(m.Msg == WM_RBUTTONUP ? VK_RBUTTON : VK_LBUTTON, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_KEYDOWN:
      KeyDown(m.WParam);
      return;
    case WM_KEYUP:
      KeyUp(m.WParam);
      return;
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTCLIENT && reinterpret_cast<HWND>(m.WParam) == FHandle &&
          GetCursor() != TCursor::crDefault) {
        static const wchar_t* const ids[] = {IDC_ARROW, IDC_ARROW, IDC_HAND, IDC_IBEAM};
        ::SetCursor(LoadCursorW(nullptr, ids[size_t(GetCursor())]));
        m.Result = TRUE;
        return;
      }
      break;
    case WM_COMMAND:
      // Notifications of child windows go to the child itself.
      if (auto child = FromHandle(reinterpret_cast<HWND>(m.LParam)); child && child != this) {
        child->Command(HIWORD(m.WParam));
        return;
      }
      break;
    default:
      break;
  }
  DefaultHandler(m);
}

void TWinControl::DefaultHandler(TMessage& AMessage) {
  if (FHandle) AMessage.Result = DefWindowProcW(FHandle, AMessage.Msg, AMessage.WParam, AMessage.LParam);
}

// ---- TCustomControl ----

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC ADC) {
  TCanvasPaint paint(*FCanvas, ADC, Font());
  Paint();
}

}  // namespace Gui
