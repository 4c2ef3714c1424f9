// Orders fetched objects by the value of one key, ascending or descending.
// Numbers, strings and dates compare by value; nil sorts first.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace cd {

class ManagedObject;

class SortDescriptor {
 public:
  explicit SortDescriptor(QString key, bool ascending = true)
      : key_(std::move(key)), ascending_(ascending) {}

  const QString& key() const { return key_; }
  bool ascending() const { return ascending_; }

  // <0, 0 or >0 as `a` sorts before, with or after `b`.
  int compareObject(const ManagedObject* a, const ManagedObject* b) const;
  static int compareValues(const QVariant& a, const QVariant& b);

 private:
  QString key_;
  bool ascending_;
};

}  // namespace cd
