#include "window/WindowZoomGeometry.h"

#include <algorithm>
#include <cmath>

double WindowZoomGeometry::validZoom(double zoom) {
  if (!std::isfinite(zoom) || zoom <= 0) return 1;
  return std::clamp(zoom, kMinimumZoom, kMaximumZoom);
}

std::uint64_t WindowZoomGeometry::titlePercent(double zoom) {
  const double percent = std::round(zoom * 100);
  if (!(percent > 0)) return 0;
  constexpr double kLargest = 1e15;  // exactly representable, far inside the type
  return std::uint64_t(std::min(percent, kLargest));
}

double WindowZoomGeometry::fitZoom(const QSizeF& imageSize, const QSizeF& visible,
                                   double backingScale) {
  const double scale = backingScale > 0 ? backingScale : 1;
  const double zx = imageSize.width() > 0 ? visible.width() * scale / imageSize.width() : 1;
  const double zy = imageSize.height() > 0 ? visible.height() * scale / imageSize.height() : 1;
  return std::min(zx, zy);
}

QRect WindowZoomGeometry::frameShowingImage(const QRect& frame, const QSizeF& hidden,
                                            const QRect& screen, const QSize& minimum) {
  if (screen.isEmpty()) return frame;
  const QRect grown(frame.x(), frame.y(), int(std::lround(frame.width() + hidden.width())),
                    int(std::lround(frame.height() + hidden.height())));
  const QRect inside = grown.intersected(screen);
  const int width = std::max(inside.isEmpty() ? 0 : inside.width(), minimum.width());
  const int height = std::max(inside.isEmpty() ? 0 : inside.height(), minimum.height());
  return QRect(frame.x(), frame.y(), width, height);
}

WindowZoomGeometry::Area WindowZoomGeometry::areaAfter(Area area, bool hide, double defaultSize) {
  const bool shown = area.size != 0;
  if (shown != hide) return area;
  if (hide) return {0, area.space - defaultSize};
  return {defaultSize, area.space + defaultSize};
}
