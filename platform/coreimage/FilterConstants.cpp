#include "coreimage/FilterConstants.h"

namespace ci {

QStringList allFilterCategories() {
  return {kCICategoryDistortionEffect,
          kCICategoryGeometryAdjustment,
          kCICategoryCompositeOperation,
          kCICategoryHalftoneEffect,
          kCICategoryColorAdjustment,
          kCICategoryColorEffect,
          kCICategoryTransition,
          kCICategoryTileEffect,
          kCICategoryGenerator,
          kCICategoryReduction,
          kCICategoryGradient,
          kCICategoryStylize,
          kCICategorySharpen,
          kCICategoryBlur,
          kCICategoryVideo,
          kCICategoryStillImage,
          kCICategoryInterlaced,
          kCICategoryNonSquarePixels,
          kCICategoryHighDynamicRange,
          kCICategoryBuiltIn,
          kCICategoryFilterGenerator};
}

}  // namespace ci
