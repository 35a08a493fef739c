// Fuzz target of the labels' markup: the parser, its tag and attribute
// readers and the character references.
//
// Input: the first byte picks the display style (its value modulo 3:
// 0 ldsPlain, 1 ldsLink, 2 ldsHTML) and, in its bits 2 to 5, the default
// font's style bits; the rest is the caption in UTF-16LE (an odd last byte
// is dropped). Every invariant checked holds by design; a violation stops
// the run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Project.VCL.AxLabel.HtmlParser.h"
#include "Velqora.System.SysUtils.Text.h"
#include "Velqora.System.Win.Internet.Entities.h"

using namespace Project::VCL;

namespace {

#define CHECK(condition) \
  do {                   \
    if (!(condition)) __builtin_trap(); \
  } while (0)

bool IsHighSurrogate(char16_t C) { return C >= 0xD800 && C <= 0xDBFF; }
bool IsLowSurrogate(char16_t C) { return C >= 0xDC00 && C <= 0xDFFF; }

// NULs and surrogates without their other half.
size_t CountNulsAndLoneSurrogates(std::u16string_view AText) {
  size_t count = 0;
  for (size_t i = 0; i < AText.size(); ++i) {
    char16_t c = AText[i];
    if (IsHighSurrogate(c) && i + 1 < AText.size() && IsLowSurrogate(AText[i + 1]))
      ++i;
    else if (c == 0 || IsHighSurrogate(c) || IsLowSurrogate(c))
      ++count;
  }
  return count;
}

bool IsTrimmed(std::u16string_view AText) { return Velqora::TrimView(AText).size() == AText.size(); }

void CheckParse(TAxLabelDisplayStyle AStyle, const TAxHTMLParser::TFontData& AFont, std::u16string_view AText) {
  TAxHTMLParser parser;
  parser.Parse(AStyle, AFont, AText);

  // Links are numbered 1..n in order; ldsLink has exactly its one link
  // (no link tag is read there), ldsPlain none.
  const auto& links = parser.Links();
  for (size_t i = 0; i < links.size(); ++i) CHECK(links[i] && links[i]->GlobalLinkID() == int32_t(i + 1));
  if (AStyle == TAxLabelDisplayStyle::ldsLink) CHECK(links.size() == 1 && links[0]->HRef() == u"link");
  if (AStyle == TAxLabelDisplayStyle::ldsPlain) CHECK(links.empty());
  if (AText.empty()) CHECK(parser.Tokens().empty());

  const bool html = AStyle == TAxLabelDisplayStyle::ldsHTML;
  const uint8_t styleBits = AFont.Style | 1 | 2 | 4;
  std::u16string text;  // of every run, in order
  for (const THTMLTokenLine& line : parser.Tokens()) {
    for (const auto& token : line) {
      CHECK(token);
      int32_t link = token->GlobalLinkID();
      CHECK(link == -1 || (link >= 1 && size_t(link) <= links.size()));
      if (AStyle == TAxLabelDisplayStyle::ldsLink) CHECK(link == 1);
      if (token->IsDivider()) {
        CHECK(html);  // only a tag makes one
        continue;
      }
      const auto& run = static_cast<const THTMLTextToken&>(*token);
      CHECK(!run.Text.empty());
      // Style tags only add bold, italic and underline to the default
      // style, and give back saved states.
      CHECK((run.Style & AFont.Style) == AFont.Style && (run.Style & ~styleBits) == 0);
      if (!html) {
        CHECK(run.Style == AFont.Style && run.Color == AFont.Color && run.FontHeight() == AFont.Height &&
              run.FontName == AFont.FontName && run.VerticalBlockAlign == TVerticalBlockAlign::vbaBottom);
      }
      text += run.Text;
    }
  }
  // Without line breaks or tags the runs are the decoded caption, on at
  // most one line.
  if (AText.find_first_of(u"<\r\n") == AText.npos) {
    CHECK(parser.Tokens().size() <= 1);
    CHECK(text == Velqora::DecodeEntities(AText));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 1) return 0;
  const auto style = TAxLabelDisplayStyle(AData[0] % 3);
  const TAxHTMLParser::TFontData font{u"Tahoma", 0x80000008u, uint8_t((AData[0] >> 2) & 0x0F), -11};
  std::u16string text((ASize - 1) / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(AData[1 + 2 * i] | AData[2 + 2 * i] << 8);

  CheckParse(style, font, text);

  // References: never longer, and they make no NUL or lone surrogate (a
  // number that would stays as written). One can go: the second character
  // of a numeric reference is not looked at ("&\0" "65;" is "A").
  std::u16string decoded = Velqora::DecodeEntities(text);
  CHECK(decoded.size() <= text.size());
  CHECK(CountNulsAndLoneSurrogates(decoded) <= CountNulsAndLoneSurrogates(text));
  if (text.find(u'&') == text.npos) CHECK(decoded == text);

  // The whole text as one tag, and its attributes: each step takes at
  // least the "=", names and values come trimmed.
  TAxHTMLParser::THTMLTagData tag = TAxHTMLParser::ParseTag(text);
  CHECK(IsTrimmed(tag.Attr));
  CHECK(tag.Attr.empty() || tag.TagType == TAxHTMLParser::THTMLTagType::tagtFont ||
        tag.TagType == TAxHTMLParser::THTMLTagType::tagtLink);
  std::u16string attr = tag.Attr, name, value;
  for (size_t before = attr.size(); TAxHTMLParser::NextAttribute(attr, name, value); before = attr.size()) {
    CHECK(IsTrimmed(name) && IsTrimmed(value) && IsTrimmed(attr));
    CHECK(name.size() + value.size() + attr.size() < before);
  }

  int32_t number = 0;
  Velqora::TryStrToInt(text, number);
  return 0;
}
