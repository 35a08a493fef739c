// The labels' layout engine: a caption with markup becomes positioned,
// drawable pieces inside a display rectangle. It wraps lines, places them,
// clips them, marks cut-off text with an ellipsis, draws links in their
// normal, hovered and pressed colours, frames the focused link and answers
// which link lies under a point.
//
// Free of any system header: measuring and drawing go through
// `IHTMLCanvas`, which the Windows side implements with real fonts
// (Project.VCL.AxLabel.HtmlCanvas) and the build machine's tests and fuzzer
// with a fixed-width stand-in.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Project.VCL.AxLabel.HtmlParser.h"
#include "Project.VCL.Common.Types.h"

namespace Project::VCL {

// Right and bottom edges are exclusive.
struct THTMLRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int32_t AX, int32_t AY) const { return AX >= Left && AX < Right && AY >= Top && AY < Bottom; }
  friend bool operator==(const THTMLRect&, const THTMLRect&) = default;
};

struct THTMLPoint {
  int32_t X = 0, Y = 0;
};

struct THTMLSize {
  int32_t cx = 0, cy = 0;
};

// The metrics of a font that the layout uses; all 0 for a font without
// outline metrics.
struct THTMLTextMetric {
  int32_t tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0, tmExternalLeading = 0;
  int32_t otmAscent = 0, otmDescent = 0, otmMacAscent = 0, otmMacDescent = 0;
};

// A font as the drawer passes it to the canvas. Quality is the platform's
// own value, carried through unchanged.
struct THTMLFont {
  THTMLString Name;
  int32_t Height = 0;  // negative: character height in pixels
  uint8_t Style = 0;   // bold 1, italic 2, underline 4, strikeout 8
  uint32_t Color = 0;  // red in the low byte; 0xFF0000NN is system colour NN
  uint8_t Quality = 0;
  friend bool operator==(const THTMLFont&, const THTMLFont&) = default;
};

// Text format bits, with the values of the platform's DrawTextExW flags.
enum : uint32_t {
  HTML_DT_CENTER = 0x1,
  HTML_DT_RIGHT = 0x2,
  HTML_DT_SINGLELINE = 0x20,
  HTML_DT_NOPREFIX = 0x800,
  HTML_DT_PATH_ELLIPSIS = 0x4000,
  HTML_DT_WORD_ELLIPSIS = 0x40000,
};

// What the drawer needs of a canvas. Measuring must agree with drawing.
class IHTMLCanvas {
public:
  virtual ~IHTMLCanvas() = default;
  // The size of AText laid out with AFormat in an empty rectangle, the
  // overhang of italic glyphs included.
  virtual THTMLSize TextExtent(const THTMLFont& AFont, THTMLStringView AText, uint32_t AFormat) = 0;
  // AExtents[i] becomes the width of characters 0..i of AText. The widths
  // of a prefix are those of the whole text's first characters.
  virtual void CharExtents(const THTMLFont& AFont, THTMLStringView AText, std::vector<int32_t>& AExtents) = 0;
  virtual THTMLTextMetric TextMetric(const THTMLFont& AFont) = 0;
  // AText in the font's colour into ARect, without background.
  virtual void DrawText(const THTMLFont& AFont, THTMLStringView AText, const THTMLRect& ARect, uint32_t AFormat) = 0;
  // The system's dotted focus rectangle.
  virtual void DrawFocusRect(const THTMLRect& ARect) = 0;
};

enum class TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
// Vertical placement of the whole text in its display rectangle: the same
// three values as the vertical alignment of runs inside a line.
using TTextLayout = TVerticalBlockAlign;

class TAxHTMLDrawer;

// One run of text or one divider on one line.
class TAxHTMLDrawerItem {
public:
  explicit TAxHTMLDrawerItem(TAxHTMLDrawer& AOwner) : FOwner(&AOwner) {}
  virtual ~TAxHTMLDrawerItem() = default;
  TAxHTMLDrawerItem(const TAxHTMLDrawerItem&) = delete;
  TAxHTMLDrawerItem& operator=(const TAxHTMLDrawerItem&) = delete;

  virtual bool IsDivider() const = 0;
  virtual void CalcSize() = 0;
  virtual void SetPosition(int32_t ALineHeight, int32_t AAscent, int32_t AMetrics, THTMLPoint AOrigin);
  virtual void Draw() = 0;
  virtual std::unique_ptr<TAxHTMLDrawerItem> Clone() const = 0;
  // The font the item is measured and drawn in, with the colour and style
  // of its link's state.
  virtual THTMLFont SelectFont() const = 0;

