#include "coredata/MigrationManager.h"

#include <QFile>

#include "coredata/EntityMigrationPolicy.h"
#include "coredata/FetchRequest.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"

namespace cd {
namespace {

bool migrationFailed(fnd::Error* error, int code, const QString& why,
                     const fnd::Error& cause = {}) {
  QVariantMap info{{fnd::LocalizedDescriptionKey, why}};
  if (!cause.isNull()) info.insert(fnd::UnderlyingErrorKey, QVariant::fromValue(cause));
  return fnd::fail(error, fnd::Error(fnd::CocoaErrorDomain, code, info));
}

bool takesSourceObjects(const EntityMapping& mapping) {
  return mapping.kind != EntityMapping::Kind::Add && mapping.kind != EntityMapping::Kind::Remove;
}

}  // namespace

MigrationManager::MigrationManager(ManagedObjectModelPtr sourceModel,
                                   ManagedObjectModelPtr destinationModel)
    : sourceModel_(std::move(sourceModel)), destinationModel_(std::move(destinationModel)) {}

MigrationManager::~MigrationManager() { close(); }

bool MigrationManager::migrateStoreFromURL(const QUrl& sourceURL, const QString& sourceType,
                                           const QVariantMap& sourceOptions,
                                           const MappingModel& mapping, const QUrl& destinationURL,
                                           const QString& destinationType,
                                           const QVariantMap& destinationOptions,
                                           fnd::Error* error) {
  if (destinationURL.isLocalFile() && QFile::exists(destinationURL.toLocalFile()))
    return migrationFailed(
        error, fnd::MigrationManagerDestinationStoreError,
        QStringLiteral("There is already a file at %1.").arg(destinationURL.toLocalFile()));
  mapping_ = &mapping;
  associations_.clear();
  destinationsBySource_.clear();
  bool done = openStores(sourceURL, sourceType, sourceOptions, destinationURL, destinationType,
                         destinationOptions, error) &&
              createDestinationInstances(error) && createRelationships(error);
  if (done) {
    fnd::Error saveError;
    done = destinationContext_->save(&saveError);
    if (!done)
      migrationFailed(error, fnd::MigrationError,
                      QStringLiteral("The migrated store could not be saved."), saveError);
  }
  close();
  if (!done && destinationURL.isLocalFile()) QFile::remove(destinationURL.toLocalFile());
  mapping_ = nullptr;
  return done;
}

bool MigrationManager::openStores(const QUrl& sourceURL, const QString& sourceType,
                                  const QVariantMap& sourceOptions, const QUrl& destinationURL,
                                  const QString& destinationType,
                                  const QVariantMap& destinationOptions, fnd::Error* error) {
  // The source is only read, with the model the caller says it was written
  // with, whatever version its metadata names.
  QVariantMap readOptions = sourceOptions;
  readOptions.insert(ReadOnlyPersistentStoreOption, true);
  readOptions.insert(IgnorePersistentStoreVersioningOption, true);
  sourceCoordinator_ = std::make_unique<PersistentStoreCoordinator>(sourceModel_);
  fnd::Error storeError;
  if (!sourceCoordinator_->addPersistentStoreWithType(sourceType, {}, sourceURL, readOptions,
                                                      &storeError))
    return migrationFailed(error, fnd::MigrationManagerSourceStoreError,
                           QStringLiteral("The store to migrate could not be read."), storeError);
  destinationCoordinator_ = std::make_unique<PersistentStoreCoordinator>(destinationModel_);
  if (!destinationCoordinator_->addPersistentStoreWithType(destinationType, {}, destinationURL,
                                                           destinationOptions, &storeError))
    return migrationFailed(error, fnd::MigrationManagerDestinationStoreError,
                           QStringLiteral("The migrated store could not be made."), storeError);
  sourceContext_ = std::make_unique<ManagedObjectContext>();
  destinationContext_ = std::make_unique<ManagedObjectContext>();
  for (ManagedObjectContext* context : {sourceContext_.get(), destinationContext_.get()})
    context->setUsesPlainObjects(true);
  sourceContext_->setPersistentStoreCoordinator(sourceCoordinator_.get());
  destinationContext_->setPersistentStoreCoordinator(destinationCoordinator_.get());
  return true;
}

bool MigrationManager::createDestinationInstances(fnd::Error* error) {
  for (const EntityMapping& mapping : mapping_->entityMappings) {
    if (!takesSourceObjects(mapping)) continue;
    std::unique_ptr<EntityMigrationPolicy> policy =
        EntityMigrationPolicy::create(mapping.entityMigrationPolicyClassName);
    if (!policy)
      return migrationFailed(error, fnd::EntityMigrationPolicyError,
                             QStringLiteral("There is no migration policy %1.")
                                 .arg(mapping.entityMigrationPolicyClassName));
    FetchRequest request(mapping.sourceEntityName);
    request.setIncludesSubentities(false);
    request.setPredicate(mapping.sourcePredicate);
    fnd::Error fetchError;
    const ObjectList sources = sourceContext_->executeFetchRequest(request, &fetchError);
    if (!fetchError.isNull())
      return migrationFailed(
          error, fnd::MigrationManagerSourceStoreError,
          QStringLiteral("The objects of %1 could not be read.").arg(mapping.sourceEntityName),
          fetchError);
    for (ManagedObject* source : sources)
      if (!policy->createDestinationInstancesForSourceInstance(source, mapping, *this, error))
        return false;
  }
  return true;
}

bool MigrationManager::createRelationships(fnd::Error* error) {
  for (const EntityMapping& mapping : mapping_->entityMappings) {
    if (!takesSourceObjects(mapping)) continue;
    std::unique_ptr<EntityMigrationPolicy> policy =
        EntityMigrationPolicy::create(mapping.entityMigrationPolicyClassName);
    // A copy: a policy may associate more objects while this runs.
    const QList<Association> made = associations_.value(mapping.name);
    for (const Association& association : made)
      if (!policy->createRelationshipsForDestinationInstance(association.destination, mapping,
                                                             *this, error))
        return false;
  }
  return true;
}

void MigrationManager::close() {
  destinationContext_.reset();
  sourceContext_.reset();
  destinationCoordinator_.reset();
  sourceCoordinator_.reset();
}

void MigrationManager::associateSourceInstance(ManagedObject* source, ManagedObject* destination,
                                               const EntityMapping& mapping) {
  associations_[mapping.name].append(Association{source, destination});
  destinationsBySource_[source].append(destination);
}

ObjectList MigrationManager::sourceInstancesForEntityMappingNamed(
    const QString& name, const ObjectList& destinationInstances) const {
  ObjectList sources;
  for (const Association& association : associations_.value(name))
    if (destinationInstances.contains(association.destination)) sources.append(association.source);
  return sources;
}

ObjectList MigrationManager::destinationInstancesForEntityMappingNamed(
    const QString& name, const ObjectList& sourceInstances) const {
  ObjectList destinations;
  for (const Association& association : associations_.value(name))
    if (sourceInstances.contains(association.source)) destinations.append(association.destination);
  return destinations;
}

ManagedObject* MigrationManager::lastSourceInstanceForEntityMappingNamed(
    const QString& name, ManagedObject* destination) const {
  const ObjectList sources = sourceInstancesForEntityMappingNamed(name, {destination});
  return sources.isEmpty() ? nullptr : sources.last();
}

ManagedObject* MigrationManager::lastDestinationInstanceForEntityMappingNamed(
    const QString& name, ManagedObject* source) const {
  const ObjectList destinations = destinationInstancesForEntityMappingNamed(name, {source});
  return destinations.isEmpty() ? nullptr : destinations.last();
}

ObjectList MigrationManager::destinationInstancesForSourceInstance(ManagedObject* source) const {
  return destinationsBySource_.value(source);
}

}  // namespace cd
