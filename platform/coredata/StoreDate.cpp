#include "coredata/StoreDate.h"

#include "foundation/ReferenceDate.h"

namespace cd {

QDateTime StoreDate::referenceDate() { return QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC); }

double StoreDate::toStored(const QDateTime& date) { return fnd::ReferenceDate::secondsFrom(date); }

QDateTime StoreDate::fromStored(double seconds) { return fnd::ReferenceDate::dateFrom(seconds); }

}  // namespace cd
