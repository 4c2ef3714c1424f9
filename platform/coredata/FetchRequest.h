// What to fetch: an entity (with or without its sub-entities), a predicate,
// sort descriptors and a limit. Unsaved insertions of the context are
// included and deleted objects excluded, so a fetch sees the context's view.
#pragma once

#include <QList>

#include "coredata/Predicate.h"
#include "coredata/SortDescriptor.h"

namespace cd {

class FetchRequest {
 public:
  FetchRequest() = default;
  explicit FetchRequest(QString entityName) : entityName_(std::move(entityName)) {}
  static FetchRequest fetchRequestWithEntityName(const QString& name) { return FetchRequest(name); }

  const QString& entityName() const { return entityName_; }
  void setEntityName(const QString& name) { entityName_ = name; }
  const Predicate& predicate() const { return predicate_; }
  void setPredicate(const Predicate& predicate) { predicate_ = predicate; }
  const QList<SortDescriptor>& sortDescriptors() const { return sortDescriptors_; }
  void setSortDescriptors(const QList<SortDescriptor>& sorts) { sortDescriptors_ = sorts; }
  // 0 means no limit.
  int fetchLimit() const { return fetchLimit_; }
  void setFetchLimit(int limit) { fetchLimit_ = limit; }
  int fetchOffset() const { return fetchOffset_; }
  void setFetchOffset(int offset) { fetchOffset_ = offset; }
  bool includesSubentities() const { return includesSubentities_; }
  void setIncludesSubentities(bool include) { includesSubentities_ = include; }

 private:
  QString entityName_;
  Predicate predicate_;
  QList<SortDescriptor> sortDescriptors_;
  int fetchLimit_ = 0;
  int fetchOffset_ = 0;
  bool includesSubentities_ = true;
};

}  // namespace cd
