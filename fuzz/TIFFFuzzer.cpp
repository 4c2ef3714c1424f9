// Fuzzes the TIFF reader (libtiff), every page, as an image source opens a file.
#include "FuzzSupport.h"
#include "imageio/TypeIdentifiers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::decodeEveryImage(io::TypeTIFF, fuzz::bytes(data, size)) ? 0 : -1;
}
