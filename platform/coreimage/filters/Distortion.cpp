// Distortion: filters that move pixels around a centre, a line, a capsule or
// a ring, and displacement by a second image. Where the exact profile of a
// distortion is not given by its description, the standard one is used and
// named on the kernel's declaration (kernels/Distortion.cikernel).
#include <algorithm>
#include <cmath>
#include <vector>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"
#include "coreimage/filters/Warp.h"

namespace ci::filters {

namespace {

// Every distance-reading filter bounds how far it reads, as the blurs do, so
// a tile never pulls in an unbounded margin.
constexpr double kLargestReach = 2000;

double bounded(double v) { return std::clamp(v, -kLargestReach, kLargestReach); }

// How far past the edge of its zone a point must lie to be sure a kernel,
// computing in floats, leaves it where it is.
constexpr double kUnmovedMargin = 0.01;

void displacementRow(const KernelRow& row) {
  const SamplerView& image = *row.samplers[0];
  const SamplerView& displacement = *row.samplers[1];
  const double scale = row.values[0][0];
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    const double x = row.x + i + 0.5;
    float d[4], straight[4];
    displacement.sample(x, y, d);
    unpremultiply(d, straight);
    sampleWithin(image, x + scale * (straight[0] - 0.5), y + scale * (straight[1] - 0.5),
                 row.out + i * 4);
  }
}

// Radial mappings: `profile(t)` for t = d / r < 1 is the factor by which the
// distance from the centre is multiplied before reading.
template <class Profile>
void radialRow(const KernelRow& row, const Profile& profile) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double r = std::max(1e-6f, row.values[1][0]);
  warpRow(row, [&](double& x, double& y) {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    if (d >= r) return 1.0f;
    const double k = profile(d / r);
    x = cx + dx * k, y = cy + dy * k;
    return 1.0f;
  });
}

void bumpRow(const KernelRow& row) {
  const double scale = row.values[2][0];
  radialRow(row, [scale](double t) { return 1 - scale * (1 - t) * (1 - t); });
}

void pinchRow(const KernelRow& row) {
  const double exponent = 1 / (1 + std::max(0.0f, row.values[2][0]));
  radialRow(row, [exponent](double t) { return t > 0 ? std::pow(t, exponent) / t : 0.0; });
}

// Rotation about the centre by angle × falloff(1 − d/r).
template <class Falloff>
void swirlRow(const KernelRow& row, const Falloff& falloff) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double r = std::max(1e-6f, row.values[1][0]);
  const double angle = row.values[2][0];
  warpRow(row, [&](double& x, double& y) {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    if (d >= r) return 1.0f;
    const double a = angle * falloff(1 - d / r);
    const double c = std::cos(a), s = std::sin(a);
    x = cx + c * dx - s * dy, y = cy + s * dx + c * dy;
    return 1.0f;
  });
}

void twirlRow(const KernelRow& row) {
  swirlRow(row, [](double u) { return u * u; });
}

void vortexRow(const KernelRow& row) {
  swirlRow(row, [](double u) { return u * u * u; });
}

void bumpLinearRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double r = std::max(1e-6f, row.values[1][0]);
  const double ux = std::cos(row.values[2][0]), uy = std::sin(row.values[2][0]);
  const double scale = row.values[3][0];
  warpRow(row, [&](double& x, double& y) {
    const double dx = x - cx, dy = y - cy;
    const double h = -uy * dx + ux * dy;  // signed distance from the line
    if (std::abs(h) >= r) return 1.0f;
    const double t = 1 - std::abs(h) / r;
    const double moved = h * (1 - scale * t * t);
    x += -uy * (moved - h), y += ux * (moved - h);
    return 1.0f;
  });
}

// Points outside the circle read the point of it in their direction: the
// nearest point of the disc, which moves no two points farther apart.
struct SplashMap {
  double cx, cy, r;
  float operator()(double& x, double& y) const {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    if (d <= r) return 1.0f;
    x = cx + dx * r / d, y = cy + dy * r / d;
    return 1.0f;
  }
};

