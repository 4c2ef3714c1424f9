#include "window/CanvasGeometry.h"

#include <algorithm>
#include <cmath>

gfx::AffineTransform CanvasGeometry::transformation(bool hasSizeDelegate, double zoom,
                                                    double backingScaleFactor) {
  gfx::AffineTransform transform;
  if (hasSizeDelegate && zoom != 0 && backingScaleFactor > 0)
    transform.scaleBy(zoom / backingScaleFactor);
  return transform;
}

QRectF CanvasGeometry::zoomededRect(const QRectF& rect, const gfx::AffineTransform& transform,
                                    bool inversed) {
  const gfx::AffineTransform applied = inversed ? transform.inverted() : transform;
  return {applied.transformPoint({rect.x(), rect.y()}),
          applied.transformSize({rect.width(), rect.height()})};
}

double CanvasGeometry::centeredOrigin(double documentExtent, double clipExtent) {
  return std::round((documentExtent - clipExtent) * 0.5);
}

QPointF CanvasGeometry::centerDocument(const QSizeF& documentSize, const QRectF& clipBounds) {
  double x = clipBounds.x(), y = clipBounds.y();
  if (clipBounds.width() > documentSize.width())
    x = centeredOrigin(documentSize.width(), clipBounds.width());
  if (clipBounds.height() > documentSize.height())
    y = centeredOrigin(documentSize.height(), clipBounds.height());
  return {x, y};
}

namespace {

double constrainAxis(double proposed, double document, double clip) {
  if (clip > document) return CanvasGeometry::centeredOrigin(document, clip);
  return std::round(std::max(std::min(proposed, document - clip), 0.0));
}

}  // namespace

QPointF CanvasGeometry::constrainScrollPoint(const QPointF& proposed, const QSizeF& documentSize,
                                             const QSizeF& clipSize) {
  return {constrainAxis(proposed.x(), documentSize.width(), clipSize.width()),
          constrainAxis(proposed.y(), documentSize.height(), clipSize.height())};
}

QPointF CanvasGeometry::clipOriginKeepingPoint(double zoom, const QPointF& point,
                                               const QSizeF& clipSize) {
  return {point.x() * zoom - clipSize.width() * 0.5, point.y() * zoom - clipSize.height() * 0.5};
}

QPointF CanvasGeometry::centralPointBeforeZoom(const QRectF& clipBounds, double oldZoom) {
  const double scale = oldZoom == 0 ? 1 : oldZoom;
  const QPointF centre(clipBounds.x() + clipBounds.width() * 0.5,
                       clipBounds.y() + clipBounds.height() * 0.5);
  return centre / scale;
}

bool CanvasGeometry::disablesInterpolation(bool interpolationPreferred, double zoom,
                                           double backingScaleFactor) {
  return !interpolationPreferred && zoom > backingScaleFactor;
}
