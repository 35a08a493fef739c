#include "Project.VCL.AxCustomControl.h"

#include "Controls.WindowProc.h"
#include "Project.VCL.Common.h"
#include "Project.VCL.Utils.h"
#include "Velqora.System.SysUtils.h"

namespace Project::VCL {

using Gui::Sending;
using Gui::TCanvas;
using Gui::TMessage;
using Gui::TWinControl;

namespace {

// The canvas locked and attached to a device context for one step; the
// device context it had before (the measuring canvas's) comes back after.
class TCanvasAttachment {
public:
  TCanvasAttachment(TCanvas& ACanvas, HDC ADC) : FCanvas(ACanvas), FPrevious(ACanvas.GetHandle()) {
    FCanvas.Lock();
    FCanvas.SetHandle(ADC);
  }
  ~TCanvasAttachment() {
    FCanvas.SetHandle(FPrevious);
    FCanvas.Unlock();
  }
  TCanvasAttachment(const TCanvasAttachment&) = delete;
  TCanvasAttachment& operator=(const TCanvasAttachment&) = delete;

private:
  TCanvas& FCanvas;
  HDC FPrevious;
};

// The form a control is on: its nearest top-level parent.
TWinControl* ParentForm(const TWinControl& AControl) {
  for (TWinControl* parent = AControl.GetParent(); parent; parent = parent->GetParent())
    if (parent->IsTopLevel()) return parent;
  return nullptr;
}

}  // namespace

TAxCustomControl::TAxCustomControl(Gui::TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {
  ControlStyle |= Gui::csCaptureMouse | Gui::csOpaque;
  SetColor(Gui::RGBColor(255, 255, 255));
  SetParentColor(true);
  SetParentBackground(false);
}

TAxCustomControl::~TAxCustomControl() {
  // From here on text changes are ignored; the canvas goes before the
  // framework destroys the window.
  FComponentState |= Gui::csDestroying;
}

// ---- messages ----

void TAxCustomControl::WndProc(TMessage& AMessage) {
  TMessage& m = AMessage;
  if (FComponentState.Contains(Gui::csDestroying)) return TWinControl::WndProc(m);
  switch (m.Msg) {
    case WM_PAINT: {
      // The paint-window step runs also without child controls.
      Gui::TControlStateScope custom(*this, Gui::csCustomPaint);
      TWinControl::WndProc(m);
      return;
    }
    case WM_ERASEBKGND:
      m.Result = 1;  // also when drawing raises: the system never erases the control
      EraseBackground(reinterpret_cast<HDC>(m.WParam), m.LParam);
      return;
    case WM_NCCALCSIZE:
      TWinControl::WndProc(m);
      if (FBorderStyle == TBorderStyle::bsSingle) {
        // The first rectangle of either form of the message.
        auto client = reinterpret_cast<RECT*>(m.LParam);
        InflateRect(client, -VCLCommon::SingleBorderWidth, -VCLCommon::SingleBorderWidth);
      }
      return;
    case WM_NCPAINT:
      m.Result = 0;
      return;
    case WM_UPDATEUISTATE:
      UpdateUIState(m.WParam);
      break;
    case WM_NCDESTROY:
      FMouseInClient = false;  // tracking ends with the window
      break;
    default:
      break;
  }
  TWinControl::WndProc(m);
}

void TAxCustomControl::DefaultHandler(TMessage& AMessage) {
  if (AMessage.Msg == WM_SETTEXT && AMessage.LParam && FComponentState.Contains(Gui::csDestroying)) return;
  TWinControl::DefaultHandler(AMessage);
}

void TAxCustomControl::TextChanged() {
  if (!FComponentState.Contains(Gui::csDestroying)) TWinControl::TextChanged();
}

void TAxCustomControl::UpdateUIState(WPARAM AWParam) {
  const WORD action = LOWORD(AWParam), flags = HIWORD(AWParam);
  const bool focus = flags & UISF_HIDEFOCUS, accel = flags & UISF_HIDEACCEL;
  const bool hideFocus = FUIHideFocus, hideAccel = FUIHideAccel;
  switch (action) {
    case UIS_INITIALIZE:
      FUIHideFocus = focus;
      FUIHideAccel = accel;
      break;
    case UIS_SET:
    case UIS_CLEAR:
      if (focus) FUIHideFocus = action == UIS_SET;
      if (accel) FUIHideAccel = action == UIS_SET;
      break;
    default:
      break;
  }
  // A control that shows cues it just lost, or lacks ones it just got,
  // draws again.
  if ((hideFocus != FUIHideFocus || hideAccel != FUIHideAccel) && HandleAllocated()) Invalidate();
}

// ---- window ----

void TAxCustomControl::CreateParams(Gui::TCreateParams& AParams) {
  TWinControl::CreateParams(AParams);
  AParams.ClassStyle |= CS_VREDRAW | CS_HREDRAW;  // any resize repaints everything
}

void TAxCustomControl::CreateWnd() {
  TWinControl::CreateWnd();
  TWinControl* form = ParentForm(*this);
  HWND formWnd = form ? form->GetHandleIfAllocated() : nullptr;
  if (!formWnd) {
    FUIHideFocus = FUIHideAccel = true;
    return;
  }
  const LRESULT state = Sending([&] { return SendMessageW(formWnd, WM_QUERYUISTATE, 0, 0); });
  FUIHideFocus = state & UISF_HIDEFOCUS;
  FUIHideAccel = state & UISF_HIDEACCEL;
}

void TAxCustomControl::WindowPosChanged(bool) {
  // Moves count too (the framework leaves out changes of neither).
  if (!ControlState.Contains(Gui::csDestroyingHandle)) Resize();
}

void TAxCustomControl::SetTransparent(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  if (Value)
    ControlStyle -= Gui::csOpaque;
  else
    ControlStyle |= Gui::csOpaque;
  if (!FComponentState.Contains(Gui::csLoading)) RecreateWnd();
}

void TAxCustomControl::SetBorderStyle(TBorderStyle AValue) {
  if (FBorderStyle == AValue) return;
  FBorderStyle = AValue;
  InvalidateNC();  // the frame calculated again
}

void TAxCustomControl::MouseEnter() {
  FMouseInClient = true;
  if (FBorderStyle == TBorderStyle::bsSingle) InvalidateNC();
}

void TAxCustomControl::MouseLeave() {
  FMouseInClient = false;
  if (FBorderStyle == TBorderStyle::bsSingle) InvalidateNC();
}

void TAxCustomControl::DoEnter() {
  TWinControl::DoEnter();
  if (FBorderStyle == TBorderStyle::bsSingle) InvalidateNC();
}

void TAxCustomControl::DoExit() {
  TWinControl::DoExit();
  if (FBorderStyle == TBorderStyle::bsSingle) InvalidateNC();
}

// ---- painting ----

LRESULT TAxCustomControl::EraseBackground(HDC ADC, LPARAM ALParam) {
  // With double buffering the system's own erase would reach the screen
  // before the buffer does.
  const bool draws = ADC && (!GetDoubleBuffered() || reinterpret_cast<LPARAM>(ADC) == ALParam ||
                             ControlState.Contains(Gui::csPaintCopy));
  if (draws) {
    TCanvasAttachment attached(*FCanvas, ADC);
    FCanvas->SaveDC();
    auto restore = Velqora::ScopeExit([this] { FCanvas->RestoreDC(); });
    FCanvas->Reset(Font());
    DrawBackground(GetClientRect(), FCanvas->GetClipRect());
  }
  return 1;
}

void TAxCustomControl::PaintWindow(HDC ADC) {
  TCanvasAttachment attached(*FCanvas, ADC);
  FCanvas->Reset(Font());
  Paint(GetClientRect(), FCanvas->GetClipRect());
}

void TAxCustomControl::DrawBackground(const RECT&, const RECT& AClipRect) {
  if (!FTransparent) {
    FCanvas->Brush().SetStyle(Gui::TBrushStyle::bsSolid);
    FCanvas->Brush().SetColor(GetColor());
    FCanvas->FillRect(AClipRect);
    return;
  }
  TWinControl* parent = GetParent();
  if (!parent) return;
  HDC dc = FCanvas->GetHandle();
  PerformEraseBackground(dc);
  // The parent's graphic children under this control, in the parent's
  // coordinates.
  FCanvas->SaveDC();
  auto restore = Velqora::ScopeExit([this] { FCanvas->RestoreDC(); });
  OffsetWindowOrgEx(dc, GetLeft(), GetTop(), nullptr);
  parent->PaintControls(dc);
}

void TAxCustomControl::Paint(const RECT&, const RECT&) {
  if (OnPaint) OnPaint(this);
}

// ---- measuring canvas ----

void TAxCustomControl::InitCustomCanvas() {
  if (FInitCanvasCount == 0) {
    Velqora::TWindowDC& dc = FCustomCanvasDC.emplace(nullptr);
    if (!dc) {
      FCustomCanvasDC.reset();
      Velqora::ThrowLastOSError();
    }
    FCanvas->Lock();
    FCanvas->SetHandle(dc.Get());
    FCanvas->SaveDC();
    FCanvas->Font().Assign(Font());
    FCanvas->Brush().SetStyle(Gui::TBrushStyle::bsSolid);
    FCanvas->Brush().SetColor(GetColor());
  }
  ++FInitCanvasCount;
}

void TAxCustomControl::DoneCustomCanvas() noexcept {
  if (FInitCanvasCount <= 0 || --FInitCanvasCount > 0) return;
  FCanvas->RestoreDC();
  FCanvas->SetHandle(nullptr);
  FCanvas->Unlock();
  FCustomCanvasDC.reset();
}

void TAxCustomControl::GetOutlineTextMetrics(OUTLINETEXTMETRICW& ATextMetric) {
  const bool measuring = !FCanvas->HandleAllocated();
  if (measuring) InitCustomCanvas();
  auto done = Velqora::ScopeExit([&] {
    if (measuring) DoneCustomCanvas();
  });
  ATextMetric = {};
  ::GetOutlineTextMetricsW(FCanvas->DrawingHandle(), sizeof(ATextMetric), &ATextMetric);
}

// ---- redrawing ----

void TAxCustomControl::LockRedraw() {
  if (HWND wnd = GetHandleIfAllocated(); wnd && FLockReadrawCount <= 0)
    Sending([&] { return SendMessageW(wnd, WM_SETREDRAW, FALSE, 0); });
  ++FLockReadrawCount;
}

void TAxCustomControl::UnlockRedraw(bool AInvalidateAll) {
  --FLockReadrawCount;
  HWND wnd = GetHandleIfAllocated();
  if (!wnd || FLockReadrawCount > 0) return;
  Sending([&] { return SendMessageW(wnd, WM_SETREDRAW, TRUE, 0); });
  if (AInvalidateAll) InvalidateAll();
}

void TAxCustomControl::InvalidateNC() { VCL::InvalidateNC(*this); }
void TAxCustomControl::InvalidateAll() { VCL::InvalidateAll(*this); }
LRESULT TAxCustomControl::PerformEraseBackground(HDC ADC) { return VCL::PerformEraseBackground(*this, ADC); }
void TAxCustomControl::AxPaintTo(HDC ADC, int AX, int AY) { VCL::AxPaintTo(*this, ADC, AX, AY); }

}  // namespace Project::VCL
