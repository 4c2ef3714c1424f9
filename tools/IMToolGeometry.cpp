// The tools' class methods: the Shift angle constraint of the shape and
// gradient tools, and chooser images with a mode-menu triangle.
#include <cmath>

#include "graphics/BezierPath.h"
#include "graphics/GraphicsContext.h"
#include "tools/IMTool.h"

namespace {

constexpr double kPi = M_PI;

// The direction the angle snaps to; intervals closed below, open above.
double snappedDirection(double angle, bool isOnlyPi4) {
  const auto in = [angle](double low, double high) { return angle >= low && angle < high; };
  if (isOnlyPi4) {
    if (in(0, kPi / 2)) return kPi / 4;
    if (in(kPi / 2, kPi)) return 3 * kPi / 4;
    if (in(-kPi, -kPi / 2)) return -3 * kPi / 4;
    if (in(-kPi / 2, 0)) return -kPi / 4;
    return 0;
  }
  if (in(kPi / 8, 3 * kPi / 8)) return kPi / 4;
  if (in(3 * kPi / 8, 5 * kPi / 8)) return kPi / 2;
  if (in(5 * kPi / 8, 7 * kPi / 8)) return 3 * kPi / 4;
  if (in(-7 * kPi / 8, -5 * kPi / 8)) return -3 * kPi / 4;
  if (in(-5 * kPi / 8, -3 * kPi / 8)) return -kPi / 2;
  if (in(-3 * kPi / 8, -kPi / 8)) return -kPi / 4;
  return 0;
}

}  // namespace

QPointF IMTool::modifiedPointFromPoint(const QPointF& start, const QPointF& end, bool isOnlyPi4,
                                       unsigned flags) {
  if (!(flags & ui::ShiftKeyMask)) return end;
  const double dx = end.x() - start.x();
  const double dy = end.y() - start.y();
  const double angle = dx == 0 ? (dy > 0 ? kPi / 2 : -kPi / 2) : std::atan(dy / dx);
  const double f = snappedDirection(angle, isOnlyPi4);
  if (f == kPi / 2 || f == -kPi / 2) return {start.x(), end.y()};
  const double projected = f == 0 ? dx : dx * std::cos(f - angle) * std::cos(f) / std::cos(angle);
  return {start.x() + projected, start.y() + std::tan(f) * projected};
}

gfx::ImagePtr IMTool::composeTriangleWithLogo(const gfx::ImagePtr& logo) {
  constexpr double kWidth = 32, kHeight = 22;
  gfx::ImagePtr image = gfx::Image::make(QSizeF(kWidth, kHeight));
  if (!image->lockFocus()) return image;
  if (logo)
    logo->drawAtPoint(QPointF(0, kHeight - logo->size().height()), {},
                      gfx::CompositingOperation::DestinationOver, 1);
  gfx::BezierPath triangle;
  triangle.moveToPoint({kWidth - 8, 13});
  triangle.lineToPoint({kWidth - 4.5, 8});
  triangle.lineToPoint({kWidth - 1, 13});
  triangle.closePath();
  image->focusContext()->fillPath(triangle, Qt::black);
  image->unlockFocus();
  return image;
}
