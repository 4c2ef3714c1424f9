// Tile effects: the image around a centre repeated over the plane by one of
// the symmetry groups of wallpaper patterns, a kaleidoscope, an op-art
// mosaic and a perspective tiling. Each output is infinite and reads only
// the cell's worth of input around its centre.
#include <QPolygonF>
#include <QTransform>
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

void kaleidoscopeRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double angle = row.values[1][0];
  const double sector = 2 * M_PI / std::max(1.0, std::round(double(row.values[2][0])));
  warpRow(row, [&](double& x, double& y) {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    double a = wrap(std::atan2(dy, dx) - angle, 0, sector);
    if (a > sector / 2) a = sector - a;
    x = cx + d * std::cos(a + angle), y = cy + d * std::sin(a + angle);
    return 1.0f;
  });
}

void opTileRow(const KernelRow& row) {
  const double scale = std::max(1e-3f, row.values[3][0]);
  latticeRow(row, [scale](double& u, double& v, double) {
    const double cu = std::floor(u + 0.5), cv = std::floor(v + 0.5);
    u = cu + (u - cu) / scale, v = cv + (v - cv) / scale;
  });
}

void perspectiveTileRow(const KernelRow& row) {
  const auto &m0 = row.values[0], &m1 = row.values[1], &m2 = row.values[2];
  const auto& tile = row.values[3];
  warpRow(row, [&](double& x, double& y) {
    const double w = m2[0] * x + m2[1] * y + m2[2];
    if (!(w > 1e-9)) return 0.0f;  // beyond the horizon
    const double u = (m0[0] * x + m0[1] * y + m0[2]) / w;
    const double v = (m1[0] * x + m1[1] * y + m1[2]) / w;
    // Stay half a pixel inside the tile so the seams read no transparency.
    x = tile[0] + std::clamp(wrap(u - tile[0], 0, tile[2]), 0.5, tile[2] - 0.5);
    y = tile[1] + std::clamp(wrap(v - tile[1], 0, tile[3]), 0.5, tile[3] - 0.5);
    return 1.0f;
  });
}

void triangleKaleidoscopeRow(const KernelRow& row) {
  const double px = row.values[0][0], py = row.values[0][1];
  const double side = std::max(1.0f, row.values[1][0]);
  const double rotation = row.values[2][0];
  const double decay = std::clamp(double(row.values[3][0]), 0.0, 1.0);
  const double height = side * kSqrt3 / 2, inradius = height / 3;
  // Outward normals of the three sides, a vertex pointing along +y before rotation.
  double nx[3], ny[3];
  for (int k = 0; k < 3; ++k) {
    const double a = rotation - M_PI / 2 + k * 2 * M_PI / 3;
    nx[k] = std::cos(a), ny[k] = std::sin(a);
  }
  warpRow(row, [&](double& x, double& y) {
    double u = x - px, v = y - py;
    // Nothing fades inside the circle around the centre triangle.
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
  });
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
  auto roi = [centre](int, const QRectF& rect) {
    return squareAround(centre, farthestDistance(centre, rect) + 1);
  };
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
  return applyWarp(QStringLiteral("triangleKaleidoscope"), image, InfiniteRect,
                   [triangle](int, const QRectF&) { return triangle; },
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
  return applyWarp(QStringLiteral("perspectiveTile"), image, InfiniteRect,
                   [e](int, const QRectF&) { return e; },
                   {QVariant::fromValue(Vector{inverse.m11(), inverse.m21(), inverse.m31()}),
                    QVariant::fromValue(Vector{inverse.m12(), inverse.m22(), inverse.m32()}),
                    QVariant::fromValue(Vector{inverse.m13(), inverse.m23(), inverse.m33()}),
                    QVariant::fromValue(Vector::vectorWithCGRect(e))});
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
  FilterInput rotation = numberInput("inputRotation", kCIAttributeTypeAngle, 5.924, 0, -M_PI, M_PI,
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