void circleSplashRow(const KernelRow& row) {
  warpRow(row, SplashMap{row.values[0][0], row.values[0][1], std::max(0.0f, row.values[1][0])});
}

// Points outside the circle read a point of it, turned by rotation × the
// logarithm of how far out they lie. A step along the radius turns the read
// by up to |rotation| times its length, a step around by at most its own.
struct TunnelMap {
  double cx, cy, rotation, r;
  double stretch() const { return std::hypot(1.0, rotation); }
  float operator()(double& x, double& y) const {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    if (d <= r) return 1.0f;
    const double a = std::atan2(dy, dx) + rotation * std::log(d / r);
    x = cx + r * std::cos(a), y = cy + r * std::sin(a);
    return 1.0f;
  }
};

void lightTunnelRow(const KernelRow& row) {
  warpRow(row, TunnelMap{row.values[0][0], row.values[0][1], row.values[1][0],
                         std::max(1e-6f, row.values[2][0])});
}

void holeRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double r = std::max(0.0f, row.values[1][0]);
  warpRow(row, [&](double& x, double& y) {
    const double dx = x - cx, dy = y - cy;
    const double d2 = dx * dx + dy * dy;
    // A hole of no radius opens nothing, not even the pixel at its centre.
    if (d2 <= r * r) return r > 0 ? 0.0f : 1.0f;
    const double k = std::sqrt((d2 - r * r) / d2);
    x = cx + dx * k, y = cy + dy * k;
    return 1.0f;
  });
}

void circularWrapRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double r = std::max(1e-6f, row.values[1][0]);
  const double angle = row.values[2][0];
  const double midX = row.values[3][0], bottom = row.values[3][1];
  warpRow(row, [&](double& x, double& y) {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    if (d < r) return 0.0f;
    // The angle measured from `angle`, brought into (−π, π], becomes arc length.
    const double a = std::remainder(std::atan2(dy, dx) - angle, 2 * M_PI);
    x = midX - a * r, y = bottom + (d - r);
    return 1.0f;
  });
}

// Refraction through a rounded glass of height √(1 − (e/w)²) over a point
// at offset e from its ridge: the offset read shrinks by up to 1 − 1/n.
double refracted(double e, double halfWidth, double refraction) {
  const double u = e / halfWidth;
  const double height = std::sqrt(std::max(0.0, 1 - u * u));
  return e * (1 - (1 - 1 / std::max(1e-3, refraction)) * height);
}

void glassLozengeRow(const KernelRow& row) {
  const double ax = row.values[0][0], ay = row.values[0][1];
  const double bx = row.values[1][0], by = row.values[1][1];
  const double r = std::max(1e-6f, row.values[2][0]);
  const double n = row.values[3][0];
  const double ex = bx - ax, ey = by - ay, length2 = ex * ex + ey * ey;
  warpRow(row, [&](double& x, double& y) {
    const double t =
        length2 > 0 ? std::clamp(((x - ax) * ex + (y - ay) * ey) / length2, 0.0, 1.0) : 0.0;
    const double qx = ax + t * ex, qy = ay + t * ey;
    const double dx = x - qx, dy = y - qy;
    const double d = std::hypot(dx, dy);
    if (d >= r || d == 0) return 1.0f;
    const double k = refracted(d, r, n) / d;
    x = qx + dx * k, y = qy + dy * k;
    return 1.0f;
  });
}

void torusLensRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double r = row.values[1][0];
  const double half = std::max(1e-6f, row.values[2][0]) / 2;
  const double n = row.values[3][0];
  warpRow(row, [&](double& x, double& y) {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    const double e = d - r;
    if (std::abs(e) >= half || d == 0) return 1.0f;
    const double k = (r + refracted(e, half, n)) / d;
    x = cx + dx * k, y = cy + dy * k;
    return 1.0f;
  });
}

