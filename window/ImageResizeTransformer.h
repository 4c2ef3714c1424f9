#pragma once

#include "foundation/ValueTransformer.h"

// Shows a scale factor as a pixel size: the factor times `coef` (the image's
// width or height), and a typed size back as a factor. A zero size, or a
// zero `coef`, gives the factor 0 rather than a division by zero.
class ImageResizeTransformer : public fnd::ValueTransformer {
 public:
  explicit ImageResizeTransformer(double coef = 0) : coef(coef) {}
  static QString transformedValueClass() { return QStringLiteral("NSNumber"); }
  bool allowsReverseTransformation() const override { return true; }
  QVariant transformedValue(const QVariant& value) const override;
  QVariant reverseTransformedValue(const QVariant& value) const override;

  double coef;
};
