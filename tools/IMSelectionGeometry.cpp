#include "tools/IMSelectionGeometry.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "model/IMImagesUtilities.h"

QRectF IMSelectionGeometry::intersectionRect(const QRectF& a, const QRectF& b) {
  const double left = std::max(a.x(), b.x());
  const double right = std::min(a.x() + a.width(), b.x() + b.width());
  const double bottom = std::max(a.y(), b.y());
  const double top = std::min(a.y() + a.height(), b.y() + b.height());
  if (a.x() + a.width() <= b.x() || b.x() + b.width() <= a.x() || a.y() + a.height() <= b.y() ||
      b.y() + b.height() <= a.y())
    return {};
  return {left, bottom, right - left, top - bottom};
}

QRectF IMSelectionGeometry::unionRect(const QRectF& a, const QRectF& b) {
  const bool aEmpty = a.width() <= 0 || a.height() <= 0;
  const bool bEmpty = b.width() <= 0 || b.height() <= 0;
  if (aEmpty) return bEmpty ? QRectF() : b;
  if (bEmpty) return a;
  const double left = std::min(a.x(), b.x());
  const double bottom = std::min(a.y(), b.y());
  const double right = std::max(a.x() + a.width(), b.x() + b.width());
  const double top = std::max(a.y() + a.height(), b.y() + b.height());
  return {left, bottom, right - left, top - bottom};
}

bool IMSelectionGeometry::pointInRect(const QPointF& p, const QRectF& r) {
  return p.x() >= r.x() && p.x() < r.x() + r.width() && p.y() >= r.y() &&
         p.y() < r.y() + r.height();
}

QRectF IMSelectionGeometry::clampedInside(QRectF r, const QRectF& bounds) {
  double x = r.x(), y = r.y();
  if (x < bounds.x()) x = bounds.x();
  if (x + r.width() > bounds.x() + bounds.width()) x = bounds.x() + bounds.width() - r.width();
  if (y < bounds.y()) y = bounds.y();
  if (y + r.height() > bounds.y() + bounds.height()) y = bounds.y() + bounds.height() - r.height();
  r.moveTo(x, y);
  return r;
}

gfx::BezierPath IMSelectionGeometry::pathCutToRect(const gfx::BezierPath& path,
                                                   const QRectF& rect) {
  QPainterPath area;
  area.addRect(rect);
  gfx::BezierPath cut(path.toQPainterPath().intersected(area));
  cut.setWindingRule(gfx::WindingRule::NonZero);
  return cut;
}

void lineFollowingPixelsToPoint(gfx::BezierPath& path, const QPointF& point) {
  const QPointF start = path.currentPoint();
  const double dx = point.x() - start.x();
  const double dy = point.y() - start.y();
  const auto steps = static_cast<unsigned long>(std::max(std::abs(dx), std::abs(dy)));
  if (steps > 0) {
    const double sx = dx / double(steps);
    const double sy = dy / double(steps);
    for (unsigned long i = 0; i < steps; ++i) {
      const QPointF q =
          IMImagesUtilities::roundPoint({start.x() + double(i) * sx, start.y() + double(i) * sy});
      const QPointF current = path.currentPoint();
      if (q.x() != current.x() && q.y() != current.y()) path.lineToPoint({q.x(), current.y()});
      path.lineToPoint(q);
    }
  }
  const QPointF current = path.currentPoint();
  if (point.x() != current.x() && point.y() != current.y())
    path.lineToPoint({point.x(), current.y()});
  path.lineToPoint(point);
}
