// Fuzzes the PNG reader (libpng). Every chunk carries a CRC that libpng
// checks before anything else, so random mutations would almost never get
// past it: the mutator below writes the right CRC back into every chunk
// after each mutation.
#include <zlib.h>

#include "FuzzSupport.h"
#include "imageio/TypeIdentifiers.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

uint32_t bigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Rewrites the CRC of each whole chunk after the 8-byte signature; stops at
// the first chunk that runs past the end.
void repairChecksums(uint8_t* data, size_t size) {
  size_t at = 8;
  while (at + 12 <= size) {
    const uint32_t length = bigEndian32(data + at);
    if (length > size - at - 12) return;
    const uint8_t* typeAndData = data + at + 4;
    const uint32_t crc = uint32_t(crc32(0L, typeAndData, uInt(length + 4)));
    uint8_t* out = data + at + 8 + length;
    out[0] = uint8_t(crc >> 24);
    out[1] = uint8_t(crc >> 16);
    out[2] = uint8_t(crc >> 8);
    out[3] = uint8_t(crc);
    at += size_t(length) + 12;
  }
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int) {
  size = LLVMFuzzerMutate(data, size, maxSize);
  repairChecksums(data, size);
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::decodeEveryImage(io::TypePNG, fuzz::bytes(data, size)) ? 0 : -1;
}
