// The fields of one TIFF directory (image) that decoding and the reported
// properties depend on, read once from libtiff.
#pragma once

#include <tiffio.h>

#include <QImage>

namespace io {

struct TIFFDirectory {
  uint32_t width = 0, height = 0;
  uint16_t bitsPerSample = 1, samplesPerPixel = 1, photometric = 0, compression = 1;
  uint16_t orientation = 1, planar = PLANARCONFIG_CONTIG, sampleFormat = SAMPLEFORMAT_UINT;
  uint16_t resolutionUnit = RESUNIT_INCH, extraCount = 0, firstExtra = 0;
  float xResolution = 0, yResolution = 0;
  bool tiled = false;
  uint32_t tileWidth = 0, tileHeight = 0, rowsPerStrip = 0;

  static TIFFDirectory read(TIFF* tiff);

  bool hasAlpha() const { return extraCount > 0; }
  bool associatedAlpha() const { return extraCount > 0 && firstExtra == EXTRASAMPLE_ASSOCALPHA; }
  bool isFloat() const { return sampleFormat == SAMPLEFORMAT_IEEEFP; }

  // Whether samples can be copied straight into an image (grey or RGB, with
  // or without alpha, 8/16-bit integers or 32-bit floats, interleaved), by
  // strips or by tiles, without libtiff's RGBA converter, which
  // premultiplies and knows only 8 bits.
  bool readsDirectly() const;
  // The image layout those samples are copied into.
  QImage::Format directLayout() const;
  // Bytes one sample takes in a directly read directory.
  int sampleBytes() const { return bitsPerSample / 8; }
};

}  // namespace io
