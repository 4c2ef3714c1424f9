// Writes the pixel strips of the directory being set up in a libtiff
// handle on a memory stream. Strips are independent, so they are filled and
// compressed on the shared worker pool, each through a libtiff handle of its
// own (the bytes are libtiff's own codec's, with the directory's compression
// and predictor), then copied, also in parallel, straight to their places at
// the end of the one file, where libtiff records them as its raw strips.
#pragma once

#include <tiffio.h>

#include <functional>

namespace io {

class TIFFMemoryStream;

class TIFFStripWriter {
 public:
  // Fills `rowCount` rows from `firstRow` on, as the file stores them
  // (TIFFScanlineSize bytes each), at `out`. Called from worker threads.
  using FillRows = std::function<void(uint32_t firstRow, uint32_t rowCount, char* out)>;

  // Every field of the directory (size, samples, compression, predictor,
  // rows per strip) must be set. JPEG shares its tables across the
  // directory, so its strips are compressed by `tiff` itself, in turn.
  static bool write(TIFFMemoryStream& stream, const FillRows& fill);
};

}  // namespace io
