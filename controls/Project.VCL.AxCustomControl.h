// The base of the wizard's owner-drawn windowed controls (the markup label
// and the button family).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "Controls.h"
#include "UniqueHandle.h"

namespace Project::VCL {

enum class TBorderStyle : uint8_t { bsNone, bsSingle };

// A windowed control that draws everything through its own canvas, in two
// steps: DrawBackground in the erase step, then Paint, both given the client
// rectangle and the clip rectangle.
//
// - The erase step draws only when the device context will reach the
//   screen: always without double buffering; with it, only the buffered
//   erase (the buffer's device context in both message parameters) and a
//   capture (AxPaintTo). It always answers 1, so the system never erases
//   the control itself.
// - Opaque, the background is the control's colour over the clip rectangle.
//   Transparent, it is the parent's erase painting and the parent's graphic
//   children under the control (the system's visual styles are not used).
// - Outside painting, descendants measure through the canvas opened on the
//   screen's device context (InitCustomCanvas ... DoneCustomCanvas).
class TAxCustomControl : public Gui::TWinControl {
public:
  explicit TAxCustomControl(Gui::TComponent* AOwner);
  ~TAxCustomControl() override;

  Gui::TCanvas& Canvas() { return *FCanvas; }

  bool GetTransparent() const { return FTransparent; }
  // A change makes the window again (not while the control is loaded).
  void SetTransparent(bool Value);
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  // The single border keeps VCLCommon::SingleBorderWidth pixels free around
  // the client area; nothing draws there.
  void SetBorderStyle(TBorderStyle AValue);
  // The keyboard cues: focus rectangles and accelerator underlines hidden.
  bool GetUIHideFocus() const { return FUIHideFocus; }
  bool GetUIHideAccel() const { return FUIHideAccel; }
  bool GetMouseInClient() const { return FMouseInClient; }

  // Fired by the base Paint.
  Gui::TNotifyEvent OnPaint;

  void WndProc(Gui::TMessage& AMessage) override;
  void DefaultHandler(Gui::TMessage& AMessage) override;

  // The measuring canvas: the canvas locked and attached to the screen's
  // device context with the control's font and colour, for measuring
  // outside painting. Pairs nest; the outermost pair gets and releases the
  // device context.
  void InitCustomCanvas();
  void DoneCustomCanvas() noexcept;
  // Window redrawing suspended and resumed (WM_SETREDRAW); pairs nest, and
  // only the outermost pair reaches the window.
  void LockRedraw();
  void UnlockRedraw(bool AInvalidateAll);
  // The outline metrics of the control's font (all 0 for a font without
  // them); opens the measuring canvas when the canvas has no device context.
  void GetOutlineTextMetrics(OUTLINETEXTMETRICW& ATextMetric);

  // The operations of Project.VCL.Utils on this control.
  void InvalidateNC();
  void InvalidateAll();
  LRESULT PerformEraseBackground(HDC ADC);
  void AxPaintTo(HDC ADC, int AX, int AY);

protected:
  void CreateParams(Gui::TCreateParams& AParams) override;
  void CreateWnd() override;
  void PaintWindow(HDC ADC) override;
  LRESULT EraseBackground(HDC ADC, LPARAM ALParam) override;
  void WindowPosChanged(bool AResized) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void DoEnter() override;
  void DoExit() override;
  void TextChanged() override;

  // Paints the background on Canvas() (see the class comment).
  virtual void DrawBackground(const RECT& AClientRect, const RECT& AClipRect);
  // Paints the content on Canvas(); the base fires OnPaint.
  virtual void Paint(const RECT& AClientRect, const RECT& AClipRect);

private:
  void UpdateUIState(WPARAM AWParam);

  int FInitCanvasCount = 0;
  int FLockReadrawCount = 0;
  std::optional<Velqora::TWindowDC> FCustomCanvasDC;  // while FInitCanvasCount > 0
  bool FTransparent = false;
  TBorderStyle FBorderStyle = TBorderStyle::bsNone;
  bool FUIHideAccel = false;
  bool FUIHideFocus = false;
  bool FMouseInClient = false;
  std::unique_ptr<Gui::TCanvas> FCanvas;  // goes before the device context
};

}  // namespace Project::VCL
