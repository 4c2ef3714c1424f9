// How bitmap representations turn bytes into pixels and pixels into TIFF.
// The image-file layer installs its codecs here when a program links it, so
// a bitmap decodes exactly as an image source reads the same file while the
// graphics layer depends on nothing above it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSizeF>

#include "graphics/CGImage.h"

namespace fnd {
class Error;
}

namespace gfx {

enum class TIFFCompression { None = 1, LZW = 5, PackBits = 32773, JPEG = 6 };

// How decoded pixels are laid out: as the file stores them, or (8-bit
// images with alpha) as premultiplied ARGB32, the layout drawing samples.
enum class BitmapLayout { AsStored, Drawing };

// One image of a file, or one page to write: pixels top row first, upright,
// and their size in points (empty: one point per pixel).
struct BitmapPage {
  CGImagePtr image;
  QSizeF size;
};

class BitmapCoder {
 public:
  virtual ~BitmapCoder() = default;

  // Every image in `data`: each page of a multi-page TIFF, else the one
  // image. Empty with `error` filled when nothing can be read. With
  // `minimumLongerSide`, formats that can decode reduced may give fewer
  // pixels, down to that many along the longer side, without ever holding
  // the full-size ones; a page's size stays that of the full image.
  virtual QList<BitmapPage> decode(const QByteArray& data, fnd::Error* error,
                                   BitmapLayout layout = BitmapLayout::AsStored,
                                   int minimumLongerSide = 0) const = 0;

  // One TIFF holding `pages` in order: RGB, or RGBA with unassociated alpha;
  // 8 bits per sample, or 16 for deeper images except under JPEG; no
  // predictor; resolution from each page's size. `factor` is the JPEG
  // quality 0…1. The file starts after `prefix` bytes (left undefined) that
  // a caller wrapping it in a container of its own fills, so the file is
  // never copied. Empty on failure.
  virtual QByteArray encodeTIFF(const QList<BitmapPage>& pages, TIFFCompression compression,
                                float factor, qsizetype prefix = 0) const = 0;

  // The coder every bitmap representation uses; null until one is
  // installed. Installing replaces the previous one; the coder must outlive
  // every use.
  static const BitmapCoder* installed();
  static void install(const BitmapCoder* coder);
};

}  // namespace gfx
