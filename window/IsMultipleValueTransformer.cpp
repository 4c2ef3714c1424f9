#include "window/IsMultipleValueTransformer.h"

#include "coredata/ManagedObject.h"

QVariant IsMultipleValueTransformer::transformedValue(const QVariant& value) const {
  qsizetype count = 0;
  if (value.metaType() == QMetaType::fromType<cd::ObjectList>())
    count = value.value<cd::ObjectList>().size();
  else if (value.isValid())
    count = value.toList().size();
  return QVariant(count > 1);
}
