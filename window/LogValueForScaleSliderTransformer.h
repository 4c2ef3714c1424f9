#pragma once

#include "foundation/ValueTransformer.h"

// The zoom slider's logarithmic scale: a zoom factor becomes its base-10
// logarithm (1 → 0, 10 → 1, 0.1 → −1) and a slider position goes back as
// 10 to its power. Zero and negative factors pass through as −infinity and
// not-a-number; the zoom is kept positive elsewhere.
class LogValueForScaleSliderTransformer : public fnd::ValueTransformer {
 public:
  static QString transformedValueClass() { return QStringLiteral("NSNumber"); }
  bool allowsReverseTransformation() const override { return true; }
  QVariant transformedValue(const QVariant& value) const override;
  QVariant reverseTransformedValue(const QVariant& value) const override;
};