  TAxHTMLDrawer& Owner() const { return *FOwner; }
  THTMLSize Size() const { return FSize; }
  const THTMLRect& ItemRect() const { return FItemRect; }
  const THTMLRect& ClipRect() const { return FClipRect; }
  bool IsVisible() const { return !FClipRect.IsEmpty(); }
  int32_t GlobalLinkID() const { return FGlobalLinkID; }
  int32_t FontHeight() const { return FFontHeight; }
  const THTMLTextMetric& TextMetric() const { return FTextMetric; }
  // Blanks or a line break of the caption lie between this item and the
  // one before it that the layout put on another line: a reader of the text
  // needs a blank there.
  bool BreakBefore() const { return FBreakBefore; }

protected:
  friend class TAxHTMLDrawer;
  void SetBounds(THTMLPoint AOrigin);
  void Hide() { FClipRect = {}; }

  TAxHTMLDrawer* FOwner;
  THTMLSize FSize;
  THTMLRect FItemRect;
  THTMLRect FClipRect;
  int32_t FGlobalLinkID = -1;
  int32_t FFontHeight = 0;
  THTMLTextMetric FTextMetric;
  bool FBreakBefore = false;
};

class TAxHTMLDrawerItemText final : public TAxHTMLDrawerItem {
public:
  // From a token, or without one the ellipsis "…" in the drawer font.
  TAxHTMLDrawerItemText(TAxHTMLDrawer& AOwner, const THTMLTextToken* AToken);

  bool IsDivider() const override { return false; }
  void CalcSize() override;
  void SetPosition(int32_t ALineHeight, int32_t AAscent, int32_t AMetrics, THTMLPoint AOrigin) override;
  void Draw() override;
  std::unique_ptr<TAxHTMLDrawerItem> Clone() const override;
  THTMLFont SelectFont() const override;

  const THTMLString& Text() const { return FText; }
  uint32_t Color() const { return FColor; }
  uint8_t Style() const { return FStyle; }
  const THTMLString& FontName() const { return FFontName; }
  TVerticalBlockAlign VerticalBlockAlign() const { return FVerticalBlockAlign; }

private:
  friend class TAxHTMLDrawer;
  THTMLString FText;
  uint32_t FColor = 0;
  uint8_t FStyle = 0;
  THTMLString FFontName;
  TVerticalBlockAlign FVerticalBlockAlign = TVerticalBlockAlign::vbaBottom;
};

class TAxHTMLDrawerItemDivider final : public TAxHTMLDrawerItem {
public:
  // From a token, or without one in the drawer font's height.
  TAxHTMLDrawerItemDivider(TAxHTMLDrawer& AOwner, const THTMLDividerToken* AToken);

  bool IsDivider() const override { return true; }
  void CalcSize() override;
  void SetPosition(int32_t ALineHeight, int32_t AAscent, int32_t AMetrics, THTMLPoint AOrigin) override;
  void Draw() override;
  std::unique_ptr<TAxHTMLDrawerItem> Clone() const override;
  THTMLFont SelectFont() const override;
};

using TAxHTMLDrawerItemLine = std::vector<std::unique_ptr<TAxHTMLDrawerItem>>;

class TAxHTMLDrawer {
public:
  TAxHTMLDrawer();
  virtual ~TAxHTMLDrawer();
  TAxHTMLDrawer(const TAxHTMLDrawer&) = delete;
  TAxHTMLDrawer& operator=(const TAxHTMLDrawer&) = delete;

  // The host's font and the link fonts in their three states. The drawer
  // notices a change at its next Update or Draw; the link fonts follow the
  // host font's face name and height and contribute colour and style.
  THTMLFont& Font() { return FFont; }
  THTMLFont& LinkFont() { return FLinkFont; }
  THTMLFont& LinkHoverFont() { return FLinkHoverFont; }
  THTMLFont& LinkPressedFont() { return FLinkPressedFont; }
  // Colour of all text while disabled, and the margin around a focused
  // link; the host gives its shared defaults.
  uint32_t DisabledFontColor = 0xA0A0A0;
  THTMLPoint TextMargin{1, 1};

