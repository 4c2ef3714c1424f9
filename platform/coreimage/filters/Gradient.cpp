// Gradients: radial, linear and Gaussian between two colours, infinite in
// extent.
// Colours are interpolated premultiplied, so a fade to clear keeps its hue.
#include <algorithm>
#include <cmath>

#include "coreimage/FilterRegistry.h"
#include "coreimage/Vectorize.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"

namespace ci::filters {

namespace {

void mixInto(const float* c0, const float* c1, float t, float* out) {
  for (int c = 0; c < 4; ++c) out[c] = c0[c] + (c1[c] - c0[c]) * t;
}

// The ramps run in chunks small enough to stay in the first-level cache: one
// loop finds each pixel's position along the ramp, a second mixes the
// colours, both simple enough for the compiler to pack.
constexpr int kChunk = 256;

CI_VECTORIZE void mixRow(const float* __restrict c0, const float* __restrict c1,
                         const float* __restrict t, float* __restrict out, int count) {
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 4; ++c) out[i * 4 + c] = c0[c] + (c1[c] - c0[c]) * t[i];
}

CI_VECTORIZE void radialRamp(int x, double cx, double dy, double r0, double span,
                             float* __restrict t, int count) {
  const double dy2 = dy * dy;
  for (int i = 0; i < count; ++i) {
    const double dx = x + i + 0.5 - cx;
    const double d = std::sqrt(dx * dx + dy2);
    t[i] = clamp01(float((d - r0) / span));
  }
}

CI_VECTORIZE void linearRamp(int x, double x0, double py, double ax, double ay, double length2,
                             float* t, int count) {
  for (int i = 0; i < count; ++i) {
    const double px = x + i + 0.5 - x0;
    t[i] = clamp01(float((px * ax + py * ay) / length2));
  }
}

// Two circles of one radius leave no ramp: the first colour inside, the
// second from the circle on.
void steppedRamp(int x, double cx, double dy, double r0, float* t, int count) {
  for (int i = 0; i < count; ++i) {
    const double dx = x + i + 0.5 - cx;
    t[i] = std::sqrt(dx * dx + dy * dy) < r0 ? 0.0f : 1.0f;
  }
}

// The pixels of a row whose distance may fall short of the outer circle, as
// [begin, end) counted from `x`, within [0, count): every other one lies more
// than a pixel beyond the circle, where the ramp is 1 for certain (the
// rounding of each step moves a distance by far less than that), so a large
// dab's corners skip their square roots and divisions. All of the row when
// the numbers are too large for that margin, the ramp does not run outwards,
// or the row is short.
struct Reach {
  int begin, end;
};
Reach rampReach(int x, int count, double cx, double dy, double r0, double r1) {
  constexpr double kLargest = 1e12;
  // Finding the reach costs about what skipping saves on a short row.
  constexpr int kShortRow = 128;
  if (count < kShortRow || !(r1 > r0) || !(std::abs(cx - x) < kLargest) ||
      !(std::abs(dy) < kLargest) || !(r1 < kLargest))
    return {0, count};
  const double reach = r1 + 1;
  if (std::abs(dy) >= reach) return {0, 0};
  const double half = std::sqrt(reach * reach - dy * dy);
  // Truncation, one pixel wider on each side, stands in for floor and ceil.
  const double from = std::clamp(cx - half - 0.5 - x, -1.0, double(count));
  const double to = std::clamp(cx + half - 0.5 - x, -1.0, double(count));
  const int begin = std::clamp(int(from) - 1, 0, count);
  return {begin, std::clamp(int(to) + 2, begin, count)};
}

void radialGradientRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double r0 = row.values[1][0], r1 = row.values[2][0];
  const double dy = row.y + 0.5 - cy;
  const double span = r1 - r0;
  float t[kChunk];
  for (int start = 0; start < row.count; start += kChunk) {
    const int n = std::min(kChunk, row.count - start);
    const int x = row.x + start;
    if (span == 0) {
      steppedRamp(x, cx, dy, r0, t, n);
    } else {
      const Reach reach = rampReach(x, n, cx, dy, r0, r1);
      std::fill_n(t, reach.begin, 1.0f);
      radialRamp(x + reach.begin, cx, dy, r0, span, t + reach.begin, reach.end - reach.begin);
      std::fill_n(t + reach.end, n - reach.end, 1.0f);
    }
    mixRow(row.values[3].data(), row.values[4].data(), t, row.out + size_t(start) * 4, n);
  }
}

