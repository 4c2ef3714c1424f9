// What the families that move pixels share: a kernel row whose output pixel
// reads the input at a point a mapping computes, and the regions of interest
// such mappings declare.
#pragma once

#include <QPointF>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "coreimage/Kernel.h"

namespace ci::filters {

// Reads `view` at (x, y), transparent for points no image reaches (far out,
// infinite or not a number), which the sampler's integer pixel arithmetic
// could not hold.
inline void sampleWithin(const SamplerView& view, double x, double y, float out[4]) {
  constexpr double kFarthest = 1e9;
  if (!(std::abs(x) < kFarthest && std::abs(y) < kFarthest)) {
    out[0] = out[1] = out[2] = out[3] = 0;
    return;
  }
  view.sample(x, y, out);
}

// Fills the row with the input (the kernel's first sampler) read where `map`
// sends each output pixel centre. `map(x, y)` moves the point in place and
// answers a factor for the colour read (0 leaves the pixel transparent).
template <class Map>
void warpRow(const KernelRow& row, const Map& map) {
  const SamplerView& image = *row.samplers[0];
  for (int i = 0; i < row.count; ++i) {
    float* out = row.out + i * 4;
    double x = row.x + i + 0.5, y = row.y + 0.5;
    const float k = map(x, y);
    if (k == 0.0f) {
      out[0] = out[1] = out[2] = out[3] = 0;
      continue;
    }
    sampleWithin(image, x, y, out);
    if (k != 1.0f)
      for (int c = 0; c < 4; ++c) out[c] *= k;
  }
}

// The square of half-side `reach` around `centre`.
inline QRectF squareAround(const QPointF& centre, double reach) {
  return QRectF(centre.x() - reach, centre.y() - reach, 2 * reach, 2 * reach);
}

// The farthest distance from `point` to any point of `rect`.
inline double farthestDistance(const QPointF& point, const QRectF& rect) {
  const double dx = std::max(std::abs(rect.left() - point.x()), std::abs(rect.right() - point.x()));
  const double dy = std::max(std::abs(rect.top() - point.y()), std::abs(rect.bottom() - point.y()));
  return std::hypot(dx, dy);
}

// The nearest distance from `point` to any point of `rect` (0 inside it).
inline double nearestDistance(const QPointF& point, const QRectF& rect) {
  const double dx = std::max({rect.left() - point.x(), 0.0, point.x() - rect.right()});
  const double dy = std::max({rect.top() - point.y(), 0.0, point.y() - rect.bottom()});
  return std::hypot(dx, dy);
}

// How far past a point a bilinear read reaches, with room for the rounding
// of the values a kernel receives as floats.
constexpr double kSamplerReach = 1.01;

// The box a kernel reads for `rect` when its `map` (as warpRow takes it)
// moves no two points farther apart than `stretch` times their distance:
// a grid of points of the rect is mapped, and since every other point lies
// within half a grid diagonal of one of them, the box of their images grown
// by that much (stretched) holds every read. Rectangles too large to grid
// answer the infinite rectangle, which the kernel cuts to its input.
template <class Map>
QRectF mappedBounds(const QRectF& rect, double stretch, const Map& map) {
  constexpr int kSteps = 16;
  constexpr double kLargest = 1e7;
  if (!(rect.width() < kLargest && rect.height() < kLargest)) return InfiniteRect;
  const double stepX = rect.width() / kSteps, stepY = rect.height() / kSteps;
  double left = HUGE_VAL, right = -HUGE_VAL, bottom = HUGE_VAL, top = -HUGE_VAL;
  for (int j = 0; j <= kSteps; ++j)
    for (int i = 0; i <= kSteps; ++i) {
      double x = rect.x() + i * stepX, y = rect.y() + j * stepY;
      map(x, y);
      left = std::min(left, x), right = std::max(right, x);
      bottom = std::min(bottom, y), top = std::max(top, y);
    }
  if (!(right - left < kLargest && top - bottom < kLargest)) return InfiniteRect;
  const double pad = stretch * std::hypot(stepX, stepY) / 2 + kSamplerReach;
  return QRectF(left - pad, bottom - pad, right - left + 2 * pad, top - bottom + 2 * pad);
}

// Copies pixels (x … x + count − 1, y) of a sampler's input into `out`,
// transparent where they lie outside what was rendered.
inline void readPixels(const SamplerView& view, int x, int y, int count, float* out) {
  if (const float* p = view.pixelsAtCentres(x, y, count)) {
    std::memcpy(out, p, size_t(count) * 16);
    return;
  }
  for (int i = 0; i < count; ++i) view.sample(x + i + 0.5, y + 0.5, out + i * 4);
}

// The offset of (u, v) from the nearest point of the lattice of unit sides
// at 60° (whose cells are hexagons), written back into u and v.
inline void nearestHexOffset(double& u, double& v) {
  constexpr double kHalfSqrt3 = 0.8660254037844386;
  const double j = v / kHalfSqrt3, i = u - j / 2;
  double best = 1e300, bu = u, bv = v;
  for (double ii : {std::floor(i), std::floor(i) + 1})
    for (double jj : {std::floor(j), std::floor(j) + 1}) {
      const double du = u - (ii + jj / 2), dv = v - jj * kHalfSqrt3;
      const double d = du * du + dv * dv;
      if (d < best) best = d, bu = du, bv = dv;
    }
  u = bu, v = bv;
}

// Runs `kernelName` (whose first parameter is the sampler of `image`) over
// `extent` with the value arguments that follow; the input image unchanged
// when the kernel is missing.
Image applyWarp(const QString& kernelName, const Image& image, const QRectF& extent,
                const RegionOfInterestCallback& roi, const QVariantList& values);

}  // namespace ci::filters
