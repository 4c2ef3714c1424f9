// The EXIF fields the codecs carry between formats: orientation, and the
// pixel dimensions and colour space of the {Exif} dictionary. Reads them
// from a TIFF-structured EXIF block (JPEG APP1 payload after "Exif\0\0",
// PNG eXIf chunk) and writes the smallest block that holds them.
#pragma once

#include <QByteArray>
#include <QVariantMap>
#include <cstddef>

namespace io {

class ExifBlock {
 public:
  // The orientation (1–8) in `block`, or 0 when it holds none or is
  // malformed. Every offset is bounds-checked: the block comes from a file.
  static int orientation(const unsigned char* block, size_t size);

  // PixelXDimension, PixelYDimension and ColorSpace from the EXIF IFD, as
  // the {Exif} dictionary holds them; empty when there is no EXIF IFD.
  static QVariantMap exifDictionary(const unsigned char* block, size_t size);

  // A little-endian block with the orientation in IFD0 and an EXIF IFD
  // giving the pixel size and sRGB colour space.
  static QByteArray make(int orientation, int width, int height);

  // The JPEG APP1 payload: "Exif\0\0" followed by make().
  static QByteArray jpegPayload(int orientation, int width, int height);
};

}  // namespace io