void linearGradientRow(const KernelRow& row) {
  const double x0 = row.values[0][0], y0 = row.values[0][1];
  const double ax = row.values[1][0] - x0, ay = row.values[1][1] - y0;
  const double length2 = ax * ax + ay * ay;
  const double py = row.y + 0.5 - y0;
  float t[kChunk];
  for (int start = 0; start < row.count; start += kChunk) {
    const int n = std::min(kChunk, row.count - start);
    if (length2 == 0)
      std::fill_n(t, n, 0.0f);
    else
      linearRamp(row.x + start, x0, py, ax, ay, length2, t, n);
    mixRow(row.values[2].data(), row.values[3].data(), t, row.out + size_t(start) * 4, n);
  }
}

// The Gaussian's σ is a third of the radius, so the first colour has
// faded to about 1 % at the radius.
void gaussianGradientRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const float* c0 = row.values[1].data();
  const float* c1 = row.values[2].data();
  const double sigma = std::max(1e-6, double(row.values[3][0]) / 3);
  const double dy = row.y + 0.5 - cy;
  for (int i = 0; i < row.count; ++i) {
    const double dx = row.x + i + 0.5 - cx;
    const float near = float(std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma)));
    mixInto(c0, c1, 1 - near, row.out + i * 4);
  }
}

Image gaussianGradient(const BuiltInFilter& f) {
  const KernelPtr kernel = builtInKernel(QStringLiteral("gaussianGradient"));
  if (!kernel) return {};
  return kernel->apply({f.valueForKey(kCIInputCenterKey), f.valueForKey("inputColor0"),
                        f.valueForKey("inputColor1"), f.numberValue(kCIInputRadiusKey)});
}

Image radialGradient(const BuiltInFilter& f) {
  const KernelPtr kernel = builtInKernel(QStringLiteral("radialGradient"));
  if (!kernel) return {};
  return kernel->apply({f.valueForKey(kCIInputCenterKey), f.numberValue("inputRadius0"),
                        f.numberValue("inputRadius1"), f.valueForKey("inputColor0"),
                        f.valueForKey("inputColor1")});
}

Image linearGradient(const BuiltInFilter& f) {
  const KernelPtr kernel = builtInKernel(QStringLiteral("linearGradient"));
  if (!kernel) return {};
  return kernel->apply({f.valueForKey("inputPoint0"), f.valueForKey("inputPoint1"),
                        f.valueForKey("inputColor0"), f.valueForKey("inputColor1")});
}

}  // namespace

void registerGradientFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("radialGradient"), radialGradientRow);
  Kernel::registerRoutine(QStringLiteral("linearGradient"), linearGradientRow);
  Kernel::registerRoutine(QStringLiteral("gaussianGradient"), gaussianGradientRow);
  const QStringList gradient =
      categories({kCICategoryGradient, kCICategoryVideo, kCICategoryHighDynamicRange});
  const FilterInput color0 = colorInput("inputColor0", Color(1, 1, 1, 1), "The first colour.");
  const FilterInput color1 = colorInput("inputColor1", Color(0, 0, 0, 1), "The second colour.");
  registerDefinitions(
      registry, {
                    {"CIRadialGradient",
                     gradient,
                     "Generates a gradient between two circles sharing a centre.",
                     {vectorInput(kCIInputCenterKey, kCIAttributeTypePosition, Vector{150, 150},
                                  "The centre of the circles."),
                      numberInput("inputRadius0", kCIAttributeTypeDistance, 5, 0, 0, 800,
                                  "The radius inside which the first colour is used."),
                      numberInput("inputRadius1", kCIAttributeTypeDistance, 100, 0, 0, 800,
                                  "The radius outside which the second colour is used."),
                      color0, color1},
                     radialGradient},
                    {"CILinearGradient",
                     gradient,
                     "Generates a gradient along a line between two points.",
                     {vectorInput("inputPoint0", kCIAttributeTypePosition, Vector{0, 0},
                                  "Where the first colour ends."),
                      vectorInput("inputPoint1", kCIAttributeTypePosition, Vector{200, 200},
                                  "Where the second colour begins."),
                      color0, color1},
                     linearGradient},
                    {"CIGaussianGradient",
                     gradient,
                     "Generates a gradient from one colour to another along a Gaussian.",
                     {vectorInput(kCIInputCenterKey, kCIAttributeTypePosition, Vector{150, 150},
                                  "The centre of the gradient."),
                      color0, colorInput("inputColor1", Color(0, 0, 0, 0), "The colour far away."),
                      numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 300, 0, 0, 800,
                                  "How far the first colour reaches.")},
                     gaussianGradient},
                });
}

}  // namespace ci::filters
