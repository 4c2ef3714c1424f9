#include "graphics/CGImage.h"

#include "foundation/WorkerPool.h"
#include "graphics/ReducedPixels.h"

namespace gfx {

CGImage::DrawingCache::DrawingCache() = default;
CGImage::DrawingCache::~DrawingCache() = default;

CGImage::CGImage(QImage pixels) : image_(std::move(pixels)) {}

CGImagePtr CGImage::make(QImage pixels) {
  return std::make_shared<const CGImage>(std::move(pixels));
}

size_t CGImage::bitsPerComponent() const {
  switch (image_.format()) {
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_RGBX64:
    case QImage::Format_Grayscale16:
      return 16;
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBX16FPx4:
      return 16;
    case QImage::Format_RGBA32FPx4:
    case QImage::Format_RGBA32FPx4_Premultiplied:
    case QImage::Format_RGBX32FPx4:
      return 32;
    default:
      return 8;
  }
}

bool CGImage::isFloat() const {
  switch (image_.format()) {
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBA32FPx4:
    case QImage::Format_RGBA32FPx4_Premultiplied:
    case QImage::Format_RGBX32FPx4:
      return true;
    default:
      return false;
  }
}

ImageAlphaInfo CGImage::alphaInfo() const {
  switch (image_.format()) {
    case QImage::Format_ARGB32_Premultiplied:
      return ImageAlphaInfo::PremultipliedFirst;
    case QImage::Format_ARGB32:
      return ImageAlphaInfo::First;
    case QImage::Format_RGB32:
      return ImageAlphaInfo::NoneSkipFirst;
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA32FPx4:
      return ImageAlphaInfo::Last;
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBA32FPx4_Premultiplied:
      return ImageAlphaInfo::PremultipliedLast;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBX32FPx4:
      return ImageAlphaInfo::NoneSkipLast;
    default:
      return ImageAlphaInfo::None;
  }
}

QImage CGImage::toFormat(QImage::Format format) const {
  return image_.format() == format ? image_ : image_.convertToFormat(format);
}

const QImage& CGImage::drawingPixels() const {
  if (bitsPerComponent() != 8 || image_.format() == QImage::Format_ARGB32_Premultiplied)
    return image_;
  std::lock_guard lock(drawingCache_->mutex);
  if (drawingCache_->pixels.isNull())
    drawingCache_->pixels = image_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return drawingCache_->pixels;
}

const ReducedPixels& CGImage::halfSizePixels() const {
  const QImage& full = drawingPixels();
  std::lock_guard lock(drawingCache_->mutex);
  if (!drawingCache_->half) drawingCache_->half = std::make_unique<ReducedPixels>(full, nullptr);
  return *drawingCache_->half;
}

bool CGImage::hasHalfSizePixels() const {
  std::lock_guard lock(drawingCache_->mutex);
  return drawingCache_->half != nullptr;
}

void CGImage::prepareHalfSizePixelsInBackground() const {
  // Smaller images are halved as fast as they are drawn.
  constexpr qint64 LargePixels = 1 << 20;
  if (bitsPerComponent() != 8 || qint64(image_.width()) * image_.height() < LargePixels) return;
  {
    std::lock_guard lock(drawingCache_->mutex);
    if (drawingCache_->half) return;
  }
  // A copy shares the pixels and their cache, and keeps both alive.
  fnd::WorkerPool::start([image = *this] {
    const ReducedPixels& half = image.halfSizePixels();
    half.prepare(half.pixels().rect());
  });
}

}  // namespace gfx
