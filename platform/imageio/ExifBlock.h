// The EXIF fields the codecs carry between formats: orientation, the
// camera's text fields of IFD0 ({TIFF}: Make, Model, …) and the {Exif}
// dictionary's pixel size, colour space, dates, lens and exposure. Reads
// them from a TIFF-structured EXIF block (JPEG APP1 payload after
// "Exif\0\0", PNG eXIf chunk) and writes the smallest block that holds them.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVariantMap>
#include <cstddef>

namespace io {

class ExifBlock {
 public:
  // The orientation (1–8) in `block`, or 0 when it holds none or is
  // malformed. Every offset is bounds-checked: the block comes from a file.
  static int orientation(const unsigned char* block, size_t size);

  // The carried fields of IFD0 as the {TIFF} dictionary holds them (text
  // fields, and Orientation when present); empty when there are none.
  static QVariantMap tiffDictionary(const unsigned char* block, size_t size);

  // The carried fields of the EXIF IFD as the {Exif} dictionary holds them;
  // empty when there is no EXIF IFD.
  static QVariantMap exifDictionary(const unsigned char* block, size_t size);

  // A little-endian block with IFD0 (the orientation, left out when it is 1
  // or absent, and the {TIFF} text fields of `properties`) and an EXIF IFD
  // giving the pixel size, sRGB and the {Exif} fields of `properties`.
  // `properties` is an image's property dictionary.
  static QByteArray make(const QVariantMap& properties, int width, int height);
  static QByteArray make(int orientation, int width, int height);

  // The JPEG APP1 payload: "Exif\0\0" followed by make().
  static QByteArray jpegPayload(const QVariantMap& properties, int width, int height);

  // Whether `properties` holds anything make() carries besides the pixel
  // size: an orientation other than 1, or a carried {TIFF} or {Exif} field.
  static bool carriesFields(const QVariantMap& properties);

  // The carried keys, as "{TIFF}.Make", "{Exif}.FNumber", … .
  static QStringList carriedKeys();
};

}  // namespace io
