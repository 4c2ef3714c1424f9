// Migrates a store of one model version into a new store of another,
// through a mapping model: every entity mapping first makes the destination
// objects of its source objects, then their relationships, through its
// entity migration policy; the destination store is saved (validated) last.
// The source store is only read. Both contexts hold plain managed objects,
// so the program's entity classes take no part.
#pragma once

#include <QHash>
#include <QUrl>
#include <QVariantMap>
#include <memory>

#include "coredata/ManagedObject.h"
#include "coredata/ManagedObjectModel.h"
#include "coredata/MappingModel.h"

namespace cd {

class ManagedObjectContext;
class PersistentStoreCoordinator;

class MigrationManager {
 public:
  MigrationManager(ManagedObjectModelPtr sourceModel, ManagedObjectModelPtr destinationModel);
  ~MigrationManager();
  MigrationManager(const MigrationManager&) = delete;
  MigrationManager& operator=(const MigrationManager&) = delete;

  // False with an error when the source cannot be read, a policy fails or the
  // destination does not save; a destination file made by a failed
  // migration is removed.
  bool migrateStoreFromURL(const QUrl& sourceURL, const QString& sourceType,
                           const QVariantMap& sourceOptions, const MappingModel& mapping,
                           const QUrl& destinationURL, const QString& destinationType,
                           const QVariantMap& destinationOptions, fnd::Error* error = nullptr);

  const ManagedObjectModelPtr& sourceModel() const { return sourceModel_; }
  const ManagedObjectModelPtr& destinationModel() const { return destinationModel_; }
  ManagedObjectContext* sourceContext() const { return sourceContext_.get(); }
  ManagedObjectContext* destinationContext() const { return destinationContext_.get(); }
  const MappingModel* mappingModel() const { return mapping_; }

  // Records that `destination` was made from `source` by `mapping`.
  void associateSourceInstance(ManagedObject* source, ManagedObject* destination,
                               const EntityMapping& mapping);
  // The objects associated by the named mapping with any of the given ones,
  // in the order they were associated.
  ObjectList sourceInstancesForEntityMappingNamed(const QString& name,
                                                  const ObjectList& destinationInstances) const;
  ObjectList destinationInstancesForEntityMappingNamed(const QString& name,
                                                       const ObjectList& sourceInstances) const;
  // The last of those for one object, or null.
  ManagedObject* lastSourceInstanceForEntityMappingNamed(const QString& name,
                                                         ManagedObject* destination) const;
  ManagedObject* lastDestinationInstanceForEntityMappingNamed(const QString& name,
                                                              ManagedObject* source) const;
  // The destination objects made from `source` by any mapping.
  ObjectList destinationInstancesForSourceInstance(ManagedObject* source) const;

 private:
  struct Association {
    ManagedObject* source;
    ManagedObject* destination;
  };

  bool openStores(const QUrl& sourceURL, const QString& sourceType,
                  const QVariantMap& sourceOptions, const QUrl& destinationURL,
                  const QString& destinationType, const QVariantMap& destinationOptions,
                  fnd::Error* error);
  bool createDestinationInstances(fnd::Error* error);
  bool createRelationships(fnd::Error* error);
  void close();

  ManagedObjectModelPtr sourceModel_, destinationModel_;
  std::unique_ptr<PersistentStoreCoordinator> sourceCoordinator_, destinationCoordinator_;
  std::unique_ptr<ManagedObjectContext> sourceContext_, destinationContext_;
  const MappingModel* mapping_ = nullptr;
  QHash<QString, QList<Association>> associations_;  // by mapping name
  QHash<const ManagedObject*, ObjectList> destinationsBySource_;
};

}  // namespace cd
