// The build machine measures with fixed-width fonts.
#include "FixedWidthCanvas.h"
#include "HtmlTestCanvas.h"

namespace Testing {

std::unique_ptr<Project::VCL::IHTMLCanvas> MakeMeasuringCanvas() { return std::make_unique<TFixedWidthCanvas>(); }

}  // namespace Testing
