// A TIFF thumbnail: rows averaged into an image reduced by a whole factor as
// they are decoded, a row, strip or tile at a time, so the full-size image
// never exists. Samples an image holds directly and palette indices come
// from libtiff's row and tile readers; every other kind (CMYK, YCbCr, …)
// from its RGBA converter, a strip or tile at a time.
#pragma once

#include <QImage>
#include <QString>

#include "imageio/DecodeBudget.h"
#include "imageio/TIFFDirectory.h"

namespace io {

class TIFFThumbnailReader {
 public:
  // The current directory of `tiff` reduced by `factor` (premultiplied
  // RGBA8888, rows as stored). Null with `error` filled when the budget
  // refuses the working buffers or the data is damaged.
  static QImage read(TIFF* tiff, const TIFFDirectory& d, int factor, DecodeBudget& budget,
                     QString* problem, fnd::Error* error);
};

}  // namespace io
