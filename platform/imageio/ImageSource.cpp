#include "imageio/ImageSource.h"

#include <QFile>
#include <QFileInfo>

#include "foundation/Error.h"
#include "foundation/Localized.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/PDFCodec.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

ImageSource::ImageSource(QByteArray data, const ImageCodec* codec, SourceDescription description)
    : data_(std::move(data)), codec_(codec), description_(std::move(description)) {}

QStringList ImageSource::typeIdentifiers() { return TypeIdentifiers::readableTypes(); }

ImageSourcePtr ImageSource::createWithURL(const QUrl& url, const QVariantMap& options,
                                          fnd::Error* error) {
  QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    int code = !QFileInfo::exists(path)                        ? fnd::FileReadNoSuchFileError
               : file.error() == QFileDevice::PermissionsError ? fnd::FileReadNoPermissionError
                                                               : fnd::FileReadUnknownError;
    fnd::fail(
        error,
        fnd::Error(
            fnd::CocoaErrorDomain, code,
            {{fnd::LocalizedDescriptionKey,
              fnd::localized("The file “%1” couldn’t be opened.").arg(QFileInfo(path).fileName())},
             {fnd::FilePathErrorKey, path}}));
    return nullptr;
  }
  QString hint = options.value(SourceTypeIdentifierHint).toString();
  if (hint.isEmpty()) hint = TypeIdentifiers::typeForFilenameExtension(QFileInfo(path).suffix());
  return open(file.readAll(), hint, error);
}

ImageSourcePtr ImageSource::createWithData(const QByteArray& data, const QVariantMap& options,
                                           fnd::Error* error) {
  return open(data, options.value(SourceTypeIdentifierHint).toString(), error);
}

ImageSourcePtr ImageSource::open(const QByteArray& data, const QString& typeHint,
                                 fnd::Error* error) {
  if (data.isEmpty()) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
              fnd::localized("The image file is empty."));
    return nullptr;
  }
  // The signature decides; a hint only helps files without one (Targa) and
  // names the format whose error a damaged file gets.
  const ImageCodec* codec = ImageCodec::sniffType(data, nullptr);
  if (!codec && !typeHint.isEmpty()) codec = ImageCodec::forType(typeHint);
  if (!codec) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
              fnd::localized("The file is not an image in a format Tessaly can open."));
    return nullptr;
  }
  SourceDescription description;
  if (!codec->readProperties(data, &description, error)) return nullptr;
  if (description.images.isEmpty()) {
    codec::failRead(error, TypeIdentifiers::localizedDescription(description.type),
                    fnd::localized("it holds no image"));
    return nullptr;
  }
  return ImageSourcePtr(new ImageSource(data, codec, std::move(description)));
}

QVariantMap ImageSource::properties() const {
  QVariantMap properties = description_.properties;
  properties[PropertyFileSize] = qlonglong(data_.size());
  return properties;
}

QVariantMap ImageSource::propertiesAtIndex(size_t index) const {
  return index < count() ? description_.images.at(qsizetype(index)) : QVariantMap();
}

gfx::CGImagePtr ImageSource::createImageAtIndex(size_t index, fnd::Error* error) const {
  if (index >= count()) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadUnknownError,
              fnd::localized("The file holds no image number %1.").arg(index + 1));
    return nullptr;
  }
  DecodeRequest request;
  request.index = int(index);
  request.limits = limits_;
  return codec_->readImage(data_, request, error);
}

gfx::CGImagePtr ImageSource::createThumbnailAtIndex(size_t index, const QVariantMap& options,
                                                    fnd::Error* error) const {
  if (index >= count()) return createImageAtIndex(index, error);
  int maxSide = options.value(SourceThumbnailMaxPixelSize).toInt();
  DecodeRequest request;
  request.index = int(index);
  request.limits = limits_;
  request.minimumLongerSide = std::max(maxSide, 0);
  gfx::CGImagePtr full = codec_->readImage(data_, request, error);
  if (!full) return nullptr;
  QImage thumbnail = codec::fitWithin(full->qImage(), maxSide);
  if (options.value(SourceCreateThumbnailWithTransform).toBool())
    thumbnail = codec::applyOrientation(thumbnail, codec::orientation(propertiesAtIndex(index)));
  return gfx::CGImage::make(std::move(thumbnail));
}

gfx::PDFImageRepPtr ImageSource::pdfImageRep(fnd::Error* error) const {
  if (type() != TypePDF) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadUnknownError,
              fnd::localized("The file is not a PDF document."));
    return nullptr;
  }
  return PDFCodec::imageRep(data_, error);
}

}  // namespace io
