#include "Project.VCL.BitmapHelper.h"

#include <algorithm>

namespace Project::VCL {

using Gui::TBitmap32;
using Gui::TCanvas;

namespace {

// One band of a nine-slice drawing along one direction: source from-to and
// destination from-to.
struct TBand {
  LONG SourceFrom, SourceTo, DestFrom, DestTo;
};

// The bands of one direction: a border of ALead at the start when it is
// positive, the middle, a border of ATrail at the end when it is positive.
int CutBands(LONG ASourceFrom, LONG ASourceTo, LONG ADestFrom, LONG ADestTo, LONG ALead, LONG ATrail,
             TBand (&ABands)[3]) {
  const LONG lead = std::max<LONG>(ALead, 0), trail = std::max<LONG>(ATrail, 0);
  int count = 0;
  if (lead > 0) ABands[count++] = {ASourceFrom, ASourceFrom + lead, ADestFrom, ADestFrom + lead};
  ABands[count++] = {ASourceFrom + lead, ASourceTo - trail, ADestFrom + lead, ADestTo - trail};
  if (trail > 0) ABands[count++] = {ASourceTo - trail, ASourceTo, ADestTo - trail, ADestTo};
  return count;
}

}  // namespace

void TBitmapHelper::LoadFromPngResource(TBitmap32& ABitmap, HINSTANCE AInstance, const std::wstring& AName) {
  ABitmap.LoadFromPNGResource(AInstance, AName.c_str());
}

void TBitmapHelper::AlphaDraw(const TBitmap32& ABitmap, TCanvas* ATarget, const RECT& ADest, const RECT& ASource,
                              uint8_t AOpacity) {
  if (!ATarget || ABitmap.Empty()) return;
  ATarget->DrawBitmap(ADest, ABitmap, ASource, AOpacity);
}

void TBitmapHelper::AlphaDrawSliced(const TBitmap32& ABitmap, TCanvas* ATarget, const RECT& ADest, const RECT& ASource,
                                    const RECT& AMargins, uint8_t AOpacity) {
  TBand columns[3], rows[3];
  const int columnCount =
      CutBands(ASource.left, ASource.right, ADest.left, ADest.right, AMargins.left, AMargins.right, columns);
  const int rowCount =
      CutBands(ASource.top, ASource.bottom, ADest.top, ADest.bottom, AMargins.top, AMargins.bottom, rows);
  for (int c = 0; c < columnCount; ++c)
    for (int r = 0; r < rowCount; ++r) {
      const TBand &column = columns[c], &row = rows[r];
      AlphaDraw(ABitmap, ATarget, {column.DestFrom, row.DestFrom, column.DestTo, row.DestTo},
                {column.SourceFrom, row.SourceFrom, column.SourceTo, row.SourceTo}, AOpacity);
    }
}

void TBitmapHelper::AlphaDrawCell(const TBitmap32& ABitmap, TCanvas* ATarget, const RECT& ADest, int AColCount,
                                  int ARowCount, int ACol, int ARow, uint8_t AOpacity) {
  if (AColCount <= 0 || ARowCount <= 0) return;
  const int width = ABitmap.GetWidth() / AColCount, height = ABitmap.GetHeight() / ARowCount;
  AlphaDraw(ABitmap, ATarget, ADest, {ACol * width, ARow * height, (ACol + 1) * width, (ARow + 1) * height}, AOpacity);
}

void TBitmapHelper::AlphaDrawState(const TBitmap32& ABitmap, TCanvas* ATarget, const RECT& ADest,
                                   TUIControlState AState, uint8_t AOpacity) {
  AlphaDrawCell(ABitmap, ATarget, ADest, 1, 4, 0, int(AState), AOpacity);
}

}  // namespace Project::VCL
