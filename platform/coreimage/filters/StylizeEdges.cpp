// Stylize, edges: Sobel edges, woodcut lines, pencil-like line overlays and
// the comic effect built from them. The gradients are Sobel's 3 × 3; the
// thresholds and blends are the standard ones, named on the kernel
// declarations (kernels/Stylize.cikernel).
#include <cmath>
#include <vector>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/Chains.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"
#include "coreimage/filters/Warp.h"

namespace ci::filters {

namespace {

constexpr float kLuma[3] = {0.2126f, 0.7152f, 0.0722f};

float luma(const float* p) { return kLuma[0] * p[0] + kLuma[1] * p[1] + kLuma[2] * p[2]; }

// The three input rows around an output row (above, at, below), one pixel
// wider on each side, read from the kernel's first sampler.
class Neighbourhood {
 public:
  explicit Neighbourhood(const KernelRow& row) : width_(row.count + 2) {
    storage_.resize(size_t(width_) * 12);
    for (int k = 0; k < 3; ++k)
      readPixels(*row.samplers[0], row.x - 1, row.y + 1 - k, width_, line(k));
  }
  float* line(int k) { return storage_.data() + size_t(k) * size_t(width_) * 4; }
  // Sobel's gradient of component c (or of luminance for c = −1) at output pixel i.
  void gradient(int i, int c, float& gx, float& gy) {
    auto v = [&](int k, int dx) {
      const float* p = line(k) + (i + 1 + dx) * 4;
      return c < 0 ? luma(p) : p[c];
    };
    gx = (v(0, 1) - v(0, -1)) + 2 * (v(1, 1) - v(1, -1)) + (v(2, 1) - v(2, -1));
    gy = (v(0, -1) - v(2, -1)) + 2 * (v(0, 0) - v(2, 0)) + (v(0, 1) - v(2, 1));
  }

