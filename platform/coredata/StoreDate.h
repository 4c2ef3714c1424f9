// Dates in stores are seconds (a double) since 2001-01-01 00:00:00 UTC, the
// reference date of the document format; in memory they are UTC QDateTimes
// at millisecond precision.
#pragma once

#include <QDateTime>

namespace cd {

class StoreDate {
 public:
  static double toStored(const QDateTime& date);
  // An invalid QDateTime when the stored value is no date (not finite, or
  // beyond fnd::ReferenceDate::MaximumSeconds); readers report it as damage.
  static QDateTime fromStored(double seconds);
  static QDateTime referenceDate();
};

}  // namespace cd
