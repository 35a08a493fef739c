// Visual defaults shared by every form and custom control, and the
// enumerations the controls have in common.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "Graphics.h"
#include "Project.VCL.Common.Types.h"

namespace Project::VCL {

// Process-wide defaults, set when the unit starts and read-only afterwards.
// Consumers copy the fonts (Assign) and never keep or free them.
class VCLCommon {
public:
  VCLCommon() = delete;

  static POINT TextMargin;
  static int SingleBorderWidth;
  static int AnimationTime;   // milliseconds of a hover fade
  static int AnimationSteps;  // timer ticks per hover fade
  static Gui::TColor DisabledFontColor;
  static Gui::TColor DefaultFontColor;

  static const Gui::TFont& DefaultFont() { return *FDefaultFont; }
  static const Gui::TFont& DefaultLinkFont() { return *FDefaultLinkFont; }
  static const Gui::TFont& DefaultLinkHoverFont() { return *FDefaultLinkHoverFont; }
  static const Gui::TFont& DefaultLinkPressedFont() { return *FDefaultLinkPressedFont; }

  // Whether the user has chosen a high-contrast theme: the wizard then
  // draws in the system's colours instead of its own colours and button
  // pictures. Read through HighContrastQuery (the system's flag; tests
  // replace it, Wine always answers "off").
  static bool HighContrast() { return HighContrastQuery(); }
  static bool (*HighContrastQuery)();

  // Unit start-up and shut-down.
  static void Start();
  static void Stop();

private:
  static std::unique_ptr<Gui::TFont> FDefaultFont;
  static std::unique_ptr<Gui::TFont> FDefaultLinkFont;
  static std::unique_ptr<Gui::TFont> FDefaultLinkHoverFont;
  static std::unique_ptr<Gui::TFont> FDefaultLinkPressedFont;
};

}  // namespace Project::VCL