// Along the axis that is stretched more, an output coordinate u ∈ [−1, 1]
// from the centre reads sign(u)·|u|^p: p > 1 spends the stretch on the centre.
// The source coordinate an output coordinate reads along one axis; it grows
// with the output coordinate, so the ends of a span map to the ends of its source.
double stretchedAxis(double at, double outputSize, double sourceOrigin, double sourceSize,
                     double p) {
  const double u = 2 * at / outputSize - 1;
  return sourceOrigin + (std::copysign(std::pow(std::abs(u), p), u) + 1) / 2 * sourceSize;
}

void stretchCropRow(const KernelRow& row) {
  const auto& source = row.values[0];  // the cropped source rectangle
  const auto& output = row.values[1];  // (width, height, x exponent, y exponent)
  warpRow(row, [&](double& x, double& y) {
    x = stretchedAxis(x, output[0], source[0], source[2], output[2]);
    y = stretchedAxis(y, output[1], source[1], source[3], output[3]);
    return 1.0f;
  });
}

double luminance(const float* p) { return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]; }

void glassRow(const KernelRow& row) {
  const SamplerView& image = *row.samplers[0];
  const SamplerView& texture = *row.samplers[1];
  const double scale = row.values[0][0];
  const double y = row.y + 0.5;
  // The texture's rows above, at and below, one pixel wider on each side:
  // every read is at a pixel centre.
  const int width = row.count + 2;
  std::vector<float> lines(size_t(width) * 12);
  const float* above = lines.data();
  const float* at = above + width * 4;
  const float* below = at + width * 4;
  for (int k = 0; k < 3; ++k)
    readPixels(texture, row.x - 1, row.y + 1 - k, width, lines.data() + k * width * 4);
  for (int i = 0; i < row.count; ++i) {
    const int j = (i + 1) * 4;
    const double gx = (luminance(at + j + 4) - luminance(at + j - 4)) / 2;
    const double gy = (luminance(above + j) - luminance(below + j)) / 2;
    sampleWithin(image, row.x + i + 0.5 + scale * gx, y + scale * gy, row.out + i * 4);
  }
}

// ---- Recipes ----

QPointF centreOf(const BuiltInFilter& f, const QString& key = kCIInputCenterKey) {
  return f.vectorValue(key).CGPointValue();
}

// The region a filter that moves points only inside the disc reads.
RegionOfInterestCallback discRoi(const QPointF& centre, double radius) {
  const QRectF disc = squareAround(centre, std::abs(radius) + 1);
  return [disc](int, const QRectF& rect) {
    return intersect(rect, disc).isEmpty() ? rect : unite(rect, disc);
  };
}

Image displacementDistortion(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const Image displacement = f.imageValue(QStringLiteral("inputDisplacementImage"));
  const KernelPtr kernel = builtInKernel(QStringLiteral("displacementDistortion"));
  if (image.isNull() || displacement.isNull() || !kernel) return image;
  const double scale = bounded(f.numberValue(kCIInputScaleKey));
  const double reach = std::abs(scale) * 0.5 + 1;
  auto roi = [reach](int index, const QRectF& rect) {
    return index == 0 ? rect.adjusted(-reach, -reach, reach, reach) : rect;
  };
  return kernel->applyWithExtent(
      image.extent(), roi,
      {QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(displacement)), scale});
}

// A distortion confined to the disc of inputRadius around inputCenter,
// with `extra` value inputs after the radius.
FilterRecipe discDistortion(const QString& kernel, QStringList extra) {
  return [kernel, extra](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    const QPointF centre = centreOf(f);
    const double radius = bounded(f.numberValue(kCIInputRadiusKey));
    QVariantList values{QVariant::fromValue(Vector::vectorWithCGPoint(centre)), radius};
    for (const QString& key : extra) values << f.numberValue(key);
    return applyWarp(kernel, image, image.extent(), discRoi(centre, radius), values);
  };
}

