// The labels' markup: a caption becomes lines of styled tokens and a list of
// links. Bold, italic and underlined runs, font changes, line breaks,
// dividers and links; every input, however malformed, gives some result.
//
// Free of any system header: the parser also builds for the build machine,
// where it is fuzzed. Text is UTF-16 (char16_t) on every host; positions
// count UTF-16 code units.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Project.VCL.Common.Types.h"

namespace Project::VCL {

using THTMLString = std::u16string;
using THTMLStringView = std::u16string_view;

// Vertical alignment of a run inside its line.
enum class TVerticalBlockAlign : uint8_t { vbaTop, vbaBottom, vbaCenter };

class THTMLLinkInfo {
public:
  explicit THTMLLinkInfo(int32_t ALinkID) : FGlobalLinkID(ALinkID) {}

  // 1 for the first link of a text, then 2, 3, ... in order of appearance.
  int32_t GlobalLinkID() const { return FGlobalLinkID; }
  // The link's target text; empty until an "href" attribute sets it.
  const THTMLString& HRef() const { return FHRef; }
  void SetHRef(THTMLString AValue) { FHRef = std::move(AValue); }
  const THTMLString& HintText() const { return FHintText; }
  void SetHintText(THTMLString AValue) { FHintText = std::move(AValue); }

private:
  int32_t FGlobalLinkID;
  THTMLString FHRef;
  THTMLString FHintText;
};

class THTMLToken {
public:
  virtual ~THTMLToken() = default;

  bool IsDivider() const { return FIsDivider; }
  // Logical-font height: negative is the character height in pixels.
  int32_t FontHeight() const { return FFontHeight; }
  void SetFontHeight(int32_t AValue) { FFontHeight = AValue; }
  // The link the token belongs to, -1 for none.
  int32_t GlobalLinkID() const { return FGlobalLinkID; }
  void SetGlobalLinkID(int32_t AValue) { FGlobalLinkID = AValue; }

protected:
  explicit THTMLToken(bool AIsDivider) : FIsDivider(AIsDivider) {}

private:
  bool FIsDivider;
  int32_t FFontHeight = 0;
  int32_t FGlobalLinkID = -1;
};

// One divider (drawn as " | ").
class THTMLDividerToken : public THTMLToken {
public:
  THTMLDividerToken() : THTMLToken(true) {}
};

// One run of text in one font; the text is never empty.
class THTMLTextToken : public THTMLToken {
public:
  THTMLTextToken() : THTMLToken(false) {}

  THTMLString Text;
  THTMLString FontName;
  uint32_t Color = 0;  // red in the low byte; 0xFF0000NN is system colour NN
  uint8_t Style = 0;   // bold 1, italic 2, underline 4, strikeout 8
  TVerticalBlockAlign VerticalBlockAlign = TVerticalBlockAlign::vbaBottom;
};

using THTMLTokenLine = std::vector<std::unique_ptr<THTMLToken>>;

class TAxHTMLParser {
public:
  // The font state of a running parse, and the caller's default font.
  struct TFontData {
    THTMLString FontName;
    uint32_t Color = 0;
    uint8_t Style = 0;
    int32_t Height = 0;
  };

  enum class THTMLTagType : uint8_t {
    tagtNone, tagtNewLine, tagtFont, tagtDivider, tagtLink, tagtBold, tagtItalic, tagtUnderline
  };

  struct THTMLTagData {
    THTMLTagType TagType = THTMLTagType::tagtNone;
    bool IsEnd = false;
    THTMLString Attr;  // only for font and link tags
  };

  TAxHTMLParser() = default;
  TAxHTMLParser(const TAxHTMLParser&) = delete;
  TAxHTMLParser& operator=(const TAxHTMLParser&) = delete;

  // Replaces the previous results with those of AStr. In ldsHTML every "<"
  // opens a tag, in the other styles only "<br"; CR LF, CR and LF become
  // "<br/>" in every style. A tag runs to the first ">" and is known by the
  // first of br, font, div, a, b, i, u that it starts with ("brown" breaks
  // the line, "abbr" is a link). Font tags read color, height,
  // vertical-block-align and name; link tags read href. Any font or style
  // end tag restores the last saved state, whichever tag saved it; the
  // vertical alignment is not saved. N line breaks at the start give N - 1
  // empty lines. ldsLink puts the whole text into link 1, with the target
  // "link".
  void Parse(TAxLabelDisplayStyle AStyle, const TFontData& ADefaultFont, THTMLStringView AStr);

  const std::vector<std::unique_ptr<THTMLLinkInfo>>& Links() const { return FLinks; }
  const std::vector<THTMLTokenLine>& Tokens() const { return FTokens; }

  // The analysis of one tag's text (entity-decoded, with its angle
  // brackets).
  static THTMLTagData ParseTag(THTMLStringView ATag);
  // Takes the next name=value pair off the front of AAttr; false when there
  // is none.
  static bool NextAttribute(THTMLString& AAttr, THTMLString& AName, THTMLString& AValue);

private:
  // The font state of a running parse: TFontData with the face name shared,
  // so that saving the state at every nested tag copies no text.
  struct TFontState {
    std::shared_ptr<const THTMLString> FontName;
    uint32_t Color = 0;
    uint8_t Style = 0;
    int32_t Height = 0;
  };

  // Implementation details are the source file's.
  void NormalizeLineBreaks();
  bool IsTagStart() const;
  THTMLString FlushText();
  void ReadTag();
  void AddTextToken(THTMLString AText);
  void AddDividerToken();
  void AddToken(std::unique_ptr<THTMLToken> AToken);
  void AddLine();
  THTMLLinkInfo& AddLink();
  void ApplyFontTag(THTMLStringView AAttr);
  void ApplyLinkTag(THTMLStringView AAttr);
  void ApplyStyleTag(uint8_t AStyleBit);
  void PushFont();
  void PopFont();

  TFontState FFont;
  TAxLabelDisplayStyle FDisplayStyle = TAxLabelDisplayStyle::ldsPlain;
  THTMLString FParseStr;
  size_t FCurrentChar = 0;  // scan position, 0-based
  size_t FStartChar = 0;
  std::vector<TFontState> FSaveFontData;
  TVerticalBlockAlign FVerticalBlockAlign = TVerticalBlockAlign::vbaBottom;
  THTMLLinkInfo* FLastLink = nullptr;
  std::vector<std::unique_ptr<THTMLLinkInfo>> FLinks;
  std::vector<THTMLTokenLine> FTokens;
};

}  // namespace Project::VCL
