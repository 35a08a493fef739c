// Visual defaults shared by every form and custom control, and the
// enumerations the controls have in common.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "Graphics.h"

namespace Project::VCL {

enum class TUIControlState : uint8_t { uicsNormal, uicsDisabled, uicsHot, uicsPressed };
enum class TAxTextShadowStyle : uint8_t { tssTop, tssLeft, tssBottom, tssRigh };
// Bit n stands for the shadow style of ordinal n.
using TAxTextShadowStyles = uint8_t;
constexpr TAxTextShadowStyles ShadowStyleBit(TAxTextShadowStyle AStyle) { return uint8_t(1u << unsigned(AStyle)); }
enum class TAxEllipsisPosition : uint8_t { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };
enum class TAxLabelDisplayStyle : uint8_t { ldsPlain, ldsLink, ldsHTML };

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
