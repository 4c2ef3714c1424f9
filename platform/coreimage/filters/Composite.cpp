// Compositing: an image over a background. The Porter-Duff operations and
// the blend modes use the drawing layer's formulas (gfx::compositePixels
// through CompositeNode); addition is its plus-lighter. Multiply, minimum
// and maximum compositing are component-wise on premultiplied values, which
// no drawing operation is, so they are kernels of their own.
#include <algorithm>

#include "coreimage/CompositeNode.h"
#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "graphics/CompositingOperation.h"

namespace ci::filters {

namespace {

using Op = gfx::CompositingOperation;

template <typename Combine>
KernelRoutine componentwise(Combine combine) {
  return [combine](const KernelRow& row) {
    const float* s = row.samples[0];
    const float* d = row.samples[1];
    for (int i = 0; i < row.count * 4; ++i) row.out[i] = combine(s[i], d[i]);
  };
}

FilterRecipe compositeWith(Op op) {
  return [op](const BuiltInFilter& f) {
    const Image source = f.imageValue(kCIInputImageKey);
    const Image background = f.imageValue(kCIInputBackgroundImageKey);
    if (source.isNull() || background.isNull()) return Image();
    return Image(std::make_shared<CompositeNode>(source, background, int(op)));
  };
}

// Multiplying by transparency gives transparency, so a product covers only
// where both images do; minimum and maximum cover either.
FilterRecipe componentwiseWith(const QString& kernelName, bool unionExtent) {
  return [kernelName, unionExtent](const BuiltInFilter& f) {
    const Image source = f.imageValue(kCIInputImageKey);
    const Image background = f.imageValue(kCIInputBackgroundImageKey);
    const KernelPtr kernel = builtInKernel(kernelName);
    if (source.isNull() || background.isNull() || !kernel) return Image();
    const QRectF extent = unionExtent ? unite(source.extent(), background.extent())
                                      : intersect(source.extent(), background.extent());
    return kernel->applyWithExtent(extent,
                                   {QVariant::fromValue(source), QVariant::fromValue(background)});
  };
}

struct Row {
  const char* name;
  const char* description;
  FilterRecipe recipe;
};

}  // namespace

void registerCompositeFilters(FilterRegistry& registry) {
  Kernel::registerRoutine("multiplyCompositing",
                          componentwise([](float s, float d) { return s * d; }));
  Kernel::registerRoutine("minimumCompositing",
                          componentwise([](float s, float d) { return std::min(s, d); }));
  Kernel::registerRoutine("maximumCompositing",
                          componentwise([](float s, float d) { return std::max(s, d); }));
  const QStringList composite =
      categories({kCICategoryCompositeOperation, kCICategoryVideo, kCICategoryInterlaced,
                  kCICategoryNonSquarePixels, kCICategoryHighDynamicRange});
  const QList<FilterInput> inputs{
      imageInput(kCIInputImageKey, "The image to use as a foreground image."),
      imageInput(kCIInputBackgroundImageKey, "The image to use as a background image.")};
  const Row rows[] = {
      {"CIAdditionCompositing", "Adds the colour components of the two images.",
       compositeWith(Op::PlusLighter)},
      {"CIMultiplyCompositing", "Multiplies the colour components of the two images.",
       componentwiseWith("multiplyCompositing", false)},
      {"CIMinimumCompositing", "Keeps the smaller of each component of the two images.",
       componentwiseWith("minimumCompositing", true)},
      {"CIMaximumCompositing", "Keeps the larger of each component of the two images.",
       componentwiseWith("maximumCompositing", true)},
      {"CISourceAtopCompositing",
       "Places the input image over the background only where the background is opaque.",
       compositeWith(Op::SourceAtop)},
      {"CISourceInCompositing", "Keeps the input image only where the background is opaque.",
       compositeWith(Op::SourceIn)},
      {"CISourceOutCompositing", "Keeps the input image only where the background is clear.",
       compositeWith(Op::SourceOut)},
      {"CISourceOverCompositing", "Places the input image over the background image.",
       compositeWith(Op::SourceOver)},
      {"CIMultiplyBlendMode", "Multiplies the input image with the background.",
       compositeWith(Op::Multiply)},
      {"CIScreenBlendMode", "Multiplies the inverses of the two images, then inverts the result.",
       compositeWith(Op::Screen)},
      {"CIOverlayBlendMode",
       "Multiplies or screens the input image depending on the background's colour.",
       compositeWith(Op::Overlay)},
      {"CIDarkenBlendMode", "Keeps the darker of each component of the two images.",
       compositeWith(Op::Darken)},
      {"CILightenBlendMode", "Keeps the lighter of each component of the two images.",
       compositeWith(Op::Lighten)},
      {"CIColorDodgeBlendMode", "Brightens the background to reflect the input image.",
       compositeWith(Op::ColorDodge)},
      {"CIColorBurnBlendMode", "Darkens the background to reflect the input image.",
       compositeWith(Op::ColorBurn)},
      {"CISoftLightBlendMode",
       "Darkens or lightens the background depending on the input image, softly.",
       compositeWith(Op::SoftLight)},
      {"CIHardLightBlendMode",
       "Multiplies or screens the background depending on the input image's colour.",
       compositeWith(Op::HardLight)},
      {"CIDifferenceBlendMode", "Subtracts the darker of the two images from the lighter.",
       compositeWith(Op::Difference)},
      {"CIExclusionBlendMode", "Like difference, with lower contrast.",
       compositeWith(Op::Exclusion)},
      {"CIHueBlendMode", "The background's luminance and saturation with the input image's hue.",
       compositeWith(Op::Hue)},
      {"CISaturationBlendMode",
       "The background's luminance and hue with the input image's saturation.",
       compositeWith(Op::Saturation)},
      {"CIColorBlendMode", "The background's luminance with the input image's hue and saturation.",
       compositeWith(Op::Color)},
      {"CILuminosityBlendMode",
       "The background's hue and saturation with the input image's luminance.",
       compositeWith(Op::Luminosity)},
  };
  std::vector<FilterDefinition> table;
  for (const Row& row : rows)
    table.push_back({row.name, composite, row.description, inputs, row.recipe});
  registerDefinitions(registry, table);
}

}  // namespace ci::filters
