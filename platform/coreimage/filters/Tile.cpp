// Tile effects: the image around a centre repeated over the plane by one of
// the symmetry groups of wallpaper patterns, a kaleidoscope, an op-art
// mosaic and a perspective tiling. Each output is infinite and reads only
// the cell's worth of input around its centre.
#include <QPolygonF>
#include <QTransform>
#include <array>
#include <cmath>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/Warp.h"

namespace ci::filters {

namespace {

constexpr double kSqrt3 = 1.7320508075688772;
constexpr double kLargestWidth = 4000;
constexpr double kSmallestWidth = 0.5;

// x folded into [lo, lo + period).
double wrap(double x, double lo, double period) {
  return x - period * std::floor((x - lo) / period);
}

// x reflected back and forth between mirrors at −½ and ½.
double mirror(double x) {
  const double t = wrap(x, -0.5, 2);  // [−½, 3/2)
  return t > 0.5 ? 1 - t : t;
}

// Runs `fold` on each output point in the lattice's unit frame: the centre
// at the origin, turned by −angle, one cell wide.
template <class Fold>
void latticeRow(const KernelRow& row, const Fold& fold) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double c = std::cos(row.values[1][0]), s = std::sin(row.values[1][0]);
  const double w = std::max(float(kSmallestWidth), row.values[2][0]);
  const double acute = row.values[3][0];
  warpRow(row, [&](double& x, double& y) {
    const double dx = (x - cx) / w, dy = (y - cy) / w;
    double u = c * dx + s * dy, v = -s * dx + c * dy;
    fold(u, v, acute);
    x = cx + w * (c * u - s * v), y = cy + w * (s * u + c * v);
    return 1.0f;
  });
}

// Lattice coordinates of sides (1, 0) and (cos a, sin a), and back.
void toSkew(double& u, double& v, double a) {
  const double j = v / std::sin(a);
  u -= j * std::cos(a), v = j;
}
void fromSkew(double& i, double& j, double a) { i += j * std::cos(a), j *= std::sin(a); }

// A usable acute angle: a lattice needs its sides apart.
double acuteAngle(float a) { return std::clamp(double(a), 0.05, M_PI - 0.05); }

void fourfoldTranslatedRow(const KernelRow& row) {
  latticeRow(row, [](double& u, double& v, double acute) {
    const double a = acuteAngle(float(acute));
    toSkew(u, v, a);
    u = wrap(u, -0.5, 1), v = wrap(v, -0.5, 1);
    fromSkew(u, v, a);
  });
}

void fourfoldReflectedRow(const KernelRow& row) {
  latticeRow(row, [](double& u, double& v, double acute) {
    const double a = acuteAngle(float(acute));
    toSkew(u, v, a);
    u = mirror(u), v = mirror(v);
    fromSkew(u, v, a);
  });
}

// Reflected across one pair of sides, repeated across the other.
void parallelogramRow(const KernelRow& row) {
  latticeRow(row, [](double& u, double& v, double acute) {
    const double a = acuteAngle(float(acute));
    toSkew(u, v, a);
    u = mirror(u), v = wrap(v, -0.5, 1);
    fromSkew(u, v, a);
  });
}

// Quarter turns about the corners of the unit square around the centre.
void fourfoldRotatedRow(const KernelRow& row) {
  latticeRow(row, [](double& u, double& v, double) {
    u = wrap(u + 0.5, -1, 2), v = wrap(v + 0.5, -1, 2);
    while (u < 0 || v < 0) {  // a quarter turn until the first quadrant
      const double t = u;
      u = v, v = -t;
    }
    u -= 0.5, v -= 0.5;
  });
}

void eightfoldReflectedRow(const KernelRow& row) {
  latticeRow(row, [](double& u, double& v, double) {
    u = std::abs(mirror(u)), v = std::abs(mirror(v));
    if (v > u) std::swap(u, v);
  });
}

// A glide: moving one cell along u reflects v.
void glideReflectedRow(const KernelRow& row) {
  latticeRow(row, [](double& u, double& v, double) {
    u = wrap(u, -0.5, 2), v = wrap(v, -1, 2);
    if (u >= 0.5) u -= 1, v = -v;
  });
}

// Turns the hexagonal cell's offset so its direction lies in [0, sector),
// reflected at half the sector when `reflect`.
void foldAngle(double& u, double& v, double sector, bool reflect) {
  const double d = std::hypot(u, v);
  double a = wrap(std::atan2(v, u), 0, sector);
  if (reflect && a > sector / 2) a = sector - a;
  u = d * std::cos(a), v = d * std::sin(a);
}

template <int Sector, bool Reflect>
void hexRow(const KernelRow& row) {
  latticeRow(row, [](double& u, double& v, double) {
    nearestHexOffset(u, v);
    foldAngle(u, v, 2 * M_PI / Sector, Reflect);
  });
}

// The kaleidoscope's fold: every direction from the centre mirrored into
// the half sector after `angle`. Reflections joined edge to edge, so it
// moves no two points farther apart.
struct KaleidoscopeFold {
  double cx, cy, angle, sector;
  KaleidoscopeFold(double x, double y, double a, double count)
      : cx(x), cy(y), angle(a), sector(2 * M_PI / std::max(1.0, std::round(count))) {}
  float operator()(double& x, double& y) const {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    double a = wrap(std::atan2(dy, dx) - angle, 0, sector);
    if (a > sector / 2) a = sector - a;
    x = cx + d * std::cos(a + angle), y = cy + d * std::sin(a + angle);
    return 1.0f;
  }
};

void kaleidoscopeRow(const KernelRow& row) {
  warpRow(row,
          KaleidoscopeFold(row.values[0][0], row.values[0][1], row.values[1][0], row.values[2][0]));
}

void opTileRow(const KernelRow& row) {
  const double scale = std::max(1e-3f, row.values[3][0]);
  latticeRow(row, [scale](double& u, double& v, double) {
    const double cu = std::floor(u + 0.5), cv = std::floor(v + 0.5);
    u = cu + (u - cu) / scale, v = cv + (v - cv) / scale;
  });
}

// The perspective tile's map: the output point taken back through the
// projective transform (rows m0, m1, m2), then folded into the tile. Points
// beyond the horizon read nothing (answer false).
struct PerspectiveFold {
  std::array<float, 4> m0, m1, m2, tile;
  bool project(double x, double y, double& u, double& v) const {
    const double w = m2[0] * x + m2[1] * y + m2[2];
    if (!(w > 1e-9)) return false;
    u = (m0[0] * x + m0[1] * y + m0[2]) / w;
    v = (m1[0] * x + m1[1] * y + m1[2]) / w;
    return true;
  }
  float operator()(double& x, double& y) const {
    double u = 0, v = 0;
    if (!project(x, y, u, v)) return 0.0f;
    // Stay half a pixel inside the tile so the seams read no transparency.
    x = tile[0] + std::clamp(wrap(u - tile[0], 0, tile[2]), 0.5, tile[2] - 0.5);
    y = tile[1] + std::clamp(wrap(v - tile[1], 0, tile[3]), 0.5, tile[3] - 0.5);
    return 1.0f;
  }
};

void perspectiveTileRow(const KernelRow& row) {
  warpRow(row, PerspectiveFold{row.values[0], row.values[1], row.values[2], row.values[3]});
}

// The span of the tile (from `origin`, `size` long) that source coordinates
// lo … hi read once folded: their own span moved into the tile, or the
// whole tile when they meet a seam.
std::pair<double, double> foldedSpan(double lo, double hi, double origin, double size) {
  constexpr double kSeam = 1e-3;  // nearer a seam than this, either side may be read
  const double a = wrap(lo - origin, 0, size), b = a + (hi - lo);
  if (!(a > kSeam && b < size - kSeam)) return {origin, origin + size};
  return {origin + std::max(a, 0.5) - kSamplerReach,
          origin + std::min(b, size - 0.5) + kSamplerReach};
}

// What the points of `rect` read: a projective map sends the rectangle,
// when it lies wholly before the horizon, into the box of its corners'
// images, which is folded into the tile axis by axis.
QRectF perspectiveTileRoi(const PerspectiveFold& fold, const QRectF& rect) {
  const QRectF tile(fold.tile[0], fold.tile[1], fold.tile[2], fold.tile[3]);
  double u0 = HUGE_VAL, u1 = -HUGE_VAL, v0 = HUGE_VAL, v1 = -HUGE_VAL;
  for (const QPointF& p :
       {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
    double u = 0, v = 0;
    if (!fold.project(p.x(), p.y(), u, v)) return tile;
    u0 = std::min(u0, u), u1 = std::max(u1, u), v0 = std::min(v0, v), v1 = std::max(v1, v);
  }
  const auto [left, right] = foldedSpan(u0, u1, tile.x(), tile.width());
  const auto [bottom, top] = foldedSpan(v0, v1, tile.y(), tile.height());
  return QRectF(left, bottom, right - left, top - bottom);
}

// The triangle kaleidoscope's fold: every point reflected in the triangle's
// sides, and their images, until it lies in the triangle. The triangle is
// the reflections' fundamental region, so the fold moves no two points
// farther apart. The colour fades by `decay` every height beyond the circle
// around the triangle.
struct TriangleFold {
  double px, py, height, inradius, decay;
  double nx[3], ny[3];  // outward normals of the sides, a vertex along +y before rotation
  TriangleFold(double x, double y, double side, double rotation, double fade)
      : px(x),
        py(y),
        height(std::max(1.0, side) * kSqrt3 / 2),
        inradius(height / 3),
        decay(std::clamp(fade, 0.0, 1.0)) {
    for (int k = 0; k < 3; ++k) {
      const double a = rotation - M_PI / 2 + k * 2 * M_PI / 3;
      nx[k] = std::cos(a), ny[k] = std::sin(a);
    }
  }
  float operator()(double& x, double& y) const {
    double u = x - px, v = y - py;
    const double beyond = std::max(0.0, std::hypot(u, v) - 2 * inradius);
    const float dim = float(std::pow(decay, beyond / height));
    // Reflections in two parallel sides translate by twice the height along
    // their normal: take those out first, then fold into the triangle.
    const double ax = 2 * height * nx[0], ay = 2 * height * ny[0];
    const double bx = 2 * height * nx[1], by = 2 * height * ny[1];
    const double det = ax * by - ay * bx;
    const double i = (u * by - v * bx) / det, j = (ax * v - ay * u) / det;
    double best = 1e300, bu = u, bv = v;
    for (double ii : {std::floor(i), std::floor(i) + 1})
      for (double jj : {std::floor(j), std::floor(j) + 1}) {
        const double du = u - ii * ax - jj * bx, dv = v - ii * ay - jj * by;
        if (du * du + dv * dv < best) best = du * du + dv * dv, bu = du, bv = dv;
      }
    u = bu, v = bv;
    for (int pass = 0; pass < 12; ++pass) {
      bool inside = true;
      for (int k = 0; k < 3; ++k) {
        const double e = nx[k] * u + ny[k] * v - inradius;
        if (e > 0) u -= 2 * e * nx[k], v -= 2 * e * ny[k], inside = false;
      }
      if (inside) break;
    }
    x = px + u, y = py + v;
    return dim;
  }
};

void triangleKaleidoscopeRow(const KernelRow& row) {
  warpRow(row, TriangleFold(row.values[0][0], row.values[0][1], row.values[1][0], row.values[2][0],
                            row.values[3][0]));
}

// ---- Recipes ----

bool tileable(const Image& image) { return !image.isNull() && !isEmpty(image.extent()); }

// A lattice tiling of the image around inputCenter; `extraKey` names the
// fourth kernel value (the acute angle, or the op-tile's scale).
FilterRecipe latticeTile(const QString& kernel, const QString& extraKey = QString()) {
  return [kernel, extraKey](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    if (!tileable(image)) return image;
    const QPointF centre = f.vectorValue(kCIInputCenterKey).CGPointValue();
    const double width = std::clamp(f.numberValue(kCIInputWidthKey), kSmallestWidth, kLargestWidth);
    const double extra = extraKey.isEmpty() ? M_PI / 2 : f.numberValue(extraKey);
    // A cell lies within two widths of the centre; an op tile's cells read
    // around their own centres.
    const bool local = kernel == QLatin1String("opTile");
    const QRectF cell = squareAround(centre, 2 * width + 2);
    auto roi = [local, cell, width](int, const QRectF& rect) {
      return local ? rect.adjusted(-width, -width, width, width) : cell;
    };
    return applyWarp(kernel, image, local ? image.extent() : InfiniteRect, roi,
                     {QVariant::fromValue(Vector::vectorWithCGPoint(centre)),
                      f.numberValue(kCIInputAngleKey), width, extra});
  };
}

Image kaleidoscope(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (!tileable(image)) return image;
  const QPointF centre = f.vectorValue(kCIInputCenterKey).CGPointValue();
  // The kernel's values are floats: fold as it will.
  const KaleidoscopeFold fold(float(centre.x()), float(centre.y()),
                              float(f.numberValue(kCIInputAngleKey)),
                              float(f.numberValue("inputCount")));
  auto roi = [fold](int, const QRectF& rect) { return mappedBounds(rect, 1, fold); };
  return applyWarp(QStringLiteral("kaleidoscope"), image, InfiniteRect, roi,
                   {QVariant::fromValue(Vector::vectorWithCGPoint(centre)),
                    f.numberValue(kCIInputAngleKey), f.numberValue("inputCount")});
}

Image triangleKaleidoscope(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (!tileable(image)) return image;
  const QPointF point = f.vectorValue("inputPoint").CGPointValue();
  const double size = std::clamp(f.numberValue(QStringLiteral("inputSize")), 1.0, kLargestWidth);
  const QRectF triangle = squareAround(point, size + 2);
  // The kernel's values are floats: fold as it will.
  const TriangleFold fold(float(point.x()), float(point.y()), float(size),
                          float(f.numberValue("inputRotation")), 1);
  auto roi = [triangle, fold](int, const QRectF& rect) {
    return intersect(mappedBounds(rect, 1, fold), triangle);
  };
  return applyWarp(QStringLiteral("triangleKaleidoscope"), image, InfiniteRect, roi,
                   {QVariant::fromValue(Vector::vectorWithCGPoint(point)), size,
                    f.numberValue("inputRotation"), f.numberValue("inputDecay")});
}

Image perspectiveTile(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const QRectF e = image.extent();
  if (!tileable(image) || isInfinite(e)) return image;
  const QPolygonF to{f.vectorValue("inputBottomLeft").CGPointValue(),
                     f.vectorValue("inputBottomRight").CGPointValue(),
                     f.vectorValue("inputTopRight").CGPointValue(),
                     f.vectorValue("inputTopLeft").CGPointValue()};
  // y-up: QRectF's "top" corners have the smaller y, the image's bottom edge.
  const QPolygonF source{e.topLeft(), e.topRight(), e.bottomRight(), e.bottomLeft()};
  QTransform forward;
  if (!QTransform::quadToQuad(source, to, forward)) return {};
  bool invertible = false;
  const QTransform inverse = forward.inverted(&invertible);
  if (!invertible) return {};
  // QTransform maps row vectors: x' = m11·x + m21·y + m31, w = m13·x + m23·y + m33.
  const Vector m0{inverse.m11(), inverse.m21(), inverse.m31()};
  const Vector m1{inverse.m12(), inverse.m22(), inverse.m32()};
  const Vector m2{inverse.m13(), inverse.m23(), inverse.m33()};
  const Vector tile = Vector::vectorWithCGRect(e);
  // The kernel's values are floats: fold as it will.
  auto asFloats = [](const Vector& v) {
    return std::array<float, 4>{float(v.X()), float(v.Y()), float(v.Z()), float(v.W())};
  };
  const PerspectiveFold fold{asFloats(m0), asFloats(m1), asFloats(m2), asFloats(tile)};
  return applyWarp(QStringLiteral("perspectiveTile"), image, InfiniteRect,
                   [fold](int, const QRectF& rect) { return perspectiveTileRoi(fold, rect); },
                   {QVariant::fromValue(m0), QVariant::fromValue(m1), QVariant::fromValue(m2),
                    QVariant::fromValue(tile)});
}

}  // namespace

void registerTileFilters(FilterRegistry& registry) {
  const struct {
    const char* name;
    KernelRoutine routine;
  } routines[] = {
      {"fourfoldTranslatedTile", fourfoldTranslatedRow},
      {"fourfoldReflectedTile", fourfoldReflectedRow},
      {"parallelogramTile", parallelogramRow},
      {"fourfoldRotatedTile", fourfoldRotatedRow},
      {"eightfoldReflectedTile", eightfoldReflectedRow},
      {"glideReflectedTile", glideReflectedRow},
      {"sixfoldRotatedTile", hexRow<6, false>},
      {"sixfoldReflectedTile", hexRow<6, true>},
      {"twelvefoldReflectedTile", hexRow<12, true>},
      {"triangleTile", hexRow<3, true>},
      {"kaleidoscope", kaleidoscopeRow},
      {"opTile", opTileRow},
      {"perspectiveTile", perspectiveTileRow},
      {"triangleKaleidoscope", triangleKaleidoscopeRow},
  };
  for (const auto& r : routines) Kernel::registerRoutine(QString::fromLatin1(r.name), r.routine);

  const QStringList tile = categories({kCICategoryTileEffect, kCICategoryVideo});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  const FilterInput center = vectorInput(kCIInputCenterKey, kCIAttributeTypePosition,
                                         Vector{150, 150}, "The centre of the tiling.");
  FilterInput angle = numberInput(kCIInputAngleKey, kCIAttributeTypeAngle, 0, 0, -M_PI, M_PI,
                                  "The angle of the tiled pattern.");
  angle.minimum = QVariant();
  const FilterInput width = numberInput(kCIInputWidthKey, kCIAttributeTypeDistance, 100, 0, 0, 200,
                                        "The width of a tile.");
  FilterInput acute = numberInput("inputAcuteAngle", kCIAttributeTypeAngle, M_PI / 2, 0, -M_PI,
                                  M_PI, "The primary angle of the repeating parallelogram.");
  acute.minimum = QVariant();
  const QList<FilterInput> plain{image, center, angle, width};
  const QList<FilterInput> skewed{image, center, angle, acute, width};
  auto vertex = [](const char* key, double x, double y, const char* description) {
    return vectorInput(key, kCIAttributeTypePosition, Vector{x, y}, description);
  };
  FilterInput count = numberInput("inputCount", kCIAttributeTypeCount, 6, 1, 1, 64,
                                  "The number of reflections in the pattern.");
  FilterInput decay = numberInput("inputDecay", kCIAttributeTypeScalar, 0.85, 0, 0, 1,
                                  "How fast the colour fades away from the centre triangle.");
  decay.maximum = 1.0;
  FilterInput rotation = numberInput("inputRotation", kCIAttributeTypeAngle, 5.924, 0, 0, 2 * M_PI,
                                     "The rotation of the triangle.");
  rotation.minimum = QVariant();

  registerDefinitions(
      registry,
      {
          {"CIEightfoldReflectedTile", tile,
           "Produces a tiled image from a source image by applying an eightfold reflected "
           "symmetry.",
           plain, latticeTile("eightfoldReflectedTile")},
          {"CIFourfoldReflectedTile", tile,
           "Produces a tiled image from a source image by applying a fourfold reflected "
           "symmetry.",
           skewed, latticeTile("fourfoldReflectedTile", "inputAcuteAngle")},
          {"CIFourfoldRotatedTile", tile,
           "Produces a tiled image from a source image by rotating the source image at "
           "increments of 90 degrees.",
           plain, latticeTile("fourfoldRotatedTile")},
          {"CIFourfoldTranslatedTile", tile,
           "Produces a tiled image from a source image by applying four translation operations.",
           skewed, latticeTile("fourfoldTranslatedTile", "inputAcuteAngle")},
          {"CIGlideReflectedTile", tile,
           "Produces a tiled image from a source image by translating and smearing the image.",
           plain, latticeTile("glideReflectedTile")},
          {"CIKaleidoscope",
           tile,
           "Produces a kaleidoscopic image from a source image by mirroring it into sectors "
           "around the centre.",
           {image, count, center, angle},
           kaleidoscope},
          {"CIOpTile",
           tile,
           "Segments an image, applying any specified scaling and rotation, and then assembles "
           "the image again to give an op art appearance.",
           {image, center,
            numberInput(kCIInputScaleKey, kCIAttributeTypeScalar, 2.8, 0, 0.1, 10,
                        "The magnification of the image inside each tile."),
            angle,
            numberInput(kCIInputWidthKey, kCIAttributeTypeDistance, 65, 0, 1, 1000,
                        "The width of a tile.")},
           latticeTile("opTile", kCIInputScaleKey)},
          {"CIParallelogramTile",
           tile,
           "Warps an image by reflecting it in a parallelogram, and then tiles the result.",
           {image, center, angle, acute, width},
           latticeTile("parallelogramTile", "inputAcuteAngle")},
          {"CIPerspectiveTile",
           tile,
           "Applies a perspective transform to an image and then tiles the result.",
           {image, vertex("inputTopLeft", 118, 484, "The top-left corner of the first tile."),
            vertex("inputTopRight", 646, 507, "The top-right corner of the first tile."),
            vertex("inputBottomRight", 548, 140, "The bottom-right corner of the first tile."),
            vertex("inputBottomLeft", 155, 153, "The bottom-left corner of the first tile.")},
           perspectiveTile},
          {"CISixfoldReflectedTile", tile,
           "Produces a tiled image from a source image by applying a sixfold reflected "
           "symmetry.",
           plain, latticeTile("sixfoldReflectedTile")},
          {"CISixfoldRotatedTile", tile,
           "Produces a tiled image from a source image by rotating the source image at "
           "increments of 60 degrees.",
           plain, latticeTile("sixfoldRotatedTile")},
          {"CITriangleKaleidoscope",
           tile,
           "Maps a triangular portion of an input image to create a kaleidoscope effect.",
           {image, vertex("inputPoint", 150, 150, "The centre of the triangle."),
            numberInput(QStringLiteral("inputSize"), kCIAttributeTypeDistance, 700, 0, 0, 1000,
                        "The length of a side of the triangle."),
            rotation, decay},
           triangleKaleidoscope},
          {"CITriangleTile", tile,
           "Maps a triangular portion of an image to a triangular area and then tiles the "
           "result.",
           plain, latticeTile("triangleTile")},
          {"CITwelvefoldReflectedTile", tile,
           "Produces a tiled image from a source image by rotating the source image at "
           "increments of 30 degrees.",
           plain, latticeTile("twelvefoldReflectedTile")},
      });
}

}  // namespace ci::filters
