// Fuzzes the JPEG 2000 reader (OpenJPEG), files and bare codestreams, as an image source opens a
// file.
#include "FuzzSupport.h"
#include "imageio/TypeIdentifiers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::decodeEveryImage(io::TypeJPEG2000, fuzz::bytes(data, size)) ? 0 : -1;
}
