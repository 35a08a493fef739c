// A copy of a template executable with its resources rebuilt: the template's
// own resources, with some added or replaced, one of which (the payload)
// streams from elsewhere in large pieces and is never held in memory. The
// sections before the resource section are copied byte for byte; the
// resource section is laid out anew (directory, names, data entries, data
// aligned to 8 bytes); the sections after it (only the relocations may be
// there) move with it unchanged. The headers follow: section table, image
// size, data directories, and the PE checksum of the finished file.
// Portable: what writes the file is the caller's (TOutput).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "PeResources.h"

namespace Pack {

// One resource to add, replacing the template's of the same type, name and
// language. Its data are Bytes, or (Payload) the caller's payload of
// PayloadSize bytes.
struct TNewResource {
  TResourceId Type, Name;
  uint16_t Language = 1033;
  std::vector<uint8_t> Bytes;
  bool Payload = false;
  uint32_t PayloadSize = 0;
};

// Where the file goes, written from its start in order.
class TOutput {
public:
  virtual ~TOutput() = default;
  virtual void Write(std::span<const uint8_t> ABytes) = 0;
  // Writes the payload and answers the sum of its 16-bit little-endian
  // words (an odd last byte counting as a word of its own).
  virtual uint64_t WritePayload(uint32_t ASize) = 0;
  // Writes 4 bytes at an offset already written.
  virtual void Patch(uint64_t AOffset, uint32_t AValue) = 0;
};

// Writes the template with the resources ANew through AOutput. Raises
// EBadImage for a template it cannot rebuild (headers or resource tables
// damaged, sections out of order, a section after the resources other than
// the relocations, a signature or data after the last section), or for
// resources that would not fit a 32-bit image.
void WriteWithResources(std::span<const uint8_t> ATemplate, const std::vector<TNewResource>& ANew, TOutput& AOutput);

// The sum of ABytes' 16-bit little-endian words, as the PE checksum adds
// them (an odd last byte counting as a word of its own).
uint64_t WordSum(std::span<const uint8_t> ABytes);
// The PE checksum of a file of ALength bytes whose words add up to ASum
// (the checksum field counted as zero).
uint32_t FinishChecksum(uint64_t ASum, uint64_t ALength);

}  // namespace Pack
