// What counts as a number among QVariant values: every integer, floating
// point and boolean kind, the way a boxed number of any size would.
#pragma once

#include <QVariant>

namespace fnd {

bool isIntegralNumberValue(const QVariant& value);
bool isNumberValue(const QVariant& value);

}  // namespace fnd