  const THTMLString& Text() const { return FText; }
  void SetText(THTMLStringView AValue);
  const THTMLString& VisibleText() const { return FVisibleText; }
  TAxLabelDisplayStyle DisplayStyle() const { return FDisplayStyle; }
  void SetDisplayStyle(TAxLabelDisplayStyle AValue);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment AValue) { SetLayoutField(FAlignment, AValue); }
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout AValue) { SetLayoutField(FLayout, AValue); }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool AValue) { SetLayoutField(FWordWrap, AValue); }
  bool AutoHeight() const { return FAutoHeight; }
  void SetAutoHeight(bool AValue) { SetLayoutField(FAutoHeight, AValue); }
  bool AutoWidth() const { return FAutoWidth; }
  void SetAutoWidth(bool AValue) { SetLayoutField(FAutoWidth, AValue); }
  TAxEllipsisPosition EllipsisPosition() const { return FEllipsisPosition; }
  void SetEllipsisPosition(TAxEllipsisPosition AValue) { SetLayoutField(FEllipsisPosition, AValue); }
  bool ThinLineSpaces() const { return FThinLineSpaces; }
  void SetThinLineSpaces(bool AValue) { SetLayoutField(FThinLineSpaces, AValue); }
  int32_t LineSpaces() const { return FLineSpaces; }
  // Negative values read back as 0.
  void SetLineSpaces(int32_t AValue);

  // Drawing only: no new layout.
  bool Enabled = true;
  uint32_t DividerColor = 0xFF000011;  // the system's grey text
  int32_t OverLinkID = -1;
  int32_t PressLinkID = -1;
  int32_t FocusedLinkID = -1;
  bool DrawFocusRect = false;

  // Measures (parsing and laying out as far as needed) without painting.
  void Update(IHTMLCanvas& ACanvas, const THTMLRect& ARect);
  // Measures as Update, then draws the items that meet AClipRect.
  void Draw(IHTMLCanvas& ACanvas, const THTMLRect& ARect, const THTMLRect& AClipRect);

  const std::vector<std::unique_ptr<THTMLLinkInfo>>& Links() const { return FParser.Links(); }
  // Parses first when the caption changed; does not touch the link states.
  bool HyperlinksExists();
  const THTMLLinkInfo* LinksByID(int32_t AID) const;
  const THTMLRect& DisplayRect() const { return FDisplayRect; }
  const THTMLRect& TextRect() const { return FTextRect; }
  // The height of a line of the drawer's own font, from the last layout.
  int32_t LineHeightDefault() const { return FLineHeightDefault; }
  // The laid-out lines. A trailing blank at a wrap point leaves an empty
  // last line, kept as the layout defines it.
  const std::vector<TAxHTMLDrawerItemLine>& Items() const { return FItems; }

  // Hit tests on the last layout.
  int32_t GetLinkIDByPoint(THTMLPoint APoint) const;
  const TAxHTMLDrawerItem* GetItemByLinkID(int32_t ALinkID) const;
  int32_t GetNextHyperlinkID(int32_t ACurrentID) const;
  int32_t GetPrevHyperlinkID(int32_t ACurrentID) const;
  THTMLRect CalcLinkRect(int32_t ALinkID) const;
  THTMLRect CalcLinkRect(THTMLStringView AHRef) const;

  // What the last layout shows, in reading order, for a reader of the
  // screen (an accessibility client): the shown part of every run that
  // meets the display rectangle, an ellipsis where text is cut, one blank
  // where the layout or the caption broke a line at blanks (none where a
  // word was split or a line broken at "/"). ACanvas measures the runs the
  // layout cut.
  THTMLString ShownText(IHTMLCanvas& ACanvas);
  // The text of link ALinkID as the caption has it, whole even where the
  // layout cut it off; empty for no such link.
  THTMLString LinkText(int32_t ALinkID) const;

  // Font heights from markup are held within this many pixels either way:
  // a caption cannot ask for glyphs that overflow the layout's arithmetic.
  static constexpr int32_t MaxFontHeight = 1024;

