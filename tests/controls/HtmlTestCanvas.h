// Canvases for the markup drawer's tests: one that measures (real fonts
// under Windows, fixed-width ones on the build machine) and a recorder of
// what is drawn, over any other.
#pragma once

#include <memory>
#include <vector>

#include "Project.VCL.AxLabel.HtmlDrawer.h"

namespace Testing {

// The canvas the drawer's tests measure with; each build supplies its own.
std::unique_ptr<Project::VCL::IHTMLCanvas> MakeMeasuringCanvas();

// Passes everything on to another canvas and keeps what was drawn.
class TRecordingCanvas : public Project::VCL::IHTMLCanvas {
public:
  struct TTextCall {
    Project::VCL::THTMLFont Font;
    Project::VCL::THTMLString Text;
    Project::VCL::THTMLRect Rect;
    uint32_t Format;
  };

  explicit TRecordingCanvas(Project::VCL::IHTMLCanvas& AInner) : FInner(AInner) {}

  Project::VCL::THTMLSize TextExtent(const Project::VCL::THTMLFont& AFont, Project::VCL::THTMLStringView AText,
                                     uint32_t AFormat) override {
    return FInner.TextExtent(AFont, AText, AFormat);
  }
  void CharExtents(const Project::VCL::THTMLFont& AFont, Project::VCL::THTMLStringView AText,
                   std::vector<int32_t>& AExtents) override {
    FInner.CharExtents(AFont, AText, AExtents);
  }
  Project::VCL::THTMLTextMetric TextMetric(const Project::VCL::THTMLFont& AFont) override {
    return FInner.TextMetric(AFont);
  }
  void DrawText(const Project::VCL::THTMLFont& AFont, Project::VCL::THTMLStringView AText,
                const Project::VCL::THTMLRect& ARect, uint32_t AFormat) override {
    Texts.push_back({AFont, Project::VCL::THTMLString(AText), ARect, AFormat});
    FInner.DrawText(AFont, AText, ARect, AFormat);
  }
  void DrawFocusRect(const Project::VCL::THTMLRect& ARect) override {
    FocusRects.push_back(ARect);
    FInner.DrawFocusRect(ARect);
  }

  std::vector<TTextCall> Texts;
  std::vector<Project::VCL::THTMLRect> FocusRects;

private:
  Project::VCL::IHTMLCanvas& FInner;
};

}  // namespace Testing
