// Stylize, light: glows, highlight and shadow recovery, height fields and
// the materials and spotlights that light them. Where a platform's exact
// formula is unpublished the standard one is used, named on the kernel
// declarations (kernels/Stylize.cikernel).
#include <cmath>

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

// The glow is the blurred image's brightness above half, screened over the
// pixel, so highlights spread into their surroundings and mid-tones stay.
void bloomRow(const KernelRow& row) {
  const float k = clamp01(row.values[0][0]);
  for (int i = 0; i < row.count * 4; i += 4) {
    const float* s = row.samples[0] + i;
    const float* b = row.samples[1] + i;
    for (int c = 0; c < 3; ++c) {
      const float glow = k * clamp01(2 * b[c] - b[3]);  // 2·(b − ½), premultiplied
      row.out[i + c] = s[c] + glow * (s[3] - s[c]);
    }
    row.out[i + 3] = s[3];
  }
}

void gloomRow(const KernelRow& row) {
  const float k = clamp01(row.values[0][0]);
  for (int i = 0; i < row.count * 4; i += 4) {
    const float* s = row.samples[0] + i;
    const float* b = row.samples[1] + i;
    for (int c = 0; c < 3; ++c) row.out[i + c] = s[c] + (std::min(s[c], b[c]) - s[c]) * k;
    row.out[i + 3] = s[3];
  }
}

void highlightShadowRow(const KernelRow& row) {
  const float shadow = row.values[0][0], highlight = clamp01(row.values[1][0]);
  for (int i = 0; i < row.count * 4; i += 4) {
    float c[4], base[4];
    unpremultiply(row.samples[0] + i, c);
    unpremultiply(row.samples[1] + i, base);
    const float l = luma(c), b = clamp01(luma(base));
    const float lifted = l + shadow * (1 - b) * (1 - b) * (1 - l);
    const float adjusted = std::max(0.0f, lifted - (1 - highlight) * b * b * lifted);
    const float gain = l > 1e-6f ? adjusted / l : 1.0f;
    for (int k = 0; k < 3; ++k)
      c[k] = l > 1e-6f ? c[k] * gain : c[k] + adjusted;  // black lifts as grey
    premultiplyInto(c, row.out + i);
  }
}

void heightFieldRow(const KernelRow& row) {
  for (int i = 0; i < row.count * 4; i += 4) {
    const float h = clamp01(luma(row.samples[0] + i));
    const float v = std::sqrt(1 - (1 - h) * (1 - h));
    row.out[i] = row.out[i + 1] = row.out[i + 2] = v, row.out[i + 3] = 1;
  }
}

void shadedMaterialRow(const KernelRow& row) {
  const SamplerView& height = *row.samplers[0];
  const SamplerView& shading = *row.samplers[1];
  const double scale = row.values[0][0];
  const auto& rect = row.values[1];
  std::vector<float> lines(size_t(row.count + 2) * 12);
  float* rows[3] = {lines.data(), lines.data() + (row.count + 2) * 4,
                    lines.data() + (row.count + 2) * 8};
  for (int k = 0; k < 3; ++k) readPixels(height, row.x - 1, row.y + 1 - k, row.count + 2, rows[k]);
  for (int i = 0; i < row.count; ++i) {
    const int j = (i + 1) * 4;
    const double gx = (luma(rows[1] + j + 4) - luma(rows[1] + j - 4)) / 2;
    const double gy = (luma(rows[0] + j) - luma(rows[2] + j)) / 2;
    const double nx = -scale * gx, ny = -scale * gy, n = std::sqrt(nx * nx + ny * ny + 1);
    float* out = row.out + i * 4;
    sampleWithin(shading, rect[0] + (nx / n * 0.5 + 0.5) * rect[2],
                 rect[1] + (ny / n * 0.5 + 0.5) * rect[3], out);
    const float alpha = rows[1][j + 3];
    for (int c = 0; c < 4; ++c) out[c] *= alpha;
  }
}

