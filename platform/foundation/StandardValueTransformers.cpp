#include "foundation/StandardValueTransformers.h"

#include <QHash>

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

namespace fnd {

// Null pointers held in a QVariant count as nil too.
QVariant IsNilTransformer::transformedValue(const QVariant& value) const {
  bool isNil = !value.isValid() || value.isNull();
  if (!isNil && value.metaType().flags().testFlag(QMetaType::IsPointer))
    isNil = *static_cast<void* const*>(value.constData()) == nullptr;
  return isNil != negated_;
}

QVariant KeyedUnarchiveFromDataTransformer::transformedValue(const QVariant& value) const {
  if (value.metaType() != QMetaType::fromType<QByteArray>()) return {};
  return KeyedUnarchiver::unarchiveObjectWithData(value.toByteArray());
}

QVariant KeyedUnarchiveFromDataTransformer::reverseTransformedValue(const QVariant& value) const {
  if (!value.isValid()) return {};
  return KeyedArchiver::archivedDataWithRootObject(value);
}

void addStandardValueTransformers(QHash<QString, std::shared_ptr<ValueTransformer>>& registry) {
  registry.insert("NSNegateBoolean", std::make_shared<NegateBooleanTransformer>());
  registry.insert("NSIsNil", std::make_shared<IsNilTransformer>(false));
  registry.insert("NSIsNotNil", std::make_shared<IsNilTransformer>(true));
  registry.insert("NSKeyedUnarchiveFromData",
                  std::make_shared<KeyedUnarchiveFromDataTransformer>());
}

}  // namespace fnd
