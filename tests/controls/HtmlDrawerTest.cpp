// The markup drawer's layout: wrapping, placement, clipping, ellipsis, link
// states and hit tests. Every expectation is worked out from widths that
// the test measures with the same canvas, so the cases hold for the real
// fonts under Windows and for the fixed-width ones on the build machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HtmlTestCanvas.h"
#include "Project.VCL.AxLabel.HtmlDrawer.h"

using namespace Project::VCL;

namespace {

constexpr uint32_t TextFormat = HTML_DT_SINGLELINE | HTML_DT_NOPREFIX;

// A line as text: the items' texts joined by "+", a divider as "|".
std::string Describe(const TAxHTMLDrawerItemLine& ALine) {
  std::string s;
  for (const auto& item : ALine) {
    if (!s.empty()) s += '+';
    if (item->IsDivider()) {
      s += '|';
      continue;
    }
    for (char16_t c : static_cast<const TAxHTMLDrawerItemText&>(*item).Text())
      s += c < 0x80 ? char(c) : c == 0x2026 ? '~' : '?';  // the ellipsis reads "~"
  }
  return s;
}

class HtmlDrawerTest : public ::testing::Test {
protected:
  // The width of AText in the drawer's font with AStyle added.
  int32_t Width(std::u16string_view AText, uint8_t AStyle = 0) {
    THTMLFont font = Drawer.Font();
    font.Style |= AStyle;
    return Canvas->TextExtent(font, AText, TextFormat).cx;
  }
  // The width of the first ACount characters as the wrapping measures them.
  int32_t Extent(std::u16string_view AText, size_t ACount) {
    std::vector<int32_t> e;
    Canvas->CharExtents(Drawer.Font(), AText.substr(0, ACount), e);
    return ACount ? e.back() : 0;
  }
  int32_t LineHeight() { return Canvas->TextExtent(Drawer.Font(), u"gG", HTML_DT_NOPREFIX).cy; }

  void Lay(std::u16string_view AText, THTMLRect ARect, TAxLabelDisplayStyle AStyle = TAxLabelDisplayStyle::ldsHTML) {
    Drawer.SetDisplayStyle(AStyle);
    Drawer.SetText(AText);
    Drawer.Update(*Canvas, ARect);
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const auto& line : Drawer.Items()) lines.push_back(Describe(line));
    return lines;
  }
  const TAxHTMLDrawerItem& Item(size_t ALine, size_t AIndex) { return *Drawer.Items().at(ALine).at(AIndex); }
  const TAxHTMLDrawerItemText& Text(size_t ALine, size_t AIndex) {
    return static_cast<const TAxHTMLDrawerItemText&>(Item(ALine, AIndex));
  }

  std::unique_ptr<IHTMLCanvas> Canvas = Testing::MakeMeasuringCanvas();
  TAxHTMLDrawer Drawer;
};

// ---- Wrapping ----

struct TWrapCase {
  const char* Name;
  std::u16string Text;
  // The display width, from the width of this text ...
  std::u16string WidthOf;
  // ... plus this many pixels.
  int32_t Plus;
  std::vector<std::string> Lines;
};

TEST_F(HtmlDrawerTest, WrapsAtBreakCharactersAndInsideWordsTooLongForALine) {
  const TWrapCase cases[] = {
      {"at the last space that fits", u"aaa bbb ccc", u"aaa bbb", 0, {"aaa bbb", "ccc"}},
      {"two spaces at the break both vanish", u"aaa  bbb", u"aaa ", 0, {"aaa", "bbb"}},
      {"a slash at the break starts the next line", u"aaa/aa", u"aaa/", 0, {"aaa", "/aa"}},
      {"a backslash too", u"aaa\\aa", u"aaa\\", 0, {"aaa", "\\aa"}},
      {"a word too long for an empty line is cut where it stops fitting", u"abcdefgh", u"abcde", 0, {"abcde", "fgh"}},
      {"a long word is cut on every line", u"aaaaaaaaaa", u"aaa", 0, {"aaa", "aaa", "aaa", "a"}},
      {"a run that fits stays whole", u"aaa bbb", u"aaa bbb", 0, {"aaa bbb"}},
      {"a first character that does not fit stays on its empty line", u"abc", u"", 0, {"abc"}},
      {"a line break in the text starts a new line", u"aaa<br>aaa aaa", u"aaa", 0, {"aaa", "aaa", "aaa"}},
  };
  for (const TWrapCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Drawer.SetWordWrap(true);
    Lay(c.Text, {0, 0, Width(c.WidthOf) + c.Plus, 1000});
    EXPECT_EQ(Lines(), c.Lines);
  }
}

