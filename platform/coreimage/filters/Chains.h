// Steps the stylize filters build their chains from.
#pragma once

#include "coreimage/Image.h"

namespace ci::filters {

// The image with its edge pixels repeated outwards, so that filters reading
// neighbours see no edge at the image's border; infinite images as they are.
inline Image extendedEdges(const Image& image) {
  return image.isNull() || isInfinite(image.extent()) ? image : image.imageByClampingToExtent();
}

// The image blurred by a Gaussian of standard deviation `sigma`, its edges
// extended first so the border does not darken, and cut back to its extent.
inline Image blurredWithin(const Image& image, double sigma) {
  if (image.isNull() || !(sigma > 0.01)) return image;
  const QRectF extent = image.extent();
  if (isInfinite(extent))
    return image.imageByApplyingFilter(QStringLiteral("CIGaussianBlur"),
                                       {{QStringLiteral("inputRadius"), sigma}});
  return image.imageByClampingToExtent()
      .imageByApplyingFilter(QStringLiteral("CIGaussianBlur"),
                             {{QStringLiteral("inputRadius"), sigma}})
      .imageByCroppingToRect(extent);
}

}  // namespace ci::filters
