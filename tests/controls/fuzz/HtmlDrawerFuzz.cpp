// Lays out and draws any caption with any settings of the markup drawer,
// measured with fixed-width fonts, and reads it as a screen reader does.
// The first 12 bytes are the settings, the rest is the caption as UTF-16LE
// code units.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FixedWidthCanvas.h"
#include "Project.VCL.AxLabel.HtmlDrawer.h"

using namespace Project::VCL;

namespace {

[[noreturn]] void Fail() { __builtin_trap(); }

bool Valid(const TAxHTMLDrawer& ADrawer, int32_t AID) { return AID == -1 || ADrawer.LinksByID(AID) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 12) return 0;
  const uint8_t* s = AData;
  std::u16string text;
  for (size_t i = 12; i + 1 < ASize; i += 2) text += char16_t(AData[i] | AData[i + 1] << 8);

  Testing::TFixedWidthCanvas canvas;
  TAxHTMLDrawer drawer;
  drawer.SetDisplayStyle(TAxLabelDisplayStyle(s[0] % 3));
  drawer.SetAlignment(TAlignment(s[1] % 3));
  drawer.SetLayout(TTextLayout(s[1] / 3 % 3));
  drawer.SetWordWrap(s[2] & 1);
  drawer.SetAutoHeight(s[2] & 2);
  drawer.SetAutoWidth(s[2] & 4);
  drawer.SetThinLineSpaces(s[2] & 8);
  drawer.SetEllipsisPosition(TAxEllipsisPosition(s[2] >> 4 & 3));
  drawer.Enabled = !(s[2] & 0x40);
  drawer.DrawFocusRect = true;
  drawer.SetLineSpaces(int8_t(s[3]));
  drawer.Font().Height = int8_t(s[4]);
  drawer.Font().Style = s[5] & 15;
  const THTMLRect display{int8_t(s[6]), int8_t(s[7]), int8_t(s[6]) + s[8] * 2, int8_t(s[7]) + s[9] * 2};
  drawer.SetText(text);

  drawer.Update(canvas, display);
  drawer.FocusedLinkID = drawer.GetNextHyperlinkID(s[10] % 4 - 1);
  drawer.OverLinkID = drawer.GetPrevHyperlinkID(s[11] % 4);
  // Painted as a label paints: in the rectangle the layout left (automatic
  // height and width change it).
  drawer.Draw(canvas, drawer.DisplayRect(), display);

  // Links are numbered 1, 2, ... and every item belongs to one of them or
  // to none; the text rectangle holds every laid-out item.
  const auto& links = drawer.Links();
  for (size_t i = 0; i < links.size(); ++i)
    if (links[i]->GlobalLinkID() != int32_t(i + 1)) Fail();
  const THTMLRect& bounds = drawer.TextRect();
  for (const auto& line : drawer.Items())
    for (const auto& item : line) {
      if (!Valid(drawer, item->GlobalLinkID())) Fail();
      const THTMLRect& r = item->ItemRect();
      if (!r.IsEmpty() && !drawer.ThinLineSpaces() &&
          (r.Left < bounds.Left || r.Right > bounds.Right || r.Top < bounds.Top || r.Bottom > bounds.Bottom))
        Fail();
      const THTMLRect& c = item->ClipRect();
      if (item->IsVisible() && (c.Left < r.Left || c.Right > r.Right)) Fail();
    }
  for (int i = 0; i < 16; ++i)
    if (!Valid(drawer, drawer.GetLinkIDByPoint({display.Left + display.Width() * (i % 4) / 4,
                                                 display.Top + display.Height() * (i / 4) / 4})))
      Fail();
  for (const auto& link : links) {
    drawer.CalcLinkRect(link->HRef());
    drawer.GetItemByLinkID(link->GlobalLinkID());
    drawer.LinkText(link->GlobalLinkID());
  }
  // What a reader gets: parts of the items' texts, a blank at most between
  // two of them.
  size_t most = 0;
  for (const auto& line : drawer.Items())
    for (const auto& item : line)
      most += (item->IsDivider() ? 3 : static_cast<const TAxHTMLDrawerItemText&>(*item).Text().size()) + 1;
  if (drawer.ShownText(canvas).size() > most) Fail();

  return 0;
}
