// Extents of the render engine: QRectF read as (x, y, width, height) with y
// growing upwards, an infinite extent as a distinguished value, and the
// integer pixel regions the renderer works in.
#pragma once

#include <QRectF>
#include <algorithm>
#include <cmath>

namespace ci {

// Generators and clamped images have no edge. Any rectangle at least this
// wide or high counts as infinite; the renderer never allocates it.
inline constexpr double kInfiniteExtent = 1e30;
inline const QRectF InfiniteRect(-kInfiniteExtent / 2, -kInfiniteExtent / 2, kInfiniteExtent,
                                 kInfiniteExtent);

bool isInfinite(const QRectF& rect);
bool isEmpty(const QRectF& rect);

// Geometric intersection and union that keep infinity and treat empty
// rectangles as nothing (QRectF's own helpers assume y-down normalisation).
QRectF intersect(const QRectF& a, const QRectF& b);
QRectF unite(const QRectF& a, const QRectF& b);
QRectF inset(const QRectF& rect, double dx, double dy);

// An integer pixel region: pixel (x, y) covers [x, x+1) × [y, y+1).
struct IRect {
  int x = 0, y = 0, w = 0, h = 0;

  bool isEmpty() const { return w <= 0 || h <= 0; }
  int right() const { return x + w; }
  int top() const { return y + h; }
  long long area() const { return isEmpty() ? 0 : (long long)w * h; }
  bool contains(const IRect& other) const;
  IRect intersected(const IRect& other) const;
  IRect united(const IRect& other) const;
  IRect adjusted(int dx0, int dy0, int dx1, int dy1) const;
  QRectF toRectF() const { return QRectF(x, y, w, h); }
  bool operator==(const IRect&) const = default;

  // The smallest region holding every pixel `rect` touches, clamped to what
  // an int can address (infinite rectangles become very large, never wrap).
  static IRect covering(const QRectF& rect);
};

}  // namespace ci
