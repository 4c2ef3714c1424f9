// Fuzzes the BMP reader, as an image source opens a file.
#include "FuzzSupport.h"
#include "imageio/TypeIdentifiers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::decodeEveryImage(io::TypeBMP, fuzz::bytes(data, size)) ? 0 : -1;
}
