// The labels' markup parser: tags, attributes and the lines of styled runs.
// Free of any system header: the same file runs under Wine and, with
// sanitizers, on the build machine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Project.VCL.AxLabel.HtmlParser.h"
#include "ShowText.h"
#include "Velqora.System.Win.Internet.Entities.h"

using namespace Project::VCL;
using Testing::Show;
using Velqora::DecodeEntities;

namespace {

using Style = TAxLabelDisplayStyle;
using Align = TVerticalBlockAlign;
using TagType = TAxHTMLParser::THTMLTagType;

// The lines of a parse in a short form: each line in braces, each text token
// in brackets followed by its style letters (b, i, u) and "@" and its link
// when it has one, each divider as "|" (with "@" and its link).
//   "{[This software was ][checked]b[ by]}"
std::string Dump(const TAxHTMLParser& AParser) {
  std::string result;
  for (const THTMLTokenLine& line : AParser.Tokens()) {
    result += '{';
    for (const auto& token : line) {
      if (token->IsDivider()) {
        result += '|';
      } else {
        const auto& text = static_cast<const THTMLTextToken&>(*token);
        result += '[' + Show(text.Text) + ']';
        if (text.Style & 1) result += 'b';
        if (text.Style & 2) result += 'i';
        if (text.Style & 4) result += 'u';
      }
      if (token->GlobalLinkID() != -1) result += '@' + std::to_string(token->GlobalLinkID());
    }
    result += '}';
  }
  return result;
}

const TAxHTMLParser::TFontData DefaultFont{u"Tahoma", 0x123456, 0, -11};

std::string Parsed(Style AStyle, std::u16string_view ACaption) {
  TAxHTMLParser parser;
  parser.Parse(AStyle, DefaultFont, ACaption);
  return Dump(parser);
}

// The text tokens of a parse, in order, across lines.
std::vector<const THTMLTextToken*> TextTokens(const TAxHTMLParser& AParser) {
  std::vector<const THTMLTextToken*> result;
  for (const THTMLTokenLine& line : AParser.Tokens())
    for (const auto& token : line)
      if (!token->IsDivider()) result.push_back(static_cast<const THTMLTextToken*>(token.get()));
  return result;
}

// ---------------------------------------------------------------------------
// Tags and attributes

TEST(ParseTag, TakesTheFirstTagNameThatStartsTheTag) {
  const struct {
    const char16_t* Tag;
    TagType Type;
    bool IsEnd;
    const char16_t* Attr;
  } cases[] = {
      {u"<br/>", TagType::tagtNewLine, false, u""},
      {u"<brown>", TagType::tagtNewLine, false, u""},
      {u"<font color=1 >", TagType::tagtFont, false, u"color=1"},
      {u"<fontface name=x>", TagType::tagtFont, false, u"face name=x"},
      {u"<div>", TagType::tagtDivider, false, u""},
      {u"</div>", TagType::tagtDivider, true, u""},
      {u"<a href=\"x\">", TagType::tagtLink, false, u"href=\"x\""},
      {u"<abbr>", TagType::tagtLink, false, u"bbr"},
      {u"<b>", TagType::tagtBold, false, u""},
      {u"<big>", TagType::tagtBold, false, u""},
      {u"<body class=x>", TagType::tagtBold, false, u""},  // only font and link tags keep the rest
      {u"<b/>", TagType::tagtBold, false, u""},
      {u"<img src=x>", TagType::tagtItalic, false, u""},
      {u"<ul>", TagType::tagtUnderline, false, u""},
      {u"  <  /  B  >  ", TagType::tagtBold, true, u""},
      {u"</FONT>", TagType::tagtFont, true, u""},
      {u"\t<\tI\t>", TagType::tagtItalic, false, u""},
      {u"u", TagType::tagtUnderline, false, u""},  // no brackets needed
      {u"<br", TagType::tagtNewLine, false, u""},  // a tag that ran to the end
      {u"<p>", TagType::tagtNone, false, u""},
      {u"<>", TagType::tagtNone, false, u""},
      {u"</>", TagType::tagtNone, true, u""},
      {u"<", TagType::tagtNone, false, u""},
      {u"", TagType::tagtNone, false, u""},
      {u"<//b>", TagType::tagtNone, true, u""},
      {u"< font>", TagType::tagtFont, false, u""},
      {u"<\u0130>", TagType::tagtNone, false, u""},  // a capital I with dot is no "i"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Tag));
    TAxHTMLParser::THTMLTagData tag = TAxHTMLParser::ParseTag(c.Tag);
    EXPECT_EQ(tag.TagType, c.Type);
    EXPECT_EQ(tag.IsEnd, c.IsEnd);
    EXPECT_EQ(tag.Attr, c.Attr);
  }
}

TEST(NextAttribute, TakesNameValuePairsOffTheFront) {
  using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;
  const struct {
    const char16_t* Attr;
    Pairs Expected;
    const char16_t* Rest;  // what is left when no pair is
  } cases[] = {
      {u"color=#FF height=3", {{u"color", u"#FF"}, {u"height", u"3"}}, u""},
      {u"name = \"Courier New\"  height=2", {{u"name", u"Courier New"}, {u"height", u"2"}}, u""},
      {u"name=\"Arial", {{u"name", u"Arial"}}, u""},  // no closing quote: to the end
      {u"name=Arial", {{u"name", u"Arial"}}, u""},
      {u"a=\" x \"b=1", {{u"a", u"x"}, {u"b", u"1"}}, u""},
      {u"a=\"\" b=1", {{u"a", u""}, {u"b", u"1"}}, u""},
      {u"a=1\tb=2", {{u"a", u"1\tb=2"}}, u""},  // only a space ends a value
      {u"target href=x", {{u"target href", u"x"}}, u""},
      {u"href='a b'", {{u"href", u"'a"}}, u"b'"},  // single quotes mean nothing
      {u"=x", {{u"", u"x"}}, u""},
      {u"a=", {{u"a", u""}}, u""},
      {u"a==b", {{u"a", u"=b"}}, u""},
      {u"a=b=c d=e", {{u"a", u"b=c"}, {u"d", u"e"}}, u""},
      {u"noequals", {}, u"noequals"},
      {u"", {}, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Attr));
    std::u16string attr = c.Attr, name, value;
    Pairs pairs;
    while (TAxHTMLParser::NextAttribute(attr, name, value)) pairs.emplace_back(name, value);
    EXPECT_EQ(pairs, c.Expected);
    EXPECT_EQ(attr, c.Rest);
  }
}

