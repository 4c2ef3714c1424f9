#include "model/VisiblePart.h"

#include <algorithm>
#include <cmath>

#include "coreimage/Rect.h"
#include "graphics/GraphicsContext.h"

QRectF visiblePartOfRect(const QRectF& bounds) {
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  if (!context || ci::isEmpty(bounds) || ci::isInfinite(bounds)) return bounds;
  // Two pixels of the content and two of the device around the clip: a
  // filtered sample reads one pixel beyond itself, and an antialiased edge
  // of the drawn part must fall outside the clip.
  const QSizeF scale = context->deviceScale();
  const double smallest = std::min(scale.width(), scale.height());
  if (!(smallest > 1e-9)) return bounds;
  const double margin = 2 + 2 / smallest;
  const QRectF clip = context->clipBoundingBox().adjusted(-margin, -margin, margin, margin);
  const QRectF part = ci::intersect(bounds, clip);
  if (ci::isEmpty(part)) return {};
  const double left = bounds.x() + std::floor(part.x() - bounds.x());
  const double bottom = bounds.y() + std::floor(part.y() - bounds.y());
  const double right = std::min(bounds.x() + bounds.width(),
                                bounds.x() + std::ceil(part.x() + part.width() - bounds.x()));
  const double top = std::min(bounds.y() + bounds.height(),
                              bounds.y() + std::ceil(part.y() + part.height() - bounds.y()));
  return QRectF(left, bottom, right - left, top - bottom);
}
