#pragma once

#include <QRectF>
#include <QVariantMap>
#include <optional>

#include "coreimage/Filter.h"
#include "graphics/AffineTransform.h"

// The base of the program's two flip filters: the output is "CIAffineTransform"
// of the input image with the flip the subclass answers for the input's
// extent. Only the extent's size enters the flip, never its origin, so an
// image that does not start at (0, 0) is flipped and also moved.
class FlipImageUnit : public ci::Filter {
 public:
  ci::Image inputImage() const;
  void setInputImage(const ci::Image& image);

  // The flip for an image of `extent`; the base class has none.
  virtual std::optional<gfx::AffineTransform> affineTransformWithImageExtent(
      const QRectF& extent) const;
  // Per-input attributes beyond the value classes: none for the flips.
  virtual QVariantMap customAttributes() const { return {}; }

  ci::Image outputImage() const override;

 protected:
  FlipImageUnit(const QString& name, const QVariantMap& classAttributes);

  // The three class attributes the registry keeps for a flip.
  static QVariantMap flipClassAttributes(const QString& displayName, const QString& description);
};
