#pragma once

#include <QVariant>

// Bindings' value transformer: YES while a list holds fewer than two
// elements (nothing counts as empty), so controls that need a choice between
// several items switch off. The window registers it under its class name;
// the platform layer has no transformer registry yet, so it is a plain class.
class IsSingleValueTransformer {
 public:
  static QString transformedValueClass() { return QStringLiteral("NSArray"); }
  static bool allowsReverseTransformation() { return true; }
  QVariant transformedValue(const QVariant& value) const;
  // Nothing of its own: the value goes back unchanged.
  QVariant reverseTransformedValue(const QVariant& value) const { return value; }
};
