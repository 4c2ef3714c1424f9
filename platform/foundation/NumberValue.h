// What counts as a number among QVariant values: every integer, floating
// point and boolean kind, the way a boxed number of any size would.
#pragma once

#include <QVariant>

namespace fnd {

bool isIntegralNumberValue(const QVariant& value);
bool isNumberValue(const QVariant& value);

// Stored reals as integers without undefined conversions: the fraction is
// dropped, values beyond the range give its nearest end, NaN gives 0.
qint64 int64FromReal(double value);
// Reals beyond a float's range give an infinity of their sign.
float floatFromReal(double value);

}  // namespace fnd
