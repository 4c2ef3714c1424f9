#include "coredata/PersistentStoreCoordinator.h"

#include <QFile>
#include <cstdio>

#include "coredata/MappingModel.h"
#include "coredata/MigrationManager.h"
#include "coredata/SQLiteStore.h"

namespace cd {

PersistentStoreCoordinator::PersistentStoreCoordinator(ManagedObjectModelPtr model)
    : model_(std::move(model)) {}

PersistentStoreCoordinator::~PersistentStoreCoordinator() = default;

PersistentStore* PersistentStoreCoordinator::addPersistentStoreWithType(const QString& type,
                                                                        const QString&,
                                                                        const QUrl& url,
                                                                        const QVariantMap& options,
                                                                        fnd::Error* error) {
  if (type != SQLiteStoreType && type != InMemoryStoreType) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreInvalidTypeError,
              QStringLiteral("\"%1\" is not a known store type.").arg(type));
    return nullptr;
  }
  if (type == SQLiteStoreType && persistentStoreForURL(url)) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreOpenError,
              QStringLiteral("The store at %1 is already open.").arg(url.toString()));
    return nullptr;
  }
  fnd::Error openError;
  std::unique_ptr<SQLiteStore> store = SQLiteStore::open(this, type, url, options, &openError);
  if (!store && openError.code() == fnd::PersistentStoreIncompatibleVersionHashError &&
      options.value(MigratePersistentStoresAutomaticallyOption).toBool() &&
      options.value(InferMappingModelAutomaticallyOption).toBool()) {
    if (!migrateAutomatically(url, openError.userInfo().value("metadata").toMap(), error))
      return nullptr;
    store = SQLiteStore::open(this, type, url, options, &openError);
  }
  if (!store) {
    fnd::fail(error, openError);
    return nullptr;
  }
  stores_.push_back(std::move(store));
  return stores_.back().get();
}

bool PersistentStoreCoordinator::migrateAutomatically(const QUrl& url, const QVariantMap& metadata,
                                                      fnd::Error* error) {
  ManagedObjectModelPtr source;
  for (const QString& bundle : ManagedObjectModel::registeredBundles())
    if ((source = ManagedObjectModel::mergedModelFromBundle(bundle, metadata))) break;
  if (!source)
    return fnd::fail(
        error, fnd::CocoaErrorDomain, fnd::MigrationMissingSourceModelError,
        QStringLiteral("No known model version wrote the store at %1.").arg(url.toLocalFile()));
  std::optional<MappingModel> mapping = MappingModel::inferredMappingModel(*source, *model_, error);
  if (!mapping) return false;
  // Migrated beside the store, then put in its place in one step: the store
  // is either the old file or the complete new one.
  const QString path = url.toLocalFile(), migrated = path + ".migrating";
  QFile::remove(migrated);
  MigrationManager manager(source, model_);
  if (!manager.migrateStoreFromURL(url, SQLiteStoreType, {}, *mapping,
                                   QUrl::fromLocalFile(migrated), SQLiteStoreType, {}, error))
    return false;
  if (std::rename(QFile::encodeName(migrated).constData(), QFile::encodeName(path).constData()) ==
      0)
    return true;
  QFile::remove(migrated);
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
                   QStringLiteral("The migrated store could not replace %1.").arg(path));
}

bool PersistentStoreCoordinator::removePersistentStore(PersistentStore* store, fnd::Error* error) {
  for (auto it = stores_.begin(); it != stores_.end(); ++it) {
    if (it->get() != store) continue;
    stores_.erase(it);
    return true;
  }
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreOperationError,
                   QStringLiteral("The store is not attached to this coordinator."));
}

bool PersistentStoreCoordinator::setURL(const QUrl& url, PersistentStore* store,
                                        fnd::Error* error) {
  if (!store || store->persistentStoreCoordinator() != this)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreOperationError,
                     QStringLiteral("The store is not attached to this coordinator."));
  if (!store->relocate(url, error)) return false;
  store->url_ = url;
  return true;
}

QList<PersistentStore*> PersistentStoreCoordinator::persistentStores() const {
  QList<PersistentStore*> stores;
  for (const auto& store : stores_) stores.append(store.get());
  return stores;
}

void PersistentStoreCoordinator::releaseReadBuffers() {
  for (const auto& store : stores_) store->releaseReadBuffers();
}

PersistentStore* PersistentStoreCoordinator::persistentStoreForURL(const QUrl& url) const {
  for (const auto& store : stores_)
    if (store->URL() == url) return store.get();
  return nullptr;
}

QVariantMap PersistentStoreCoordinator::metadataForPersistentStoreOfType(const QString& type,
                                                                         const QUrl& url,
                                                                         fnd::Error* error) {
  if (!type.isEmpty() && type != SQLiteStoreType) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreInvalidTypeError,
              QStringLiteral("Only SQLite store files have metadata to read."));
    return {};
  }
  QVariantMap metadata;
  if (!SQLiteStore::readMetadata(url.toLocalFile(), &metadata, error)) return {};
  return metadata;
}

void PersistentStoreCoordinator::setMetadata(const QVariantMap& metadata, PersistentStore* store) {
  if (store) store->setMetadata(metadata);
}

QVariantMap PersistentStoreCoordinator::metadataForPersistentStore(PersistentStore* store) const {
  return store ? store->metadata() : QVariantMap();
}

}  // namespace cd
