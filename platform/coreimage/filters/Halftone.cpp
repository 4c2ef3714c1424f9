// Halftone effects: an image reduced to ink and paper by comparing each
// point with a periodic screen, as print does. The screen functions are the
// classic ones (named in kernels/Halftone.cikernel); their exact shapes on
// other platforms are not published.
#include <cmath>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"

namespace ci::filters {

namespace {

constexpr double kTwoPi = 2 * M_PI;
constexpr float kLuma[3] = {0.2126f, 0.7152f, 0.0722f};

// cos and sin of 2π·(phase + n·step) for n = 0, 1, 2, …: a turn per step
// instead of a cosine per pixel.
struct Wave {
  double c = 1, s = 0, dc = 1, ds = 0;
  void start(double phase, double step) {
    c = std::cos(kTwoPi * phase), s = std::sin(kTwoPi * phase);
    dc = std::cos(kTwoPi * step), ds = std::sin(kTwoPi * step);
  }
  void advance() {
    const double next = c * dc - s * ds;
    s = s * dc + c * ds, c = next;
  }
};

// The screen's frame: a point's coordinates u, v in cells from the centre,
// turned, walked along a row pixel by pixel with the cosines of 2πu and 2πv.
struct ScreenFrame {
  double cx, cy, c, s, width;
  double u = 0, v = 0;
  Wave waveU, waveV;
  ScreenFrame(const KernelRow& row, double extraAngle = 0)
      : cx(row.values[0][0]),
        cy(row.values[0][1]),
        c(std::cos(row.values[1][0] + extraAngle)),
        s(std::sin(row.values[1][0] + extraAngle)),
        width(std::max(1.0f, row.values[2][0])) {
    const double dx = (row.x + 0.5 - cx) / width, dy = (row.y + 0.5 - cy) / width;
    u = c * dx + s * dy, v = -s * dx + c * dy;
    waveU.start(u, c / width), waveV.start(v, -s / width);
  }
  void advance() {
    u += c / width, v -= s / width;
    waveU.advance(), waveV.advance();
  }
};

// How wide, in luminance, the soft edge between ink and paper is: never
// narrower than a pixel's worth of the screen, so sharp screens still
// antialias.
float softness(const KernelRow& row) {
  const float sharpness = clamp01(row.values[3][0]);
  return std::max(1.0f - sharpness, 3.0f / std::max(1.0f, row.values[2][0]));
}

// Paper (1) where `light` is above the threshold, ink (0) below. The
// thresholds are drawn in by half the soft edge so that white stays all
// paper and black all ink.
float paper(float light, float threshold, float soft) {
  const float t = soft / 2 + threshold * (1 - soft);
  return clamp01((light - t) / soft + 0.5f);
}

double dotThreshold(const ScreenFrame& f) { return 0.5 + 0.25 * (f.waveU.c + f.waveV.c); }

template <class Screen>
void screenRow(const KernelRow& row, const Screen& screen) {
  ScreenFrame frame(row);
  const float soft = softness(row);
  const float* in = row.samples[0];
  for (int i = 0; i < row.count; ++i, frame.advance()) {
    float c[4];
    unpremultiply(in + i * 4, c);
    const float light = kLuma[0] * c[0] + kLuma[1] * c[1] + kLuma[2] * c[2];
    const float g = paper(light, float(screen(frame)), soft) * c[3];
    float* out = row.out + i * 4;
    out[0] = out[1] = out[2] = g, out[3] = c[3];
  }
}

void dotScreenRow(const KernelRow& row) { screenRow(row, dotThreshold); }

void lineScreenRow(const KernelRow& row) {
  screenRow(row, [](const ScreenFrame& f) { return 0.5 + 0.5 * f.waveV.c; });
}

// Below half light the crossing lines come in, so shadows are cross-hatched.
void hatchedScreenRow(const KernelRow& row) {
  screenRow(row, [](const ScreenFrame& f) {
    return std::max(0.5 + 0.5 * f.waveV.c, 0.25 + 0.25 * f.waveU.c);
  });
}

void circularScreenRow(const KernelRow& row) {
  screenRow(row, [](const ScreenFrame& f) {
    return 0.5 + 0.5 * std::cos(kTwoPi * std::hypot(f.u, f.v));
  });
}

void cmykRow(const KernelRow& row) {
  const double degree = M_PI / 180;
  ScreenFrame frames[4] = {ScreenFrame(row, 15 * degree), ScreenFrame(row, 75 * degree),
                           ScreenFrame(row, 0), ScreenFrame(row, 45 * degree)};
  const float soft = softness(row);
  const float gcr = clamp01(row.values[4][0]), ucr = clamp01(row.values[4][1]);
  const float* in = row.samples[0];
  for (int i = 0; i < row.count; ++i) {
    float c[4];
    unpremultiply(in + i * 4, c);
    float ink[4] = {1 - clamp01(c[0]), 1 - clamp01(c[1]), 1 - clamp01(c[2]), 0};
    ink[3] = gcr * std::min({ink[0], ink[1], ink[2]});
    for (int k = 0; k < 3; ++k) ink[k] = clamp01(ink[k] - ucr * ink[3]);
    float clear[4];  // 1 where the ink's screen leaves paper
    for (int k = 0; k < 4; ++k) {
      clear[k] = paper(1 - ink[k], float(dotThreshold(frames[k])), soft);
      frames[k].advance();
    }
    float* out = row.out + i * 4;
    for (int k = 0; k < 3; ++k) out[k] = clear[k] * clear[3] * c[3];
    out[3] = c[3];
  }
}

FilterRecipe screen(const QString& kernelName) {
  return [kernelName](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    const KernelPtr kernel = builtInKernel(kernelName);
    if (image.isNull() || !kernel) return image;
    QVariantList arguments{QVariant::fromValue(image), f.valueForKey(kCIInputCenterKey),
                           f.numberValue(kCIInputAngleKey), f.numberValue(kCIInputWidthKey),
                           f.numberValue(kCIInputSharpnessKey)};
    if (kernelName == QLatin1String("cmykHalftone"))
      arguments << QVariant::fromValue(
          Vector{f.numberValue("inputGCR"), f.numberValue("inputUCR")});
    return kernel->apply(arguments);
  };
}

}  // namespace

void registerHalftoneFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("dotScreen"), dotScreenRow);
  Kernel::registerRoutine(QStringLiteral("lineScreen"), lineScreenRow);
  Kernel::registerRoutine(QStringLiteral("hatchedScreen"), hatchedScreenRow);
  Kernel::registerRoutine(QStringLiteral("circularScreen"), circularScreenRow);
  Kernel::registerRoutine(QStringLiteral("cmykHalftone"), cmykRow);

  const QStringList halftone = categories({kCICategoryHalftoneEffect, kCICategoryVideo});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  const FilterInput center = vectorInput(kCIInputCenterKey, kCIAttributeTypePosition,
                                         Vector{150, 150}, "The centre of the screen.");
  FilterInput angle = numberInput(kCIInputAngleKey, kCIAttributeTypeAngle, 0, 0, -M_PI, M_PI,
                                  "The angle of the pattern.");
  angle.minimum = QVariant();
  const FilterInput width = numberInput(kCIInputWidthKey, kCIAttributeTypeDistance, 6, 1, 2, 50,
                                        "The distance between dots or lines in the pattern.");
  FilterInput sharpness = numberInput(kCIInputSharpnessKey, kCIAttributeTypeScalar, 0.7, 0, 0, 1,
                                      "The sharpness of the pattern; 1 is sharpest.");
  sharpness.maximum = 1.0;
  auto unit = [](const char* key, double value, const char* description) {
    FilterInput in = numberInput(key, kCIAttributeTypeScalar, value, 0, 0, 1, description);
    in.maximum = 1.0;
    return in;
  };

  registerDefinitions(
      registry,
      {
          {"CICircularScreen",
           halftone,
           "Simulates a circular-shaped halftone screen.",
           {image, center, width, sharpness},
           screen("circularScreen")},
          {"CICMYKHalftone",
           halftone,
           "Creates a colour, halftoned rendition of the source image, using cyan, magenta, "
           "yellow and black inks over a white page.",
           {image, center, width, angle, sharpness,
            unit("inputGCR", 1,
                 "How much of the grey the three inks share is printed in black instead."),
            unit("inputUCR", 0.5, "How much of that black is taken out of the coloured inks.")},
           screen("cmykHalftone")},
          {"CIDotScreen",
           halftone,
           "Simulates the dot patterns of a halftone screen.",
           {image, center, angle, width, sharpness},
           screen("dotScreen")},
          {"CIHatchedScreen",
           halftone,
           "Simulates the hatched pattern of a halftone screen.",
           {image, center, angle, width, sharpness},
           screen("hatchedScreen")},
          {"CILineScreen",
           halftone,
           "Simulates the line pattern of a halftone screen.",
           {image, center, angle, width, sharpness},
           screen("lineScreen")},
      });
}

}  // namespace ci::filters
