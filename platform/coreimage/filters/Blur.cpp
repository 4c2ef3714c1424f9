// Blurs: Gaussian (the radius is the standard deviation) and disc.
#include <QDebug>

#include "coreimage/DiscBlurNode.h"
#include "coreimage/FilterRegistry.h"
#include "coreimage/GaussianBlurNode.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"

namespace ci::filters {

namespace {

// Below this a blur changes no pixel by a visible amount.
constexpr double kSmallestRadius = 0.01;
// Above this each tile would pull in hundreds of megabytes of margin; larger
// requests blur by this much (with a log line) rather than exhaust memory.
constexpr double kLargestRadius = 250;

double limitedRadius(const BuiltInFilter& f, double radius) {
  if (radius <= kLargestRadius) return radius;
  qWarning("ci: %s radius %g limited to %g", qPrintable(f.name()), radius, kLargestRadius);
  return kLargestRadius;
}

Image gaussianBlur(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double sigma = limitedRadius(f, f.numberValue(kCIInputRadiusKey));
  if (image.isNull() || !(sigma >= kSmallestRadius)) return image;
  return Image(std::make_shared<GaussianBlurNode>(image, sigma));
}

Image discBlur(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double radius = limitedRadius(f, f.numberValue(kCIInputRadiusKey));
  if (image.isNull() || !(radius >= 1.0)) return image;
  return Image(std::make_shared<DiscBlurNode>(image, radius));
}

}  // namespace

void registerBlurFilters(FilterRegistry& registry) {
  const QStringList blur =
      categories({kCICategoryBlur, kCICategoryVideo, kCICategoryHighDynamicRange});
  const QString image = QStringLiteral("The image to use as an input image.");
  FilterInput gaussianRadius = numberInput(
      kCIInputRadiusKey, kCIAttributeTypeScalar, 10, 0, 0, 100,
      "The standard deviation of the Gaussian, in pixels. Larger values give more blur.");
  gaussianRadius.identity = 0.0;
  FilterInput discRadius = numberInput(kCIInputRadiusKey, kCIAttributeTypeDistance, 8, 0, 0, 100,
                                       "The radius of the disc averaged at each pixel.");
  discRadius.identity = 0.0;
  registerDefinitions(
      registry, {
                    {"CIGaussianBlur",
                     blur,
                     "Spreads source pixels by an amount specified by a Gaussian distribution.",
                     {imageInput(kCIInputImageKey, image), gaussianRadius},
                     gaussianBlur},
                    {"CIDiscBlur",
                     blur,
                     "Smooths an image using a disc-shaped convolution kernel.",
                     {imageInput(kCIInputImageKey, image), discRadius},
                     discBlur},
                });
}

}  // namespace ci::filters
