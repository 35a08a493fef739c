// What a packed wrapper takes over from its installer, read from the
// installer's bytes: its first icon group (as MAINICON, with every image it
// lists, under their own numbers) and its version information (as the
// system's version reader hands it out: the block, the "FE2X" mark after it
// and room for a converted copy). An installer that is no executable (an
// MSI) gives neither. A damaged part is left out with a warning that names
// what is wrong; the installer itself is packed as it is. Portable.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "PeWriter.h"

namespace Pack {

struct TInstallerResources {
  std::vector<TNewResource> Resources;
  std::vector<std::string> Warnings;
};

TInstallerResources ReadInstallerResources(std::span<const uint8_t> AInstaller);

// The version information block for a version resource of ARaw: ARaw, then
// "FE2X" at the block's own length, in 2 * size + 4 zeroed bytes; empty
// when the block's length does not fit the resource.
std::vector<uint8_t> VersionBlock(std::span<const uint8_t> ARaw);

}  // namespace Pack
