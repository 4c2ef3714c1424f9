#include "documents/ExportSnapshot.h"

#include <QFileInfo>
#include <QSaveFile>

#include "foundation/Error.h"
#include "foundation/Localized.h"
#include "graphics/Image.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"

namespace {

// The bitmap of a flattened image; without alpha an opaque copy, or the
// image itself when it has no alpha to drop.
gfx::CGImagePtr bitmapOf(const gfx::ImagePtr& image, bool alpha) {
  QRectF rect(QPointF(0, 0), image->size());
  if (!alpha)
    if (gfx::CGImagePtr opaque = new24BitReadyCGImageForProposedRect(image, &rect, nullptr))
      return opaque;
  return image->CGImageForProposedRect(&rect, nullptr);
}

bool failWrite(fnd::Error* error, const QString& path, const QString& cause) {
  fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
            fnd::localized("The file “%1” could not be written: %2").arg(path, cause));
  return false;
}

}  // namespace

bool ExportSnapshot::typeSupportsAlpha(const QString& type) {
  return type != io::TypeBMP && type != io::TypeJPEG;
}

QVariantMap ExportSnapshot::destinationProperties(const QVariantMap& options, bool hasAlpha) {
  QVariantMap properties = IMImagesUtilities::metadata(options, io::PropertyOrientation);
  properties[io::PropertyHasAlpha] = hasAlpha;
  return properties;
}

ExportSnapshot::Ptr ExportSnapshot::make(ComposedImage* image, const QString& type, bool keepsAlpha,
                                         const QVariantMap& options, fnd::Error* error) {
  auto snapshot = std::make_shared<ExportSnapshot>();
  snapshot->type_ = type;
  snapshot->hasAlpha_ = keepsAlpha && typeSupportsAlpha(type);
  snapshot->properties_ = destinationProperties(options, snapshot->hasAlpha_);
  if (image && type != io::TypePDF) {
    if (gfx::ImagePtr flat = image->finalImageKeepAlpha(snapshot->hasAlpha_))
      snapshot->bitmap_ = bitmapOf(flat, snapshot->hasAlpha_);
    if (snapshot->bitmap_) return snapshot;
  }
  fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
            fnd::localized("The image could not be flattened for export."));
  return nullptr;
}

ExportSnapshot::Ptr ExportSnapshot::withPDF(QByteArray pdf, fnd::Error* error) {
  if (pdf.isEmpty()) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
              fnd::localized("The image could not be drawn as a PDF page."));
    return nullptr;
  }
  auto snapshot = std::make_shared<ExportSnapshot>();
  snapshot->type_ = io::TypePDF;
  snapshot->pdf_ = std::move(pdf);
  return snapshot;
}

bool ExportSnapshot::encode(QByteArray* data, fnd::Error* error) const {
  if (type_ == io::TypePDF) {
    *data = pdf_;
    return true;
  }
  io::ImageDestinationPtr destination =
      io::ImageDestination::createWithData(data, type_, 1, {}, error);
  if (!destination) return false;
  destination->addImage(bitmap_, properties_);
  return destination->finalize(error);
}

bool ExportSnapshot::writeToPath(const QString& path, fnd::Error* error) const {
  QByteArray bytes;
  fnd::Error cause;
  if (!encode(&bytes, &cause)) return failWrite(error, path, cause.localizedDescription());
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    return failWrite(error, path, file.errorString());
  return true;
}
