#include "graphics/ConvexCoverage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gfx {
namespace {

// Points of `in` on the side of the line where `inside(p)` holds, with the
// crossing points added (one Sutherland–Hodgman step).
template <class Inside, class Cross>
int clipPolygon(const QPointF* in, int count, QPointF* out, Inside inside, Cross cross) {
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const QPointF& a = in[i];
    const QPointF& b = in[(i + 1) % count];
    const bool aIn = inside(a), bIn = inside(b);
    if (aIn) out[n++] = a;
    if (aIn != bIn) out[n++] = cross(a, b);
  }
  return n;
}

int clipBelowY(const QPointF* in, int count, QPointF* out, double y, bool keepBelow) {
  return clipPolygon(
      in, count, out, [&](const QPointF& p) { return keepBelow ? p.y() <= y : p.y() >= y; },
      [&](const QPointF& a, const QPointF& b) {
        double t = (y - a.y()) / (b.y() - a.y());
        return QPointF(a.x() + t * (b.x() - a.x()), y);
      });
}

int clipBelowX(const QPointF* in, int count, QPointF* out, double x, bool keepBelow) {
  return clipPolygon(
      in, count, out, [&](const QPointF& p) { return keepBelow ? p.x() <= x : p.x() >= x; },
      [&](const QPointF& a, const QPointF& b) {
        double t = (x - a.x()) / (b.x() - a.x());
        return QPointF(x, a.y() + t * (b.y() - a.y()));
      });
}

double area(const QPointF* p, int count) {
  double twice = 0;
  for (int i = 0; i < count; ++i) {
    const QPointF& a = p[i];
    const QPointF& b = p[(i + 1) % count];
    twice += a.x() * b.y() - b.x() * a.y();
  }
  return std::abs(twice) / 2;
}

// Each clip adds at most one vertex per edge it crosses.
constexpr int MaxVertices = 16;

}  // namespace

ConvexCoverage::ConvexCoverage(const QPolygonF& convexPolygon, bool antialiased)
    : polygon_(convexPolygon), antialiased_(antialiased) {
  if (polygon_.size() > 1 && polygon_.first() == polygon_.last()) polygon_.removeLast();
  if (polygon_.size() > 8) polygon_.resize(8);
}

QPolygonF ConvexCoverage::clippedToRect(const QPolygonF& convexPolygon, const QRectF& rect) {
  QPointF a[MaxVertices], b[MaxVertices];
  int n = int(std::min<qsizetype>(convexPolygon.size(), 8));
  if (n > 1 && convexPolygon[0] == convexPolygon[n - 1]) --n;
  std::copy_n(convexPolygon.constData(), n, a);
  n = clipBelowX(a, n, b, rect.left(), false);
  n = clipBelowX(b, n, a, rect.right(), true);
  n = clipBelowY(a, n, b, rect.top(), false);
  n = clipBelowY(b, n, a, rect.bottom(), true);
  return QPolygonF(QList<QPointF>(a, a + n));
}

bool ConvexCoverage::lineSpan(double y, double* low, double* high) const {
  double from = INFINITY, to = -INFINITY;
  const int count = int(polygon_.size());
  for (int i = 0; i < count; ++i) {
    const QPointF& a = polygon_[i];
    const QPointF& b = polygon_[(i + 1) % count];
    if ((a.y() <= y && b.y() >= y) || (a.y() >= y && b.y() <= y)) {
      if (a.y() == b.y()) {
        from = std::min({from, a.x(), b.x()});
        to = std::max({to, a.x(), b.x()});
        continue;
      }
      double x = a.x() + (y - a.y()) / (b.y() - a.y()) * (b.x() - a.x());
      from = std::min(from, x);
      to = std::max(to, x);
    }
  }
  *low = from;
  *high = to;
  return from <= to;
}

bool ConvexCoverage::row(int y, int left, int width, uint8_t* coverage, int* first,
                         int* last) const {
  *first = *last = 0;
  if (polygon_.size() < 3 || width <= 0) return true;
  if (!antialiased_) {
    aliasedRow(y, left, width, coverage, first, last);
    return true;
  }
  bool full = true;
  antialiasedRow(y, left, width, coverage, first, last, &full);
  return full;
}

void ConvexCoverage::aliasedRow(int y, int left, int width, uint8_t* coverage, int* first,
                                int* last) const {
  double low, high;
  if (!lineSpan(y + 0.5, &low, &high)) return;
  // Pixels whose centres lie in [low, high).
  int from = std::clamp(int(std::ceil(low - 0.5)) - left, 0, width);
  int to = std::clamp(int(std::ceil(high - 0.5)) - left, from, width);
  std::memset(coverage + from, 255, size_t(to - from));
  *first = from;
  *last = to;
}

void ConvexCoverage::antialiasedRow(int y, int left, int width, uint8_t* coverage, int* first,
                                    int* last, bool* full) const {
  QPointF strip[MaxVertices], scratch[MaxVertices];
  int n = clipBelowY(polygon_.constData(), int(polygon_.size()), scratch, y, false);
  n = clipBelowY(scratch, n, strip, y + 1, true);
  if (n < 3) return;
  double minX = INFINITY, maxX = -INFINITY;
  for (int i = 0; i < n; ++i) {
    minX = std::min(minX, strip[i].x());
    maxX = std::max(maxX, strip[i].x());
  }
  const int from = std::clamp(int(std::floor(minX)) - left, 0, width);
  const int to = std::clamp(int(std::ceil(maxX)) - left, from, width);
  // Whole pixels: both the row's top and bottom lines cross them entirely.
  int fullFrom = to, fullTo = to;
  double low0, high0, low1, high1;
  if (lineSpan(y, &low0, &high0) && lineSpan(y + 1, &low1, &high1)) {
    fullFrom = std::clamp(int(std::ceil(std::max(low0, low1))) - left, from, to);
    fullTo = std::clamp(int(std::floor(std::min(high0, high1))) - left, fullFrom, to);
  }
  std::memset(coverage + fullFrom, 255, size_t(fullTo - fullFrom));
  auto partial = [&](int x) {
    QPointF cell[MaxVertices];
    int m = clipBelowX(strip, n, scratch, left + x, false);
    m = clipBelowX(scratch, m, cell, left + x + 1, true);
    const int value = m < 3 ? 0 : int(std::lround(std::min(1.0, area(cell, m)) * 255));
    coverage[x] = uint8_t(value);
    if (value < 255) *full = false;
  };
  for (int x = from; x < fullFrom; ++x) partial(x);
  for (int x = fullTo; x < to; ++x) partial(x);
  *first = from;
  *last = to;
}

}  // namespace gfx
