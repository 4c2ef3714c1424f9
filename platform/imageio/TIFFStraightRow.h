// Rows of samples a TIFF directory holds directly (TIFFDirectory::
// readsDirectly) as straight-alpha RGBA8888, the pixels a BoxReduction adds:
// grey spreads to the three colours, deeper samples round to 8 bits and
// associated alpha is divided out.
#pragma once

#include <QtGlobal>

#include "imageio/TIFFDirectory.h"

namespace io {

class TIFFStraightRow {
 public:
  // Whether rows of `d` are straight RGBA8888 already, to be added as stored.
  static bool isStraightRGBA8(const TIFFDirectory& d);
  // `count` pixels of `in` (laid out as the file stores them) into `out`.
  static void convert(const char* in, const TIFFDirectory& d, uint32_t count, uchar* out);
};

}  // namespace io