private:
  friend class TAxHTMLDrawerItem;
  friend class TAxHTMLDrawerItemText;
  friend class TAxHTMLDrawerItemDivider;

  // The measures of one line of items.
  struct TLineMeasure {
    int32_t Width = 0, Height = 0;
  };

  template <typename T>
  void SetLayoutField(T& AField, T AValue) {
    if (AField == AValue) return;
    AField = AValue;
    FIsNeedRecalcParam = true;
  }

  IHTMLCanvas& Canvas() const { return *FCanvas; }
  void Prepare(const THTMLRect& ARect);
  void CheckParams(const THTMLRect& ARect);
  void UpdateFont();
  void Parse();
  void BuildVisibleText();
  void BuildItems();
  std::unique_ptr<TAxHTMLDrawerItem> CreateItem(const THTMLToken& AToken);
  void WrapItem(std::unique_ptr<TAxHTMLDrawerItem> AItem, int32_t& ALineWidth);
  void WrapText(std::unique_ptr<TAxHTMLDrawerItemText> AItem, int32_t& ALineWidth);
  void LayoutItems();
  void ClipItems();
  void CalcTextRect();
  void DrawFocusRects();
  // The characters of a text run that its clip rectangle shows: those
  // whose middle lies inside it.
  THTMLStringView ShownPart(const TAxHTMLDrawerItemText& AItem);

  TLineMeasure LineSize(const TAxHTMLDrawerItemLine& ALine) const;
  int32_t LineAscent(const TAxHTMLDrawerItemLine& ALine) const;
  static int32_t RunsExtraAscent(const TAxHTMLDrawerItemLine& ALine);
  int32_t LineMetrics(const TAxHTMLDrawerItemLine& ALine) const;
  int32_t ExtraAscent(const TAxHTMLDrawerItemLine& ALine) const;
  int32_t ExtraDescent(const TAxHTMLDrawerItemLine& ALine) const;
  static bool HasVisibleItems(const TAxHTMLDrawerItemLine& ALine);

  // The ellipsis pass (its own source file).
  void ApplyEllipsis();
  void AddStartEllipsis(TAxHTMLDrawerItemLine& ALine);
  void AddEndEllipsis(TAxHTMLDrawerItemLine& ALine);
  void TruncateLeft(TAxHTMLDrawerItem& AItem, int32_t ALimit);
  void TruncateRight(TAxHTMLDrawerItem& AItem, int32_t ALimit);
  std::unique_ptr<TAxHTMLDrawerItemText> CreateEllipsisItem(const TAxHTMLDrawerItem& AItem);
  void PlaceEllipsis(TAxHTMLDrawerItemLine& ALine, TAxHTMLDrawerItem& AEllipsis, THTMLPoint AOrigin);
  int32_t LineTop(const TAxHTMLDrawerItemLine& ALine) const;

  THTMLString FText;
  bool FIsEasternString = false;
  THTMLString FVisibleText;
  TAxLabelDisplayStyle FDisplayStyle = TAxLabelDisplayStyle::ldsPlain;
  TAlignment FAlignment = TAlignment::taLeftJustify;
  TTextLayout FLayout = TTextLayout::vbaTop;
  bool FWordWrap = false;
  bool FAutoHeight = false;
  bool FAutoWidth = false;
  TAxEllipsisPosition FEllipsisPosition = TAxEllipsisPosition::epNone;
  bool FThinLineSpaces = false;
  int32_t FLineSpaces = 0;
  THTMLFont FFont, FLinkFont, FLinkHoverFont, FLinkPressedFont;
  // The fonts as the last layout saw them.
  THTMLFont FLastFont, FLastLinkFont, FLastLinkHoverFont, FLastLinkPressedFont;
  IHTMLCanvas* FCanvas = nullptr;
  TAxHTMLParser FParser;
  THTMLRect FDisplayRect;
  THTMLRect FTextRect;
  int32_t FLineHeightDefault = 0;
  THTMLTextMetric FTextMetricDefault;
  THTMLSize FEllipsisSize;
  std::vector<TAxHTMLDrawerItemLine> FItems;
  bool FIsNeedReparseText = true;
  bool FIsNeedRecalcParam = true;
  // Cumulative character widths, reused by wrapping and truncation.
  std::vector<int32_t> FExtents;
};

// Whether a code unit lies in the eastern (CJK) ranges; a caption with any
// such character wraps at any character, not at spaces.
bool IsEasternChar(char16_t AChar);
bool IsEasternText(THTMLStringView AText);
// Word-wrap opportunities: separators (space, no-break space and the other
// separators of the first plane), "/" and "\".
bool IsBreakChar(char16_t AChar);

}  // namespace Project::VCL