TEST_F(HtmlDrawerTest, ARunWithoutBreakThatDoesNotFitMovesToTheNextLineLeavingAnEmptyItem) {
  Drawer.SetWordWrap(true);
  const int32_t width = Width(u"xx", 1) + Width(u"abcdefgh") - 1;
  Lay(u"<b>xx</b>abcdefgh", {0, 0, width, 1000});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"xx+", "abcdefgh"}));
}

TEST_F(HtmlDrawerTest, ADividerThatDoesNotFitStartsTheNextLine) {
  Drawer.SetWordWrap(true);
  Lay(u"aaa<div>", {0, 0, Width(u"aaa") + 1, 1000});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"aaa", "|"}));
}

TEST_F(HtmlDrawerTest, AnEasternCharacterAnywhereMakesLatinTextWrapAtCharacters) {
  Drawer.SetWordWrap(true);
  const std::u16string text = u"aaa bbb ccc\u4E00";
  // The cut falls inside "bbb", not at the space before it.
  Lay(text, {0, 0, Extent(text, 5), 1000});
  ASSERT_GE(Lines().size(), 2u);
  EXPECT_EQ(Lines()[0], "aaa b");
}

TEST_F(HtmlDrawerTest, ALongRunInANarrowLabelWrapsIntoManyLinesWithoutRecursion) {
  Drawer.SetWordWrap(true);
  const std::u16string word(60000, u'w');
  Lay(word, {0, 0, Width(u"www"), 1000});
  ASSERT_EQ(Drawer.Items().size(), (word.size() + 2) / 3);
  EXPECT_EQ(Lines().front(), "www");
  EXPECT_EQ(Lines().back(), std::string(word.size() % 3 ? word.size() % 3 : 3, 'w'));

  std::u16string words;
  for (int i = 0; i < 20000; ++i) words += u"ab cd ";
  Lay(words, {0, 0, Width(u"ab cd"), 1000});
  EXPECT_EQ(Drawer.Items().size(), 20001u);  // the trailing space leaves an empty last line
}

TEST_F(HtmlDrawerTest, ALinkWrappedOverLinesIsOneLinkOnEveryLine) {
  Drawer.SetWordWrap(true);
  Lay(u"aa <a href=\"Terms\">aa aa aa</a> aa", {0, 0, Width(u"aa aa"), 1000});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"aa +aa", "aa aa+", "aa"}));
  for (auto [line, index] : {std::pair{0, 1}, {1, 0}}) {
    const THTMLRect& r = Item(line, index).ClipRect();
    EXPECT_EQ(Drawer.GetLinkIDByPoint({r.Left + r.Width() / 2, r.Top + r.Height() / 2}), 1) << line;
  }
  const THTMLRect& plain = Item(0, 0).ClipRect();
  EXPECT_EQ(Drawer.GetLinkIDByPoint({plain.Left, plain.Top}), -1);
  EXPECT_EQ(Drawer.CalcLinkRect(u"TERMS"), Item(0, 1).ItemRect());
  EXPECT_EQ(Drawer.CalcLinkRect(u"elsewhere"), THTMLRect{});
}

// ---- Styles and placement ----

