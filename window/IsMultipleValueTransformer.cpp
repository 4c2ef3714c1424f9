#include "window/IsMultipleValueTransformer.h"

#include "model/IsSingleValueTransformer.h"

QVariant IsMultipleValueTransformer::transformedValue(const QVariant& value) const {
  return QVariant(IsSingleValueTransformer::countOfElements(value) > 1);
}