Image bumpDistortionLinear(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double radius = bounded(f.numberValue(kCIInputRadiusKey));
  const double scale = std::clamp(f.numberValue(kCIInputScaleKey), -10.0, 10.0);
  const QPointF centre = centreOf(f);
  const double angle = f.numberValue(kCIInputAngleKey);
  const double ux = std::cos(angle), uy = std::sin(angle), reach = std::abs(radius * scale) + 1;
  // Only points nearer the line than the radius move.
  auto roi = [=](int, const QRectF& rect) {
    double nearest = HUGE_VAL, farthest = -HUGE_VAL;
    for (const QPointF& p :
         {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
      const double h = -uy * (p.x() - centre.x()) + ux * (p.y() - centre.y());
      nearest = std::min(nearest, h), farthest = std::max(farthest, h);
    }
    const double r = std::max(1e-6, radius) + kUnmovedMargin;
    if (nearest > r || farthest < -r) return rect;
    return rect.adjusted(-reach, -reach, reach, reach);
  };
  return applyWarp(QStringLiteral("bumpDistortionLinear"), image, image.extent(), roi,
                   {f.valueForKey(kCIInputCenterKey), radius, angle, scale});
}

// Both the splash and the tunnel read inside the disc only: points within
// it read themselves, points outside read its edge.
QRectF withinDisc(const QRectF& read, const QPointF& centre, double radius) {
  return intersect(read, squareAround(centre, radius + kSamplerReach));
}

Image circleSplashDistortion(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const QPointF centre = centreOf(f);
  const double radius = bounded(f.numberValue(kCIInputRadiusKey));
  // The kernel's values are floats: map as it will.
  const SplashMap map{float(centre.x()), float(centre.y()), std::max(0.0f, float(radius))};
  auto roi = [map](int, const QRectF& rect) {
    return withinDisc(mappedBounds(rect, 1, map), {map.cx, map.cy}, map.r);
  };
  return applyWarp(QStringLiteral("circleSplashDistortion"), image, image.extent(), roi,
                   {QVariant::fromValue(Vector::vectorWithCGPoint(centre)), radius});
}

Image lightTunnel(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const QPointF centre = centreOf(f);
  const double radius = bounded(f.numberValue(kCIInputRadiusKey));
  const double rotation = f.numberValue(QStringLiteral("inputRotation"));
  const TunnelMap map{float(centre.x()), float(centre.y()), float(rotation),
                      std::max(1e-6f, float(radius))};
  auto roi = [map](int, const QRectF& rect) {
    return withinDisc(mappedBounds(rect, map.stretch(), map), {map.cx, map.cy}, map.r);
  };
  return applyWarp(QStringLiteral("lightTunnel"), image, image.extent(), roi,
                   {QVariant::fromValue(Vector::vectorWithCGPoint(centre)), rotation, radius});
}

Image holeDistortion(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double radius = bounded(f.numberValue(kCIInputRadiusKey));
  const QPointF centre = centreOf(f);
  const double r = std::max(0.0, radius);
  // A point at distance d reads √(d² − r²) out, r² / (d + √(d² − r²)) nearer
  // the centre: at most r, and less the farther out it lies.
  auto roi = [centre, r](int, const QRectF& rect) {
    const double nearest = std::max(nearestDistance(centre, rect), r);
    const double reach = (nearest > 0 ? r * r / nearest : 0) + 1;
    return rect.adjusted(-reach, -reach, reach, reach);
  };
  return applyWarp(QStringLiteral("holeDistortion"), image, image.extent(), roi,
                   {f.valueForKey(kCIInputCenterKey), radius});
}

// The image laid around the circle: distance from the centre gives the
// row, direction the column, the image's middle at `angle`.
struct CircularWrapLayout {
  QPointF centre;
  double radius, angle, outer, midX, bottom;
};

// What the points of `rect` read: the rows of their distances beyond the
// circle (up to the image's height) and the columns of their directions, or
// every column when those directions reach the back of the circle, where
// the image's two ends meet.
QRectF circularWrapRoi(const CircularWrapLayout& l, const QRectF& rect) {
  const double nearest = std::max(nearestDistance(l.centre, rect), l.radius);
  const double farthest = std::min(farthestDistance(l.centre, rect), l.outer);
  if (farthest < nearest) return {};
  const double bottom = l.bottom + nearest - l.radius - kSamplerReach;
  const double top = l.bottom + farthest - l.radius + kSamplerReach;
  double lo = -M_PI, hi = M_PI;
  if (nearestDistance(l.centre, rect) > 0) {
    // Seen from outside, a rectangle spans less than a half turn, its corners
    // at both ends of the span.
    const QPointF toMiddle = rect.center() - l.centre;
    const double towards = std::atan2(toMiddle.y(), toMiddle.x());
    double first = HUGE_VAL, last = -HUGE_VAL;
    for (const QPointF& p :
         {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
      const double a = std::remainder(
          std::atan2(p.y() - l.centre.y(), p.x() - l.centre.x()) - towards, 2 * M_PI);
      first = std::min(first, a), last = std::max(last, a);
    }
    constexpr double kBack = 1e-6;  // this near the back, either end may be read
    const double from = std::remainder(towards + first - l.angle, 2 * M_PI);
    if (from > -M_PI + kBack && from + (last - first) < M_PI - kBack)
      lo = from, hi = from + (last - first);
  }
  const double left = l.midX - hi * l.radius - kSamplerReach;
  const double right = l.midX - lo * l.radius + kSamplerReach;
  return QRectF(left, bottom, right - left, top - bottom);
}

Image circularWrap(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull() || isEmpty(image.extent())) return image;
  const QPointF centre = centreOf(f);
  const double radius = std::clamp(f.numberValue(kCIInputRadiusKey), 0.0, kLargestReach);
  const QRectF e = image.extent();
  const bool finite = !isInfinite(e);
  const double midX = finite ? e.center().x() : centre.x();
  const double bottom = finite ? e.y() : centre.y();
  // The image's height, laid outwards from the circle, bounds the output.
  const double outer = radius + (finite ? e.height() : kLargestReach);
  const QRectF extent = squareAround(centre, outer);
  const double angle = f.numberValue(kCIInputAngleKey);
  // The kernel's values are floats: lay out as it will.
  const CircularWrapLayout layout{QPointF(float(centre.x()), float(centre.y())),
                                  std::max(1e-6f, float(radius)),
                                  float(angle),
                                  outer,
                                  float(midX),
                                  float(bottom)};
  return applyWarp(QStringLiteral("circularWrap"), image, extent,
                   [layout](int, const QRectF& rect) { return circularWrapRoi(layout, rect); },
                   {QVariant::fromValue(Vector::vectorWithCGPoint(centre)), radius, angle,
                    QVariant::fromValue(Vector{midX, bottom})});
}

Image glassLozenge(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double radius = bounded(f.numberValue(kCIInputRadiusKey));
  const QPointF a = centreOf(f, QStringLiteral("inputPoint0"));
  const QPointF b = centreOf(f, QStringLiteral("inputPoint1"));
  // Only points within the radius of the segment move.
  const double r = std::abs(radius) + kUnmovedMargin;
  const QRectF capsule = QRectF(a, b).normalized().adjusted(-r, -r, r, r);
  auto roi = [capsule, radius](int, const QRectF& rect) {
    if (intersect(rect, capsule).isEmpty()) return rect;
    const double reach = std::abs(radius) + 1;
    return rect.adjusted(-reach, -reach, reach, reach);
  };
  return applyWarp(
      QStringLiteral("glassLozenge"), image, image.extent(), roi,
      {f.valueForKey(QStringLiteral("inputPoint0")), f.valueForKey(QStringLiteral("inputPoint1")),
       radius, f.numberValue(QStringLiteral("inputRefraction"))});
}

Image torusLensDistortion(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double width = bounded(f.numberValue(kCIInputWidthKey));
  const QPointF centre = centreOf(f);
  const double radius = bounded(f.numberValue(kCIInputRadiusKey));
  // Only points within half the width of the ring move.
  const double half = std::max(1e-6, width) / 2 + kUnmovedMargin;
  auto roi = [=](int, const QRectF& rect) {
    if (farthestDistance(centre, rect) < radius - half ||
        nearestDistance(centre, rect) > radius + half)
      return rect;
    const double reach = std::abs(width) / 2 + 1;
    return rect.adjusted(-reach, -reach, reach, reach);
  };
  return applyWarp(QStringLiteral("torusLensDistortion"), image, image.extent(), roi,
                   {f.valueForKey(kCIInputCenterKey), radius, width,
                    f.numberValue(QStringLiteral("inputRefraction"))});
}

Image stretchCrop(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const QRectF e = image.extent();
  const Vector size = f.vectorValue(QStringLiteral("inputSize"));
  const double width = std::round(size.X()), height = std::round(size.Y());
  if (image.isNull() || isInfinite(e) || isEmpty(e) || !(width >= 1) || !(height >= 1))
    return image;
  // Crop first, by cropAmount of what matching the aspects would take; the
  // rest of the difference is made up by stretching.
  const double crop = std::clamp(f.numberValue(QStringLiteral("inputCropAmount")), 0.0, 1.0);
  const double aspectIn = e.width() / e.height(), aspectOut = width / height;
  const double aspect = aspectIn + (aspectOut - aspectIn) * crop;
  QRectF source = e;
  if (aspect > aspectIn)
    source.setHeight(e.width() / aspect);
  else
    source.setWidth(e.height() * aspect);
  source.moveCenter(e.center());
  // How much more one axis is stretched than the other; the centre takes
  // centerStretchAmount of that excess.
  const double sx = width / source.width(), sy = height / source.height();
  const double excess = std::max(sx, sy) / std::min(sx, sy) - 1;
  const double centre =
      std::clamp(f.numberValue(QStringLiteral("inputCenterStretchAmount")), 0.0, 1.0);
  const double p = 1 + centre * excess;
  const Vector output{width, height, sx > sy ? p : 1.0, sy > sx ? p : 1.0};
  auto roi = [source, output](int, const QRectF& rect) {
    const double x0 =
        stretchedAxis(rect.left(), output.X(), source.x(), source.width(), output.Z());
    const double x1 =
        stretchedAxis(rect.right(), output.X(), source.x(), source.width(), output.Z());
    const double y0 =
        stretchedAxis(rect.top(), output.Y(), source.y(), source.height(), output.W());
    const double y1 =
        stretchedAxis(rect.bottom(), output.Y(), source.y(), source.height(), output.W());
    return QRectF(x0 - 1, y0 - 1, x1 - x0 + 2, y1 - y0 + 2);
  };
  return applyWarp(
      QStringLiteral("stretchCrop"), image, QRectF(0, 0, width, height), roi,
      {QVariant::fromValue(Vector::vectorWithCGRect(source)), QVariant::fromValue(output)});
}

Image glassDistortion(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const Image texture = f.imageValue(QStringLiteral("inputTexture"));
  const KernelPtr kernel = builtInKernel(QStringLiteral("glassDistortion"));
  if (image.isNull() || texture.isNull() || !kernel) return image;
  // The texture repeats, one copy centred on inputCenter.
  Image tiled = texture;
  if (!isInfinite(texture.extent()) && !isEmpty(texture.extent())) {
    const QPointF shift = centreOf(f) - texture.extent().center();
    tiled = texture.imageByApplyingFilter(
        QStringLiteral("CIAffineTile"),
        {{kCIInputTransformKey, QTransform::fromTranslate(shift.x(), shift.y())}});
  }
  const double scale = bounded(f.numberValue(kCIInputScaleKey));
  const double reach = std::abs(scale) + 1;
  auto roi = [reach](int index, const QRectF& rect) {
    const double r = index == 0 ? reach : 2;
    return rect.adjusted(-r, -r, r, r);
  };
  return kernel->applyWithExtent(
      image.extent(), roi,
      {QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(tiled)), scale});
}