TEST_F(HtmlDrawerTest, NestedStylesAddUpAndEachRunIsMeasuredInItsOwnStyle) {
  Lay(u"<b>bold <i>both</i> bold</b> plain", {0, 0, 1000, 100});
  ASSERT_EQ(Lines(), (std::vector<std::string>{"bold +both+ bold+ plain"}));
  const uint8_t styles[] = {1, 3, 1, 0};
  int32_t x = 0;
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Text(0, i).Style(), styles[i]);
    EXPECT_EQ(Item(0, i).ItemRect().Left, x);
    EXPECT_EQ(Item(0, i).Size().cx, Width(Text(0, i).Text(), styles[i]));
    x += Item(0, i).Size().cx;
  }
}

TEST_F(HtmlDrawerTest, LinesFollowOneAnotherWithTheirHeightAndTheLineSpaces) {
  Drawer.SetLineSpaces(3);
  Lay(u"a<br>b\r\nc", {0, 0, 100, 100});
  ASSERT_EQ(Lines(), (std::vector<std::string>{"a", "b", "c"}));
  const int32_t h = Item(0, 0).Size().cy;
  for (int k = 0; k < 3; ++k) EXPECT_EQ(Item(k, 0).ItemRect().Top, k * (h + 3)) << k;
  EXPECT_EQ(Drawer.VisibleText(), u"a\r\nb\r\nc");

  Drawer.SetLineSpaces(-5);
  EXPECT_EQ(Drawer.LineSpaces(), 0);
}

TEST_F(HtmlDrawerTest, AlignmentAndLayoutPlaceTheText) {
  const std::u16string text = u"abc";
  const int32_t w = Width(text);
  struct TCase {
    const char* Name;
    TAlignment Alignment;
    TTextLayout Layout;
    bool AutoHeight;
  };
  const TCase cases[] = {
      {"left top", TAlignment::taLeftJustify, TTextLayout::vbaTop, false},
      {"right bottom", TAlignment::taRightJustify, TTextLayout::vbaBottom, false},
      {"centre centre", TAlignment::taCenter, TTextLayout::vbaCenter, false},
      {"bottom with automatic height is top", TAlignment::taLeftJustify, TTextLayout::vbaBottom, true},
  };
  const THTMLRect display{10, 20, 10 + 2 * w + 7, 20 + 101};  // odd sizes: divisions truncate
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Drawer.SetAlignment(c.Alignment);
    Drawer.SetLayout(c.Layout);
    Drawer.SetAutoHeight(c.AutoHeight);
    Lay(text, display);
    const int32_t lineHeight = Item(0, 0).Size().cy;
    const int32_t x = c.Alignment == TAlignment::taLeftJustify    ? display.Left
                      : c.Alignment == TAlignment::taRightJustify ? display.Right - w
                                                                  : display.Left + display.Width() / 2 - w / 2;
    const int32_t y = c.AutoHeight || c.Layout == TTextLayout::vbaTop ? display.Top
                      : c.Layout == TTextLayout::vbaBottom            ? display.Bottom - lineHeight
                                                                      : display.Top + (display.Height() - lineHeight) / 2;
    EXPECT_EQ(Item(0, 0).ItemRect().Left, x);
    EXPECT_EQ(Item(0, 0).ItemRect().Top, y);
    EXPECT_EQ(Drawer.TextRect(), (THTMLRect{x, y, x + w, y + lineHeight}));
    if (c.AutoHeight) {
      EXPECT_EQ(Drawer.DisplayRect().Height(), lineHeight);
    }
  }
}

// Only what is shown of a link reacts: the end a display cuts off at its
// side, and a line it hides below, are not hot.
TEST_F(HtmlDrawerTest, OnlyTheShownPartOfALinkIsHot) {
  const THTMLRect narrow{0, 0, Width(u"ab"), 1000};
  Lay(u"<a href=\"x\">abcdefgh</a>", narrow);
  const TAxHTMLDrawerItem& cut = Item(0, 0);
  ASSERT_GT(cut.ItemRect().Right, narrow.Right + 2) << "the link runs on past the display";
  const int32_t middle = cut.ItemRect().Top + cut.ItemRect().Height() / 2;
  EXPECT_EQ(Drawer.GetLinkIDByPoint({narrow.Left + 1, middle}), 1);
  EXPECT_EQ(Drawer.GetLinkIDByPoint({narrow.Right + 1, middle}), -1);

  Drawer.SetLayout(TTextLayout::vbaTop);
  Drawer.SetEllipsisPosition(TAxEllipsisPosition::epEndEllipsis);
  Lay(u"one<br><a href=\"x\">two</a>", {0, 0, 1000, LineHeight()});
  const TAxHTMLDrawerItem& hidden = Item(1, 0);
  ASSERT_FALSE(hidden.IsVisible());
  const THTMLRect& r = hidden.ItemRect();
  EXPECT_EQ(Drawer.GetLinkIDByPoint({r.Left + 1, r.Top + r.Height() / 2}), -1);
}

