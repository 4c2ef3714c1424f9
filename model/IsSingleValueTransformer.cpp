#include "model/IsSingleValueTransformer.h"

#include "coredata/ManagedObject.h"

qsizetype IsSingleValueTransformer::countOfElements(const QVariant& list) {
  if (list.metaType() == QMetaType::fromType<cd::ObjectList>())
    return list.value<cd::ObjectList>().size();
  return list.isValid() ? list.toList().size() : 0;
}

QVariant IsSingleValueTransformer::transformedValue(const QVariant& value) const {
  return QVariant(countOfElements(value) < 2);
}