 private:
  int width_;
  std::vector<float> storage_;
};

void edgesRow(const KernelRow& row) {
  Neighbourhood n(row);
  const float intensity = row.values[0][0];
  for (int i = 0; i < row.count; ++i) {
    float* out = row.out + i * 4;
    for (int c = 0; c < 3; ++c) {
      float gx, gy;
      n.gradient(i, c, gx, gy);
      out[c] = clamp01(std::sqrt(gx * gx + gy * gy) * intensity);
    }
    out[3] = 1;
  }
}

void lineOverlayRow(const KernelRow& row) {
  Neighbourhood n(row);
  const float intensity = row.values[0][0], threshold = row.values[1][0];
  const float contrast = row.values[2][0];
  for (int i = 0; i < row.count; ++i) {
    float gx, gy;
    n.gradient(i, -1, gx, gy);
    const float a = clamp01((std::sqrt(gx * gx + gy * gy) * intensity - threshold) * contrast);
    float* out = row.out + i * 4;
    out[0] = out[1] = out[2] = 0, out[3] = a;
  }
}

void edgeWorkRow(const KernelRow& row) {
  for (int i = 0; i < row.count * 4; i += 4) {
    const float ink = clamp01((luma(row.samples[1] + i) - luma(row.samples[0] + i) - 0.01f) * 40);
    row.out[i] = row.out[i + 1] = row.out[i + 2] = 1 - ink, row.out[i + 3] = 1;
  }
}

void noiseReductionRow(const KernelRow& row) {
  const float level = row.values[0][0], sharpness = row.values[1][0];
  for (int i = 0; i < row.count * 4; i += 4) {
    const float* s = row.samples[0] + i;
    const float* b = row.samples[1] + i;
    const float detail = std::abs(luma(s) - luma(b));
    const float w = level > 1e-6f ? clamp01(detail / level) : 1.0f;
    for (int c = 0; c < 4; ++c) {
      const float sharpened = s[c] + sharpness * (s[c] - b[c]);
      row.out[i + c] = b[c] + (sharpened - b[c]) * w;
    }
  }
}

void posterizeRow(const KernelRow& row) {
  const float steps = std::max(1.0f, row.values[0][0] - 1);
  for (int i = 0; i < row.count * 4; i += 4) {
    float c[4];
    unpremultiply(row.samples[0] + i, c);
    for (int k = 0; k < 3; ++k) c[k] = std::round(clamp01(c[k]) * steps) / steps;
    premultiplyInto(c, row.out + i);
  }
}

// ---- Recipes ----

Image withKernel(const QString& name, const QVariantList& arguments, const QRectF& extent,
                 const RegionOfInterestCallback& roi = nullptr) {
  const KernelPtr kernel = builtInKernel(name);
  if (!kernel) return {};
  return kernel->applyWithExtent(extent, roi, arguments);
}

RegionOfInterestCallback onePixel() {
  return [](int, const QRectF& rect) { return rect.adjusted(-1, -1, 1, 1); };
}

Image edges(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  return withKernel(
      QStringLiteral("edges"),
      {QVariant::fromValue(Sampler(extendedEdges(image))), f.numberValue(kCIInputIntensityKey)},
      image.extent(), onePixel());
}

Image edgeWork(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  const double radius = std::clamp(f.numberValue(kCIInputRadiusKey), 0.0, 250.0);
  return withKernel(QStringLiteral("edgeWork"),
                    {QVariant::fromValue(blurredWithin(image, radius / 4)),
                     QVariant::fromValue(blurredWithin(image, radius))},
                    image.extent());
}

Image lineOverlayOf(const Image& image, double noise, double sharpness, double intensity,
                    double threshold, double contrast) {
  const Image reduced =
      withKernel(QStringLiteral("lineNoiseReduction"),
                 {QVariant::fromValue(image), QVariant::fromValue(blurredWithin(image, 1.0)), noise,
                  sharpness},
                 image.extent());
  return withKernel(
      QStringLiteral("lineOverlay"),
      {QVariant::fromValue(Sampler(extendedEdges(reduced))), intensity, threshold, contrast},
      image.extent(), onePixel());
}

Image lineOverlay(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  return lineOverlayOf(image, f.numberValue("inputNRNoiseLevel"), f.numberValue("inputNRSharpness"),
                       f.numberValue("inputEdgeIntensity"), f.numberValue("inputThreshold"),
                       f.numberValue("inputContrast"));
}

// Flat colour in six levels under dark outlines.
Image comicEffect(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  const Image flat =
      withKernel(QStringLiteral("posterize"), {QVariant::fromValue(blurredWithin(image, 1.0)), 6.0},
                 image.extent());
  return lineOverlayOf(image, 0.07, 0.71, 1, 0.3, 20).imageByCompositingOverImage(flat);
}

}  // namespace

void registerStylizeEdgeFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("edges"), edgesRow);
  Kernel::registerRoutine(QStringLiteral("lineOverlay"), lineOverlayRow);
  Kernel::registerRoutine(QStringLiteral("edgeWork"), edgeWorkRow);
  Kernel::registerRoutine(QStringLiteral("lineNoiseReduction"), noiseReductionRow);
  Kernel::registerRoutine(QStringLiteral("posterize"), posterizeRow);

  const QStringList stylize = categories({kCICategoryStylize, kCICategoryVideo});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  auto number = [](const char* key, double value, double sliderMin, double sliderMax,
                   const char* description) {
    return numberInput(key, kCIAttributeTypeScalar, value, 0, sliderMin, sliderMax, description);
  };
  registerDefinitions(
      registry,
      {
          {"CIComicEffect",
           stylize,
           "Simulates a comic book drawing by outlining edges and applying a colour halftone "
           "effect.",
           {image},
           comicEffect},
          {"CIEdges",
           stylize,
           "Finds all edges in an image and displays them in colour.",
           {image, number("inputIntensity", 1, 0, 10, "The strength of the edges.")},
           edges},
          {"CIEdgeWork",
           stylize,
           "Produces a stylized black-and-white rendition of an image that looks similar to a "
           "woodblock cutout.",
           {image, numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 3, 0, 0, 20,
                               "The thickness of the edges.")},
           edgeWork},
          {"CILineOverlay",
           stylize,
           "Creates a sketch that outlines the edges of an image in black, leaving the "
           "non-outlined portions of the image transparent.",
           {image,
            number("inputNRNoiseLevel", 0.07, 0, 0.1,
                   "Detail weaker than this is smoothed away before edges are found."),
            number("inputNRSharpness", 0.71, 0, 2, "How much the remaining detail is sharpened."),
            number("inputEdgeIntensity", 1, 0, 200, "The Sobel gradient's multiplier."),
            number("inputThreshold", 0.1, 0, 1, "Edges weaker than this are not drawn."),
            number("inputContrast", 50, 0.25, 200,
                   "How quickly an edge above the threshold turns fully black.")},
           lineOverlay},
      });
}

}  // namespace ci::filters
