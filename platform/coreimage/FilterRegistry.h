// The table of filter names the program can make: the built-in catalogue
// (registered on first use, family by family from filters/), the program's
// own filters and plug-ins. Thread-safe; filters themselves are not.
#pragma once

#include <QMap>
#include <QMutex>
#include <QStringList>
#include <QVariantMap>

#include "coreimage/Filter.h"

namespace ci {

class FilterRegistry {
 public:
  static FilterRegistry& shared();

  void registerFilterName(const QString& name, FilterConstructor constructor,
                          const QVariantMap& classAttributes);
  FilterPtr makeFilter(const QString& name) const;
  bool contains(const QString& name) const;
  QStringList namesInCategories(const QStringList& categories) const;
  QVariantMap classAttributes(const QString& name) const;

 private:
  FilterRegistry() = default;
  void registerBuiltIns();

  struct Entry {
    FilterConstructor constructor;
    QVariantMap classAttributes;
  };
  mutable QMutex mutex_;
  QMap<QString, Entry> entries_;
};

}  // namespace ci
