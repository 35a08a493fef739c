#include "Project.VCL.AxLabel.HtmlParser.h"

#include <iterator>

#include "Velqora.System.SysUtils.Text.h"
#include "Velqora.System.Win.Internet.Entities.h"

namespace Project::VCL {

using Velqora::DecodeEntities;
using Velqora::SameTextAscii;
using Velqora::StartsTextAscii;
using Velqora::TrimView;
using Velqora::TryStrToInt;

namespace {

// Tag names by THTMLTagType ordinal from 1; compared in this order, so "br"
// is found before "b" and the first name that starts a tag wins ("brown" is
// a line break, "abbr" a link).
constexpr THTMLStringView TagNames[] = {u"br", u"font", u"div", u"a", u"b", u"i", u"u"};
// Alignment words by TVerticalBlockAlign ordinal.
constexpr THTMLStringView VerticalBlockAlignNames[] = {u"top", u"bottom", u"center"};
constexpr THTMLStringView LineBreak = u"<br/>";
// The target of the one link the whole text is in ldsLink.
constexpr THTMLStringView WholeTextLink = u"link";

constexpr uint8_t StyleBold = 1, StyleItalic = 2, StyleUnderline = 4;

// NextAttribute on views: ARest loses the pair, AName and AValue are views
// into it. The parser's own loops use this form, so that a tag with many
// attributes is read in time linear in its length.
bool TakeAttribute(THTMLStringView& ARest, THTMLStringView& AName, THTMLStringView& AValue) {
  size_t equals = ARest.find(u'=');
  if (equals == ARest.npos) return false;
  AName = TrimView(ARest.substr(0, equals));
  THTMLStringView rest = TrimView(ARest.substr(equals + 1));
  THTMLStringView value;
  if (rest.starts_with(u'"')) {
    size_t quote = rest.find(u'"', 1);
    value = rest.substr(1, quote == rest.npos ? rest.npos : quote - 1);
    rest = quote == rest.npos ? THTMLStringView() : rest.substr(quote + 1);
  } else {
    size_t space = rest.find(u' ');
    value = rest.substr(0, space);
    rest = space == rest.npos ? THTMLStringView() : rest.substr(space + 1);
  }
  AValue = TrimView(value);
  ARest = TrimView(rest);
  return true;
}

// Empties a text when a parse ends, by whatever path.
class TClearOnExit {
public:
  explicit TClearOnExit(THTMLString& AText) : FText(AText) {}
  TClearOnExit(const TClearOnExit&) = delete;
  TClearOnExit& operator=(const TClearOnExit&) = delete;
  ~TClearOnExit() {
    FText.clear();
    FText.shrink_to_fit();
  }

private:
  THTMLString& FText;
};

}  // namespace

void TAxHTMLParser::Parse(TAxLabelDisplayStyle AStyle, const TFontData& ADefaultFont, THTMLStringView AStr) {
  FDisplayStyle = AStyle;
  FParseStr.assign(AStr);
  TClearOnExit clear(FParseStr);

  FSaveFontData.clear();
  FLinks.clear();
  FTokens.clear();
  FLastLink = nullptr;
  FCurrentChar = FStartChar = 0;
  if (FDisplayStyle == TAxLabelDisplayStyle::ldsLink) {
    THTMLLinkInfo& link = AddLink();
    link.SetHRef(THTMLString(WholeTextLink));
    FLastLink = &link;
  }
  if (FParseStr.empty()) return;

  FFont.FontName = std::make_shared<const THTMLString>(ADefaultFont.FontName);
  FFont.Color = ADefaultFont.Color;
  FFont.Style = ADefaultFont.Style;
  FFont.Height = ADefaultFont.Height;
  FVerticalBlockAlign = TVerticalBlockAlign::vbaBottom;

  NormalizeLineBreaks();

  while (FCurrentChar < FParseStr.size()) {
    if (IsTagStart()) {
      AddTextToken(FlushText());
      ReadTag();
      THTMLTagData tag = ParseTag(FlushText());
      switch (tag.TagType) {
        case THTMLTagType::tagtNone:
          break;
        case THTMLTagType::tagtNewLine:
          AddLine();
          break;
        case THTMLTagType::tagtFont:
          if (tag.IsEnd) {
            PopFont();
          } else {
            PushFont();
            ApplyFontTag(tag.Attr);
          }
          break;
        case THTMLTagType::tagtDivider:
          AddDividerToken();
          break;
        case THTMLTagType::tagtLink:
          if (tag.IsEnd) {
            FLastLink = nullptr;
          } else {
            FLastLink = &AddLink();
            ApplyLinkTag(tag.Attr);
          }
          break;
        case THTMLTagType::tagtBold:
        case THTMLTagType::tagtItalic:
        case THTMLTagType::tagtUnderline:
          if (tag.IsEnd) {
            PopFont();
          } else {
            ApplyStyleTag(tag.TagType == THTMLTagType::tagtBold     ? StyleBold
                          : tag.TagType == THTMLTagType::tagtItalic ? StyleItalic
                                                                    : StyleUnderline);
          }
          break;
      }
    } else {
      // No tag starts before the next "<": the run goes on up to it.
      size_t next = FParseStr.find(u'<', FCurrentChar + 1);
      FCurrentChar = next == FParseStr.npos ? FParseStr.size() : next;
    }
    if (FCurrentChar >= FParseStr.size()) AddTextToken(FlushText());
  }
  FSaveFontData.clear();
  FFont.FontName.reset();
}

// CR LF, then a lone CR, then a lone LF become "<br/>": the same as
// replacing each kind in turn, since the replacement holds neither. One
// pass into a new text.
void TAxHTMLParser::NormalizeLineBreaks() {
  if (FParseStr.find_first_of(u"\r\n") == FParseStr.npos) return;
  THTMLString result;
  result.reserve(FParseStr.size() + FParseStr.size() / 2);
  for (size_t i = 0; i < FParseStr.size(); ++i) {
    char16_t c = FParseStr[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < FParseStr.size() && FParseStr[i + 1] == u'\n') ++i;
      result += LineBreak;
    } else {
      result += c;
    }
  }
  FParseStr = std::move(result);
}