FilterInput withIdentity(FilterInput input, double identity) {
  input.identity = identity;
  return input;
}

FilterInput withMaximum(FilterInput input, double maximum) {
  input.maximum = maximum;
  return input;
}

}  // namespace

void registerDistortionFilters(FilterRegistry& registry) {
  const struct {
    const char* name;
    KernelRoutine routine;
  } routines[] = {
      {"displacementDistortion", displacementRow},
      {"bumpDistortion", bumpRow},
      {"bumpDistortionLinear", bumpLinearRow},
      {"circleSplashDistortion", circleSplashRow},
      {"circularWrap", circularWrapRow},
      {"glassLozenge", glassLozengeRow},
      {"holeDistortion", holeRow},
      {"lightTunnel", lightTunnelRow},
      {"pinchDistortion", pinchRow},
      {"stretchCrop", stretchCropRow},
      {"torusLensDistortion", torusLensRow},
      {"twirlDistortion", twirlRow},
      {"vortexDistortion", vortexRow},
      {"glassDistortion", glassRow},
  };
  for (const auto& r : routines) Kernel::registerRoutine(QString::fromLatin1(r.name), r.routine);

  const QStringList distortion = categories({kCICategoryDistortionEffect, kCICategoryVideo});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  auto center = [](double x, double y) {
    return vectorInput(kCIInputCenterKey, kCIAttributeTypePosition, Vector{x, y},
                       "The centre of the effect as x and y coordinates.");
  };
  auto radius = [](double value, double sliderMax) {
    return numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, value, 0, 0, sliderMax,
                       "The radius that determines how many pixels are used to create the "
                       "distortion.");
  };
  auto angle = [](double value, double sliderMin, double sliderMax, const char* description) {
    FilterInput in = numberInput(kCIInputAngleKey, kCIAttributeTypeAngle, value, 0, sliderMin,
                                 sliderMax, description);
    in.minimum = QVariant();  // any angle
    return in;
  };
  auto refraction = numberInput("inputRefraction", kCIAttributeTypeScalar, 1.7, 0.001, 0.001, 5,
                                "The refraction of the glass; 1 bends no light.");
  refraction.identity = 1.0;
  FilterInput bumpScale =
      withIdentity(numberInput(kCIInputScaleKey, kCIAttributeTypeScalar, 0.5, -1, -1, 1,
                               "The curvature of the bump: positive raises, negative dents."),
                   0);
  bumpScale.maximum = 1.0;
  FilterInput pinchScale =
      withMaximum(withIdentity(numberInput(kCIInputScaleKey, kCIAttributeTypeScalar, 0.5, 0, 0, 2,
                                           "The amount of pinching; 0 leaves the image as it is."),
                               0),
                  2);
  FilterInput hole = withIdentity(numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 150, 0,
                                              0, 1000, "The radius of the hole; 0 opens none."),
                                  0);
  FilterInput unitAmount = withMaximum(
      numberInput("inputCropAmount", kCIAttributeTypeScalar, 0.25, 0, 0, 1,
                  "How much of the change of aspect is made by cropping rather than stretching."),
      1);
  FilterInput centreStretch = withMaximum(
      numberInput("inputCenterStretchAmount", kCIAttributeTypeScalar, 0.25, 0, 0, 1,
                  "How much of the stretching is spent on the centre rather than evenly."),
      1);
  FilterInput rotation = numberInput("inputRotation", kCIAttributeTypeAngle, 0, 0, -2 * M_PI,
                                     2 * M_PI, "The rotation of the tunnel walls.");
  rotation.minimum = QVariant();
  FilterInput size = vectorInput("inputSize", kCIAttributeTypeOffset, Vector{1280, 720},
                                 "The width and height of the output image.");

  registerDefinitions(
      registry,
      {
          {"CIBumpDistortion",
           distortion,
           "Creates a concave or convex bump originating at a specified point in the image.",
           {image, center(150, 150), radius(300, 600), bumpScale},
           discDistortion("bumpDistortion", {kCIInputScaleKey})},
          {"CIBumpDistortionLinear",
           distortion,
           "Creates a concave or convex distortion along a line through a specified point.",
           {image, center(300, 300), radius(300, 600),
            angle(0, -M_PI, M_PI, "The angle of the line the distortion follows."), bumpScale},
           bumpDistortionLinear},
          {"CICircleSplashDistortion",
           distortion,
           "Distorts the pixels starting at the circumference of a circle and emanating outward.",
           {image, center(150, 150), radius(150, 1000)},
           circleSplashDistortion},
          {"CICircularWrap",
           distortion,
           "Wraps an image around a transparent circle.",
           {image, center(150, 150), radius(150, 600),
            angle(0, -M_PI, M_PI, "The direction of the middle of the image around the circle.")},
           circularWrap},
          {"CIGlassLozenge",
           distortion,
           "Creates a lozenge-shaped lens and distorts the portion of the image over which the "
           "lens is placed.",
           {image,
            vectorInput("inputPoint0", kCIAttributeTypePosition, Vector{150, 150},
                        "The x and y position that defines the centre of one end of the lozenge."),
            vectorInput("inputPoint1", kCIAttributeTypePosition, Vector{350, 150},
                        "The x and y position that defines the centre of the other end."),
            numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 100, 0, 0, 1000,
                        "The radius of the lozenge."),
            refraction},
           glassLozenge},
          {"CIHoleDistortion",
           distortion,
           "Creates a circular area that pushes the image pixels outward, distorting those "
           "pixels closest to the circle the most.",
           {image, center(150, 150), hole},
           holeDistortion},
          {"CILightTunnel",
           distortion,
           "Rotates the image around the circle given by the centre and radius, giving a "
           "tunnelling effect.",
           {image, center(150, 150), rotation,
            numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 100, 0, 1, 500,
                        "The radius of the lit circle at the tunnel's end.")},
           lightTunnel},
          {"CIPinchDistortion",
           distortion,
           "Creates a rectangular area that pinches source pixels inward, distorting those "
           "pixels closest to the centre the most.",
           {image, center(150, 150), radius(300, 1000), pinchScale},
           discDistortion("pinchDistortion", {kCIInputScaleKey})},
          {"CIStretchCrop",
           distortion,
           "Distorts an image by stretching and/or cropping it to fit a target size.",
           {image, size, unitAmount, centreStretch},
           stretchCrop},
          {"CITorusLensDistortion",
           distortion,
           "Creates a torus-shaped lens and distorts the portion of the image over which the "
           "lens is placed.",
           {image, center(150, 150), radius(160, 500),
            numberInput(kCIInputWidthKey, kCIAttributeTypeDistance, 80, 0, 0, 200,
                        "The width of the ring."),
            refraction},
           torusLensDistortion},
          {"CITwirlDistortion",
           distortion,
           "Rotates pixels around a point to give a twirling effect.",
           {image, center(150, 150), radius(300, 500),
            withIdentity(angle(M_PI, -4 * M_PI, 4 * M_PI, "The angle of rotation at the centre."),
                         0)},
           discDistortion("twirlDistortion", {kCIInputAngleKey})},
          {"CIVortexDistortion",
           distortion,
           "Rotates pixels around a point to simulate a vortex.",
           {image, center(150, 150), radius(300, 800),
            withIdentity(angle(56.55, -94.25, 94.25, "The angle of rotation at the centre."), 0)},
           discDistortion("vortexDistortion", {kCIInputAngleKey})},
          {"CIDisplacementDistortion",
           distortion,
           "Moves each pixel by an offset read from the red and green of a second image.",
           {image,
            imageInput("inputDisplacementImage", "The image whose red and green give the offsets."),
            withIdentity(numberInput(kCIInputScaleKey, kCIAttributeTypeDistance, 50, 0, 0, 200,
                                     "The offset, in pixels, of a full-intensity component."),
                         0)},
           displacementDistortion},
          {"CIGlassDistortion",
           distortion,
           "Distorts an image by applying a glass-like texture: the slopes of the texture's "
           "brightness bend the image.",
           {image,
            imageInput("inputTexture", "A texture, repeated, whose brightness is the glass."),
            center(150, 150),
            withIdentity(numberInput(kCIInputScaleKey, kCIAttributeTypeDistance, 200, 0, 0.001, 500,
                                     "The amount of texture-based distortion."),
                         0)},
           glassDistortion},
      });
}

}  // namespace ci::filters
