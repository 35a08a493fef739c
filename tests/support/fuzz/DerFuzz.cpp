// Fuzz target of the DER reader the signature check uses on time stamps:
// the input is read as a TSTInfo, item by item, and as an object
// identifier. What is read lies inside the input, a time read is in range,
// and an item written again reads back the same.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Velqora.System.Der.h"

using namespace Velqora::Der;

#define CHECK(condition) \
  do {                   \
    if (!(condition)) __builtin_trap(); \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const TBytes input(AData, ASize);
  if (auto stamp = ReadTimeStamp(input)) {
    CHECK(stamp->HashedMessage.size() <= ASize);
    CHECK(stamp->Time.Month >= 1 && stamp->Time.Month <= 12 && stamp->Time.Day >= 1 && stamp->Time.Day <= 31);
    CHECK(stamp->Time.Hour < 24 && stamp->Time.Minute < 60 && stamp->Time.Second < 60);
    CHECK(!stamp->HashAlgorithm.empty());
  }
  TBytes rest = input;
  TItem item;
  while (TakeItem(rest, item)) {
    CHECK(item.Contents.data() >= AData && item.Contents.data() + item.Contents.size() <= AData + ASize);
    std::vector<uint8_t> again;
    AppendItem(again, item.Tag, item.Contents);
    TItem read;
    CHECK(OnlyItem(again, item.Tag, read) && read.Contents.size() == item.Contents.size());
  }
  ObjectIdentifierText(input);
  return 0;
}
