// Sharpening: the difference between an image and its Gaussian blur added
// back, to every component (unsharp mask) or to luminance only.
#include "coreimage/FilterRegistry.h"
#include "coreimage/GaussianBlurNode.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"

namespace ci::filters {

namespace {

// Radii beyond this sharpen nothing more that a user could see, and would
// make every tile read a very wide margin.
constexpr double kLargestRadius = 100;

void unsharpMaskRow(const KernelRow& row) {
  const float* image = row.samples[0];
  const float* blurred = row.samples[1];
  const float intensity = row.values[0][0];
  for (int i = 0; i < row.count * 4; ++i)
    row.out[i] = image[i] + (image[i] - blurred[i]) * intensity;
}

// The luminance difference is of premultiplied values, so it is already
// scaled by the pixel's coverage and can be added to each component.
void sharpenLuminanceRow(const KernelRow& row) {
  const float* image = row.samples[0];
  const float* blurred = row.samples[1];
  const float sharpness = row.values[0][0];
  for (int i = 0; i < row.count * 4; i += 4) {
    const float delta = (luminance(image + i) - luminance(blurred + i)) * sharpness;
    for (int c = 0; c < 3; ++c) row.out[i + c] = image[i + c] + delta;
    row.out[i + 3] = image[i + 3];
  }
}

FilterRecipe sharpenWith(const QString& kernelName, const QString& amountKey) {
  return [kernelName, amountKey](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    const double radius = std::min(f.numberValue(kCIInputRadiusKey), kLargestRadius);
    const double amount = f.numberValue(amountKey);
    const KernelPtr kernel = builtInKernel(kernelName);
    if (image.isNull() || !kernel || amount == 0 || !(radius >= 0.01)) return image;
    const Image blurred(std::make_shared<GaussianBlurNode>(image, radius));
    return kernel->applyWithExtent(
        image.extent(), {QVariant::fromValue(image), QVariant::fromValue(blurred), amount});
  };
}

FilterInput number(const QString& key, const QString& type, double defaultValue,
                   double sliderMaximum, double identity, const QString& description) {
  FilterInput in = numberInput(key, type, defaultValue, 0, 0, sliderMaximum, description);
  in.identity = identity;
  return in;
}

}  // namespace

void registerSharpenFilters(FilterRegistry& registry) {
  Kernel::registerRoutine("unsharpMask", unsharpMaskRow);
  Kernel::registerRoutine("sharpenLuminance", sharpenLuminanceRow);
  const QStringList sharpen =
      categories({kCICategorySharpen, kCICategoryVideo, kCICategoryHighDynamicRange});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  registerDefinitions(
      registry, {
                    {"CISharpenLuminance",
                     sharpen,
                     "Increases detail by sharpening luminance only, leaving colour as it is.",
                     {image,
                      number(kCIInputSharpnessKey, kCIAttributeTypeScalar, 0.4, 2, 0,
                             "How much sharper: 0 leaves the image as it is."),
                      number(kCIInputRadiusKey, kCIAttributeTypeDistance, 1.69, 20, 0,
                             "The radius of the detail sharpened, in pixels.")},
                     sharpenWith("sharpenLuminance", kCIInputSharpnessKey)},
                    {"CIUnsharpMask",
                     sharpen,
                     "Increases the contrast of edges between pixels of different colours.",
                     {image,
                      number(kCIInputRadiusKey, kCIAttributeTypeDistance, 2.5, 100, 0,
                             "The radius of the blur the image is compared with."),
                      number(kCIInputIntensityKey, kCIAttributeTypeScalar, 0.5, 1, 0,
                             "How strongly edges are sharpened.")},
                     sharpenWith("unsharpMask", kCIInputIntensityKey)},
                });
}

}  // namespace ci::filters
