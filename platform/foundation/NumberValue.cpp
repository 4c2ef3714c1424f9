#include "foundation/NumberValue.h"

#include <cmath>
#include <limits>

namespace fnd {

bool isIntegralNumberValue(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
      return true;
    default:
      return false;
  }
}

bool isNumberValue(const QVariant& value) {
  return isIntegralNumberValue(value) || value.typeId() == QMetaType::Double ||
         value.typeId() == QMetaType::Float;
}

qint64 int64FromReal(double value) {
  using Limits = std::numeric_limits<qint64>;
  if (std::isnan(value)) return 0;
  // 2^63 is exact as a double; qint64's maximum is not.
  if (value >= std::ldexp(1.0, 63)) return Limits::max();
  if (value <= double(Limits::min())) return Limits::min();
  return qint64(value);
}

float floatFromReal(double value) {
  constexpr float Infinity = std::numeric_limits<float>::infinity();
  if (std::isfinite(value) && std::fabs(value) > double(std::numeric_limits<float>::max()))
    return value > 0 ? Infinity : -Infinity;
  return float(value);
}

}  // namespace fnd
