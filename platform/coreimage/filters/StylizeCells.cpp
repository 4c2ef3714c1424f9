// Stylize, cells: the image broken into cells that each take one colour —
// crystals around jittered points, painted dots, hexagons.
#include <cmath>
#include <cstdint>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/Warp.h"

namespace ci::filters {

namespace {

// A fixed pseudo-random value in [0, 1) for a grid cell, the same on every
// render and tile.
double cellHash(int64_t i, int64_t j, uint32_t salt) {
  uint64_t h = uint64_t(i) * 0x9E3779B97F4A7C15ull ^ uint64_t(j) * 0xC2B2AE3D27D4EB4Full ^ salt;
  h ^= h >> 31, h *= 0xBF58476D1CE4E5B9ull, h ^= h >> 29;
  return double(h >> 11) * (1.0 / 9007199254740992.0);
}

// The jittered point nearest (x, y): one per cell of a grid `spacing` wide
// laid from the centre. Answers the point and the squared distance to it.
double nearestPoint(double x, double y, double cx, double cy, double spacing, double& px,
                    double& py) {
  const double u = (x - cx) / spacing, v = (y - cy) / spacing;
  const int64_t i0 = int64_t(std::floor(u)), j0 = int64_t(std::floor(v));
  double best = 1e300;
  for (int64_t j = j0 - 1; j <= j0 + 1; ++j)
    for (int64_t i = i0 - 1; i <= i0 + 1; ++i) {
      const double qx = i + cellHash(i, j, 1), qy = j + cellHash(i, j, 2);
      const double d = (qx - u) * (qx - u) + (qy - v) * (qy - v);
      if (d < best) best = d, px = cx + qx * spacing, py = cy + qy * spacing;
    }
  return best * spacing * spacing;
}

void crystallizeRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double spacing = std::max(1.0f, row.values[1][0]);
  warpRow(row, [&](double& x, double& y) {
    nearestPoint(x, y, cx, cy, spacing, x, y);
    return 1.0f;
  });
}

void pointillizeRow(const KernelRow& row) {
  const SamplerView& image = *row.samplers[0];
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double spacing = std::max(1.0f, row.values[1][0]);
  const double dot = 0.6 * spacing;  // neighbouring dots just overlap
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    double px = 0, py = 0;
    const double x = row.x + i + 0.5;
    const double d = std::sqrt(nearestPoint(x, y, cx, cy, spacing, px, py));
    const float cover = float(std::clamp(dot - d + 0.5, 0.0, 1.0));
    float colour[4];
    image.sample(px, py, colour);
    float* out = row.out + i * 4;
    // The dot over white paper.
    for (int c = 0; c < 3; ++c) out[c] = colour[c] * cover + (1 - colour[3] * cover);
    out[3] = 1;
  }
}

void hexagonalPixellateRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double scale = std::max(1.0f, row.values[1][0]);
  warpRow(row, [&](double& x, double& y) {
    double u = (x - cx) / scale, v = (y - cy) / scale;
    nearestHexOffset(u, v);
    x -= u * scale, y -= v * scale;
    return 1.0f;
  });
}

FilterRecipe cells(const QString& kernel, const QString& sizeKey) {
  return [kernel, sizeKey](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    const double size = std::clamp(f.numberValue(sizeKey), 1.0, 1000.0);
    auto roi = [size](int, const QRectF& rect) {
      return rect.adjusted(-2 * size, -2 * size, 2 * size, 2 * size);
    };
    return applyWarp(kernel, image, image.extent(), roi, {f.valueForKey(kCIInputCenterKey), size});
  };
}

}  // namespace

void registerStylizeCellFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("crystallize"), crystallizeRow);
  Kernel::registerRoutine(QStringLiteral("pointillize"), pointillizeRow);
  Kernel::registerRoutine(QStringLiteral("hexagonalPixellate"), hexagonalPixellateRow);

  const QStringList stylize = categories({kCICategoryStylize, kCICategoryVideo});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  const FilterInput center = vectorInput(kCIInputCenterKey, kCIAttributeTypePosition,
                                         Vector{150, 150}, "The centre of the cell pattern.");
  const FilterInput radius = numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 20, 1, 1, 100,
                                         "The spacing of the cells.");
  registerDefinitions(
      registry,
      {
          {"CICrystallize",
           stylize,
           "Creates polygon-shaped colour blocks by aggregating source pixel-colour values.",
           {image, radius, center},
           cells(QStringLiteral("crystallize"), kCIInputRadiusKey)},
          {"CIHexagonalPixellate",
           stylize,
           "Maps an image to coloured hexagons whose colour is defined by the replaced pixels.",
           {image, center,
            numberInput(kCIInputScaleKey, kCIAttributeTypeDistance, 8, 1, 1, 100,
                        "The width of the hexagons.")},
           cells(QStringLiteral("hexagonalPixellate"), kCIInputScaleKey)},
          {"CIPointillize",
           stylize,
           "Renders the source image in a pointillistic style.",
           {image, radius, center},
           cells(QStringLiteral("pointillize"), kCIInputRadiusKey)},
      });
}

}  // namespace ci::filters
