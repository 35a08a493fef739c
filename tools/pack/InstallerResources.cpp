#include "InstallerResources.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace Pack {

namespace {

constexpr uint16_t RtIcon = 3, RtGroupIcon = 14, RtVersion = 16;
constexpr uint16_t Neutral = 0, English = 1033;
constexpr size_t GroupHeaderSize = 6, GroupEntrySize = 14;

// The resource of the type and name the system's lookup would take: the
// neutral language, else English, else the first.
const TResource* Find(const std::vector<TResource>& AResources, uint16_t AType, const TResourceId& AName) {
  const TResource* found = nullptr;
  for (const TResource& r : AResources) {
    if (!(r.Type == TResourceId{AType, {}}) || !(r.Name == AName)) continue;
    if (r.Language == Neutral) return &r;
    if (!found || (r.Language == English && found->Language != English)) found = &r;
  }
  return found;
}

std::vector<uint8_t> Bytes(std::span<const uint8_t> AFile, const TResource& AResource) {
  auto data = AFile.subspan(AResource.Offset, AResource.Size);
  return {data.begin(), data.end()};
}

void ReadIcon(std::span<const uint8_t> AFile, const std::vector<TResource>& AResources, TInstallerResources& AOut) {
  auto group = std::find_if(AResources.begin(), AResources.end(),
                            [](const TResource& r) { return r.Type == TResourceId{RtGroupIcon, {}}; });
  if (group == AResources.end()) return;
  const TResource* chosen = Find(AResources, RtGroupIcon, group->Name);
  if (!chosen->Damage.empty()) {
    AOut.Warnings.push_back("the installer's icon group is damaged (" + chosen->Damage + "): its icon is left out");
    return;
  }
  std::span<const uint8_t> bytes = AFile.subspan(chosen->Offset, chosen->Size);
  const size_t count = bytes.size() >= GroupHeaderSize ? U16(bytes, 4) : 0;
  if (bytes.size() < GroupHeaderSize || bytes.size() < GroupHeaderSize + GroupEntrySize * count) {
    AOut.Warnings.push_back("the installer's icon group lists " + std::to_string(count) + " images in " +
                            std::to_string(bytes.size()) + " bytes: its icon is left out");
    return;
  }
  std::vector<TNewResource> images;
  std::set<uint16_t> taken;
  for (size_t i = 0; i < count; ++i) {
    const uint16_t id = U16(bytes, GroupHeaderSize + GroupEntrySize * i + 12);
    const TResource* image = Find(AResources, RtIcon, {id, {}});
    if (!image) {
      AOut.Warnings.push_back("the installer's icon group refers to icon " + std::to_string(id) +
                              ", which it does not contain: its icon is left out");
      return;
    }
    if (!image->Damage.empty()) {
      AOut.Warnings.push_back("the installer's icon " + std::to_string(id) + " is damaged (" + image->Damage +
                              "): its icon is left out");
      return;
    }
    if (taken.insert(id).second) images.push_back({{RtIcon, {}}, {id, {}}, English, Bytes(AFile, *image)});
  }
  AOut.Resources.push_back({{RtGroupIcon, {}}, {0, u"MAINICON"}, English, {bytes.begin(), bytes.end()}});
  for (TNewResource& image : images) AOut.Resources.push_back(std::move(image));
}

void ReadVersion(std::span<const uint8_t> AFile, const std::vector<TResource>& AResources, TInstallerResources& AOut) {
  const TResource* version = Find(AResources, RtVersion, {1, {}});
  if (!version) return;
  if (!version->Damage.empty()) {
    AOut.Warnings.push_back("the installer's version information is damaged (" + version->Damage + "): it is left out");
    return;
  }
  std::vector<uint8_t> block = VersionBlock(AFile.subspan(version->Offset, version->Size));
  if (block.empty()) {
    AOut.Warnings.push_back("the installer's version information is damaged (its length does not fit its " +
                            std::to_string(version->Size) + " bytes): it is left out");
    return;
  }
  AOut.Resources.push_back({{RtVersion, {}}, {1, {}}, English, std::move(block)});
}

}  // namespace

std::vector<uint8_t> VersionBlock(std::span<const uint8_t> ARaw) {
  // A 32-bit block: its length, then the value's length and its type (0
  // or 1) before the key; a 16-bit one has its key's first letter there.
  if (ARaw.size() < 6 || ARaw.size() > 0x7FFFFFFF) return {};
  const uint16_t length = U16(ARaw, 0);
  if (length < 6 || length > ARaw.size() || ARaw[4] >= ' ') return {};
  std::vector<uint8_t> block(ARaw.size() * 2 + 4, 0);
  std::copy(ARaw.begin(), ARaw.end(), block.begin());
  std::memcpy(block.data() + length, "FE2X", 4);
  return block;
}

TInstallerResources ReadInstallerResources(std::span<const uint8_t> AInstaller) {
  TInstallerResources out;
  // No executable at all (an MSI): nothing to take over, nothing wrong.
  if (AInstaller.size() < 2 || AInstaller[0] != 'M' || AInstaller[1] != 'Z') return out;
  std::vector<TResource> resources;
  try {
    resources = ReadResources(TPeImage::Read(AInstaller), AInstaller);
  } catch (const EBadImage& e) {
    out.Warnings.push_back(std::string("the installer's resources cannot be read (") + e.what() +
                           "): its icon and version information are left out");
    return out;
  }
  ReadIcon(AInstaller, resources, out);
  ReadVersion(AInstaller, resources, out);
  return out;
}

}  // namespace Pack
