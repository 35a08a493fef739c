// Fuzz target of the packing tools' readers: the input is a whole file,
// read as an executable's resources, as an installer whose icon and version
// information are taken over, and as a template the writer rebuilds with a
// payload. Each either refuses it (EBadImage; a warning for the installer)
// or gives resources whose data lies inside the input and a file whose
// resources read back.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "InstallerResources.h"
#include "PeResources.h"
#include "PeWriter.h"

namespace {

#define CHECK(condition) \
  do {                   \
    if (!(condition)) __builtin_trap(); \
  } while (0)

class TMemoryOutput : public Pack::TOutput {
public:
  void Write(std::span<const uint8_t> ABytes) override { Bytes.insert(Bytes.end(), ABytes.begin(), ABytes.end()); }
  uint64_t WritePayload(uint32_t ASize) override {
    std::vector<uint8_t> payload(ASize, 0x5A);
    Write(payload);
    return Pack::WordSum(payload);
  }
  void Patch(uint64_t AOffset, uint32_t AValue) override {
    CHECK(AOffset + 4 <= Bytes.size());
    for (int i = 0; i < 4; ++i) Bytes[AOffset + i] = uint8_t(AValue >> 8 * i);
  }
  std::vector<uint8_t> Bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  std::span<const uint8_t> file(AData, ASize);
  try {
    Pack::TPeImage image = Pack::TPeImage::Read(file);
    for (const Pack::TResource& r : Pack::ReadResources(image, file))
      CHECK(r.Offset <= ASize && r.Size <= ASize - r.Offset && (r.Damage.empty() || r.Size == 0));
  } catch (const Pack::EBadImage&) {
  }
  Pack::TInstallerResources taken = Pack::ReadInstallerResources(file);
  try {
    Pack::TNewResource payload{{10, {}}, {0, u"RES_INSTALLER_PACKAGE"}, 1033, {}};
    payload.Payload = true;
    payload.PayloadSize = 3;
    taken.Resources.push_back(payload);
    TMemoryOutput out;
    Pack::WriteWithResources(file, taken.Resources, out);
    // What was written reads back, the payload among it.
    bool found = false;
    try {
      for (const Pack::TResource& r : Pack::ReadResources(Pack::TPeImage::Read(out.Bytes), out.Bytes))
        found = found || (r.Name == Pack::TResourceId{0, u"RES_INSTALLER_PACKAGE"} && r.Size == 3);
    } catch (const Pack::EBadImage&) {
      CHECK(false);
    }
    CHECK(found);
  } catch (const Pack::EBadImage&) {
  }
  return 0;
}
