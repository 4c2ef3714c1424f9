// Value transformers for bindings: a value in, a value out, optionally back
// again; registered under a name that interface descriptions refer to.
#pragma once

#include <QString>
#include <QVariant>
#include <memory>

namespace fnd {

class ValueTransformer {
 public:
  virtual ~ValueTransformer() = default;
  virtual QVariant transformedValue(const QVariant& value) const = 0;
  // Only called when allowsReverseTransformation() says so.
  virtual QVariant reverseTransformedValue(const QVariant& value) const { return value; }
  virtual bool allowsReverseTransformation() const { return false; }

  // The registry is shared by the whole program; a second registration under
  // a name replaces the first, null removes it.
  static void setValueTransformer(std::shared_ptr<ValueTransformer> transformer,
                                  const QString& name);
  static std::shared_ptr<ValueTransformer> valueTransformerForName(const QString& name);
};

}  // namespace fnd
