#include "coredata/Predicate.h"

#include "coredata/ManagedObject.h"
#include "coredata/SortDescriptor.h"

namespace cd {

Predicate Predicate::compare(const QString& key, Comparison comparison, const QVariant& value) {
  return Predicate([key, comparison, value](const ManagedObject* object) {
    QVariant actual = object->valueForKey(key);
    if (comparison == Comparison::Contains)
      return actual.toString().contains(value.toString(), Qt::CaseSensitive);
    int order = SortDescriptor::compareValues(actual, value);
    switch (comparison) {
      case Comparison::Equal:
        return order == 0;
      case Comparison::NotEqual:
        return order != 0;
      case Comparison::Less:
        return order < 0;
      case Comparison::LessOrEqual:
        return order <= 0;
      case Comparison::Greater:
        return order > 0;
      case Comparison::GreaterOrEqual:
        return order >= 0;
      case Comparison::Contains:
        break;
    }
    return false;
  });
}

Predicate operator&&(const Predicate& a, const Predicate& b) {
  return Predicate([a, b](const ManagedObject* o) { return a.evaluate(o) && b.evaluate(o); });
}

Predicate operator||(const Predicate& a, const Predicate& b) {
  if (a.isEmpty() || b.isEmpty()) return Predicate();
  return Predicate([a, b](const ManagedObject* o) { return a.evaluate(o) || b.evaluate(o); });
}

Predicate operator!(const Predicate& a) {
  return Predicate([a](const ManagedObject* o) { return !a.evaluate(o); });
}

}  // namespace cd