TEST_F(HtmlDrawerTest, EmptyAndBlankCaptions) {
  Lay(u"", {0, 0, 100, 100});
  EXPECT_TRUE(Drawer.Items().empty());
  EXPECT_EQ(Drawer.TextRect(), THTMLRect{});
  EXPECT_EQ(Drawer.GetLinkIDByPoint({0, 0}), -1);

  Drawer.SetWordWrap(true);
  for (std::u16string blank : {u"   ", u"\t", u" <br> "}) {
    Lay(blank, {0, 0, 2, 100});
    EXPECT_FALSE(Drawer.Items().empty());
    EXPECT_EQ(Drawer.GetLinkIDByPoint({0, 0}), -1);
  }
}

TEST_F(HtmlDrawerTest, MarkupCannotAskForGiantGlyphs) {
  Lay(u"<font height=-2000000000>x</font><font height=2147483647>y</font>", {0, 0, 100, 100});
  EXPECT_EQ(Item(0, 0).FontHeight(), -TAxHTMLDrawer::MaxFontHeight);
  EXPECT_EQ(Item(0, 1).FontHeight(), TAxHTMLDrawer::MaxFontHeight);
}

// ---- Ellipsis ----

TEST_F(HtmlDrawerTest, AFixedHeightShowsTheLinesThatFitAndMarksTheCutWithAnEllipsis) {
  Drawer.SetEllipsisPosition(TAxEllipsisPosition::epEndEllipsis);
  Lay(u"one<br>two<br>three", {0, 0, 1000, 1000});
  const int32_t h = Item(0, 0).Size().cy;

  Drawer.SetLayout(TTextLayout::vbaTop);
  Lay(u"one<br>two<br>three", {0, 0, 1000, 2 * h + 1});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"one", "two+~", "three"}));
  EXPECT_FALSE(Item(2, 0).IsVisible());
  EXPECT_EQ(Item(1, 1).ItemRect().Left, Item(1, 0).ClipRect().Right);

  Drawer.SetLayout(TTextLayout::vbaBottom);
  Lay(u"one<br>two<br>three", {0, 0, 1000, 2 * h + 1});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"one", "~+two", "three"}));
  EXPECT_FALSE(Item(0, 0).IsVisible());
  EXPECT_EQ(Item(1, 0).ItemRect().Right, Item(1, 1).ClipRect().Left);
}

TEST_F(HtmlDrawerTest, ALineWiderThanTheDisplayGetsAnEllipsisWhereItIsCut) {
  const std::u16string text = u"abcdefghijklmnop";
  const int32_t ellipsis = Canvas->TextExtent(Drawer.Font(), u"\u2026", HTML_DT_NOPREFIX).cx;
  const THTMLRect display{5, 0, 5 + Width(u"abcdefgh"), 100};
  const int32_t limit = display.Right - ellipsis;
  Drawer.SetEllipsisPosition(TAxEllipsisPosition::epWordEllipsis);

  Drawer.SetAlignment(TAlignment::taLeftJustify);
  Lay(text, display);
  ASSERT_EQ(Lines(), (std::vector<std::string>{"abcdefghijklmnop+~"}));
  // The cut is after the last character that ends at or before the limit.
  size_t fit = 0;
  while (fit < text.size() && display.Left + Extent(text, fit + 1) <= limit) ++fit;
  EXPECT_EQ(Item(0, 0).ClipRect().Right, display.Left + Extent(text, fit));
  EXPECT_EQ(Item(0, 1).ItemRect().Left, Item(0, 0).ClipRect().Right);

  Drawer.SetAlignment(TAlignment::taRightJustify);
  Lay(text, display);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"~+abcdefghijklmnop"}));
  EXPECT_EQ(Item(0, 0).ItemRect().Right, Item(0, 1).ClipRect().Left);
  EXPECT_GE(Item(0, 1).ClipRect().Left, display.Left + ellipsis);

  Drawer.SetAlignment(TAlignment::taCenter);
  Lay(text + text, display);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"~+abcdefghijklmnopabcdefghijklmnop+~"}));

  Drawer.SetWordWrap(true);  // wrapping leaves nothing to cut at the sides
  Lay(text, display);
  EXPECT_EQ(Lines()[0].find('~'), std::string::npos);
}