// ---------------------------------------------------------------------------
// The parser

TEST(HtmlParser, EmptyCaptionGivesNoLines) {
  for (Style style : {Style::ldsPlain, Style::ldsLink, Style::ldsHTML}) {
    SCOPED_TRACE(int(style));
    TAxHTMLParser parser;
    parser.Parse(style, DefaultFont, u"");
    EXPECT_TRUE(parser.Tokens().empty());
    if (style == Style::ldsLink) {
      ASSERT_EQ(parser.Links().size(), 1u);
      EXPECT_EQ(parser.Links()[0]->GlobalLinkID(), 1);
      EXPECT_EQ(parser.Links()[0]->HRef(), u"link");
    } else {
      EXPECT_TRUE(parser.Links().empty());
    }
  }
}

TEST(HtmlParser, GivesLinesOfStyledRuns) {
  const struct {
    Style DisplayStyle;
    const char16_t* Caption;
    const char* Expected;
  } cases[] = {
      // The product's captions.
      {Style::ldsHTML, u"This software was <b>checked</b> by", "{[This software was ][checked]b[ by]}"},
      {Style::ldsHTML, u"Please click <b>Next</b> to proceed", "{[Please click ][Next]b[ to proceed]}"},
      {Style::ldsHTML, u"Read <a href=\"http://x/terms\">Terms</a> and <a href=\"http://x/privacy\">Privacy</a>.",
       "{[Read ][Terms]@1[ and ][Privacy]@2[.]}"},
      // Outside ldsHTML only "<br" opens a tag.
      {Style::ldsPlain, u"<b>bold</b> & <i>", "{[<b>bold</b> & <i>]}"},
      {Style::ldsPlain, u"a < b", "{[a < b]}"},
      {Style::ldsPlain, u"a<BR>b<bR/>c", "{[a]}{[b]}{[c]}"},
      {Style::ldsPlain, u"a<brown> fox>b", "{[a]}{[ fox>b]}"},
      {Style::ldsPlain, u"a<br", "{[a]}{}"},
      {Style::ldsPlain, u"a<b r>b", "{[a<b r>b]}"},
      {Style::ldsPlain, u"&lt;b&gt;&amp;", "{[<b>&]}"},
      {Style::ldsLink, u"<a href=x>y</a><br>z", "{[<a href=x>y</a>]@1}{[z]@1}"},
      // Line breaks, in every style: CR LF once, CR and LF alone too.
      {Style::ldsHTML, u"a\r\nb", "{[a]}{[b]}"},
      {Style::ldsHTML, u"a\rb", "{[a]}{[b]}"},
      {Style::ldsHTML, u"a\nb", "{[a]}{[b]}"},
      {Style::ldsHTML, u"a\n\rb", "{[a]}{}{[b]}"},
      {Style::ldsHTML, u"a\r\r\nb", "{[a]}{}{[b]}"},
      {Style::ldsPlain, u"a\r\nb<i>", "{[a]}{[b<i>]}"},
      {Style::ldsLink, u"a\nb", "{[a]@1}{[b]@1}"},
      // A leading break opens no empty line, each further one does; each
      // trailing break leaves one.
      {Style::ldsHTML, u"\r\nabc", "{[abc]}"},
      {Style::ldsHTML, u"\r\n\r\nabc", "{}{[abc]}"},
      {Style::ldsHTML, u"abc\r\n", "{[abc]}{}"},
      {Style::ldsHTML, u"abc<br><br>", "{[abc]}{}{}"},
      {Style::ldsHTML, u"\n", "{}"},
      {Style::ldsHTML, u"<b></b>", ""},
      // Text keeps every character.
      {Style::ldsHTML, u"a\tb  c ", "{[a\\u0009b  c ]}"},
      {Style::ldsHTML, u"\u00A0\U0001F600", "{[\\u00A0\\uD83D\\uDE00]}"},
      // Entities: in text and tags alike, decoded once, never markup.
      {Style::ldsHTML, u"&amp;lt;b&amp;gt;", "{[&lt;b&gt;]}"},
      {Style::ldsHTML, u"&lt;b&gt;x", "{[<b>x]}"},
      {Style::ldsHTML, u"&#65;&#x41;&AMP;", "{[AA&]}"},
      {Style::ldsHTML, u"<&#98;>x</&#x62;>y", "{[x]b[y]}"},
      {Style::ldsHTML, u"&#0;&#xD800;&#x110000;&#-1;", "{[&#0;&#xD800;&#x110000;&#-1;]}"},
      {Style::ldsHTML, u"&#x1F600;", "{[\\uD83D\\uDE00]}"},
      {Style::ldsHTML, u"&amp<b>;x", "{[&amp][;x]b}"},  // a reference never spans a tag
      // Styles nest; any end tag takes back the last saved state.
      {Style::ldsHTML, u"<b><i>x</i>y</b>z", "{[x]bi[y]b[z]}"},
      {Style::ldsHTML, u"<u>x</b>y", "{[x]u[y]}"},
      {Style::ldsHTML, u"</b>x<b>y</b></b>z", "{[x][y]b[z]}"},
      {Style::ldsHTML, u"<b>x<font height=3>y</b>z</font>w", "{[x]b[y]b[z]b[w]}"},
      {Style::ldsHTML, u"<big>a</big><img>b</img><ul>c", "{[a]b[b]i[c]u}"},
      {Style::ldsHTML, u"<p>x</p><>y</>", "{[x][y]}"},
      {Style::ldsHTML, u"a<b", "{[a]}"},  // the tag runs to the end
      {Style::ldsHTML, u"a>b", "{[a>b]}"},
      // Dividers, start and end tag alike.
      {Style::ldsHTML, u"a<div>b</div>c", "{[a]|[b]|[c]}"},
      {Style::ldsHTML, u"<div>", "{|}"},
      // Links: numbered in order; one opened inside another replaces it, and
      // its end tag leaves no link open.
      {Style::ldsHTML, u"<a href=1>x<a href=2>y</a>z", "{[x]@1[y]@2[z]}"},
      {Style::ldsHTML, u"<a>x<br>y<div></a>z", "{[x]@1}{[y]@1|@1[z]}"},
      {Style::ldsHTML, u"<abbr>x", "{[x]@1}"},
      // A tag ends at its first ">", quotes or not.
      {Style::ldsHTML, u"<a href=\"x>y\">z", "{[y\">z]@1}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Caption));
    EXPECT_EQ(Parsed(c.DisplayStyle, c.Caption), c.Expected);
  }
}

TEST(HtmlParser, RunsTakeTheCurrentFont) {
  const struct {
    const char16_t* Caption;  // the text token "x" is looked at
    std::u16string FontName;
    uint32_t Color;
    int32_t Height;
    Align VerticalAlign;
  } cases[] = {
      {u"x", u"Tahoma", 0x123456, -11, Align::vbaBottom},
      // "#RRGGBB" as written reads as the number 0xRRGGBB, whose low byte is
      // red here: "#0000FF" is pure red, "#FF0000" pure blue.
      {u"<font color=\"#0000FF\">x", u"Tahoma", 0x0000FF, -11, Align::vbaBottom},
      {u"<font color=#FF0000>x", u"Tahoma", 0xFF0000, -11, Align::vbaBottom},
      {u"<font color=$00ff00>x", u"Tahoma", 0x00FF00, -11, Align::vbaBottom},
      {u"<font color=0X0000FF>x", u"Tahoma", 0x0000FF, -11, Align::vbaBottom},
      {u"<font color=255>x", u"Tahoma", 255, -11, Align::vbaBottom},
      {u"<font color=&quot;#0000ff&quot;>x", u"Tahoma", 0x0000FF, -11, Align::vbaBottom},
      {u"<font color=red>x", u"Tahoma", 0x123456, -11, Align::vbaBottom},
      {u"<font color=\"#GG0000\">x", u"Tahoma", 0x123456, -11, Align::vbaBottom},
      {u"<font color=\"# 0000FF\">x", u"Tahoma", 0x123456, -11, Align::vbaBottom},
      {u"<font height=-20>x", u"Tahoma", 0x123456, -20, Align::vbaBottom},
      {u"<font height=\" 14 \">x", u"Tahoma", 0x123456, 14, Align::vbaBottom},
      {u"<font height=big>x", u"Tahoma", 0x123456, -11, Align::vbaBottom},
      {u"<font height=1 height=2>x", u"Tahoma", 0x123456, 2, Align::vbaBottom},
      {u"<font size=3 height=4>x", u"Tahoma", 0x123456, 4, Align::vbaBottom},
      {u"<FONT HEIGHT=5 Color=1>x", u"Tahoma", 1, 5, Align::vbaBottom},
      {u"<font name=\"Courier New\">x", u"Courier New", 0x123456, -11, Align::vbaBottom},
      {u"<font name=Courier New>x", u"Courier", 0x123456, -11, Align::vbaBottom},
      {u"<font name=&quot;Courier New&quot;>x", u"Courier New", 0x123456, -11, Align::vbaBottom},
      {u"<font name=\"Arial>x", u"Arial", 0x123456, -11, Align::vbaBottom},  // no closing quote
      {u"<font name='Arial'>x", u"'Arial'", 0x123456, -11, Align::vbaBottom},
      {u"<fontface name=Arial>x", u"Tahoma", 0x123456, -11, Align::vbaBottom},
      {u"<font vertical-block-align=top>x", u"Tahoma", 0x123456, -11, Align::vbaTop},
      {u"<font vertical-block-align=CENTER>x", u"Tahoma", 0x123456, -11, Align::vbaCenter},
      {u"<font vertical-block-align=top vertical-block-align=middle>x", u"Tahoma", 0x123456, -11,
       Align::vbaBottom},
      // The alignment is not saved with the font state.
      {u"<font vertical-block-align=top height=1>a</font>x", u"Tahoma", 0x123456, -11, Align::vbaTop},
      // A closing b after a font then a b takes back only the bold.
      {u"<font height=-20 color=1><b>a</b>x", u"Tahoma", 1, -20, Align::vbaBottom},
      {u"<font height=-20><b>a</b>b</font>x", u"Tahoma", 0x123456, -11, Align::vbaBottom},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Caption));
    TAxHTMLParser parser;
    parser.Parse(Style::ldsHTML, DefaultFont, c.Caption);
    auto tokens = TextTokens(parser);
    ASSERT_FALSE(tokens.empty());
    const THTMLTextToken& x = *tokens.back();
    EXPECT_EQ(x.Text, u"x");
    EXPECT_EQ(x.FontName, c.FontName);
    EXPECT_EQ(x.Color, c.Color);
    EXPECT_EQ(x.FontHeight(), c.Height);
    EXPECT_EQ(x.VerticalBlockAlign, c.VerticalAlign);
    EXPECT_EQ(x.Style, 0);
  }
}

