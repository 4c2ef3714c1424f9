#include "window/ImageResizeTransformer.h"

QVariant ImageResizeTransformer::transformedValue(const QVariant& value) const {
  return double(value.toFloat()) * coef;
}

QVariant ImageResizeTransformer::reverseTransformedValue(const QVariant& value) const {
  if (value.toDouble() == 0 || coef == 0) return 0.0;
  return double(value.toFloat()) / coef;
}
