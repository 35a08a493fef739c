// The drawer's ellipsis pass: lines cut at the left or right edge, and lines
// next to lines that are not shown at all, get an ellipsis "…", and the
// text it replaces is cut off at a character boundary.
#include <algorithm>

#include "Project.VCL.AxLabel.HtmlDrawer.h"

namespace Project::VCL {

void TAxHTMLDrawer::ApplyEllipsis() {
  const bool fixedWidth = !FWordWrap && !FAutoWidth;
  for (size_t k = 0; k < FItems.size(); ++k) {
    TAxHTMLDrawerItemLine& line = FItems[k];
    if (line.empty() || !HasVisibleItems(line)) continue;
    const bool cutLeft = fixedWidth && line.front()->FItemRect.Left < FDisplayRect.Left &&
                         FAlignment != TAlignment::taLeftJustify;
    if (cutLeft || (k > 0 && !FAutoHeight && !HasVisibleItems(FItems[k - 1]))) AddStartEllipsis(line);
    const bool cutRight = fixedWidth && line.back()->FItemRect.Right > FDisplayRect.Right &&
                          FAlignment != TAlignment::taRightJustify;
    if (cutRight || (k + 1 < FItems.size() && !FAutoHeight && !HasVisibleItems(FItems[k + 1]))) AddEndEllipsis(line);
  }
}

int32_t TAxHTMLDrawer::LineTop(const TAxHTMLDrawerItemLine& ALine) const {
  int32_t top = FDisplayRect.Bottom;
  for (const auto& item : ALine) top = std::min(top, item->FItemRect.Top);
  return top;
}

void TAxHTMLDrawer::AddEndEllipsis(TAxHTMLDrawerItemLine& ALine) {
  const int32_t limit = FDisplayRect.Right - FEllipsisSize.cx;
  size_t r = 0;
  for (size_t i = ALine.size(); i-- > 0;) {
    TAxHTMLDrawerItem& item = *ALine[i];
    if (item.IsVisible()) TruncateRight(item, limit);
    if (item.IsVisible()) {
      r = i;
      break;
    }
  }
  // With nothing of the line left, the ellipsis takes the place where its
  // text began, inside the display rectangle (not at the hidden item's
  // empty clip rectangle, which lies at the canvas's origin).
  const TAxHTMLDrawerItem& stop = *ALine[r];
  const int32_t x = stop.IsVisible() ? stop.FClipRect.Right
                                     : std::max(FDisplayRect.Left, std::min(stop.FItemRect.Left, limit));
  const int32_t top = LineTop(ALine);
  auto ellipsis = CreateEllipsisItem(stop);
  TAxHTMLDrawerItem& e = *ellipsis;
  ALine.insert(ALine.begin() + std::ptrdiff_t(r + 1), std::move(ellipsis));
  PlaceEllipsis(ALine, e, {x, top});
}

void TAxHTMLDrawer::AddStartEllipsis(TAxHTMLDrawerItemLine& ALine) {
  const int32_t limit = FDisplayRect.Left + FEllipsisSize.cx;
  size_t r = ALine.size() - 1;
  for (size_t i = 0; i < ALine.size(); ++i) {
    TAxHTMLDrawerItem& item = *ALine[i];
    if (item.IsVisible()) TruncateLeft(item, limit);
    if (item.IsVisible()) {
      r = i;
      break;
    }
  }
  // The mirror image: with nothing left, the ellipsis ends where the text
  // ended, inside the display rectangle.
  const TAxHTMLDrawerItem& stop = *ALine[r];
  const int32_t x = stop.IsVisible()
                        ? stop.FClipRect.Left - FEllipsisSize.cx
                        : std::min(FDisplayRect.Right, std::max(stop.FItemRect.Right, limit)) - FEllipsisSize.cx;
  const int32_t top = LineTop(ALine);
  auto ellipsis = CreateEllipsisItem(stop);
  TAxHTMLDrawerItem& e = *ellipsis;
  ALine.insert(ALine.begin() + std::ptrdiff_t(r), std::move(ellipsis));
  PlaceEllipsis(ALine, e, {x, top});
}

// Measures the ellipsis, then places it at AOrigin with the measures of its
// line, which now include it.
void TAxHTMLDrawer::PlaceEllipsis(TAxHTMLDrawerItemLine& ALine, TAxHTMLDrawerItem& AEllipsis, THTMLPoint AOrigin) {
  AEllipsis.CalcSize();
  AEllipsis.SetPosition(LineSize(ALine).Height, LineAscent(ALine), LineMetrics(ALine), AOrigin);
}

void TAxHTMLDrawer::TruncateRight(TAxHTMLDrawerItem& AItem, int32_t ALimit) {
  THTMLRect& clip = AItem.FClipRect;
  if (clip.Left >= ALimit) return AItem.Hide();
  if (clip.Right < ALimit) return;
  if (AItem.IsDivider()) return AItem.Hide();
  auto& item = static_cast<TAxHTMLDrawerItemText&>(AItem);
  Canvas().CharExtents(item.SelectFont(), item.FText, FExtents);
  const int32_t left = clip.Left;
  clip.Right = left;
  for (size_t i = 0; i < item.FText.size() && left + FExtents[i] <= ALimit; ++i) clip.Right = left + FExtents[i];
  if (clip.Right == left) AItem.Hide();
}

void TAxHTMLDrawer::TruncateLeft(TAxHTMLDrawerItem& AItem, int32_t ALimit) {
  THTMLRect& clip = AItem.FClipRect;
  if (clip.Right <= ALimit) return AItem.Hide();
  if (clip.Left > ALimit) return;
  if (AItem.IsDivider()) return AItem.Hide();
  auto& item = static_cast<TAxHTMLDrawerItemText&>(AItem);
  Canvas().CharExtents(item.SelectFont(), item.FText, FExtents);
  const int32_t left = item.FItemRect.Left;
  clip.Left = clip.Right;
  for (size_t i = item.FText.size(); i-- > 0 && left + FExtents[i] >= ALimit;) clip.Left = left + FExtents[i];
  if (clip.Left == clip.Right) AItem.Hide();
}

std::unique_ptr<TAxHTMLDrawerItemText> TAxHTMLDrawer::CreateEllipsisItem(const TAxHTMLDrawerItem& AItem) {
  auto ellipsis = std::make_unique<TAxHTMLDrawerItemText>(*this, nullptr);
  if (!AItem.IsDivider()) {
    const auto& text = static_cast<const TAxHTMLDrawerItemText&>(AItem);
    ellipsis->FGlobalLinkID = text.FGlobalLinkID;
    ellipsis->FColor = text.FColor;
    ellipsis->FStyle = text.FStyle;
    ellipsis->FFontName = text.FFontName;
    ellipsis->FFontHeight = text.FFontHeight;
  }
  return ellipsis;
}

}  // namespace Project::VCL
