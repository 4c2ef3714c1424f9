// A writable image file of one type: images are added with their
// properties, then finalize() encodes them all and writes the file (or
// fills the data) in one step, so a failure leaves no partial file behind.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSaveFile>
#include <QUrl>
#include <QVariantMap>
#include <memory>

#include "graphics/CGImage.h"
#include "imageio/ImageCodec.h"

namespace fnd {
class Error;
}

namespace io {

class ImageSource;
class ImageDestination;
using ImageDestinationPtr = std::shared_ptr<ImageDestination>;

class ImageDestination {
 public:
  // Null with `error` filled for a type no codec writes, or a count above
  // one for a type that holds a single image. `count` is the number of
  // images finalize() expects.
  static ImageDestinationPtr createWithURL(const QUrl& url, const QString& type, size_t count,
                                           const QVariantMap& options = {},
                                           fnd::Error* error = nullptr);
  // `data` must outlive the destination; finalize() replaces its contents.
  static ImageDestinationPtr createWithData(QByteArray* data, const QString& type, size_t count,
                                            const QVariantMap& options = {},
                                            fnd::Error* error = nullptr);
  // The type identifiers a destination can write.
  static QStringList typeIdentifiers();
  // What a file of `type` keeps of the properties given to it (see
  // ImageCodec::embeddedProperties); empty for a type no codec writes.
  static QStringList embeddedProperties(const QString& type);

  QString type() const { return type_; }

  // File-wide options (quality, GIF loop count, …); per-image properties
  // given to addImage override them.
  void setProperties(const QVariantMap& properties);
  void addImage(gfx::CGImagePtr image, const QVariantMap& properties = {});
  // Adds image `index` of `source` with its own properties under `properties`.
  bool addImageFromSource(const ImageSource& source, size_t index,
                          const QVariantMap& properties = {}, fnd::Error* error = nullptr);

  // Encodes and writes. False (with `error`) when an image is missing, the
  // codec fails or the file cannot be written; the target is then untouched.
  bool finalize(fnd::Error* error = nullptr);

 private:
  ImageDestination(const ImageCodec* codec, QString type, size_t count, QVariantMap options);
  static ImageDestinationPtr create(const QString& type, size_t count, const QVariantMap& options,
                                    fnd::Error* error);
  bool failFile(const QSaveFile& file, fnd::Error* error) const;

  const ImageCodec* codec_;
  QString type_;
  size_t count_;
  QVariantMap options_;
  QList<EncodeFrame> frames_;
  QString path_;
  QByteArray* data_ = nullptr;
  bool finalized_ = false;
};

}  // namespace io
