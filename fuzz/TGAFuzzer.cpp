// Fuzzes the Targa reader, which has no signature and is chosen by the type hint, as an image
// source opens a file.
#include "FuzzSupport.h"
#include "imageio/TypeIdentifiers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::decodeEveryImage(io::TypeTGA, fuzz::bytes(data, size)) ? 0 : -1;
}