TEST(HtmlParser, StylesAddToTheDefaultFontsStyle) {
  TAxHTMLParser::TFontData font = DefaultFont;
  font.Style = 8;  // strikeout
  TAxHTMLParser parser;
  parser.Parse(Style::ldsHTML, font, u"a<b><u>b</u></b>c");
  auto tokens = TextTokens(parser);
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0]->Style, 8);
  EXPECT_EQ(tokens[1]->Style, 8 | 1 | 4);
  EXPECT_EQ(tokens[2]->Style, 8);
}

TEST(HtmlParser, DividersTakeTheFontHeightAndLink) {
  TAxHTMLParser parser;
  parser.Parse(Style::ldsHTML, DefaultFont, u"<div><font height=-30><a><div>");
  ASSERT_EQ(parser.Tokens().size(), 1u);
  const THTMLTokenLine& line = parser.Tokens()[0];
  ASSERT_EQ(line.size(), 2u);
  EXPECT_TRUE(line[0]->IsDivider());
  EXPECT_EQ(line[0]->FontHeight(), -11);
  EXPECT_EQ(line[0]->GlobalLinkID(), -1);
  EXPECT_TRUE(line[1]->IsDivider());
  EXPECT_EQ(line[1]->FontHeight(), -30);
  EXPECT_EQ(line[1]->GlobalLinkID(), 1);
}

