// The wrapper's units with process-wide state, in dependency order: the
// layers' lists with the wrapper's own between them. The entry point starts
// them all and stops them in reverse; the app tests start them up to the
// one they need (Velqora::TUnitsScope).
#pragma once

#include <array>

#include "Graphics.h"
#include "Project.VCL.Units.h"
#include "Velqora.Units.h"
#include "uInstaller.h"

namespace uUnits {

// Libraries are loaded from the system folder only, where the system offers
// that; a DLL planted beside the wrapper is never picked up. Right after the
// binding registry starts (the log and the registry load nothing); there is
// nothing to undo.
void RestrictDllSearch();
inline constexpr auto SearchRestriction = std::to_array<Velqora::TUnit>({{RestrictDllSearch, [] {}}});
// Each picture of the program decoded once (the decoder is bound from the
// system folder: after the search restriction).
void StartPictureCache();
inline constexpr auto Pictures = std::to_array<Velqora::TUnit>({{StartPictureCache, Gui::PictureCache::Stop}});
inline constexpr auto Installer = std::to_array<Velqora::TUnit>({{uInstaller::Start, uInstaller::Stop}});

inline constexpr auto Units = Velqora::JoinUnits(Velqora::BindingUnits, SearchRestriction, Velqora::SystemUnits,
                                                 Pictures, Project::VCL::ControlsUnits, Installer);

}  // namespace uUnits
