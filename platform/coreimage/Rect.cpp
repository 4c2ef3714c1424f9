#include "coreimage/Rect.h"

namespace ci {

namespace {
// Far enough out that no real image reaches it, near enough that sizes fit an int.
constexpr double kPixelLimit = 1 << 29;
}  // namespace

bool isInfinite(const QRectF& rect) {
  return rect.width() >= kInfiniteExtent * 0.5 || rect.height() >= kInfiniteExtent * 0.5;
}

bool isEmpty(const QRectF& rect) { return !(rect.width() > 0) || !(rect.height() > 0); }

QRectF intersect(const QRectF& a, const QRectF& b) {
  if (isEmpty(a) || isEmpty(b)) return {};
  const double x0 = std::max(a.x(), b.x()), y0 = std::max(a.y(), b.y());
  const double x1 = std::min(a.x() + a.width(), b.x() + b.width());
  const double y1 = std::min(a.y() + a.height(), b.y() + b.height());
  if (x1 <= x0 || y1 <= y0) return {};
  return QRectF(x0, y0, x1 - x0, y1 - y0);
}

QRectF unite(const QRectF& a, const QRectF& b) {
  if (isEmpty(a)) return b;
  if (isEmpty(b)) return a;
  const double x0 = std::min(a.x(), b.x()), y0 = std::min(a.y(), b.y());
  const double x1 = std::max(a.x() + a.width(), b.x() + b.width());
  const double y1 = std::max(a.y() + a.height(), b.y() + b.height());
  return QRectF(x0, y0, x1 - x0, y1 - y0);
}

QRectF inset(const QRectF& rect, double dx, double dy) {
  if (isInfinite(rect) || isEmpty(rect)) return rect;
  return QRectF(rect.x() + dx, rect.y() + dy, rect.width() - 2 * dx, rect.height() - 2 * dy);
}

bool IRect::contains(const IRect& o) const {
  return o.x >= x && o.y >= y && o.right() <= right() && o.top() <= top();
}

IRect IRect::intersected(const IRect& o) const {
  const int x0 = std::max(x, o.x), y0 = std::max(y, o.y);
  const int x1 = std::min(right(), o.right()), y1 = std::min(top(), o.top());
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

IRect IRect::united(const IRect& o) const {
  if (isEmpty()) return o;
  if (o.isEmpty()) return *this;
  const int x0 = std::min(x, o.x), y0 = std::min(y, o.y);
  return {x0, y0, std::max(right(), o.right()) - x0, std::max(top(), o.top()) - y0};
}

IRect IRect::adjusted(int dx0, int dy0, int dx1, int dy1) const {
  return {x + dx0, y + dy0, w - dx0 + dx1, h - dy0 + dy1};
}

IRect IRect::covering(const QRectF& rect) {
  if (ci::isEmpty(rect)) return {};
  auto clampEdge = [](double v) { return std::clamp(v, -kPixelLimit, kPixelLimit); };
  // A hair of tolerance so that 10.0000000001 does not pull in a whole column.
  constexpr double eps = 1e-7;
  const double x0 = std::floor(clampEdge(rect.x()) + eps);
  const double y0 = std::floor(clampEdge(rect.y()) + eps);
  const double x1 = std::ceil(clampEdge(rect.x() + rect.width()) - eps);
  const double y1 = std::ceil(clampEdge(rect.y() + rect.height()) - eps);
  if (x1 <= x0 || y1 <= y0) return {};
  return {int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

}  // namespace ci
