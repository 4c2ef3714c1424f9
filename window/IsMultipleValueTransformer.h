#pragma once

#include "foundation/ValueTransformer.h"

// Enables controls that only make sense for several selected items: YES
// when a list holds more than one element (nothing counts as empty).
class IsMultipleValueTransformer : public fnd::ValueTransformer {
 public:
  static QString transformedValueClass() { return QStringLiteral("NSArray"); }
  bool allowsReverseTransformation() const override { return true; }
  QVariant transformedValue(const QVariant& value) const override;
};
