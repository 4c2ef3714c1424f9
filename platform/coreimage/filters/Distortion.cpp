// Distortion: displacement by a second image.
#include <algorithm>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"

namespace ci::filters {

namespace {

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
    image.sample(x + scale * (straight[0] - 0.5), y + scale * (straight[1] - 0.5), row.out + i * 4);
  }
}

Image displacementDistortion(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const Image displacement = f.imageValue(QStringLiteral("inputDisplacementImage"));
  const KernelPtr kernel = builtInKernel(QStringLiteral("displacementDistortion"));
  if (image.isNull() || displacement.isNull() || !kernel) return image;
  // The scale sets how far a pixel may be displaced, and so how much input
  // each tile reads: bound it as the other area-reading filters are.
  constexpr double kLargestScale = 2000;
  const double scale = std::clamp(f.numberValue(kCIInputScaleKey), -kLargestScale, kLargestScale);
  const double reach = std::abs(scale) * 0.5 + 1;
  auto roi = [reach](int index, const QRectF& rect) {
    return index == 0 ? rect.adjusted(-reach, -reach, reach, reach) : rect;
  };
  return kernel->applyWithExtent(
      image.extent(), roi,
      {QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(displacement)), scale});
}

}  // namespace

void registerDistortionFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("displacementDistortion"), displacementRow);
  registerDefinitions(
      registry,
      {
          {"CIDisplacementDistortion",
           categories({kCICategoryDistortionEffect, kCICategoryVideo}),
           "Moves each pixel by an offset read from the red and green of a second image.",
           {imageInput(kCIInputImageKey, "The image to use as an input image."),
            imageInput("inputDisplacementImage", "The image whose red and green give the offsets."),
            numberInput(kCIInputScaleKey, kCIAttributeTypeDistance, 50, 0, 0, 200,
                        "The offset, in pixels, of a full-intensity component.")},
           displacementDistortion},
      });
}

}  // namespace ci::filters