TEST(HtmlParser, LinksTakeTheirTargets) {
  const struct {
    Style DisplayStyle;
    const char16_t* Caption;
    std::vector<std::u16string> HRefs;  // of links 1, 2, ...
  } cases[] = {
      {Style::ldsHTML, u"<a href=\"http://x/?a=1&amp;b=2\">x</a>", {u"http://x/?a=1&b=2"}},
      {Style::ldsHTML, u"<a href=http://x/?a=1>x</a>", {u"http://x/?a=1"}},
      {Style::ldsHTML, u"<a HREF=&quot;a b&quot; title=c>x</a>", {u"a b"}},
      {Style::ldsHTML, u"<a href=1 href=2>x</a>", {u"2"}},
      {Style::ldsHTML, u"<a target href=x>y</a>", {u""}},  // the name is "target href"
      {Style::ldsHTML, u"<a>x</a><a href=b>y</a>", {u"", u"b"}},
      {Style::ldsHTML, u"</a>x", {}},
      {Style::ldsLink, u"<a href=x>y</a>", {u"link"}},
      {Style::ldsLink, u"x", {u"link"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Caption));
    TAxHTMLParser parser;
    parser.Parse(c.DisplayStyle, DefaultFont, c.Caption);
    std::vector<std::u16string> hrefs;
    for (size_t i = 0; i < parser.Links().size(); ++i) {
      EXPECT_EQ(parser.Links()[i]->GlobalLinkID(), int32_t(i + 1));
      hrefs.push_back(parser.Links()[i]->HRef());
    }
    EXPECT_EQ(hrefs, c.HRefs);
  }
}

