#include "Project.VCL.CanvasHelper.h"

#include <cmath>
#include <string>

#include "UniqueHandle.h"

namespace Project::VCL {

using Gui::TCanvas;
using Gui::TColor;

void TCanvasHelper::AxDrawText(TCanvas& ACanvas, std::wstring_view AText, RECT& ARect, UINT AFormat) {
  AxDrawText(ACanvas.DrawingHandle(), AText, ARect, AFormat);
}

void TCanvasHelper::AxDrawText(HDC ADC, std::wstring_view AText, RECT& ARect, UINT AFormat) {
  SetBkMode(ADC, TRANSPARENT);
  std::wstring text(AText);  // DrawTextExW may write into the text
  DrawTextExW(ADC, text.data(), int(text.size()), &ARect, AFormat, nullptr);
  if (AText.empty() || !(AFormat & DT_CALCRECT)) return;
  // Italic glyphs reach beyond their advance: the measured box takes them in.
  ABC abc;
  if (GetCharABCWidthsW(ADC, AText.front(), AText.front(), &abc) && abc.abcA < 0) ARect.right -= abc.abcA;
  if (GetCharABCWidthsW(ADC, AText.back(), AText.back(), &abc) && abc.abcC < 0) ARect.right -= abc.abcC;
}

void TCanvasHelper::AxDrawShadowText(TCanvas& ACanvas, std::wstring_view AText, RECT& ARect, UINT AFormat,
                                     int AShadowSize, TAxTextShadowStyles AShadowStyles, TColor AShadowColor) {
  if (AShadowStyles != 0 && AShadowColor != Gui::clNone && AShadowSize != 0) {
    RECT shadow = ARect;
    if (AShadowStyles & ShadowStyleBit(TAxTextShadowStyle::tssTop)) OffsetRect(&shadow, 0, -AShadowSize);
    if (AShadowStyles & ShadowStyleBit(TAxTextShadowStyle::tssLeft)) OffsetRect(&shadow, -AShadowSize, 0);
    if (AShadowStyles & ShadowStyleBit(TAxTextShadowStyle::tssBottom)) OffsetRect(&shadow, 0, AShadowSize);
    if (AShadowStyles & ShadowStyleBit(TAxTextShadowStyle::tssRigh)) OffsetRect(&shadow, AShadowSize, 0);
    Gui::TFont& font = ACanvas.Font();
    const TColor color = font.GetColor();
    font.SetColor(AShadowColor);
    auto restoreColor = Velqora::ScopeExit([&] { font.SetColor(color); });
    AxDrawText(ACanvas, AText, shadow, AFormat);
  }
  AxDrawText(ACanvas, AText, ARect, AFormat);
}

SIZE TCanvasHelper::AxTextExtentInRect(TCanvas& ACanvas, const RECT& ARect, std::wstring_view AText, UINT AFormat) {
  RECT r = ARect;
  AxDrawText(ACanvas, AText, r, AFormat | DT_CALCRECT);
  return {r.right - r.left, r.bottom - r.top};
}

SIZE TCanvasHelper::AxTextExtent(TCanvas& ACanvas, std::wstring_view AText, UINT AFormat) {
  return AxTextExtentInRect(ACanvas, {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, AText,
                            AFormat);
}

int TCanvasHelper::AxTextWidth(TCanvas& ACanvas, std::wstring_view AText, UINT AFormat) {
  return AxTextExtent(ACanvas, AText, AFormat).cx;
}

int TCanvasHelper::AxTextHeight(TCanvas& ACanvas, std::wstring_view AText, UINT AFormat) {
  return AxTextExtent(ACanvas, AText, AFormat).cy;
}

TColor TCanvasHelper::BlendColors(TColor AColor1, TColor AColor2, uint8_t AWeight) {
  // The weight is held as a 32-bit float; stored, so that the x87 unit's
  // wider registers keep no more of it. The sum below is then exact in
  // double precision.
  volatile float weight = float(255 - AWeight) / 255.0f;
  const double t = weight;
  TColor result = 0;
  for (int shift : {0, 8, 16}) {
    double c1 = (AColor1 >> shift) & 0xFF, c2 = (AColor2 >> shift) & 0xFF;
    result |= (TColor(std::lrint(c1 * t + (1.0 - t) * c2)) & 0xFF) << shift;  // ties to even
  }
  return result;
}

void TCanvasHelper::SaveState(TCanvas& ACanvas) { ACanvas.SaveDC(); }

void TCanvasHelper::RestoreState(TCanvas& ACanvas) { ACanvas.RestoreDC(); }

void TCanvasHelper::AxDrawFocusRect(TCanvas& ACanvas, const RECT& ARect) {
  // The focus pattern takes the text colour and the background colour,
  // which the solid brush sets.
  Gui::TBrush& brush = ACanvas.Brush();
  const Gui::TBrushStyle style = brush.GetStyle();
  brush.SetStyle(Gui::TBrushStyle::bsSolid);
  auto restoreStyle = Velqora::ScopeExit([&] { brush.SetStyle(style); });
  HDC dc = ACanvas.DrawingHandle();
  const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
  auto restoreText = Velqora::ScopeExit([&] { SetTextColor(dc, text); });
  DrawFocusRect(dc, &ARect);
}

}  // namespace Project::VCL
