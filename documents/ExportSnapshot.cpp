#include "documents/ExportSnapshot.h"

#include <QFileInfo>
#include <QSaveFile>

#include "foundation/Error.h"
#include "foundation/Localized.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"

namespace {

// The flattened pixels without alpha, as they look laid on opaque black:
// premultiplied colour is exactly that, so the alpha bytes are set opaque in
// place rather than the whole image drawn into a second bitmap.
gfx::CGImagePtr opaqueOverBlack(gfx::CGImagePtr bitmap) {
  if (!bitmap->hasAlpha()) return bitmap;
  QImage pixels = bitmap->qImage();
  bitmap.reset();  // the flattened image is usually the last holder: no copy follows
  if (pixels.format() != QImage::Format_ARGB32_Premultiplied)
    pixels = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < pixels.height(); ++y) {
    auto* row = reinterpret_cast<quint32*>(pixels.scanLine(y));
    for (int x = 0; x < pixels.width(); ++x) row[x] |= 0xff000000u;
  }
  pixels.reinterpretAsFormat(QImage::Format_RGB32);
  return gfx::CGImage::make(std::move(pixels));
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
                                         const QVariantMap& options, ui::PrintInfoPtr printInfo,
                                         fnd::Error* error) {
  if (!image || image->rect().isEmpty()) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
              fnd::localized("The image could not be flattened for export."));
    return nullptr;
  }
  auto snapshot = std::make_shared<ExportSnapshot>();
  snapshot->type_ = type;
  snapshot->keepsAlpha_ = keepsAlpha;
  snapshot->hasAlpha_ = keepsAlpha && typeSupportsAlpha(type);
  snapshot->properties_ = destinationProperties(options, snapshot->hasAlpha_);
  snapshot->composition_ = CompositionSnapshot::make(image);
  // The page settings are the document's; the copy keeps later changes out.
  if (type == io::TypePDF) snapshot->printInfo_ = printInfo ? printInfo->copy() : nullptr;
  return snapshot;
}

ui::PrintOperation::DrawingHandler ExportSnapshot::pageDrawing(CompositionSnapshot::Ptr composition,
                                                               bool keepsAlpha) {
  // PDF pages and printers composite source-over only and cannot read back
  // what a page already shows; any other operation is flattened first,
  // once for all the pages of the operation.
  auto flattened = std::make_shared<gfx::ImagePtr>();
  return [composition, keepsAlpha, flattened](gfx::GraphicsContext& context, const QRectF& rect) {
    gfx::CurrentContextScope scope(&context);
    if (!composition->isSourceOverOnly()) {
      if (!*flattened) *flattened = composition->finalImageKeepAlpha(keepsAlpha);
      if (!*flattened) return;
      context.saveGState();
      context.clipToRect(rect);
      (*flattened)->drawAtPoint(composition->rect().topLeft());
      context.restoreGState();
      return;
    }
    if (!keepsAlpha) context.fillRect(rect, Qt::white, gfx::CompositingOperation::SourceOver);
    composition->compositeInRect(rect);
  };
}

bool ExportSnapshot::encodePDF(QByteArray* data, fnd::Error* error) const {
  auto operation =
      ui::PrintOperation::PDFOperation(composition_->rect(), pageDrawing(composition_, keepsAlpha_),
                                       data, printInfo_ ? printInfo_ : ui::PrintInfo::make());
  operation->setShowsPrintPanel(false);
  if (operation->runOperation() && !data->isEmpty()) return true;
  fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
            fnd::localized("The image could not be drawn as a PDF page."));
  return false;
}

gfx::CGImagePtr ExportSnapshot::flattenedBitmap(fnd::Error* error) const {
  gfx::CGImagePtr bitmap;
  if (gfx::ImagePtr flat = composition_->finalImageKeepAlpha(hasAlpha_)) {
    QRectF rect(QPointF(0, 0), flat->size());
    bitmap = flat->CGImageForProposedRect(&rect, nullptr);
  }
  if (bitmap && !hasAlpha_) bitmap = opaqueOverBlack(std::move(bitmap));
  if (!bitmap)
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
              fnd::localized("The image could not be flattened for export."));
  return bitmap;
}

bool ExportSnapshot::encode(QByteArray* data, fnd::Error* error) const {
  if (type_ == io::TypePDF) return encodePDF(data, error);
  gfx::CGImagePtr bitmap = flattenedBitmap(error);
  if (!bitmap) return false;
  io::ImageDestinationPtr destination =
      io::ImageDestination::createWithData(data, type_, 1, {}, error);
  if (!destination) return false;
  destination->addImage(std::move(bitmap), properties_);
  return destination->finalize(error);
}

bool ExportSnapshot::writeToPath(const QString& path, fnd::Error* error) const {
  fnd::Error cause;
  if (type_ == io::TypePDF) {
    QByteArray bytes;
    if (!encode(&bytes, &cause)) return failWrite(error, path, cause.localizedDescription());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
      return failWrite(error, path, file.errorString());
    return true;
  }
  // Encoded straight into the file: the encoded bytes are never all held
  // beside the flattened pixels.
  gfx::CGImagePtr bitmap = flattenedBitmap(&cause);
  io::ImageDestinationPtr destination =
      bitmap ? io::ImageDestination::createWithURL(QUrl::fromLocalFile(path), type_, 1, {}, &cause)
             : nullptr;
  if (!destination) return failWrite(error, path, cause.localizedDescription());
  destination->addImage(std::move(bitmap), properties_);
  if (!destination->finalize(&cause)) return failWrite(error, path, cause.localizedDescription());
  return true;
}
