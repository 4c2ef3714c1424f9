// Generators: a constant colour, a checkerboard, stripes and random noise,
// all infinite. The light effects are in GeneratorLight.cpp.
#include <cmath>
#include <cstdint>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"

namespace ci::filters {

namespace {

// How much of the far colour a coordinate gets: 0 or 1 inside a square, a
// linear ramp of `soft` squares' width centred on each edge.
float squareCoverage(double offset, double width, double soft) {
  const double t = offset / width;
  const double cell = std::floor(t);
  const bool odd = std::fmod(std::fabs(cell), 2.0) == 1.0;
  if (soft <= 0) return odd ? 1.0f : 0.0f;
  const double f = t - cell;  // 0…1 across the square
  const double fromEdge = std::min(f, 1 - f);
  const double blend = std::clamp(0.5 + fromEdge / soft, 0.5, 1.0);
  return float(odd ? blend : 1 - blend);
}

void checkerboardRow(const KernelRow& row) {
  const auto& center = row.values[0];
  const float* c0 = row.values[1].data();
  const float* c1 = row.values[2].data();
  const double width = std::max(1e-6f, row.values[3][0]);
  const double soft = 1.0 - std::clamp(double(row.values[4][0]), 0.0, 1.0);
  const float v = squareCoverage(row.y + 0.5 - center[1], width, soft);
  for (int i = 0; i < row.count; ++i) {
    const float u = squareCoverage(row.x + i + 0.5 - center[0], width, soft);
    // Parity of the two axes: odd squares take colour 1.
    const float odd = u + v - 2 * u * v;
    for (int c = 0; c < 4; ++c) row.out[i * 4 + c] = c0[c] + (c1[c] - c0[c]) * odd;
  }
}

// Like the checkerboard's columns: bands of `width` along x from `center`.
void stripesRow(const KernelRow& row) {
  const double cx = row.values[0][0];
  const float* c0 = row.values[1].data();
  const float* c1 = row.values[2].data();
  const double width = std::max(1e-6f, row.values[3][0]);
  const double soft = 1.0 - std::clamp(double(row.values[4][0]), 0.0, 1.0);
  for (int i = 0; i < row.count; ++i) {
    const float odd = squareCoverage(row.x + i + 0.5 - cx, width, soft);
    for (int c = 0; c < 4; ++c) row.out[i * 4 + c] = c0[c] + (c1[c] - c0[c]) * odd;
  }
}

// A 32-bit integer hash (Wellons's lowbias32): the same pixel always gets
// the same values, whatever tile it is rendered in.
uint32_t hash32(uint32_t x) {
  x ^= x >> 16, x *= 0x7feb352dU;
  x ^= x >> 15, x *= 0x846ca68bU;
  return x ^ (x >> 16);
}

// Four independent values uniform in 0…1 per pixel, used as they are.
void randomRow(const KernelRow& row) {
  const uint32_t y = hash32(uint32_t(row.y) * 0x9e3779b9U);
  for (int i = 0; i < row.count; ++i) {
    uint32_t h = hash32(uint32_t(row.x + i) ^ y);
    for (int c = 0; c < 4; ++c) {
      h = hash32(h + uint32_t(c));
      row.out[i * 4 + c] = float(h >> 8) / float(1 << 24);
    }
  }
}

Image stripes(const BuiltInFilter& f) {
  const KernelPtr kernel = builtInKernel(QStringLiteral("stripes"));
  if (!kernel) return {};
  return kernel->apply({f.valueForKey(kCIInputCenterKey), f.valueForKey("inputColor0"),
                        f.valueForKey("inputColor1"), f.numberValue(kCIInputWidthKey),
                        f.numberValue(kCIInputSharpnessKey)});
}

Image randomNoise(const BuiltInFilter&) {
  const KernelPtr kernel = builtInKernel(QStringLiteral("randomNoise"));
  return kernel ? kernel->apply({}) : Image();
}

Image constantColor(const BuiltInFilter& f) {
  return Image::imageWithColor(f.colorValue(kCIInputColorKey));
}

Image checkerboard(const BuiltInFilter& f) {
  const KernelPtr kernel = builtInKernel(QStringLiteral("checkerboard"));
  if (!kernel) return {};
  return kernel->apply({f.valueForKey(kCIInputCenterKey), f.valueForKey("inputColor0"),
                        f.valueForKey("inputColor1"), f.numberValue(kCIInputWidthKey),
                        f.numberValue(kCIInputSharpnessKey)});
}

}  // namespace

void registerGeneratorFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("checkerboard"), checkerboardRow);
  Kernel::registerRoutine(QStringLiteral("stripes"), stripesRow);
  Kernel::registerRoutine(QStringLiteral("randomNoise"), randomRow);
  registerLightGeneratorFilters(registry);
  const QStringList generator =
      categories({kCICategoryGenerator, kCICategoryVideo, kCICategoryHighDynamicRange});
  FilterInput sharpness = numberInput(kCIInputSharpnessKey, kCIAttributeTypeScalar, 1, 0, 0, 1,
                                      "How sharp the edges between squares are.");
  sharpness.maximum = 1.0;
  registerDefinitions(
      registry,
      {
          {"CIConstantColorGenerator",
           generator,
           "Generates a solid colour everywhere.",
           {colorInput(kCIInputColorKey, Color(1, 0, 0, 1), "The colour to generate.")},
           constantColor},
          {"CICheckerboardGenerator",
           generator,
           "Generates a checkerboard pattern.",
           {vectorInput(kCIInputCenterKey, kCIAttributeTypePosition, Vector{150, 150},
                        "A corner shared by four squares."),
            colorInput("inputColor0", Color(1, 1, 1, 1), "The colour of the even squares."),
            colorInput("inputColor1", Color(0, 0, 0, 1), "The colour of the odd squares."),
            numberInput(kCIInputWidthKey, kCIAttributeTypeDistance, 80, 0, 0, 800,
                        "The width of a square."),
            sharpness},
           checkerboard},
          {"CIStripesGenerator",
           generator,
           "Generates a stripe pattern.",
           {vectorInput(kCIInputCenterKey, kCIAttributeTypePosition, Vector{150, 150},
                        "Where a stripe of the first colour begins."),
            colorInput("inputColor0", Color(1, 1, 1, 1), "The colour of the even stripes."),
            colorInput("inputColor1", Color(0, 0, 0, 1), "The colour of the odd stripes."),
            numberInput(kCIInputWidthKey, kCIAttributeTypeDistance, 80, 0, 0, 800,
                        "The width of a stripe."),
            sharpness},
           stripes},
          {"CIRandomGenerator",
           generator,
           "Generates an image of infinite extent whose pixels are four independent random "
           "numbers between 0 and 1.",
           {},
           randomNoise},
      });
}

}  // namespace ci::filters
