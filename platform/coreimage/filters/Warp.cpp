#include "coreimage/filters/Warp.h"

#include "coreimage/filters/BuiltInFilter.h"

namespace ci::filters {

Image applyWarp(const QString& kernelName, const Image& image, const QRectF& extent,
                const RegionOfInterestCallback& roi, const QVariantList& values) {
  const KernelPtr kernel = builtInKernel(kernelName);
  if (!kernel || image.isNull()) return image;
  QVariantList arguments{QVariant::fromValue(Sampler(image))};
  arguments += values;
  return kernel->applyWithExtent(extent, roi, arguments);
}

}  // namespace ci::filters
