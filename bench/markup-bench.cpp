// Parsing and laying out captions of 1 KB, 10 KB and 100 KB with the real
// fonts, as a label does when its caption changes: the cost must grow in
// proportion to the length.
//   markup-bench [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Graphics.h"
#include "Project.VCL.AxLabel.HtmlCanvas.h"

using namespace Project::VCL;

namespace {

double Now() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

// A caption of the offer page's kind, repeated to ALength code units.
std::u16string Caption(size_t ALength) {
  static const std::u16string piece =
      u"Ad-Aware Web Companion <b>protects</b> your browser settings and <i>warns</i> you about "
      u"unsafe sites. <a href=\"learn\">Learn more</a> about the <a href=\"terms\">Terms</a> "
      u"and the <a href=\"privacy\">Privacy Policy</a>.<br>Averylongwordwithoutanybreakcharacterthatmustbecut ";
  std::u16string text;
  while (text.size() < ALength) text += piece;
  text.resize(ALength);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
  HDC dc = CreateCompatibleDC(nullptr);
  Gui::TCanvas canvas;
  canvas.SetHandle(dc);
  TAxHTMLFontCache cache;
  TAxHTMLCanvas html(canvas, cache);

  const size_t sizes[] = {1024, 10 * 1024, 100 * 1024};
  double best[3];
  for (int s = 0; s < 3; ++s) {
    // Two captions in turn: each layout parses and lays out from scratch.
    const std::u16string a = Caption(sizes[s]), b = a + u"!";
    best[s] = 1e9;
    // Smaller captions are laid out more often per round, for a readable time.
    const int repeat = int(100 * 1024 / sizes[s]);
    for (int r = 0; r < rounds; ++r) {
      TAxHTMLDrawer drawer;
      drawer.SetDisplayStyle(TAxLabelDisplayStyle::ldsHTML);
      drawer.SetWordWrap(true);
      drawer.SetAutoHeight(true);
      drawer.SetEllipsisPosition(TAxEllipsisPosition::epEndEllipsis);
      const double start = Now();
      for (int i = 0; i < repeat; ++i) {
        drawer.SetText(i % 2 ? b : a);
        drawer.Update(html, {0, 0, 400, 100});
      }
      best[s] = std::min(best[s], (Now() - start) / repeat);
    }
    wprintf(L"%6zu code units: %9.3f ms a layout\n", sizes[s], best[s] * 1e3);
  }
  const double r1 = best[1] / best[0], r2 = best[2] / best[1];
  wprintf(L"10x the length costs %.1fx (1 KB to 10 KB) and %.1fx (10 KB to 100 KB); the bound is 12x\n", r1, r2);
  canvas.SetHandle(nullptr);
  DeleteDC(dc);
  return r1 <= 12 && r2 <= 12 ? 0 : 1;
}
