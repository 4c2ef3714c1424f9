#include "graphics/BitmapImageRep.h"

#include "graphics/GraphicsContext.h"

namespace gfx {
namespace {

bool isGray(const QImage& image) {
  return image.format() == QImage::Format_Grayscale8 ||
         image.format() == QImage::Format_Grayscale16 || image.format() == QImage::Format_Mono ||
         image.format() == QImage::Format_MonoLSB;
}

}  // namespace

BitmapImageRep::BitmapImageRep(CGImagePtr image)
    : ImageRep(image ? QSizeF(image->width(), image->height()) : QSizeF()),
      image_(std::move(image)) {}

std::shared_ptr<BitmapImageRep> BitmapImageRep::make(CGImagePtr image) {
  return image ? std::make_shared<BitmapImageRep>(std::move(image)) : nullptr;
}

std::shared_ptr<BitmapImageRep> BitmapImageRep::imageRepWithData(const QByteArray& data,
                                                                 fnd::Error* error) {
  QList<BitmapImageRepPtr> reps = imageRepsWithData(data, error);
  return reps.isEmpty() ? nullptr : reps.first();
}

int BitmapImageRep::pixelsWide() const { return image_ ? int(image_->width()) : 0; }
int BitmapImageRep::pixelsHigh() const { return image_ ? int(image_->height()) : 0; }
bool BitmapImageRep::hasAlpha() const { return image_ && image_->hasAlpha(); }

QString BitmapImageRep::colorSpaceName() const {
  return image_ && isGray(image_->qImage()) ? CalibratedWhiteColorSpace : CalibratedRGBColorSpace;
}

int BitmapImageRep::samplesPerPixel() const {
  if (!image_) return 0;
  return (isGray(image_->qImage()) ? 1 : 3) + (hasAlpha() ? 1 : 0);
}

int BitmapImageRep::bitsPerSample() const { return image_ ? int(image_->bitsPerComponent()) : 0; }
int BitmapImageRep::bitsPerPixel() const { return image_ ? int(image_->bitsPerPixel()) : 0; }
int BitmapImageRep::bytesPerRow() const { return image_ ? int(image_->bytesPerRow()) : 0; }

QColor BitmapImageRep::colorAtX(int x, int y) const {
  if (!image_ || !image_->qImage().valid(x, y)) return {};
  return image_->qImage().pixelColor(x, y);
}

bool BitmapImageRep::draw(GraphicsContext& context, const QRectF& destination, const QRectF& source,
                          CompositingOperation op, double fraction) const {
  if (!image_ || size().isEmpty()) return false;
  QRectF pixels;
  if (!source.isEmpty()) {
    // Points (y-up, origin bottom-left) → stored pixels (origin top-left).
    double sx = pixelsWide() / size().width(), sy = pixelsHigh() / size().height();
    pixels = QRectF(source.x() * sx, (size().height() - source.y() - source.height()) * sy,
                    source.width() * sx, source.height() * sy);
  }
  context.drawImage(image_, destination, pixels, op, fraction);
  return true;
}

CGImagePtr BitmapImageRep::CGImageForProposedRect(const QRectF*, GraphicsContext*) const {
  return image_;
}

ImageRepPtr BitmapImageRep::copy() const { return std::make_shared<BitmapImageRep>(*this); }

}  // namespace gfx
