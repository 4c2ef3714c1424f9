// Generators: a constant colour and a checkerboard, both infinite.
#include <cmath>

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
      });
}

}  // namespace ci::filters
