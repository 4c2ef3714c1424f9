// A readable image file: its type, how many images it holds (pages or
// frames), the properties of each, and each image decoded on request.
// Opens from a URL or from bytes; the codec is chosen from the file's
// signature, then the type hint, then the file extension.
#pragma once

#include <QByteArray>
#include <QUrl>
#include <QVariantMap>
#include <memory>

#include "graphics/CGImage.h"
#include "graphics/PDFImageRep.h"
#include "imageio/ImageCodec.h"
#include "imageio/ImageLimits.h"

namespace fnd {
class Error;
}

namespace io {

class ImageSource;
using ImageSourcePtr = std::shared_ptr<ImageSource>;

class ImageSource {
 public:
  // Null with `error` filled when the file cannot be read, is of no known
  // type, or its header is damaged. Options: SourceTypeIdentifierHint.
  static ImageSourcePtr createWithURL(const QUrl& url, const QVariantMap& options = {},
                                      fnd::Error* error = nullptr);
  static ImageSourcePtr createWithData(const QByteArray& data, const QVariantMap& options = {},
                                       fnd::Error* error = nullptr);
  // The type identifiers a source can open.
  static QStringList typeIdentifiers();

  QString type() const { return description_.type; }
  size_t count() const { return size_t(description_.images.size()); }
  // File-wide properties: FileSize and format dictionaries such as the GIF
  // loop count.
  QVariantMap properties() const;
  // Empty for an index out of range.
  QVariantMap propertiesAtIndex(size_t index) const;

  // The image as stored: orientation is reported in the properties, not
  // applied. Null with `error` filled for a bad index, a size over limits()
  // or damaged pixel data.
  gfx::CGImagePtr createImageAtIndex(size_t index, fnd::Error* error = nullptr) const;
  // A smaller copy whose longer side is at most SourceThumbnailMaxPixelSize
  // (the full size when absent), turned upright when
  // SourceCreateThumbnailWithTransform is true. Formats that can decode
  // reduced (PNG, GIF, JPEG, JPEG 2000, TIFF, OpenEXR, PDF) never hold the
  // full-size image; the others decode it and scale it down.
  gfx::CGImagePtr createThumbnailAtIndex(size_t index, const QVariantMap& options,
                                         fnd::Error* error = nullptr) const;

  // For a PDF source, the document with page selection; null otherwise.
  gfx::PDFImageRepPtr pdfImageRep(fnd::Error* error = nullptr) const;

  const ImageLimits& limits() const { return limits_; }
  void setLimits(const ImageLimits& limits) { limits_ = limits; }
  QByteArray data() const { return data_; }

 private:
  ImageSource(QByteArray data, const ImageCodec* codec, SourceDescription description);
  static ImageSourcePtr open(const QByteArray& data, const QString& typeHint, fnd::Error* error);

  QByteArray data_;
  const ImageCodec* codec_;
  SourceDescription description_;
  ImageLimits limits_;
};

}  // namespace io
