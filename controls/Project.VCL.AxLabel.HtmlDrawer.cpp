#include "Project.VCL.AxLabel.HtmlDrawer.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "ScopeExit.h"
#include "Velqora.System.SysUtils.Text.h"

namespace Project::VCL {

namespace {

constexpr char16_t EllipsisText[] = u"\u2026";
constexpr char16_t DividerText[] = u" | ";

constexpr bool IsBlank(char16_t AChar) { return AChar <= u' '; }

THTMLStringView TrimLeftBlanks(THTMLStringView AText) {
  size_t i = 0;
  while (i < AText.size() && IsBlank(AText[i])) ++i;
  return AText.substr(i);
}

THTMLStringView TrimRightBlanks(THTMLStringView AText) {
  size_t n = AText.size();
  while (n > 0 && IsBlank(AText[n - 1])) --n;
  return AText.substr(0, n);
}

int32_t ClampHeight(int32_t AHeight) {
  return std::clamp(AHeight, -TAxHTMLDrawer::MaxFontHeight, TAxHTMLDrawer::MaxFontHeight);
}

// Half of a value, truncated toward zero.
constexpr int32_t Half(int32_t AValue) { return AValue / 2; }

}  // namespace

bool IsEasternChar(char16_t AChar) {
  // The CJK radicals, ideographic description characters, punctuation,
  // kana, bopomofo, hangul compatibility jamo, kanbun, strokes, enclosed
  // and compatibility forms, ideographs and hexagram symbols, run together
  // where their blocks touch.
  return (AChar >= 0x2E80 && AChar <= 0x2FDF) || (AChar >= 0x2FF0 && AChar <= 0x9FFF) ||
         (AChar >= 0xF900 && AChar <= 0xFAFF) || (AChar >= 0xFE00 && AChar <= 0xFE0F) ||
         (AChar >= 0xFE30 && AChar <= 0xFE4F);
}

bool IsEasternText(THTMLStringView AText) {
  return std::any_of(AText.begin(), AText.end(), IsEasternChar);
}

bool IsBreakChar(char16_t AChar) {
  switch (AChar) {
    case u' ': case 0x00A0: case u'/': case u'\\':
    case 0x1680: case 0x202F: case 0x205F: case 0x3000:
    case 0x2028: case 0x2029:
      return true;
    default:
      return AChar >= 0x2000 && AChar <= 0x200A;
  }
}

// ---- Items ----

void TAxHTMLDrawerItem::SetBounds(THTMLPoint AOrigin) {
  FItemRect = {AOrigin.X, AOrigin.Y, AOrigin.X + FSize.cx, AOrigin.Y + FSize.cy};
  FClipRect = FItemRect;
}

void TAxHTMLDrawerItem::SetPosition(int32_t, int32_t, int32_t, THTMLPoint AOrigin) { SetBounds(AOrigin); }

TAxHTMLDrawerItemText::TAxHTMLDrawerItemText(TAxHTMLDrawer& AOwner, const THTMLTextToken* AToken)
    : TAxHTMLDrawerItem(AOwner) {
  if (AToken) {
    FGlobalLinkID = AToken->GlobalLinkID();
    FText = AToken->Text;
    FColor = AToken->Color;
    FStyle = AToken->Style;
    FFontHeight = ClampHeight(AToken->FontHeight());
    FFontName = AToken->FontName;
    FVerticalBlockAlign = AToken->VerticalBlockAlign;
  } else {
    const THTMLFont& font = AOwner.FFont;
    FText = EllipsisText;
    FColor = font.Color;
    FStyle = font.Style;
    FFontHeight = ClampHeight(font.Height);
    FFontName = font.Name;
  }
}

THTMLFont TAxHTMLDrawerItemText::SelectFont() const {
  const TAxHTMLDrawer& owner = Owner();
  THTMLFont font{FFontName, FFontHeight, FStyle, FColor, owner.FFont.Quality};
  if (!owner.Enabled) {
    font.Color = owner.DisabledFontColor;
  } else if (FGlobalLinkID > 0 && owner.LinksByID(FGlobalLinkID)) {
    const THTMLFont& link = FGlobalLinkID == owner.PressLinkID ? owner.FLinkPressedFont
                            : FGlobalLinkID == owner.OverLinkID ? owner.FLinkHoverFont
                                                                 : owner.FLinkFont;
    font.Color = link.Color;
    font.Style = uint8_t(FStyle | link.Style);
  }
  return font;
}

void TAxHTMLDrawerItemText::CalcSize() {
  const THTMLFont font = SelectFont();
  FSize = Owner().Canvas().TextExtent(font, FText, HTML_DT_SINGLELINE | HTML_DT_NOPREFIX);
  FTextMetric = Owner().Canvas().TextMetric(font);
}

void TAxHTMLDrawerItemText::SetPosition(int32_t ALineHeight, int32_t AAscent, int32_t AMetrics, THTMLPoint AOrigin) {
  switch (FVerticalBlockAlign) {
    case TVerticalBlockAlign::vbaBottom: AOrigin.Y += AAscent - FTextMetric.tmAscent; break;
    case TVerticalBlockAlign::vbaTop: AOrigin.Y += AMetrics - (FTextMetric.otmMacAscent - FTextMetric.otmAscent); break;
    case TVerticalBlockAlign::vbaCenter: AOrigin.Y += Half(ALineHeight - FTextMetric.tmHeight); break;
  }
  SetBounds(AOrigin);
}

void TAxHTMLDrawerItemText::Draw() {
  const TAxHTMLDrawer& owner = Owner();
  uint32_t format = HTML_DT_SINGLELINE | HTML_DT_NOPREFIX;
  switch (owner.FAlignment) {
    case TAlignment::taRightJustify: format |= HTML_DT_RIGHT; break;
    case TAlignment::taCenter:
      // Items wholly in the right half keep their start; the others their end.
      if (!(owner.FDisplayRect.Left + Half(owner.FDisplayRect.Width()) < FClipRect.Left)) format |= HTML_DT_RIGHT;
      break;
    case TAlignment::taLeftJustify: break;
  }
  if (owner.FEllipsisPosition == TAxEllipsisPosition::epPathEllipsis)
    format |= HTML_DT_PATH_ELLIPSIS | HTML_DT_WORD_ELLIPSIS;
  owner.Canvas().DrawText(SelectFont(), FText, FClipRect, format);
}

std::unique_ptr<TAxHTMLDrawerItem> TAxHTMLDrawerItemText::Clone() const {
  auto item = std::make_unique<TAxHTMLDrawerItemText>(Owner(), nullptr);
  item->FGlobalLinkID = FGlobalLinkID;
  item->FText = FText;
  item->FColor = FColor;
  item->FStyle = FStyle;
  item->FFontHeight = FFontHeight;
  item->FFontName = FFontName;
  item->FVerticalBlockAlign = FVerticalBlockAlign;
  return item;
}

TAxHTMLDrawerItemDivider::TAxHTMLDrawerItemDivider(TAxHTMLDrawer& AOwner, const THTMLDividerToken* AToken)
    : TAxHTMLDrawerItem(AOwner) {
  if (AToken) {
    FGlobalLinkID = AToken->GlobalLinkID();
    FFontHeight = ClampHeight(AToken->FontHeight());
  } else {
    FFontHeight = ClampHeight(AOwner.FFont.Height);
  }
}

THTMLFont TAxHTMLDrawerItemDivider::SelectFont() const {
  const TAxHTMLDrawer& owner = Owner();
  THTMLFont font = owner.FFont;
  font.Height = FFontHeight;
  font.Color = owner.Enabled ? owner.DividerColor : owner.DisabledFontColor;
  return font;
}

void TAxHTMLDrawerItemDivider::CalcSize() {
  const THTMLFont font = SelectFont();
  FSize = Owner().Canvas().TextExtent(font, DividerText, HTML_DT_SINGLELINE | HTML_DT_NOPREFIX);
  FTextMetric = Owner().Canvas().TextMetric(font);
}

void TAxHTMLDrawerItemDivider::SetPosition(int32_t, int32_t AAscent, int32_t, THTMLPoint AOrigin) {
  AOrigin.Y += AAscent - FTextMetric.tmAscent;
  SetBounds(AOrigin);
}

void TAxHTMLDrawerItemDivider::Draw() {
  Owner().Canvas().DrawText(SelectFont(), DividerText, FClipRect,
                            HTML_DT_SINGLELINE | HTML_DT_NOPREFIX | HTML_DT_CENTER);
}

std::unique_ptr<TAxHTMLDrawerItem> TAxHTMLDrawerItemDivider::Clone() const {
  auto item = std::make_unique<TAxHTMLDrawerItemDivider>(Owner(), nullptr);
  item->FGlobalLinkID = FGlobalLinkID;
  item->FFontHeight = FFontHeight;
  return item;
}

// ---- The drawer ----

TAxHTMLDrawer::TAxHTMLDrawer() {
  // The shared defaults of the controls; the host gives its own.
  FFont = {u"Segoe UI", -12, 0, 0x000000, 5};
  FLinkFont = {u"Segoe UI", -12, 4, 0xDD6600, 5};
  FLinkHoverFont = FLinkFont;
  FLinkPressedFont = {u"Segoe UI", -12, 4, 0xDD9900, 5};
}

TAxHTMLDrawer::~TAxHTMLDrawer() = default;

void TAxHTMLDrawer::SetText(THTMLStringView AValue) {
  if (FText == AValue) return;
  FText = AValue;
  FIsEasternString = IsEasternText(FText);
  FIsNeedReparseText = true;
}

void TAxHTMLDrawer::SetDisplayStyle(TAxLabelDisplayStyle AValue) {
  if (FDisplayStyle == AValue) return;
  FDisplayStyle = AValue;
  FItems.clear();
  FIsNeedReparseText = true;
}

void TAxHTMLDrawer::SetLineSpaces(int32_t AValue) {
  if (FLineSpaces == AValue) return;
  FLineSpaces = std::max(AValue, 0);
  FIsNeedRecalcParam = true;
}

void TAxHTMLDrawer::Update(IHTMLCanvas& ACanvas, const THTMLRect& ARect) {
  FCanvas = &ACanvas;
  Velqora::TScopeExit detach([this] { FCanvas = nullptr; });
  Prepare(ARect);
}

void TAxHTMLDrawer::Draw(IHTMLCanvas& ACanvas, const THTMLRect& ARect, const THTMLRect& AClipRect) {
  FCanvas = &ACanvas;
  Velqora::TScopeExit detach([this] { FCanvas = nullptr; });
  Prepare(ARect);
  for (const auto& line : FItems)
    for (const auto& item : line) {
      const THTMLRect& r = item->FClipRect;
      THTMLRect meet{std::max(r.Left, AClipRect.Left), std::max(r.Top, AClipRect.Top),
                     std::min(r.Right, AClipRect.Right), std::min(r.Bottom, AClipRect.Bottom)};
      if (!meet.IsEmpty()) item->Draw();
    }
  if (DrawFocusRect && FocusedLinkID > 0) DrawFocusRects();
}

void TAxHTMLDrawer::Prepare(const THTMLRect& ARect) {
  CheckParams(ARect);
  if (FIsNeedReparseText) {
    Velqora::TScopeExit done([this] { FIsNeedReparseText = false; });
    Parse();
    OverLinkID = PressLinkID = FocusedLinkID = -1;
    BuildVisibleText();
  }
  if (FIsNeedRecalcParam) {
    Velqora::TScopeExit done([this] { FIsNeedRecalcParam = false; });
    FItems.clear();
    BuildItems();
    LayoutItems();
    ClipItems();
    if (FEllipsisPosition == TAxEllipsisPosition::epEndEllipsis ||
        FEllipsisPosition == TAxEllipsisPosition::epWordEllipsis)
      ApplyEllipsis();
    CalcTextRect();
    if (FAutoHeight) FDisplayRect.Bottom = FDisplayRect.Top + FTextRect.Height();
    if (FAutoWidth) FDisplayRect.Right = FDisplayRect.Left + FTextRect.Width();
  }
}

void TAxHTMLDrawer::CheckParams(const THTMLRect& ARect) {
  UpdateFont();
  const std::pair<const THTMLFont*, THTMLFont*> fonts[] = {
      {&FFont, &FLastFont}, {&FLinkFont, &FLastLinkFont},
      {&FLinkHoverFont, &FLastLinkHoverFont}, {&FLinkPressedFont, &FLastLinkPressedFont}};
  for (auto [font, last] : fonts) {
    // Face names compare as the system compares them.
    const bool same = font->Height == last->Height && font->Style == last->Style && font->Color == last->Color &&
                      font->Quality == last->Quality && Velqora::SameTextAscii(font->Name, last->Name);
    if (!same) {
      *last = *font;
      FIsNeedReparseText = true;
    }
  }
  if (!(FDisplayRect == ARect)) {
    FDisplayRect = ARect;
    FIsNeedRecalcParam = true;
  }
  if (FIsNeedReparseText) FIsNeedRecalcParam = true;
  if (FIsNeedRecalcParam) {
    FLineHeightDefault = Canvas().TextExtent(FFont, u"gG", HTML_DT_NOPREFIX).cy;
    FTextMetricDefault = Canvas().TextMetric(FFont);
    FEllipsisSize = Canvas().TextExtent(FFont, EllipsisText, HTML_DT_NOPREFIX);
  }
}

void TAxHTMLDrawer::UpdateFont() {
  for (THTMLFont* link : {&FLinkFont, &FLinkHoverFont, &FLinkPressedFont}) {
    if (!Velqora::SameTextAscii(link->Name, FFont.Name)) link->Name = FFont.Name;
    if (link->Height != FFont.Height) link->Height = FFont.Height;
    link->Quality = FFont.Quality;
  }
}

void TAxHTMLDrawer::Parse() {
  FParser.Parse(FDisplayStyle, {FFont.Name, FFont.Color, FFont.Style, FFont.Height}, FText);
}

bool TAxHTMLDrawer::HyperlinksExists() {
  if (FIsNeedReparseText) {
    Velqora::TScopeExit done([this] { FIsNeedReparseText = false; });
    Parse();
    BuildVisibleText();
    FIsNeedRecalcParam = true;
  }
  return !FParser.Links().empty();
}

void TAxHTMLDrawer::BuildVisibleText() {
  FVisibleText.clear();
  for (const THTMLTokenLine& line : FParser.Tokens()) {
    if (!FVisibleText.empty()) FVisibleText += u"\r\n";
    for (const auto& token : line) {
      if (token->IsDivider())
        FVisibleText += DividerText;
      else
        FVisibleText += static_cast<const THTMLTextToken&>(*token).Text;
    }
  }
}

// ---- Building items and wrapping ----

void TAxHTMLDrawer::BuildItems() {
  const bool wrap = FWordWrap && !FAutoWidth;
  int32_t lineWidth = 0;  // of the last line, kept as items join it
  for (const THTMLTokenLine& tokens : FParser.Tokens()) {
    bool broken = !FItems.empty();  // a line break of the caption comes first
    FItems.emplace_back();
    lineWidth = 0;
    for (const auto& token : tokens) {
      auto item = CreateItem(*token);
      item->FBreakBefore = std::exchange(broken, false);
      if (wrap) {
        WrapItem(std::move(item), lineWidth);
      } else {
        lineWidth += item->FSize.cx;
        FItems.back().push_back(std::move(item));
      }
    }
  }
}

std::unique_ptr<TAxHTMLDrawerItem> TAxHTMLDrawer::CreateItem(const THTMLToken& AToken) {
  std::unique_ptr<TAxHTMLDrawerItem> item;
  if (AToken.IsDivider())
    item = std::make_unique<TAxHTMLDrawerItemDivider>(*this, static_cast<const THTMLDividerToken*>(&AToken));
  else
    item = std::make_unique<TAxHTMLDrawerItemText>(*this, static_cast<const THTMLTextToken*>(&AToken));
  item->CalcSize();
  return item;
}

void TAxHTMLDrawer::WrapItem(std::unique_ptr<TAxHTMLDrawerItem> AItem, int32_t& ALineWidth) {
  const int32_t width = FDisplayRect.Width();
  if (AItem->IsDivider()) {
    if (width < ALineWidth + AItem->FSize.cx) {
      FItems.emplace_back();
      ALineWidth = 0;
    }
    ALineWidth += AItem->FSize.cx;
    FItems.back().push_back(std::move(AItem));
    return;
  }
  WrapText(std::unique_ptr<TAxHTMLDrawerItemText>(static_cast<TAxHTMLDrawerItemText*>(AItem.release())), ALineWidth);
}

// Splits a text item over as many lines as it needs. Each round is one line:
// the run is cut after the last break character before the first character
// that does not fit (or, on an empty line, at that character), and the rest
// goes on to a new line. Only a window of the rest is measured per round,
// grown while everything in it fits, so that a long run costs time in
// proportion to its length, not to its length times its lines; the widths of
// a prefix equal those of the whole text's first characters, so the cut
// points are those of measuring the whole rest each time.
void TAxHTMLDrawer::WrapText(std::unique_ptr<TAxHTMLDrawerItemText> AItem, int32_t& ALineWidth) {
  const int32_t width = FDisplayRect.Width();
  THTMLString whole = std::move(AItem->FText);
  THTMLStringView rest = whole;
  bool sizeKnown = true;  // the item's size is that of `rest`
  size_t window = 16;
  for (;;) {
    TAxHTMLDrawerItemLine& line = FItems.back();
    auto appendRest = [&] {
      AItem->FText = rest;
      if (!sizeKnown) AItem->CalcSize();
      ALineWidth += AItem->FSize.cx;
      line.push_back(std::move(AItem));
    };
    if (rest.empty() || (sizeKnown && width >= ALineWidth + AItem->FSize.cx)) return appendRest();

    // The first character that does not fit, within a window of the rest.
    const THTMLFont font = AItem->SelectFont();
    size_t overflow = rest.size();
    for (;;) {
      const size_t count = std::min(window, rest.size());
      Canvas().CharExtents(font, rest.substr(0, count), FExtents);
      for (size_t i = 0; i < count; ++i)
        if (width < FExtents[i] + ALineWidth) {
          overflow = i;
          break;
        }
      if (overflow < rest.size() || count == rest.size()) break;
      window = std::min(window * 2, rest.size());
    }
    if (overflow == rest.size() && !sizeKnown) {
      // Every character fits: the measured size of the whole rest decides.
      AItem->FText = rest;
      AItem->CalcSize();
      sizeKnown = true;
      if (width >= ALineWidth + AItem->FSize.cx) return appendRest();
    }

    // The cut: the last break character up to and including the first
    // character that does not fit.
    size_t b = 0;
    const size_t last = overflow < rest.size() ? overflow : rest.size() - 1;
    if (!FIsEasternString)
      for (size_t i = last + 1; i-- > 0;)
        if (IsBreakChar(rest[i])) {
          b = i;
          break;
        }
    if (b == 0 && overflow < rest.size() && overflow > 0 && line.empty()) b = overflow;
    if (b == 0 && line.empty()) return appendRest();  // sticks out

    // The part before the cut stays on this line (the item itself the
    // first time, a copy of it later); the rest starts the next line.
    std::unique_ptr<TAxHTMLDrawerItemText> head = std::move(AItem);
    AItem.reset(static_cast<TAxHTMLDrawerItemText*>(head->Clone().release()));
    const THTMLStringView before = rest.substr(0, b), after = rest.substr(b);
    head->FText = TrimRightBlanks(before);
    head->CalcSize();
    const bool blanksDropped = head->FText.size() < before.size();
    ALineWidth += head->FSize.cx;
    line.push_back(std::move(head));
    FItems.emplace_back();
    ALineWidth = 0;
    rest = TrimLeftBlanks(after);
    AItem->FBreakBefore = blanksDropped || rest.size() < after.size();
    sizeKnown = false;
    window = std::max<size_t>(16, 2 * (overflow + 1));
  }
}

// ---- Line measures ----

TAxHTMLDrawer::TLineMeasure TAxHTMLDrawer::LineSize(const TAxHTMLDrawerItemLine& ALine) const {
  TLineMeasure m;
  for (const auto& item : ALine) {
    m.Width += item->FSize.cx;
    m.Height = std::max(m.Height, item->FSize.cy);
  }
  if (m.Height <= 0) m.Height = FLineHeightDefault;
  return m;
}

int32_t TAxHTMLDrawer::LineAscent(const TAxHTMLDrawerItemLine& ALine) const {
  int32_t ascent = 0;
  for (const auto& item : ALine)
    if (!item->IsDivider()) ascent = std::max(ascent, item->FTextMetric.tmAscent);
  return ascent > 0 ? ascent : FTextMetricDefault.tmAscent;
}

// The greatest (otmMacAscent - otmAscent) of the line's text runs, at
// least 0: the line metrics and the extra ascent differ only in what stands
// in when it is 0.
int32_t TAxHTMLDrawer::RunsExtraAscent(const TAxHTMLDrawerItemLine& ALine) {
  int32_t extra = 0;
  for (const auto& item : ALine)
    if (!item->IsDivider()) extra = std::max(extra, item->FTextMetric.otmMacAscent - item->FTextMetric.otmAscent);
  return extra;
}

int32_t TAxHTMLDrawer::LineMetrics(const TAxHTMLDrawerItemLine& ALine) const {
  const int32_t metrics = RunsExtraAscent(ALine);
  return metrics > 0 ? metrics : FTextMetricDefault.tmInternalLeading;
}

int32_t TAxHTMLDrawer::ExtraAscent(const TAxHTMLDrawerItemLine& ALine) const {
  const int32_t extra = RunsExtraAscent(ALine);
  return extra > 0 ? extra : FTextMetricDefault.tmAscent - FTextMetricDefault.otmAscent;
}

int32_t TAxHTMLDrawer::ExtraDescent(const TAxHTMLDrawerItemLine& ALine) const {
  int32_t extra = 0;
  for (const auto& item : ALine)
    if (!item->IsDivider())
      extra = std::max(extra, std::abs(item->FTextMetric.otmMacDescent) - std::abs(item->FTextMetric.otmDescent));
  return extra > 0 ? extra
                   : std::abs(FTextMetricDefault.tmDescent) - std::abs(FTextMetricDefault.otmDescent);
}

bool TAxHTMLDrawer::HasVisibleItems(const TAxHTMLDrawerItemLine& ALine) {
  return std::any_of(ALine.begin(), ALine.end(), [](const auto& item) { return item->IsVisible(); });
}

// ---- Placement, clipping, text rectangle ----

void TAxHTMLDrawer::LayoutItems() {
  int32_t total = 0, widest = 0;
  for (const auto& line : FItems) {
    TLineMeasure m = LineSize(line);
    if (FThinLineSpaces) m.Height -= ExtraAscent(line) + ExtraDescent(line);
    total += m.Height + FLineSpaces;
    widest = std::max(widest, m.Width);
  }

  int32_t y = FDisplayRect.Top;
  if (!FAutoHeight) {
    if (FLayout == TTextLayout::vbaBottom)
      y = FDisplayRect.Top + FDisplayRect.Height() - total;
    else if (FLayout == TTextLayout::vbaCenter)
      y = FDisplayRect.Top + Half(FDisplayRect.Height() - total);
  }

  for (size_t k = 0; k < FItems.size(); ++k) {
    TAxHTMLDrawerItemLine& line = FItems[k];
    const TLineMeasure m = LineSize(line);
    int32_t x = FDisplayRect.Left;
    if (FAlignment == TAlignment::taRightJustify)
      x = (FAutoWidth ? FDisplayRect.Left + widest : FDisplayRect.Right) - m.Width;
    else if (FAlignment == TAlignment::taCenter)
      x = FDisplayRect.Left + (FAutoWidth ? Half(widest) : Half(FDisplayRect.Width())) - Half(m.Width);
    const int32_t ascent = LineAscent(line), metrics = LineMetrics(line);
    if (FThinLineSpaces) {
      y -= ExtraAscent(line);
      if (k > 0) y -= ExtraDescent(FItems[k - 1]);
    }
    for (auto& item : line) {
      item->SetPosition(m.Height, ascent, metrics, {x, y});
      x += item->FSize.cx;
    }
    y += m.Height + FLineSpaces;
  }
}

void TAxHTMLDrawer::ClipItems() {
  THTMLRect bounds = FDisplayRect;
  if (FThinLineSpaces && !FItems.empty()) {
    bounds.Top -= ExtraAscent(FItems.front());
    bounds.Bottom += ExtraDescent(FItems.back());
  }
  const bool hideOutside = !FAutoHeight && FEllipsisPosition == TAxEllipsisPosition::epEndEllipsis;
  for (auto& line : FItems)
    for (auto& item : line) {
      THTMLRect& clip = item->FClipRect;
      if (hideOutside && (clip.Top < bounds.Top || clip.Bottom > bounds.Bottom)) clip = {};
      if (!FAutoWidth) {
        clip.Left = std::max(clip.Left, bounds.Left);
        clip.Right = std::min(clip.Right, bounds.Right);
      }
      if (clip.IsEmpty()) clip = {};
    }
}

void TAxHTMLDrawer::CalcTextRect() {
  THTMLRect r;
  for (const auto& line : FItems)
    for (const auto& item : line) {
      const THTMLRect& ir = item->FItemRect;
      if (ir.IsEmpty()) continue;
      if (r.IsEmpty())
        r = ir;
      else
        r = {std::min(r.Left, ir.Left), std::min(r.Top, ir.Top), std::max(r.Right, ir.Right),
             std::max(r.Bottom, ir.Bottom)};
    }
  if (FThinLineSpaces && !FItems.empty()) {
    r.Top += ExtraAscent(FItems.front());
    r.Bottom -= ExtraDescent(FItems.back());
  }
  FTextRect = r;
}

void TAxHTMLDrawer::DrawFocusRects() {
  for (size_t k = 0; k < FItems.size(); ++k)
    for (const auto& item : FItems[k]) {
      if (item->IsDivider() || item->FGlobalLinkID != FocusedLinkID || !item->IsVisible()) continue;
      THTMLRect r = item->FClipRect;
      const THTMLTextMetric& tm = item->FTextMetric;
      if (FThinLineSpaces) {
        r.Top += tm.tmAscent - tm.otmAscent;
        r.Bottom -= std::abs(tm.tmDescent) - std::abs(tm.otmDescent);
      }
      r.Left -= TextMargin.X;
      r.Right += TextMargin.X;
      r.Top -= TextMargin.Y;
      r.Bottom += TextMargin.Y;
      if (k > 0) r.Top -= FLineSpaces + 1 - 2 * TextMargin.Y;
      Canvas().DrawFocusRect(r);
    }
}

// ---- Hit tests ----

// Links are numbered 1, 2, ... in list order: the number is the place.
// Every run asks this when it is measured or drawn.
const THTMLLinkInfo* TAxHTMLDrawer::LinksByID(int32_t AID) const {
  const auto& links = FParser.Links();
  if (AID < 1 || size_t(AID) > links.size()) return nullptr;
  const THTMLLinkInfo* link = links[size_t(AID) - 1].get();
  return link->GlobalLinkID() == AID ? link : nullptr;
}

int32_t TAxHTMLDrawer::GetLinkIDByPoint(THTMLPoint APoint) const {
  for (const auto& line : FItems)
    for (const auto& item : line)
      if (item->FClipRect.Contains(APoint.X, APoint.Y)) return item->FGlobalLinkID;
  return -1;
}

const TAxHTMLDrawerItem* TAxHTMLDrawer::GetItemByLinkID(int32_t ALinkID) const {
  for (const auto& line : FItems)
    for (const auto& item : line)
      if (item->FGlobalLinkID == ALinkID && item->IsVisible()) return item.get();
  return nullptr;
}

int32_t TAxHTMLDrawer::GetNextHyperlinkID(int32_t ACurrentID) const {
  for (const auto& link : FParser.Links())
    if (link->GlobalLinkID() > ACurrentID) return link->GlobalLinkID();
  return -1;
}

int32_t TAxHTMLDrawer::GetPrevHyperlinkID(int32_t ACurrentID) const {
  const auto& links = FParser.Links();
  for (auto it = links.rbegin(); it != links.rend(); ++it)
    if ((*it)->GlobalLinkID() < ACurrentID) return (*it)->GlobalLinkID();
  return -1;
}

THTMLRect TAxHTMLDrawer::CalcLinkRect(int32_t ALinkID) const {
  for (const auto& line : FItems)
    for (const auto& item : line)
      if (item->FGlobalLinkID == ALinkID) return item->FItemRect;
  return {};
}

THTMLRect TAxHTMLDrawer::CalcLinkRect(THTMLStringView AHRef) const {
  for (const auto& link : FParser.Links())
    if (Velqora::SameTextAscii(link->HRef(), AHRef)) return CalcLinkRect(link->GlobalLinkID());
  return {};
}

// ---- What a reader of the screen gets ----

THTMLStringView TAxHTMLDrawer::ShownPart(const TAxHTMLDrawerItemText& AItem) {
  const THTMLRect &clip = AItem.FClipRect, &whole = AItem.FItemRect;
  const THTMLStringView text = AItem.FText;
  if (clip.Left <= whole.Left && clip.Right >= whole.Right) return text;
  Canvas().CharExtents(AItem.SelectFont(), text, FExtents);
  size_t from = text.size(), to = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const int32_t middle = whole.Left + Half((i ? FExtents[i - 1] : 0) + FExtents[i]);
    if (middle < clip.Left || middle >= clip.Right) continue;
    from = std::min(from, i);
    to = i + 1;
  }
  return from < to ? text.substr(from, to - from) : THTMLStringView();
}

