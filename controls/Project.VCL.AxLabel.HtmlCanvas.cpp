#include "Project.VCL.AxLabel.HtmlCanvas.h"

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "Project.VCL.CanvasHelper.h"

namespace Project::VCL {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text is handed to the system as it is");
static_assert(HTML_DT_CENTER == DT_CENTER && HTML_DT_RIGHT == DT_RIGHT && HTML_DT_SINGLELINE == DT_SINGLELINE &&
              HTML_DT_NOPREFIX == DT_NOPREFIX && HTML_DT_PATH_ELLIPSIS == DT_PATH_ELLIPSIS &&
              HTML_DT_WORD_ELLIPSIS == DT_WORD_ELLIPSIS);

namespace {

std::wstring_view Wide(THTMLStringView AText) {
  return {reinterpret_cast<const wchar_t*>(AText.data()), AText.size()};
}

RECT ToRect(const THTMLRect& ARect) { return {ARect.Left, ARect.Top, ARect.Right, ARect.Bottom}; }

}  // namespace

THTMLFont ToHTMLFont(const Gui::TFont& AFont) {
  const std::wstring& name = AFont.GetName();
  return {THTMLString(name.begin(), name.end()), AFont.GetHeight(), AFont.GetStyle(), AFont.GetColor(),
          uint8_t(AFont.GetQuality())};
}

// ---- Font cache ----

TAxHTMLFontCache::TEntry& TAxHTMLFontCache::Find(const THTMLFont& AFont) {
  auto same = [&](const TEntry& AEntry) {
    const THTMLFont& f = AEntry.Font;
    return f.Height == AFont.Height && f.Style == AFont.Style && f.Quality == AFont.Quality && f.Name == AFont.Name;
  };
  for (size_t i = 0; i < FEntries.size(); ++i)
    if (same(FEntries[i])) {
      if (i > 0) std::swap(FEntries[i], FEntries[0]);
      return FEntries[0];
    }
  if (FEntries.size() == Capacity) FEntries.pop_back();

  TEntry entry;
  entry.Font = AFont;
  entry.Handle = std::make_unique<Gui::TFont>();
  entry.Handle->SetName(std::wstring(AFont.Name.begin(), AFont.Name.end()));
  entry.Handle->SetHeight(AFont.Height);
  entry.Handle->SetStyle(AFont.Style);
  entry.Handle->SetQuality(Gui::TFontQuality(AFont.Quality));
  FEntries.insert(FEntries.begin(), std::move(entry));
  return FEntries[0];
}

HFONT TAxHTMLFontCache::Handle(const THTMLFont& AFont) { return Find(AFont).Handle->GetHandle(); }

const THTMLTextMetric& TAxHTMLFontCache::Metric(HDC ADC, const THTMLFont& AFont) {
  TEntry& entry = Find(AFont);
  if (!entry.HasMetric) {
    OUTLINETEXTMETRICW otm;
    std::memset(&otm, 0, sizeof(otm));
    Velqora::TSelectObject font(ADC, entry.Handle->GetHandle());
    if (!GetOutlineTextMetricsW(ADC, sizeof(otm), &otm)) std::memset(&otm, 0, sizeof(otm));
    const TEXTMETRICW& tm = otm.otmTextMetrics;
    entry.Metric = {int32_t(tm.tmHeight), int32_t(tm.tmAscent), int32_t(tm.tmDescent), int32_t(tm.tmInternalLeading),
                    int32_t(tm.tmExternalLeading), otm.otmAscent, otm.otmDescent, otm.otmMacAscent,
                    otm.otmMacDescent};
    entry.HasMetric = true;
  }
  return entry.Metric;
}

// ---- Canvas ----

THTMLSize TAxHTMLCanvas::TextExtent(const THTMLFont& AFont, THTMLStringView AText, uint32_t AFormat) {
  HDC dc = FCanvas.DrawingHandle();
  Velqora::TSelectObject font(dc, FCache.Handle(AFont));
  RECT r{};
  TCanvasHelper::AxDrawText(dc, Wide(AText), r, AFormat | DT_CALCRECT);
  return {r.right - r.left, r.bottom - r.top};
}

void TAxHTMLCanvas::CharExtents(const THTMLFont& AFont, THTMLStringView AText, std::vector<int32_t>& AExtents) {
  AExtents.assign(AText.size(), 0);
  if (AText.empty() || AText.size() > size_t(INT_MAX)) return;
  HDC dc = FCanvas.DrawingHandle();
  Velqora::TSelectObject font(dc, FCache.Handle(AFont));
  static_assert(sizeof(INT) == sizeof(int32_t));
  SIZE size;
  // Should the system fail, every character counts as fitting.
  if (!GetTextExtentExPointW(dc, Wide(AText).data(), int(AText.size()), 0, nullptr,
                             reinterpret_cast<INT*>(AExtents.data()), &size))
    AExtents.assign(AText.size(), 0);
}

THTMLTextMetric TAxHTMLCanvas::TextMetric(const THTMLFont& AFont) {
  return FCache.Metric(FCanvas.DrawingHandle(), AFont);
}

void TAxHTMLCanvas::DrawText(const THTMLFont& AFont, THTMLStringView AText, const THTMLRect& ARect, uint32_t AFormat) {
  HDC dc = FCanvas.DrawingHandle();
  Velqora::TSelectObject font(dc, FCache.Handle(AFont));
  const COLORREF color = SetTextColor(dc, Gui::ColorToRGB(AFont.Color));
  auto restoreColor = Velqora::ScopeExit([&] { SetTextColor(dc, color); });
  RECT r = ToRect(ARect);
  TCanvasHelper::AxDrawText(dc, Wide(AText), r, AFormat);
}

void TAxHTMLCanvas::DrawFocusRect(const THTMLRect& ARect) { TCanvasHelper::AxDrawFocusRect(FCanvas, ToRect(ARect)); }

}  // namespace Project::VCL