TEST(HtmlParser, EachParseStartsAfresh) {
  TAxHTMLParser parser;
  // Left open: bold, a font, a link, an alignment.
  parser.Parse(Style::ldsHTML, DefaultFont, u"<a href=x><b><font height=1 vertical-block-align=top>a\nb");
  EXPECT_EQ(parser.Tokens().size(), 2u);
  EXPECT_EQ(parser.Links().size(), 1u);

  parser.Parse(Style::ldsHTML, DefaultFont, u"c</b></font>");
  EXPECT_EQ(Dump(parser), "{[c]}");
  EXPECT_TRUE(parser.Links().empty());
  auto tokens = TextTokens(parser);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0]->FontHeight(), -11);
  EXPECT_EQ(tokens[0]->VerticalBlockAlign, Align::vbaBottom);

  parser.Parse(Style::ldsLink, DefaultFont, u"");
  EXPECT_TRUE(parser.Tokens().empty());
  EXPECT_EQ(parser.Links().size(), 1u);
}

// A long caption is read in time linear in its length: line breaks, runs,
// tags, attributes and references each cost a quadratic parser minutes at
// this size.
TEST(HtmlParser, LongCaptionsTakeLinearTime) {
  const std::u16string piece = u"ab&amp;\r\n<b>c</b><font color=#0000FF height=2 name=x>d</font>\n";
  const size_t repeats = 1 << 14;  // about a million characters
  std::u16string caption;
  for (size_t i = 0; i < repeats; ++i) caption += piece;
  std::u16string attributes = u"<font";
  for (size_t i = 0; i < repeats * 4; ++i) attributes += u" a=1";
  attributes += u">x";

  auto start = std::chrono::steady_clock::now();
  TAxHTMLParser parser;
  parser.Parse(Style::ldsHTML, DefaultFont, caption);
  EXPECT_EQ(parser.Tokens().size(), 2 * repeats + 1);
  parser.Parse(Style::ldsHTML, DefaultFont, attributes);
  EXPECT_EQ(Dump(parser), "{[x]}");
  parser.Parse(Style::ldsPlain, DefaultFont, caption);
  EXPECT_EQ(parser.Tokens().size(), 2 * repeats + 1);
  std::u16string references;
  for (size_t i = 0; i < repeats * 8; ++i) references += u"&lt;&#x1F600;";
  EXPECT_EQ(DecodeEntities(references).size(), repeats * 8 * 3);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
