// Dates as stored by documents, archives and property lists: seconds (a
// double) since 2001-01-01 00:00:00 UTC. Converted without overflow; stored
// values no calendar date can hold are refused rather than wrapped.
#pragma once

#include <QDateTime>

namespace fnd {

class ReferenceDate {
 public:
  static constexpr qint64 MSecsSinceEpoch = 978307200000LL;
  // About 317,000 years either way: anything further out is damage, and
  // milliseconds since 1970 stay far inside 64 bits.
  static constexpr double MaximumSeconds = 1e13;

  // NaN for an invalid date. Exact to the millisecond within the range.
  static double secondsFrom(const QDateTime& date);
  // A UTC date rounded to the millisecond; an invalid QDateTime when
  // `seconds` is not finite or beyond MaximumSeconds either way.
  static QDateTime dateFrom(double seconds);
};

}  // namespace fnd
