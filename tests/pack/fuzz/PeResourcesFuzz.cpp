// Fuzz target of the packing tools' resource reader: the input is a whole
// file. The reader either refuses it (EBadImage) or gives resources whose
// data lies inside the input.
#include <cstddef>
#include <cstdint>
#include <span>

#include "PeResources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  std::span<const uint8_t> file(AData, ASize);
  try {
    Pack::TPeImage image = Pack::TPeImage::Read(file);
    for (const Pack::TResource& r : Pack::ReadResources(image, file))
      if (r.Offset > ASize || r.Size > ASize - r.Offset) __builtin_trap();
  } catch (const Pack::EBadImage&) {
  }
  return 0;
}
