#include "foundation/ReferenceDate.h"

#include <cmath>
#include <limits>

namespace fnd {

double ReferenceDate::secondsFrom(const QDateTime& date) {
  if (!date.isValid()) return std::numeric_limits<double>::quiet_NaN();
  // In doubles: the difference of two 64-bit millisecond counts may not fit.
  return (double(date.toMSecsSinceEpoch()) - double(MSecsSinceEpoch)) / 1000.0;
}

QDateTime ReferenceDate::dateFrom(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > MaximumSeconds) return {};
  const qint64 msecs = std::llround(seconds * 1000.0);
  return QDateTime::fromMSecsSinceEpoch(msecs + MSecsSinceEpoch, Qt::UTC);
}

}  // namespace fnd
