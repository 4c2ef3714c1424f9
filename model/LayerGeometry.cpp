#include <cmath>

#include "coreimage/Rect.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

QRectF boundingBoxOfCorners(const QRectF& rect, const gfx::AffineTransform& transform) {
  const QPointF corners[4] = {
      {rect.x(), rect.y()},
      {rect.x() + rect.width(), rect.y()},
      {rect.x(), rect.y() + rect.height()},
      {rect.x() + rect.width(), rect.y() + rect.height()},
  };
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (const QPointF& corner : corners) {
    QPointF p = transform.transformPoint(corner);
    minX = std::min(minX, p.x());
    minY = std::min(minY, p.y());
    maxX = std::max(maxX, p.x());
    maxY = std::max(maxY, p.y());
  }
  return {minX, minY, maxX - minX, maxY - minY};
}

// A rectangle with non-negative width and height covering the same area.
QRectF positive(QRectF rect) {
  if (rect.width() < 0)
    rect = QRectF(rect.x() + rect.width(), rect.y(), -rect.width(), rect.height());
  if (rect.height() < 0)
    rect = QRectF(rect.x(), rect.y() + rect.height(), rect.width(), -rect.height());
  return rect;
}

bool isZeroRect(const QRectF& rect) {
  return rect.x() == 0 && rect.y() == 0 && rect.width() == 0 && rect.height() == 0;
}

}  // namespace

QSizeF Layer::imageSizeForceNoFilters(bool force) const {
  if (isCoreImage()) {
    if (force || filteredCIImage().isNull()) return CIRect().size();
    return filteredCIRect().size();
  }
  Image* image = this->image();
  gfx::ImagePtr pixels = image ? image->localImage() : nullptr;
  return pixels ? pixels->size() : QSizeF();
}

QRectF Layer::boundsForceNoFilters(bool force, bool noTranslation) const {
  Image* image = this->image();
  if (!isText() && (!image || (!image->localImage() && image->ciImage().isNull()))) return {};
  QPointF origin = noTranslation ? QPointF() : this->origin();
  if (isCoreImage()) {
    origin +=
        (force || filteredCIImage().isNull()) ? CIRect().topLeft() : filteredCIRect().topLeft();
  } else if (image && ima_hasCoreImageBitmapRep(image->localImage())) {
    origin += ima_ciImage(image->localImage()).extent().topLeft();
  }
  return QRectF(origin, imageSizeForceNoFilters(force));
}

QRectF Layer::notInfiniteRectWithCIImage(const ci::Image& image) const {
  if (image.isNull()) return {};
  QRectF extent = image.extent();
  if (ci::isInfinite(extent)) return rectForInfineSizedLayer();
  return extent;
}

QRectF Layer::rectForInfineSizedLayer() const {
  ComposedImage* owner = composedImage();
  return positive(transformRectFromDocumentToLayer(owner ? owner->rect() : QRectF()));
}

QRectF Layer::CIRect() const {
  Image* image = this->image();
  return notInfiniteRectWithCIImage(image ? image->ciImage() : ci::Image());
}

QRectF Layer::filteredCIRect() const { return notInfiniteRectWithCIImage(filteredCIImage()); }

gfx::AffineTransform Layer::transformation() const {
  // The unfiltered size: the image turns and scales about its own centre,
  // whatever extent the filters give it.
  QSizeF size = boundsForceNoFilters(true).size();
  double w = size.width(), h = size.height();
  gfx::AffineTransform transform;
  transform.translateXBy(-w / 2, -h / 2);
  gfx::AffineTransform step;
  double angle = rotationAngle();
  if (angle != 0 && angle != 360) {
    step.rotateByDegrees(360 - angle);
    transform.appendTransform(step);
  }
  double zoom = this->zoom();
  if (zoom != 1) {
    step = gfx::AffineTransform();
    step.scaleBy(zoom);
    transform.appendTransform(step);
  }
  step = gfx::AffineTransform();
  step.translateXBy(w / 2 + xOrigin(), h / 2 + yOrigin());
  transform.appendTransform(step);
  return transform;
}

QRectF Layer::transformRectFromLayerToDocument(const QRectF& rect) const {
  gfx::AffineTransform transform = transformation();
  return QRectF(transform.transformPoint(rect.topLeft()), transform.transformSize(rect.size()));
}

QRectF Layer::transformRectFromDocumentToLayer(const QRectF& rect) const {
  gfx::AffineTransform transform = transformation().inverted();
  return QRectF(transform.transformPoint(rect.topLeft()), transform.transformSize(rect.size()));
}

QRectF Layer::clippingRectForceNoFilters(bool force) const {
  ci::Image filtered = filteredCIImage();
  if (!filtered.isNull() && ci::isInfinite(filtered.extent())) {
    ComposedImage* owner = composedImage();
    return owner ? owner->rect() : QRectF();
  }
  QRectF bounds = boundsForceNoFilters(force, true);
  // A layer with nothing to show touches nothing, wherever it is placed.
  if (isZeroRect(bounds) && !isText()) return {};
  QRectF box = boundingBoxOfCorners(bounds, transformation());
  return IMImagesUtilities::roundRect(box);
}

QRectF Layer::clippingRectWithAccumulatorForceNoFilters(bool force) const {
  QRectF accumulated = accumulator_ ? accumulator_->extent() : QRectF();
  Image* image = this->image();
  bool hasImage = image && (image->localImage() || !image->ciImage().isNull());
  if (!hasImage && !isText()) return accumulated;
  QRectF clip = clippingRectForceNoFilters(force);
  if (!accumulator_) return clip;
  if (isZeroRect(clip)) return accumulated;
  return ci::unite(clip, accumulated);
}

void Layer::resizeCenterdedOnOriginWithZoom(double factor) {
  if (factor == 1) return;
  QRectF before = bounds();
  QRectF unmoved = boundsForceNoFilters(false, true);
  QRectF d0 = transformRectFromLayerToDocument(unmoved);
  setZoom(zoom() * factor);
  QRectF d1 = transformRectFromLayerToDocument(unmoved);
  setOrigin(QPointF(d0.x() * factor - d1.x() + before.x(), d0.y() * factor - d1.y() + before.y()));
}