void spotLightRow(const KernelRow& row) {
  const auto& p = row.values[0];
  const auto& t = row.values[1];
  const float brightness = row.values[2][0];
  const double exponent = 100.0 * std::max(1e-5f, row.values[3][0]);
  const float* colour = row.values[4].data();
  double ax = t[0] - p[0], ay = t[1] - p[1], az = t[2] - p[2];
  const double axis = std::max(1e-9, std::sqrt(ax * ax + ay * ay + az * az));
  ax /= axis, ay /= axis, az /= axis;
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    // From the surface point towards the light.
    double lx = p[0] - (row.x + i + 0.5), ly = p[1] - y, lz = p[2];
    const double d = std::max(1e-9, std::sqrt(lx * lx + ly * ly + lz * lz));
    lx /= d, ly /= d, lz /= d;
    const double cosOff = -(lx * ax + ly * ay + lz * az);
    const double spot = cosOff > 0 ? std::pow(cosOff, exponent) : 0.0;
    const float light = float(brightness * spot * std::max(0.0, lz));
    const float* s = row.samples[0] + i * 4;
    float* out = row.out + i * 4;
    for (int c = 0; c < 3; ++c) out[c] = std::min(s[3], s[c] * colour[c] * light);
    out[3] = s[3];
  }
}

void spotColorRow(const KernelRow& row) {
  const auto& closeness = row.values[6];
  const auto& contrast = row.values[7];
  for (int i = 0; i < row.count * 4; i += 4) {
    float c[4];
    unpremultiply(row.samples[0] + i, c);
    float result[3] = {c[0], c[1], c[2]};
    for (int k = 0; k < 3; ++k) {
      const float* centre = row.values[size_t(2 * k)].data();
      const float* replacement = row.values[size_t(2 * k + 1)].data();
      const float d = std::sqrt((c[0] - centre[0]) * (c[0] - centre[0]) +
                                (c[1] - centre[1]) * (c[1] - centre[1]) +
                                (c[2] - centre[2]) * (c[2] - centre[2]));
      const float near = std::max(1e-4f, closeness[size_t(k)]);
      const float soft = std::max(1e-4f, near * (1 - clamp01(contrast[size_t(k)])));
      const float w = clamp01((near - d) / soft);
      for (int j = 0; j < 3; ++j) result[j] += (replacement[j] - result[j]) * w;
    }
    const float out[4] = {result[0], result[1], result[2], c[3]};
    premultiplyInto(out, row.out + i);
  }
}

// ---- Recipes ----

Image colourKernel(const QString& name, const QVariantList& arguments, const QRectF& extent) {
  const KernelPtr kernel = builtInKernel(name);
  if (!kernel) return {};
  return kernel->applyWithExtent(extent, arguments);
}

FilterRecipe glow(const QString& kernel) {
  return [kernel](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    if (image.isNull()) return image;
    const Image blurred = blurredWithin(image, std::min(f.numberValue(kCIInputRadiusKey), 250.0));
    return colourKernel(kernel,
                        {QVariant::fromValue(image), QVariant::fromValue(blurred),
                         f.numberValue(kCIInputIntensityKey)},
                        image.extent());
  };
}

Image highlightShadow(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  const Image base = blurredWithin(image, std::min(f.numberValue(kCIInputRadiusKey), 250.0));
  return colourKernel(QStringLiteral("highlightShadowAdjust"),
                      {QVariant::fromValue(image), QVariant::fromValue(base),
                       f.numberValue("inputShadowAmount"), f.numberValue("inputHighlightAmount")},
                      image.extent());
}

Image heightField(const BuiltInFilter& f) {
  const Image mask = f.imageValue(kCIInputImageKey);
  if (mask.isNull() || isInfinite(mask.extent())) return mask;
  // The shoulder is as wide as the radius: a Gaussian of half that.
  const double sigma = std::clamp(f.numberValue(kCIInputRadiusKey), 0.0, 500.0) / 2;
  Image blurred = mask;
  if (sigma > 0.01)
    blurred =
        mask.imageByApplyingFilter(QStringLiteral("CIGaussianBlur"), {{kCIInputRadiusKey, sigma}});
  return colourKernel(QStringLiteral("heightField"), {QVariant::fromValue(blurred)}, mask.extent());
}

