#include "graphics/DrawingHandlerImageRep.h"

#include <cmath>

#include "graphics/GraphicsContext.h"

namespace gfx {
namespace {

constexpr int MaxRenderSide = 16384;

quint64 cacheKey(QSize pixels) {
  return (quint64(quint32(pixels.width())) << 32) | quint32(pixels.height());
}

}  // namespace

DrawingHandlerImageRep::DrawingHandlerImageRep(QSizeF size, bool flipped, Handler handler)
    : ImageRep(size), flipped_(flipped), handler_(std::move(handler)) {}

CGImagePtr DrawingHandlerImageRep::renderedAt(QSize pixels) const {
  if (pixels.isEmpty() || size().isEmpty() || !handler_) return nullptr;
  {
    std::lock_guard lock(mutex_);
    if (CGImagePtr cached = cache_.value(cacheKey(pixels))) return cached;
  }
  auto bitmap = GraphicsContext::bitmapContext(pixels.width(), pixels.height());
  if (!bitmap) return nullptr;
  bitmap->scaleCTM(pixels.width() / size().width(), pixels.height() / size().height());
  if (flipped_) {
    bitmap->translateCTM(0, size().height());
    bitmap->scaleCTM(1, -1);
  }
  bool drawn;
  {
    // The handler may itself draw images with handlers; the lock is not held.
    CurrentContextScope scope(bitmap.get());
    drawn = handler_(QRectF(QPointF(0, 0), size()));
  }
  if (!drawn) return nullptr;
  CGImagePtr image = bitmap->makeImage();
  std::lock_guard lock(mutex_);
  cache_.insert(cacheKey(pixels), image);
  return image;
}

bool DrawingHandlerImageRep::draw(GraphicsContext& context, const QRectF& destination,
                                  const QRectF& source, CompositingOperation op,
                                  double fraction) const {
  if (size().isEmpty() || destination.isEmpty()) return false;
  QRectF part = source.isEmpty() ? QRectF(QPointF(0, 0), size()) : source;
  QSizeF deviceScale = context.deviceScale();
  double sx = destination.width() / part.width() * deviceScale.width();
  double sy = destination.height() / part.height() * deviceScale.height();
  QSize pixels(std::clamp(int(std::ceil(size().width() * sx - 1e-6)), 1, MaxRenderSide),
               std::clamp(int(std::ceil(size().height() * sy - 1e-6)), 1, MaxRenderSide));
  CGImagePtr image = renderedAt(pixels);
  if (!image) return false;
  double px = pixels.width() / size().width(), py = pixels.height() / size().height();
  QRectF sourcePixels(part.x() * px, (size().height() - part.y() - part.height()) * py,
                      part.width() * px, part.height() * py);
  context.drawImage(image, destination, source.isEmpty() ? QRectF() : sourcePixels, op, fraction);
  return true;
}

CGImagePtr DrawingHandlerImageRep::CGImageForProposedRect(const QRectF* proposedRect,
                                                          GraphicsContext* context) const {
  QSizeF points = proposedRect ? proposedRect->size() : size();
  QSizeF scale = context ? context->deviceScale() : QSizeF(1, 1);
  return renderedAt(QSize(int(std::ceil(points.width() * scale.width() - 1e-6)),
                          int(std::ceil(points.height() * scale.height() - 1e-6))));
}

ImageRepPtr DrawingHandlerImageRep::copy() const {
  return std::make_shared<DrawingHandlerImageRep>(size(), flipped_, handler_);
}

void DrawingHandlerImageRep::recache() {
  std::lock_guard lock(mutex_);
  cache_.clear();
}

int DrawingHandlerImageRep::cachedRenderingCount() const {
  std::lock_guard lock(mutex_);
  return int(cache_.size());
}

}  // namespace gfx