// In ldsHTML every "<" opens a tag; in the other styles only "<br" (any
// case) does, and every other "<" is text.
bool TAxHTMLParser::IsTagStart() const {
  if (FParseStr[FCurrentChar] != u'<') return false;
  if (FDisplayStyle == TAxLabelDisplayStyle::ldsHTML) return true;
  return StartsTextAscii(u"<br", THTMLStringView(FParseStr).substr(FCurrentChar));
}

// The text from the start position up to the scan position, entity-decoded;
// the start moves up to the scan position.
THTMLString TAxHTMLParser::FlushText() {
  size_t end = FCurrentChar < FParseStr.size() ? FCurrentChar : FParseStr.size();
  size_t start = FStartChar < end ? FStartChar : end;
  FStartChar = end;
  return DecodeEntities(THTMLStringView(FParseStr).substr(start, end - start));
}

// From the "<" through the first ">" after it, or to the end of the text.
void TAxHTMLParser::ReadTag() {
  size_t close = FParseStr.find(u'>', FCurrentChar);
  FCurrentChar = close == FParseStr.npos ? FParseStr.size() : close + 1;
}

TAxHTMLParser::THTMLTagData TAxHTMLParser::ParseTag(THTMLStringView ATag) {
  THTMLTagData result;
  THTMLStringView tag = TrimView(ATag);
  if (tag.starts_with(u'<')) tag = TrimView(tag.substr(1));
  if (tag.ends_with(u'>')) tag = TrimView(tag.substr(0, tag.size() - 1));
  if (tag.starts_with(u'/')) {
    result.IsEnd = true;
    tag = TrimView(tag.substr(1));
  }
  for (size_t i = 0; i < std::size(TagNames); ++i) {
    if (StartsTextAscii(TagNames[i], tag)) {
      result.TagType = THTMLTagType(i + 1);
      if (result.TagType == THTMLTagType::tagtFont || result.TagType == THTMLTagType::tagtLink)
        result.Attr = TrimView(tag.substr(TagNames[i].size()));
      break;
    }
  }
  return result;
}