THTMLString TAxHTMLDrawer::ShownText(IHTMLCanvas& ACanvas) {
  FCanvas = &ACanvas;
  Velqora::TScopeExit detach([this] { FCanvas = nullptr; });
  THTMLString text;
  bool blank = false;  // a blank the layout took away lies before the next piece
  for (const auto& line : FItems)
    for (const auto& item : line) {
      blank = blank || item->FBreakBefore;
      const THTMLRect& clip = item->FClipRect;
      if (!item->IsVisible() || clip.Bottom <= FDisplayRect.Top || clip.Top >= FDisplayRect.Bottom) continue;
      const THTMLStringView piece =
          item->IsDivider() ? THTMLStringView(DividerText) : ShownPart(static_cast<TAxHTMLDrawerItemText&>(*item));
      if (piece.empty()) continue;
      if (blank && !text.empty() && !IsBlank(text.back()) && !IsBlank(piece.front())) text += u' ';
      blank = false;
      text += piece;
    }
  return text;
}

THTMLString TAxHTMLDrawer::LinkText(int32_t ALinkID) const {
  THTMLString text;
  bool broken = false;
  for (const THTMLTokenLine& line : FParser.Tokens()) {
    broken = broken || !text.empty();
    for (const auto& token : line) {
      if (token->GlobalLinkID() != ALinkID) continue;
      if (std::exchange(broken, false) && !IsBlank(text.back())) text += u' ';
      text += token->IsDivider() ? THTMLStringView(DividerText)
                                 : THTMLStringView(static_cast<const THTMLTextToken&>(*token).Text);
    }
  }
  return text;
}

}  // namespace Project::VCL
