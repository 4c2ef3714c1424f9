// The image-file layer's codecs as the graphics layer's bitmap coder: bytes
// decode through an image source (TIFF pages at their resolution, other
// formats one point per pixel, each turned upright), and bitmaps write
// through the TIFF codec. Installed when a program starts, by an object
// every program linking this library carries (GraphicsBitmapCoderInstall.cpp).
#pragma once

#include "graphics/BitmapCoder.h"

namespace io {

class GraphicsBitmapCoder : public gfx::BitmapCoder {
 public:
  QList<gfx::BitmapPage> decode(const QByteArray& data, fnd::Error* error, gfx::BitmapLayout layout,
                                int minimumLongerSide) const override;
  QByteArray encodeTIFF(const QList<gfx::BitmapPage>& pages, gfx::TIFFCompression compression,
                        float factor, qsizetype prefix) const override;
};

// Installs the one instance; safe to call more than once.
void installGraphicsBitmapCoder();

}  // namespace io
