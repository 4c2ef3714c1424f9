// Connects contexts to stores for one managed object model: adds and
// removes stores (SQLite files, or in-memory ones that are SQLite memory
// databases) and reads a store file's metadata without attaching it.
#pragma once

#include <QList>
#include <QUrl>
#include <QVariantMap>
#include <memory>
#include <vector>

#include "coredata/ManagedObjectModel.h"
#include "coredata/PersistentStore.h"

namespace cd {

inline const QString SQLiteStoreType = QStringLiteral("SQLite");
inline const QString InMemoryStoreType = QStringLiteral("InMemory");

// Options of addPersistentStoreWithType.
inline const QString ReadOnlyPersistentStoreOption =
    QStringLiteral("NSReadOnlyPersistentStoreOption");
// A QVariantMap of pragma name -> value, e.g. {"journal_mode": "DELETE"}.
inline const QString SQLitePragmasOption = QStringLiteral("NSSQLitePragmasOption");
// Together: a store written with another model version of a registered
// bundle (ManagedObjectModel::registerBundle) is migrated in place when it
// opens, through the inferred mapping; a store that cannot be migrated so is
// refused unchanged.
inline const QString MigratePersistentStoresAutomaticallyOption =
    QStringLiteral("NSMigratePersistentStoresAutomaticallyOption");
inline const QString InferMappingModelAutomaticallyOption =
    QStringLiteral("NSInferMappingModelAutomaticallyOption");

// Opens a store whatever model version its metadata names (a migration
// reads a store with the model it was written with).
inline const QString IgnorePersistentStoreVersioningOption =
    QStringLiteral("NSIgnorePersistentStoreVersioningOption");

class PersistentStoreCoordinator {
 public:
  explicit PersistentStoreCoordinator(ManagedObjectModelPtr model);
  ~PersistentStoreCoordinator();
  PersistentStoreCoordinator(const PersistentStoreCoordinator&) = delete;
  PersistentStoreCoordinator& operator=(const PersistentStoreCoordinator&) = delete;

  const ManagedObjectModelPtr& managedObjectModel() const { return model_; }

  // Opens the store at `url` (creating an SQLite file that does not exist
  // yet) and checks it before use. Files that are not stores, truncated or
  // damaged fail with FileReadCorruptFileError; stores written with another
  // model with PersistentStoreIncompatibleVersionHashError; unknown types
  // with PersistentStoreInvalidTypeError. A rejected file is never changed.
  PersistentStore* addPersistentStoreWithType(const QString& type, const QString& configuration,
                                              const QUrl& url, const QVariantMap& options,
                                              fnd::Error* error = nullptr);
  bool removePersistentStore(PersistentStore* store, fnd::Error* error = nullptr);
  QList<PersistentStore*> persistentStores() const;
  // Every store lets go of memory kept to read the next large value into.
  void releaseReadBuffers();
  // Moves `store` to the file at `url`, which must already hold its contents
  // (saving a document under a new name copies or renames the file first).
  bool setURL(const QUrl& url, PersistentStore* store, fnd::Error* error = nullptr);
  PersistentStore* persistentStoreForURL(const QUrl& url) const;

  // The metadata of the store file at `url`, read without attaching it.
  static QVariantMap metadataForPersistentStoreOfType(const QString& type, const QUrl& url,
                                                      fnd::Error* error = nullptr);
  // Written with the store's next save.
  void setMetadata(const QVariantMap& metadata, PersistentStore* store);
  QVariantMap metadataForPersistentStore(PersistentStore* store) const;

 private:
  bool migrateAutomatically(const QUrl& url, const QVariantMap& metadata, fnd::Error* error);

  ManagedObjectModelPtr model_;
  std::vector<std::unique_ptr<PersistentStore>> stores_;
};

}  // namespace cd
