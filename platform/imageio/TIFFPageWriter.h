// Writes one image as a directory (page) of a TIFF being written: sets the
// directory's fields from a layout, then hands the strips to
// TIFFStripWriter with the image's rows brought into the file's samples
// strip by strip (never a converted copy of the whole image).
#pragma once

#include <tiffio.h>

#include <QByteArray>
#include <utility>
#include <vector>

#include "graphics/CGImage.h"

namespace io {

class TIFFMemoryStream;

class TIFFPageWriter {
 public:
  struct Layout {
    gfx::CGImagePtr image;
    bool alpha = false;  // a fourth, unassociated alpha sample
    bool gray = false;   // one sample (the image is grey and has no alpha)
    int bits = 8;        // 8 or 16 (unsigned integers), 32 (floats)
    uint16_t compression = COMPRESSION_NONE;
    uint16_t predictor = PREDICTOR_NONE;
    int jpegQuality = 75;
    double dpiX = 0, dpiY = 0;  // no resolution when 0
    int orientation = ORIENTATION_TOPLEFT;
    // ASCII fields (Make, Model, Software, …) by tag, zero-terminated.
    std::vector<std::pair<uint32_t, QByteArray>> text;
  };

  // Writes into the file `stream` has open for writing.
  static bool write(TIFFMemoryStream& stream, const Layout& layout, int page, int pages);
};

}  // namespace io
