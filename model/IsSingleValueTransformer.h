#pragma once

#include "foundation/ValueTransformer.h"

// Bindings' value transformer: YES while a list holds fewer than two
// elements (nothing counts as empty), so controls that need a choice between
// several items switch off. The window registers it under its class name.
class IsSingleValueTransformer : public fnd::ValueTransformer {
 public:
  static QString transformedValueClass() { return QStringLiteral("NSArray"); }
  bool allowsReverseTransformation() const override { return true; }
  QVariant transformedValue(const QVariant& value) const override;
  // Nothing of its own: the value goes back unchanged.
  QVariant reverseTransformedValue(const QVariant& value) const override { return value; }
  // Elements of a list of objects or of values; 0 for anything else.
  static qsizetype countOfElements(const QVariant& list);
};