TEST_F(HtmlDrawerTest, AnEllipsisInALinkOrAStyledRunTakesItsLinkAndStyle) {
  Drawer.SetEllipsisPosition(TAxEllipsisPosition::epWordEllipsis);
  const THTMLRect display{0, 0, Width(u"plain link te"), 100};
  Lay(u"plain <a href=\"x\">link text</a>", display);
  ASSERT_EQ(Lines(), (std::vector<std::string>{"plain +link text+~"}));
  EXPECT_EQ(Item(0, 2).GlobalLinkID(), 1);
  const THTMLRect& e = Item(0, 2).ClipRect();
  EXPECT_EQ(Drawer.GetLinkIDByPoint({e.Left, e.Top}), 1);

  Lay(u"plain <b><i>styled text</i></b>", display);
  ASSERT_EQ(Lines(), (std::vector<std::string>{"plain +styled text+~"}));
  EXPECT_EQ(Text(0, 2).Style(), 3);
}

TEST_F(HtmlDrawerTest, LinesNextToAnEmptyLineGetAnEllipsis) {
  Drawer.SetEllipsisPosition(TAxEllipsisPosition::epWordEllipsis);
  Lay(u"abc<br><br>def", {0, 0, 1000, 1000});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"abc+~", "", "~+def"}));

  Drawer.SetAutoHeight(true);
  Lay(u"abc<br><br>def", {0, 0, 1000, 1000});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"abc", "", "def"}));
}

// ---- Link states and drawing ----

