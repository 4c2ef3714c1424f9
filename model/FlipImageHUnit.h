#pragma once

#include "model/FlipImageUnit.h"

// "Flip Vertically": (x, y) goes to (x, height − y), height being the input
// extent's. Registered as "FlipImageHUnit".
class FlipImageHUnit : public FlipImageUnit {
 public:
  FlipImageHUnit();

  static void registerFilter();
  static QVariantMap classAttributes();

  std::optional<gfx::AffineTransform> affineTransformWithImageExtent(
      const QRectF& extent) const override;
};
