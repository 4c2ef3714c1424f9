#pragma once

#include "model/FlipImageUnit.h"

// "Flip Horizontally": (x, y) goes to (width − x, y), width being the input
// extent's. Registered as "FlipImageVUnit".
class FlipImageVUnit : public FlipImageUnit {
 public:
  FlipImageVUnit();

  static void registerFilter();
  static QVariantMap classAttributes();

  std::optional<gfx::AffineTransform> affineTransformWithImageExtent(
      const QRectF& extent) const override;
};
