// Painting: WM_PAINT on the screen or into an off-screen buffer, the erase
// step, the parent's background, graphic children and canvases.
#include "Controls.h"

namespace Gui {

namespace {

// The device context of one WM_PAINT, from BeginPaint to EndPaint.
class TPaintDC {
public:
  explicit TPaintDC(HWND AWnd) : FWnd(AWnd), FDC(BeginPaint(AWnd, &FPaint)) {}
  ~TPaintDC() {
    if (FDC) EndPaint(FWnd, &FPaint);
  }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;
  HDC Get() const { return FDC; }
  const RECT& PaintRect() const { return FPaint.rcPaint; }

private:
  HWND FWnd;
  PAINTSTRUCT FPaint{};
  HDC FDC;
};

// An off-screen bitmap compatible with ADC, selected into a memory device
// context of its own; deselected before either is deleted.
class TPaintBuffer {
public:
  TPaintBuffer(HDC ADC, int AWidth, int AHeight)
      : FDC(CreateCompatibleDC(ADC)),
        FBitmap(CreateCompatibleBitmap(ADC, AWidth, AHeight)),
        FSelect(FDC && FBitmap ? FDC.Get() : nullptr, FDC && FBitmap ? FBitmap.Get() : nullptr) {}
  // False when the system had no resources for it.
  explicit operator bool() const { return FDC && FBitmap; }
  HDC Get() const { return FDC.Get(); }

private:
  Velqora::TUniqueMemoryDC FDC;
  Velqora::TUniqueBitmap FBitmap;
  Velqora::TSelectObject FSelect;  // goes first
};

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

void TWinControl::PaintWindow(HDC) {}

LRESULT TWinControl::PaintParentBackground(HDC ADC) {
  if (!FParent || !ADC) return 0;
  TSavedDC saved(ADC);  // the origin goes back
  OffsetWindowOrgEx(ADC, FLeft, FTop, nullptr);
  return FParent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(ADC), reinterpret_cast<LPARAM>(ADC));
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
    TSavedDC saved(ADC);
    IntersectClipRect(ADC, bounds.left, bounds.top, bounds.right, bounds.bottom);
    OffsetWindowOrgEx(ADC, -c->FLeft, -c->FTop, nullptr);
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(ADC), reinterpret_cast<LPARAM>(ADC));
  }
}

void TWinControl::WMPaint(TMessage& AMessage) {
  if (HDC given = reinterpret_cast<HDC>(AMessage.WParam)) {  // painting a copy
    PaintWindow(given);
    PaintControls(given);
    return;
  }
  // A window with nothing of ours to paint is left to the system.
  if (!FDoubleBuffered && FControls.empty() && !ControlState.Contains(csCustomPaint)) {
    DefaultHandler(AMessage);
    return;
  }
  TPaintDC dc(FHandle);
  if (!dc.Get()) return;
  if (FDoubleBuffered) {
    RECT client = GetClientRect();
    if (TPaintBuffer buffer(dc.Get(), client.right, client.bottom); buffer) {
      const RECT& p = dc.PaintRect();
      IntersectClipRect(buffer.Get(), p.left, p.top, p.right, p.bottom);
      Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(buffer.Get()), reinterpret_cast<LPARAM>(buffer.Get()));
      PaintWindow(buffer.Get());
      PaintControls(buffer.Get());
      BitBlt(dc.Get(), p.left, p.top, p.right - p.left, p.bottom - p.top, buffer.Get(), p.left, p.top, SRCCOPY);
      return;
    }
    // Out of resources: painted directly.
  }
  PaintWindow(dc.Get());
  PaintControls(dc.Get());
}

void TCustomControl::WndProc(TMessage& AMessage) {
  if (AMessage.Msg != WM_PAINT) return TWinControl::WndProc(AMessage);
  TControlStateScope custom(*this, csCustomPaint);
  TWinControl::WndProc(AMessage);
}

void TCustomControl::PaintWindow(HDC ADC) {
  TCanvasPaint paint(*FCanvas, ADC, Font());
  Paint();
}

}  // namespace Gui
