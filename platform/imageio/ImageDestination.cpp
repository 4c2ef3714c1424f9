#include "imageio/ImageDestination.h"

#include <QSaveFile>

#include "foundation/Error.h"
#include "foundation/Localized.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

bool holdsSeveral(const QString& type) {
  return type == TypeTIFF || type == TypeGIF || type == TypePDF;
}

QVariantMap merged(QVariantMap base, const QVariantMap& over) {
  for (auto it = over.begin(); it != over.end(); ++it) base[it.key()] = it.value();
  return base;
}

}  // namespace

ImageDestination::ImageDestination(const ImageCodec* codec, QString type, size_t count,
                                   QVariantMap options)
    : codec_(codec), type_(std::move(type)), count_(count), options_(std::move(options)) {}

QStringList ImageDestination::typeIdentifiers() { return TypeIdentifiers::writableTypes(); }

QStringList ImageDestination::embeddedProperties(const QString& type) {
  const ImageCodec* codec = ImageCodec::forType(type);
  return codec && codec->canWrite(type) ? codec->embeddedProperties(type) : QStringList();
}

ImageDestinationPtr ImageDestination::create(const QString& type, size_t count,
                                             const QVariantMap& options, fnd::Error* error) {
  const ImageCodec* codec = ImageCodec::forType(type);
  if (!codec || !codec->canWrite(type)) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
              fnd::localized("Tessaly cannot write images of type “%1”.").arg(type));
    return nullptr;
  }
  if (count == 0 || (count > 1 && !holdsSeveral(type))) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
              fnd::localized("A %1 holds one image, not %2.")
                  .arg(TypeIdentifiers::localizedDescription(type))
                  .arg(count));
    return nullptr;
  }
  return ImageDestinationPtr(new ImageDestination(codec, type, count, options));
}

ImageDestinationPtr ImageDestination::createWithURL(const QUrl& url, const QString& type,
                                                    size_t count, const QVariantMap& options,
                                                    fnd::Error* error) {
  ImageDestinationPtr destination = create(type, count, options, error);
  if (destination) destination->path_ = url.isLocalFile() ? url.toLocalFile() : url.toString();
  return destination;
}

ImageDestinationPtr ImageDestination::createWithData(QByteArray* data, const QString& type,
                                                     size_t count, const QVariantMap& options,
                                                     fnd::Error* error) {
  ImageDestinationPtr destination = create(type, count, options, error);
  if (destination) destination->data_ = data;
  return destination;
}

void ImageDestination::setProperties(const QVariantMap& properties) {
  options_ = merged(options_, properties);
}

void ImageDestination::addImage(gfx::CGImagePtr image, const QVariantMap& properties) {
  frames_.append({std::move(image), properties});
}

bool ImageDestination::addImageFromSource(const ImageSource& source, size_t index,
                                          const QVariantMap& properties, fnd::Error* error) {
  gfx::CGImagePtr image = source.createImageAtIndex(index, error);
  if (!image) return false;
  addImage(image, merged(source.propertiesAtIndex(index), properties));
  return true;
}

bool ImageDestination::finalize(fnd::Error* error) {
  if (finalized_)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
                     fnd::localized("The image file was already written."));
  bool complete = size_t(frames_.size()) == count_;
  for (const EncodeFrame& frame : frames_)
    complete = complete && frame.image && frame.image->width() > 0 && frame.image->height() > 0;
  if (!complete)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
                     fnd::localized("The %1 expects %2 images; %3 were added.")
                         .arg(TypeIdentifiers::localizedDescription(type_))
                         .arg(count_)
                         .arg(frames_.size()));
  QList<EncodeFrame> frames;
  for (const EncodeFrame& frame : frames_)
    frames.append({frame.image, merged(options_, frame.properties)});
  if (data_) {
    QByteArray encoded;
    if (!codec_->write(type_, frames, options_, &encoded, error)) return false;
    finalized_ = true;
    *data_ = std::move(encoded);
    return true;
  }
  // The encoder writes into the file as it goes, so the file's bytes are
  // never all in memory; the file replaces the old one only once complete.
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) return failFile(file, error);
  fnd::Error cause;
  if (!codec_->writeToDevice(type_, frames, options_, &file, &cause)) {
    // A device that refused bytes (a full disk) says more than the encoder.
    const bool deviceFailed = file.error() != QFileDevice::NoError;
    if (deviceFailed) failFile(file, error);
    file.cancelWriting();
    return deviceFailed ? false : fnd::fail(error, cause);
  }
  finalized_ = true;
  if (!file.commit()) return failFile(file, error);
  return true;
}

bool ImageDestination::failFile(const QSaveFile& file, fnd::Error* error) const {
  int code = file.error() == QFileDevice::PermissionsError ? fnd::FileWriteNoPermissionError
             : file.error() == QFileDevice::ResourceError  ? fnd::FileWriteOutOfSpaceError
                                                           : fnd::FileWriteUnknownError;
  return fnd::fail(
      error,
      fnd::Error(fnd::CocoaErrorDomain, code,
                 {{fnd::LocalizedDescriptionKey,
                   fnd::localized("The image couldn’t be saved (%1).").arg(file.errorString())},
                  {fnd::FilePathErrorKey, path_}}));
}

}  // namespace io
