#include "model/IsSingleValueTransformer.h"

#include "coredata/ManagedObject.h"

QVariant IsSingleValueTransformer::transformedValue(const QVariant& value) const {
  qsizetype count = 0;
  if (value.metaType() == QMetaType::fromType<cd::ObjectList>())
    count = value.value<cd::ObjectList>().size();
  else if (value.isValid())
    count = value.toList().size();
  return QVariant(count < 2);
}
