#include "ExtCtrls.h"

namespace Gui {

// ---- TPanel ----

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  ControlStyle |= csAcceptsControls;
  SetColor(clBtnFace);
  SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut AValue) {
  if (FBevelOuter == AValue) return;
  FBevelOuter = AValue;
  Invalidate();
}

void TPanel::SetBevelEdges(TBevelEdges AValue) {
  if (FBevelEdges == AValue) return;
  FBevelEdges = AValue;
  Invalidate();
}

void TPanel::SetShowCaption(bool AValue) {
  if (FShowCaption == AValue) return;
  FShowCaption = AValue;
  Invalidate();
}

void TPanel::Paint() {
  RECT r = GetClientRect();
  HDC dc = Canvas().GetHandle();
  if (FBevelOuter == TBevelCut::bvFlat) {
    Canvas().Brush().SetColor(0xFF000000 | COLOR_BTNSHADOW);
    Canvas().Brush().SetStyle(TBrushStyle::bsSolid);
    if (FBevelEdges & beLeft) Canvas().FillRect({r.left, r.top, r.left + 1, r.bottom});
    if (FBevelEdges & beTop) Canvas().FillRect({r.left, r.top, r.right, r.top + 1});
    if (FBevelEdges & beRight) Canvas().FillRect({r.right - 1, r.top, r.right, r.bottom});
    if (FBevelEdges & beBottom) Canvas().FillRect({r.left, r.bottom - 1, r.right, r.bottom});
  } else if (FBevelOuter != TBevelCut::bvNone && FBevelEdges) {
    UINT flags = (FBevelEdges & beLeft ? BF_LEFT : 0) | (FBevelEdges & beTop ? BF_TOP : 0) |
                 (FBevelEdges & beRight ? BF_RIGHT : 0) | (FBevelEdges & beBottom ? BF_BOTTOM : 0);
    DrawEdge(dc, &r, FBevelOuter == TBevelCut::bvLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, flags);
  }
  if (FShowCaption && !GetCaption().empty()) {
    Canvas().Brush().SetStyle(TBrushStyle::bsClear);
    Canvas().DrawText(GetCaption(), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
}

// ---- TImage ----

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 105, 105); }

void TImage::SetCenter(bool AValue) {
  if (FCenter == AValue) return;
  FCenter = AValue;
  Invalidate();
}

void TImage::Paint() {
  int x = 0, y = 0;
  if (FCenter) {
    x = (GetWidth() - FPicture.GetWidth()) / 2;
    y = (GetHeight() - FPicture.GetHeight()) / 2;
  }
  Canvas().Draw(x, y, FPicture);
}

// ---- TShape ----

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner) {
  FPen.OnChange = [this] { Invalidate(); };
  FBrush.OnChange = [this] { Invalidate(); };
  SetBounds(0, 0, 65, 65);
}

void TShape::Paint() {
  int w = GetWidth(), h = GetHeight(), pw = FPen.GetWidth();
  if (h <= pw || w <= pw) {  // a line
    if (FPen.GetStyle() == TPenStyle::psClear || FPen.GetColor() == clNone) return;
    Canvas().Brush().SetColor(FPen.GetColor());
    Canvas().Brush().SetStyle(TBrushStyle::bsSolid);
    Canvas().FillRect({0, 0, w, h});
    return;
  }
  Canvas().Pen().Assign(FPen);
  Canvas().Brush().Assign(FBrush);
  // The pen runs inside the bounds.
  int inset = pw / 2;
  Canvas().Rectangle({inset, inset, w - (pw - 1) / 2, h - (pw - 1) / 2});
}

}  // namespace Gui
