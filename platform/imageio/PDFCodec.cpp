#include "imageio/PDFCodec.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

#include "foundation/Error.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

const QString kName = QStringLiteral("PDF");

QSizeF pageSizeFor(const EncodeFrame& frame) {
  double dpiX = codec::dpiWidth(frame.properties), dpiY = codec::dpiHeight(frame.properties);
  if (dpiX <= 0) dpiX = dpiY = 72.0;
  return QSizeF(frame.image->width() * 72.0 / dpiX, frame.image->height() * 72.0 / dpiY);
}

QPageLayout layoutFor(const EncodeFrame& frame) {
  return QPageLayout(QPageSize(pageSizeFor(frame), QPageSize::Point), QPageLayout::Portrait,
                     QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

}  // namespace

QStringList PDFCodec::types() const { return {TypePDF}; }

bool PDFCodec::canWrite(const QString& type) const { return type == TypePDF; }

QString PDFCodec::sniff(const QByteArray& data) const {
  return data.startsWith("%PDF-") ? TypePDF : QString();
}

gfx::PDFImageRepPtr PDFCodec::imageRep(const QByteArray& data, fnd::Error* error) {
  fnd::Error failure;
  gfx::PDFImageRepPtr rep = gfx::PDFImageRep::imageRepWithData(data, &failure);
  if (!rep) codec::failRead(error, kName, failure.localizedDescription());
  return rep;
}

bool PDFCodec::readProperties(const QByteArray& data, SourceDescription* description,
                              fnd::Error* error) const {
  gfx::PDFImageRepPtr rep = imageRep(data, error);
  if (!rep) return false;
  description->images.clear();
  for (int page = 0; page < rep->pageCount(); ++page) {
    rep->setCurrentPage(page);
    QRectF bounds = rep->bounds();
    QVariantMap properties = codec::baseProperties(
        int(std::ceil(bounds.width())), int(std::ceil(bounds.height())), 8, false, ColorModelRGB);
    properties[PropertyDPIWidth] = 72.0;
    properties[PropertyDPIHeight] = 72.0;
    description->images.append(properties);
  }
  description->type = TypePDF;
  return true;
}

gfx::CGImagePtr PDFCodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                    fnd::Error* error) const {
  gfx::PDFImageRepPtr rep = imageRep(data, error);
  if (!rep) return nullptr;
  if (request.index < 0 || request.index >= rep->pageCount()) {
    codec::failRead(error, kName, QStringLiteral("there is no page %1").arg(request.index + 1));
    return nullptr;
  }
  rep->setCurrentPage(request.index);
  QRectF bounds = rep->bounds();
  int64_t width = int64_t(std::ceil(bounds.width())), height = int64_t(std::ceil(bounds.height()));
  if (!request.limits.check(width, height, kName, error)) return nullptr;
  // A page is drawn, not stored: a thumbnail renders at its own size.
  int64_t longer = std::max(width, height);
  if (request.minimumLongerSide > 0 && longer > request.minimumLongerSide) {
    double scale = double(request.minimumLongerSide) / double(longer);
    width = std::max<int64_t>(1, std::llround(double(width) * scale));
    height = std::max<int64_t>(1, std::llround(double(height) * scale));
  }
  // poppler draws into a bitmap of its own and copies it into the image.
  codec::RequestBudget budget(request, kName);
  ScopedReservation drawing(budget.get());
  if (!budget->reserveImage(width, height, QImage::Format_ARGB32, error) ||
      !drawing.reserve(DecodeBudget::imageBytes(width, height, QImage::Format_ARGB32), error))
    return nullptr;
  gfx::CGImagePtr image = rep->renderPage(int(width), int(height));
  if (!image) codec::failRead(error, kName, QStringLiteral("the page cannot be rendered"));
  return image;
}

bool PDFCodec::write(const QString&, const QList<EncodeFrame>& frames, const QVariantMap&,
                     QByteArray* output, fnd::Error* error) const {
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setCreator(QStringLiteral("Tessaly"));
    writer.setResolution(72);
    writer.setPageLayout(layoutFor(frames.first()));
    QPainter painter;
    if (!painter.begin(&writer))
      return codec::failWrite(error, kName, QStringLiteral("QPdfWriter cannot start"));
    // Without this hint Qt may store opaque images as JPEG.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    for (int i = 0; i < frames.size(); ++i) {
      if (i > 0) {
        writer.setPageLayout(layoutFor(frames[i]));
        writer.newPage();
      }
      const EncodeFrame& frame = frames[i];
      bool alpha = codec::keepsAlpha(*frame.image, frame.properties);
      QImage pixels = codec::pixels(*frame.image, alpha, 8);
      painter.drawImage(QRectF(QPointF(0, 0), pageSizeFor(frame)), pixels);
    }
    painter.end();
  }
  if (bytes.isEmpty())
    return codec::failWrite(error, kName, QStringLiteral("QPdfWriter wrote nothing"));
  *output = bytes;
  return true;
}

// The resolution only sizes the page; nothing is recorded as a property.
QStringList PDFCodec::embeddedProperties(const QString&) const { return {}; }

}  // namespace io