Image shadedMaterial(const BuiltInFilter& f) {
  const Image height = f.imageValue(kCIInputImageKey);
  Image shading = f.imageValue(QStringLiteral("inputShadingImage"));
  const KernelPtr kernel = builtInKernel(QStringLiteral("shadedMaterial"));
  if (height.isNull() || shading.isNull() || !kernel) return height;
  QRectF s = shading.extent();
  if (isInfinite(s)) s = QRectF(0, 0, 300, 300), shading = shading.imageByCroppingToRect(s);
  auto roi = [s](int index, const QRectF& rect) {
    return index == 0 ? rect.adjusted(-1, -1, 1, 1) : s;
  };
  return kernel->applyWithExtent(
      height.extent(), roi,
      {QVariant::fromValue(Sampler(extendedEdges(height))), QVariant::fromValue(Sampler(shading)),
       f.numberValue(kCIInputScaleKey), QVariant::fromValue(Vector::vectorWithCGRect(s))});
}

Image spotLight(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  return colourKernel(QStringLiteral("spotLight"),
                      {QVariant::fromValue(image), f.valueForKey("inputLightPosition"),
                       f.valueForKey("inputLightPointsAt"), f.numberValue("inputBrightness"),
                       f.numberValue("inputConcentration"), f.valueForKey(kCIInputColorKey)},
                      image.extent());
}

Image spotColor(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return image;
  QVariantList arguments{QVariant::fromValue(image)};
  for (int k = 1; k <= 3; ++k)
    arguments << f.valueForKey(QStringLiteral("inputCenterColor%1").arg(k))
              << f.valueForKey(QStringLiteral("inputReplacementColor%1").arg(k));
  auto triple = [&f](const QString& key) {
    return QVariant::fromValue(
        Vector{f.numberValue(key + "1"), f.numberValue(key + "2"), f.numberValue(key + "3")});
  };
  arguments << triple(QStringLiteral("inputCloseness")) << triple(QStringLiteral("inputContrast"));
  return colourKernel(QStringLiteral("spotColor"), arguments, image.extent());
}

FilterInput bounded(FilterInput in, double maximum) {
  in.maximum = maximum;
  return in;
}

}  // namespace

void registerStylizeLightFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("bloom"), bloomRow);
  Kernel::registerRoutine(QStringLiteral("gloom"), gloomRow);
  Kernel::registerRoutine(QStringLiteral("highlightShadowAdjust"), highlightShadowRow);
  Kernel::registerRoutine(QStringLiteral("heightField"), heightFieldRow);
  Kernel::registerRoutine(QStringLiteral("shadedMaterial"), shadedMaterialRow);
  Kernel::registerRoutine(QStringLiteral("spotLight"), spotLightRow);
  Kernel::registerRoutine(QStringLiteral("spotColor"), spotColorRow);

  const QStringList stylize = categories({kCICategoryStylize, kCICategoryVideo});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  FilterInput glowRadius = numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 10, 0, 0, 100,
                                       "The radius of the glow, in pixels.");
  FilterInput intensity = bounded(numberInput(kCIInputIntensityKey, kCIAttributeTypeScalar, 0.5, 0,
                                              0, 1, "The strength of the effect."),
                                  1);
  intensity.identity = 0.0;
  FilterInput shadow =
      bounded(numberInput("inputShadowAmount", kCIAttributeTypeScalar, 0, -1, -1, 1,
                          "How much the shadows are brightened; negative values darken them."),
              1);
  shadow.identity = 0.0;
  FilterInput highlight =
      bounded(numberInput("inputHighlightAmount", kCIAttributeTypeScalar, 1, 0, 0, 1,
                          "How much of the highlights is kept; lower values darken them."),
              1);
  highlight.identity = 1.0;
  auto spotInputs = [&image]() {
    QList<FilterInput> inputs{image};
    const double centres[3][3] = {
        {0.0784, 0.0627, 0.0706}, {0.5255, 0.3059, 0.3451}, {0.9216, 0.4549, 0.3333}};
    const double replacements[3][3] = {
        {0.4392, 0.1922, 0.1961}, {0.9137, 0.5608, 0.5059}, {0.9098, 0.7529, 0.6078}};
    const double closeness[3] = {0.22, 0.15, 0.5}, contrast[3] = {0.98, 0.98, 0.99};
    for (int k = 0; k < 3; ++k) {
      const QString n = QString::number(k + 1);
      inputs << colorInput("inputCenterColor" + n,
                           Color(centres[k][0], centres[k][1], centres[k][2]),
                           "The centre of a range of colours to replace.")
             << colorInput("inputReplacementColor" + n,
                           Color(replacements[k][0], replacements[k][1], replacements[k][2]),
                           "The colour that replaces that range.")
             << bounded(numberInput("inputCloseness" + n, kCIAttributeTypeScalar, closeness[k], 0,
                                    0, 1, "How far from the centre colour the range reaches."),
                        1)
             << bounded(numberInput("inputContrast" + n, kCIAttributeTypeScalar, contrast[k], 0, 0,
                                    1, "How abruptly the colours at the range's edge change."),
                        1);
    }
    return inputs;
  };
  auto position3 = [](const char* key, Vector value, const char* description) {
    return vectorInput(key, kCIAttributeTypePosition3, value, description);
  };

  registerDefinitions(
      registry,
      {
          {"CIBloom",
           stylize,
           "Softens edges and applies a pleasant glow to an image.",
           {image, glowRadius, intensity},
           glow(QStringLiteral("bloom"))},
          {"CIGloom",
           stylize,
           "Dulls the highlights of an image.",
           {image, glowRadius, intensity},
           glow(QStringLiteral("gloom"))},
          {"CIHighlightShadowAdjust",
           stylize,
           "Adjusts the tonal mapping of an image while preserving spatial detail.",
           {image,
            numberInput(kCIInputRadiusKey, kCIAttributeTypeScalar, 0, 0, 0, 10,
                        "The size of the neighbourhood that decides what is shadow."),
            shadow, highlight},
           highlightShadow},
          {"CIHeightFieldFromMask",
           stylize,
           "Produces a continuous three-dimensional, loft-shaped height field from a greyscale "
           "mask: white is raised, black is flat.",
           {image, numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 10, 0, 0, 300,
                               "The distance from the edge of the mask over which it rises.")},
           heightField},
          {"CIShadedMaterial",
           stylize,
           "Produces a shaded image from a height field, lit as the shading image shows a "
           "sphere.",
           {image,
            imageInput("inputShadingImage", "A picture of a lit sphere to take the shading from."),
            numberInput(kCIInputScaleKey, kCIAttributeTypeDistance, 10, 0, 0, 200,
                        "How steep the height field's slopes are.")},
           shadedMaterial},
          {"CISpotColor", stylize, "Replaces one or more colour ranges with spot colours.",
           spotInputs(), spotColor},
          {"CISpotLight",
           stylize,
           "Applies a directional spotlight effect to an image.",
           {image,
            position3("inputLightPosition", Vector{400, 600, 150},
                      "The x, y and z position of the light."),
            position3("inputLightPointsAt", Vector{200, 200, 0},
                      "The x, y and z position the light points at."),
            numberInput("inputBrightness", kCIAttributeTypeDistance, 3, 0, 0, 10,
                        "The brightness of the light."),
            numberInput("inputConcentration", kCIAttributeTypeScalar, 0.1, 0.001, 0.001, 1.5,
                        "How tightly focused the light is."),
            colorInput(kCIInputColorKey, Color(1, 1, 1, 1), "The colour of the light.")},
           spotLight},
      });
}

}  // namespace ci::filters
