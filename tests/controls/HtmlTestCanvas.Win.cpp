// Under Windows the drawer's tests measure with real fonts, on a memory
// device context of their own.
#include "GuiTestSupport.h"
#include "HtmlTestCanvas.h"
#include "Project.VCL.AxLabel.HtmlCanvas.h"

namespace Testing {

namespace {

class TMemoryCanvas final : public Project::VCL::IHTMLCanvas {
public:
  TMemoryCanvas() : FTarget(16, 16), FCanvas(FTarget.DC.Get()) {}

  Project::VCL::THTMLSize TextExtent(const Project::VCL::THTMLFont& AFont, Project::VCL::THTMLStringView AText,
                                     uint32_t AFormat) override {
    return Html().TextExtent(AFont, AText, AFormat);
  }
  void CharExtents(const Project::VCL::THTMLFont& AFont, Project::VCL::THTMLStringView AText,
                   std::vector<int32_t>& AExtents) override {
    Html().CharExtents(AFont, AText, AExtents);
  }
  Project::VCL::THTMLTextMetric TextMetric(const Project::VCL::THTMLFont& AFont) override {
    return Html().TextMetric(AFont);
  }
  void DrawText(const Project::VCL::THTMLFont& AFont, Project::VCL::THTMLStringView AText,
                const Project::VCL::THTMLRect& ARect, uint32_t AFormat) override {
    Html().DrawText(AFont, AText, ARect, AFormat);
  }
  void DrawFocusRect(const Project::VCL::THTMLRect& ARect) override { Html().DrawFocusRect(ARect); }

private:
  struct TAttached {
    explicit TAttached(HDC ADC) { Canvas.SetHandle(ADC); }
    ~TAttached() { Canvas.SetHandle(nullptr); }
    Gui::TCanvas Canvas;
  };
  Project::VCL::TAxHTMLCanvas Html() { return Project::VCL::TAxHTMLCanvas(FCanvas.Canvas, FCache); }

  TRenderTarget FTarget;
  TAttached FCanvas;
  Project::VCL::TAxHTMLFontCache FCache;
};

}  // namespace

std::unique_ptr<Project::VCL::IHTMLCanvas> MakeMeasuringCanvas() { return std::make_unique<TMemoryCanvas>(); }

}  // namespace Testing
