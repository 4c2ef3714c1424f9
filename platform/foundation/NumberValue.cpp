#include "foundation/NumberValue.h"

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

}  // namespace fnd
