#include "window/LogValueForScaleSliderTransformer.h"

#include <cmath>

QVariant LogValueForScaleSliderTransformer::transformedValue(const QVariant& value) const {
  return std::log10(value.toDouble());
}

QVariant LogValueForScaleSliderTransformer::reverseTransformedValue(const QVariant& value) const {
  return std::pow(10.0, value.toDouble());
}
