// Dates in stores are seconds (a double) since 2001-01-01 00:00:00 UTC, the
// reference date of the document format; in memory they are UTC QDateTimes
// at millisecond precision.
#pragma once

#include <QDateTime>

namespace cd {

class StoreDate {
 public:
  static double toStored(const QDateTime& date);
  static QDateTime fromStored(double seconds);
  static QDateTime referenceDate();
};

}  // namespace cd
