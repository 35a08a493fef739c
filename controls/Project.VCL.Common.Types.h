// The enumerations the custom controls have in common. Free of any system
// header: the markup units that use them also build for the build machine.
#pragma once

#include <cstdint>

namespace Project::VCL {

enum class TUIControlState : uint8_t { uicsNormal, uicsDisabled, uicsHot, uicsPressed };
enum class TAxTextShadowStyle : uint8_t { tssTop, tssLeft, tssBottom, tssRigh };
// Bit n stands for the shadow style of ordinal n.
using TAxTextShadowStyles = uint8_t;
constexpr TAxTextShadowStyles ShadowStyleBit(TAxTextShadowStyle AStyle) { return uint8_t(1u << unsigned(AStyle)); }
enum class TAxEllipsisPosition : uint8_t { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };
enum class TAxLabelDisplayStyle : uint8_t { ldsPlain, ldsLink, ldsHTML };

}  // namespace Project::VCL
