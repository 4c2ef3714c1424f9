#include "coredata/StoreDate.h"

#include <cmath>

namespace cd {

QDateTime StoreDate::referenceDate() { return QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC); }

double StoreDate::toStored(const QDateTime& date) {
  return double(date.toMSecsSinceEpoch() - referenceDate().toMSecsSinceEpoch()) / 1000.0;
}

QDateTime StoreDate::fromStored(double seconds) {
  qint64 ms = std::llround(seconds * 1000.0);
  return QDateTime::fromMSecsSinceEpoch(referenceDate().toMSecsSinceEpoch() + ms, Qt::UTC);
}

}  // namespace cd