bool TAxHTMLParser::NextAttribute(THTMLString& AAttr, THTMLString& AName, THTMLString& AValue) {
  THTMLStringView rest = AAttr, name, value;
  if (!TakeAttribute(rest, name, value)) return false;
  AName = name;
  AValue = value;
  AAttr = THTMLString(rest);  // a copy first: rest is a view into AAttr
  return true;
}

void TAxHTMLParser::AddTextToken(THTMLString AText) {
  if (AText.empty()) return;
  auto token = std::make_unique<THTMLTextToken>();
  token->Text = std::move(AText);
  token->FontName = *FFont.FontName;
  token->Color = FFont.Color;
  token->Style = FFont.Style;
  token->SetFontHeight(FFont.Height);
  token->VerticalBlockAlign = FVerticalBlockAlign;
  token->SetGlobalLinkID(FLastLink ? FLastLink->GlobalLinkID() : -1);
  AddToken(std::move(token));
}

void TAxHTMLParser::AddDividerToken() {
  auto token = std::make_unique<THTMLDividerToken>();
  token->SetFontHeight(FFont.Height);
  token->SetGlobalLinkID(FLastLink ? FLastLink->GlobalLinkID() : -1);
  AddToken(std::move(token));
}

// A token before any line break opens the first line.
void TAxHTMLParser::AddToken(std::unique_ptr<THTMLToken> AToken) {
  if (FTokens.empty()) AddLine();
  FTokens.back().push_back(std::move(AToken));
}

void TAxHTMLParser::AddLine() { FTokens.emplace_back(); }

THTMLLinkInfo& TAxHTMLParser::AddLink() {
  int32_t id = FLinks.empty() ? 1 : FLinks.back()->GlobalLinkID() + 1;
  FLinks.push_back(std::make_unique<THTMLLinkInfo>(id));
  return *FLinks.back();
}

// Later attributes override earlier ones; a value that cannot be read
// leaves its setting as it was.
void TAxHTMLParser::ApplyFontTag(THTMLStringView AAttr) {
  THTMLStringView rest = AAttr, name, value;
  while (TakeAttribute(rest, name, value)) {
    if (SameTextAscii(name, u"color")) {
      // "#RRGGBB" as written in the markup is read as the hexadecimal
      // number it spells: the low byte, the last two digits, is red.
      THTMLString text(value);
      for (char16_t& c : text)
        if (c == u'#') c = u'$';
      int32_t color = 0;
      if (TryStrToInt(Velqora::LowerCaseAscii(TrimView(text)), color)) FFont.Color = uint32_t(color);
    } else if (SameTextAscii(name, u"height")) {
      int32_t height = 0;
      if (TryStrToInt(value, height)) FFont.Height = height;
    } else if (SameTextAscii(name, u"vertical-block-align")) {
      FVerticalBlockAlign = TVerticalBlockAlign::vbaBottom;
      for (size_t i = 0; i < std::size(VerticalBlockAlignNames); ++i)
        if (SameTextAscii(value, VerticalBlockAlignNames[i])) FVerticalBlockAlign = TVerticalBlockAlign(i);
    } else if (SameTextAscii(name, u"name")) {
      FFont.FontName = std::make_shared<const THTMLString>(value);
    }
  }
}

void TAxHTMLParser::ApplyLinkTag(THTMLStringView AAttr) {
  THTMLStringView rest = AAttr, name, value;
  while (TakeAttribute(rest, name, value))
    if (SameTextAscii(name, u"href")) FLastLink->SetHRef(THTMLString(value));
}

void TAxHTMLParser::ApplyStyleTag(uint8_t AStyleBit) {
  PushFont();
  FFont.Style |= AStyleBit;
}

void TAxHTMLParser::PushFont() { FSaveFontData.push_back(FFont); }

// Any end tag of a font or style takes the last saved state, whichever tag
// saved it; with none saved it changes nothing.
void TAxHTMLParser::PopFont() {
  if (FSaveFontData.empty()) return;
  FFont = std::move(FSaveFontData.back());
  FSaveFontData.pop_back();
}

}  // namespace Project::VCL