TEST_F(HtmlDrawerTest, LinksAreDrawnInTheColourOfTheirState) {
  Testing::TRecordingCanvas canvas(*Canvas);
  Drawer.LinkFont().Color = 0x0000AA;
  Drawer.LinkHoverFont().Color = 0x00BB00;
  Drawer.LinkPressedFont().Color = 0xCC0000;
  Drawer.Font().Color = 0x123456;
  Drawer.SetDisplayStyle(TAxLabelDisplayStyle::ldsHTML);
  Drawer.SetText(u"text <a href=\"a\">one</a><div><a href=\"b\">two</a>");
  const THTMLRect all{0, 0, 1000, 100};
  Drawer.Update(canvas, all);

  struct TCase {
    const char* Name;
    bool Enabled;
    int32_t Over, Press;
    uint32_t Text, One, Two, Divider;
  };
  const TCase cases[] = {
      {"normal", true, -1, -1, 0x123456, 0x0000AA, 0x0000AA, 0xFF000011},
      {"hovered", true, 2, -1, 0x123456, 0x0000AA, 0x00BB00, 0xFF000011},
      {"pressed while hovered", true, 1, 1, 0x123456, 0xCC0000, 0x0000AA, 0xFF000011},
      {"disabled", false, 1, 2, 0xA0A0A0, 0xA0A0A0, 0xA0A0A0, 0xA0A0A0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Drawer.Enabled = c.Enabled;
    Drawer.OverLinkID = c.Over;
    Drawer.PressLinkID = c.Press;
    canvas.Texts.clear();
    Drawer.Draw(canvas, all, all);
    ASSERT_EQ(canvas.Texts.size(), 4u);
    EXPECT_EQ(canvas.Texts[0].Font.Color, c.Text);
    EXPECT_EQ(canvas.Texts[1].Font.Color, c.One);
    EXPECT_EQ(canvas.Texts[2].Text, u" | ");
    EXPECT_EQ(canvas.Texts[2].Font.Color, c.Divider);
    EXPECT_EQ(canvas.Texts[3].Font.Color, c.Two);
    EXPECT_EQ(canvas.Texts[1].Font.Style & 4, c.Enabled ? 4 : 0);  // links underlined while enabled
  }
}

TEST_F(HtmlDrawerTest, OnlyItemsMeetingThePaintedAreaAreDrawn) {
  Testing::TRecordingCanvas canvas(*Canvas);
  Lay(u"one<br>two<br>three", {0, 0, 1000, 1000});
  const THTMLRect second = Item(1, 0).ClipRect();
  Drawer.Draw(canvas, {0, 0, 1000, 1000}, second);
  ASSERT_EQ(canvas.Texts.size(), 1u);
  EXPECT_EQ(canvas.Texts[0].Text, u"two");
}

TEST_F(HtmlDrawerTest, TheFocusedLinkIsFramedOncePerVisiblePiece) {
  Testing::TRecordingCanvas canvas(*Canvas);
  Drawer.SetWordWrap(true);
  const THTMLRect display{0, 0, Width(u"aaa"), 1000}, all{0, 0, 1000, 1000};
  Lay(u"<a href=x>aaa aaa</a> <a href=y>aaa</a>", display);
  Drawer.DrawFocusRect = true;
  Drawer.FocusedLinkID = 1;
  Drawer.Draw(canvas, display, all);
  ASSERT_EQ(canvas.FocusRects.size(), 2u);
  const THTMLRect first = Item(0, 0).ClipRect();
  EXPECT_EQ(canvas.FocusRects[0], (THTMLRect{first.Left - 1, first.Top - 1, first.Right + 1, first.Bottom + 1}));

  Drawer.SetText(u"<a href=x>other</a>");
  Drawer.OverLinkID = Drawer.PressLinkID = 1;
  Drawer.Draw(canvas, display, all);
  EXPECT_EQ(Drawer.FocusedLinkID, -1);
  EXPECT_EQ(Drawer.OverLinkID, -1);
  EXPECT_EQ(Drawer.PressLinkID, -1);
}

TEST_F(HtmlDrawerTest, LinkNumbersWalkForwardAndBack) {
  Lay(u"<a href=a>1</a> <a href=b>2</a> <a href=c>3</a>", {0, 0, 1000, 100});
  EXPECT_TRUE(Drawer.HyperlinksExists());
  EXPECT_EQ(Drawer.GetNextHyperlinkID(-1), 1);
  EXPECT_EQ(Drawer.GetNextHyperlinkID(2), 3);
  EXPECT_EQ(Drawer.GetNextHyperlinkID(3), -1);
  EXPECT_EQ(Drawer.GetPrevHyperlinkID(1), -1);
  EXPECT_EQ(Drawer.GetPrevHyperlinkID(100), 3);
  ASSERT_NE(Drawer.LinksByID(2), nullptr);
  EXPECT_EQ(Drawer.LinksByID(2)->HRef(), u"b");
  EXPECT_EQ(Drawer.GetItemByLinkID(3), &Item(0, 4));

  Drawer.SetText(u"none");
  EXPECT_FALSE(Drawer.HyperlinksExists());
}

// ---- What a reader of the screen gets ----

// The shown text reads as the caption reads: without markup, with one blank
// wherever the layout or the caption broke a line at blanks, none where a
// word was split or a line broken at "/", only the lines inside the display
// and an ellipsis where the layout cut the text.
TEST_F(HtmlDrawerTest, AReaderGetsTheShownTextWithBlanksWhereLinesBrokeAtBlanks) {
  struct TCase {
    const char* Name;
    std::u16string Text;
    std::u16string WidthOf;  // the display's width; empty: wide
    int32_t Lines;           // the display's height in lines; 0: tall
    TAxEllipsisPosition Ellipsis;
    std::u16string Shown;
  };
  using enum TAxEllipsisPosition;
  const TCase cases[] = {
      {"markup left out, runs joined", u"This software was <b>checked</b> by", u"", 0, epNone,
       u"This software was checked by"},
      {"wrapped at a blank", u"aaa bbb ccc", u"aaa bbb", 0, epNone, u"aaa bbb ccc"},
      {"two blanks at a wrap read as one", u"aaa  bbb", u"aaa ", 0, epNone, u"aaa bbb"},
      {"wrapped at a slash", u"and/or", u"and/", 0, epNone, u"and/or"},
      {"a word split over lines", u"abcdefgh", u"abcde", 0, epNone, u"abcdefgh"},
      {"a line break of the caption", u"one<br>two", u"", 0, epNone, u"one two"},
      {"a line break after a blank", u"one <br>two", u"", 0, epNone, u"one two"},
      {"a link wrapped over lines", u"aa <a href=\"x\">aa aa aa</a> aa", u"aa aa", 0, epNone, u"aa aa aa aa aa"},
      {"a divider", u"a<div>b", u"", 0, epNone, u"a | b"},
      {"lines below the display", u"one<br>two<br>three", u"", 2, epNone, u"one two"},
      {"lines cut off with an ellipsis", u"one<br>two<br>three", u"", 2, epEndEllipsis, u"one two\u2026"},
  };
  const int32_t line = LineHeight();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Drawer.SetWordWrap(!c.WidthOf.empty());
    Drawer.SetEllipsisPosition(c.Ellipsis);
    Lay(c.Text, {0, 0, c.WidthOf.empty() ? 1000 : Width(c.WidthOf), c.Lines ? c.Lines * line : 1000});
    EXPECT_EQ(Drawer.ShownText(*Canvas), c.Shown);
  }

  // A run that does not fit moves whole to the next line: no blank.
  Drawer.SetEllipsisPosition(epNone);
  Drawer.SetWordWrap(true);
  Lay(u"<b>xx</b>abcdefgh", {0, 0, Width(u"xx", 1) + Width(u"abcdefgh") - 1, 1000});
  ASSERT_EQ(Lines().size(), 2u);
  EXPECT_EQ(Drawer.ShownText(*Canvas), u"xxabcdefgh");

  // A line cut at its side shows the characters up to the ellipsis; centred,
  // it is cut at both sides.
  const std::u16string text = u"abcdefghijklmnop";
  const THTMLRect display{5, 0, 5 + Width(u"abcdefgh"), 100};
  Drawer.SetWordWrap(false);
  Drawer.SetEllipsisPosition(epWordEllipsis);
  Lay(text, display);
  const int32_t right = Item(0, 0).ClipRect().Right;
  size_t shown = 0;
  while (shown < text.size() && display.Left + Extent(text, shown + 1) <= right) ++shown;
  EXPECT_EQ(Drawer.ShownText(*Canvas), text.substr(0, shown) + u"\u2026");
  Drawer.SetAlignment(TAlignment::taCenter);
  Lay(text + text, display);
  const std::u16string centred = Drawer.ShownText(*Canvas);
  EXPECT_EQ(centred.front(), u'\u2026');
  EXPECT_EQ(centred.back(), u'\u2026');
  EXPECT_NE((text + text).find(centred.substr(1, centred.size() - 2)), std::u16string::npos);
}

// A link's text is the caption's, whole even where the layout cut it.
TEST_F(HtmlDrawerTest, ALinksTextIsItsWholeText) {
  Drawer.SetEllipsisPosition(TAxEllipsisPosition::epWordEllipsis);
  Lay(u"<a href=\"x\">aa aa aa</a> <a href=\"y\">one<br>two</a> <a href=\"z\"><b>bo</b>ld</a>",
      {0, 0, Width(u"aa a"), 1000});
  EXPECT_EQ(Drawer.LinkText(1), u"aa aa aa");
  EXPECT_EQ(Drawer.LinkText(2), u"one two");
  EXPECT_EQ(Drawer.LinkText(3), u"bold");
  EXPECT_EQ(Drawer.LinkText(4), u"");
}

}  // namespace
