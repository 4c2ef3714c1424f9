// Decodes the strips or tiles of one TIFF directory whose samples an image
// holds directly (TIFFDirectory::readsDirectly) into an image laid out as
// TIFFDirectory::directLayout(). Strips and tiles are independent, so runs
// of them decode on the shared worker pool, each run through a libtiff
// handle of its own open on the same bytes (mapped, so nothing is copied
// before decoding); strips whose rows match the image's decode in place.
// A reduced read averages each run's rows as they are decoded instead.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "imageio/DecodeBudget.h"
#include "imageio/TIFFDirectory.h"

namespace io {

class TIFFChunkReader {
 public:
  // Fills `image` (already of the directory's size and direct layout).
  // The buffers strips or tiles decode into when they cannot go straight
  // into the image are charged to `budget` first (one per worker); when
  // they do not fit, runs decode one after the other in one buffer. False
  // with `message` (damaged data) or `error` (refused budget) filled. With
  // `drawingLayout`, 8-bit RGBA comes as premultiplied ARGB32.
  static bool read(const QByteArray& data, int directory, const TIFFDirectory& d,
                   tmsize_t maxAllocation, bool drawingLayout, DecodeBudget& budget, QImage* image,
                   QString* message, fnd::Error* error);
  // How many runs a reduced read of `d` by `factor` splits into; fewer
  // than two when it is not worth splitting (the rows where runs may start
  // being too far apart).
  static int reducedRuns(const TIFFDirectory& d, int factor);
  // The directory reduced by `factor` (premultiplied RGBA8888, rows as
  // stored), the full-size image never existing: runs of rows that start
  // on a reduced row decode on the worker pool, a row or a tile at a time,
  // each adding its rows to the one reduction. Null with `message` or
  // `error` filled as above.
  static QImage readReduced(const QByteArray& data, int directory, const TIFFDirectory& d,
                            tmsize_t maxAllocation, int factor, DecodeBudget& budget,
                            QString* message, fnd::Error* error);
};

}  // namespace io
