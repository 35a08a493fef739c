// The controls' units with process-wide state, in their order: after the
// support layer's and the picture cache (Velqora.Units.h).
#pragma once

#include <array>

#include "Project.VCL.Accessibility.h"
#include "Project.VCL.Common.h"
#include "Project.VCL.UIStateHelper.h"
#include "Velqora.Units.h"

namespace Project::VCL {

inline constexpr auto ControlsUnits = std::to_array<Velqora::TUnit>({
    // The buttons' fades run on the timer service.
    {TUIStateHelper::Start, TUIStateHelper::Stop},
    {VCLCommon::Start, VCLCommon::Stop},
    // Answers screen readers; loads nothing until one asks.
    {TAccessibility::Start, TAccessibility::Stop},
});

// This layer's units with those of the layers below, in their order; the
// picture cache, which needs the program's module, is left to the program.
inline constexpr auto UnitsThroughControls = Velqora::JoinUnits(Velqora::SupportUnits, ControlsUnits);

}  // namespace Project::VCL
