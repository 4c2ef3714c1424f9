#include "coredata/SortDescriptor.h"

#include <QDateTime>

#include "coredata/ManagedObject.h"

namespace cd {

int SortDescriptor::compareValues(const QVariant& a, const QVariant& b) {
  if (!a.isValid() || !b.isValid()) return int(a.isValid()) - int(b.isValid());
  QPartialOrdering order = QVariant::compare(a, b);
  if (order == QPartialOrdering::Less) return -1;
  if (order == QPartialOrdering::Greater) return 1;
  if (order == QPartialOrdering::Equivalent) return 0;
  return QString::compare(a.toString(), b.toString());
}

int SortDescriptor::compareObject(const ManagedObject* a, const ManagedObject* b) const {
  int order = compareValues(a->valueForKey(key_), b->valueForKey(key_));
  return ascending_ ? order : -order;
}

}  // namespace cd
