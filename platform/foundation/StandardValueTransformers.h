// The value transformers every program finds registered under their
// platform names, for bindings that enable, hide or decode by name:
// "NSNegateBoolean", "NSIsNil", "NSIsNotNil" and "NSKeyedUnarchiveFromData"
// (keyed-archive data in, the archived object out, and back).
#pragma once

#include <QHash>

#include "foundation/ValueTransformer.h"

namespace fnd {

class NegateBooleanTransformer : public ValueTransformer {
 public:
  QVariant transformedValue(const QVariant& value) const override { return !value.toBool(); }
  QVariant reverseTransformedValue(const QVariant& value) const override { return !value.toBool(); }
  bool allowsReverseTransformation() const override { return true; }
};

class IsNilTransformer : public ValueTransformer {
 public:
  explicit IsNilTransformer(bool negated) : negated_(negated) {}
  QVariant transformedValue(const QVariant& value) const override;

 private:
  bool negated_;
};

class KeyedUnarchiveFromDataTransformer : public ValueTransformer {
 public:
  // Null for data that is no keyed archive.
  QVariant transformedValue(const QVariant& value) const override;
  QVariant reverseTransformedValue(const QVariant& value) const override;
  bool allowsReverseTransformation() const override { return true; }
};

// Puts the transformers above into `registry` under their names.
void addStandardValueTransformers(QHash<QString, std::shared_ptr<ValueTransformer>>& registry);

}  // namespace fnd
