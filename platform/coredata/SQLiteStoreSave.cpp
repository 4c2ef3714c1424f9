// Writing of SQLiteStore: one transaction per save with the deleted,
// inserted and updated rows, the order of ordered relationships, the key
// counters and the metadata. Any failure rolls the whole save back.
#include "coredata/PersistentStoreCoordinator.h"
#include "coredata/SQLiteMemory.h"
#include "coredata/SQLiteStatement.h"
#include "coredata/SQLiteStore.h"
#include "coredata/SQLiteWriteBehind.h"
#include "coredata/StoreDate.h"
#include "coredata/StoreMetadata.h"
#include "foundation/KeyedArchiver.h"

namespace cd {

namespace {

std::function<bool()>& saveFailureInjection() {
  static std::function<bool()> inject;
  return inject;
}

// The most pages a save may keep in memory until its commit (64 MiB).
// Rewriting a large blob in a connection's usual small cache spills pages
// to the file half-way and reads them back again for the rollback journal,
// which makes saving one changed layer several times slower.
constexpr qint64 kMaxSaveCacheKiB = 64 * 1024;
// Beyond the pages a save rewrites: the tables' and indexes' own.
constexpr qint64 kSaveCacheSlackKiB = 2 * 1024;

// Raises the page cache for the life of one save to hold `rewrittenBytes`
// (twice: the pages a blob frees and those it takes may differ), then gives
// the memory back. Nothing rewritten, nothing raised: pages new to the file
// (a first save) need no journal and spill at no cost, while a cache grown
// over them only costs fresh memory to fill and free.
class SaveCacheScope {
 public:
  SaveCacheScope(SQLiteDatabase& db, qint64 rewrittenBytes) : db_(db) {
    if (rewrittenBytes <= 0) return;
    SQLiteStatement current(db_, "PRAGMA cache_size");
    if (current.step() != SQLiteStatement::Row) return;
    kept_ = current.columnInt64(0);
    const qint64 wanted =
        std::min(kMaxSaveCacheKiB, 2 * (rewrittenBytes >> 10) + kSaveCacheSlackKiB);
    // A positive size counts pages, a negative one KiB.
    if (kept_ < 0 && -kept_ >= wanted) return;
    raised_ = setCacheSize(-wanted);
  }
  ~SaveCacheScope() {
    if (raised_) setCacheSize(kept_);
  }

 private:
  bool setCacheSize(qint64 size) {
    return db_.exec(QStringLiteral("PRAGMA cache_size = %1").arg(size), nullptr);
  }
  SQLiteDatabase& db_;
  qint64 kept_ = 0;
  bool raised_ = false;
};

// A store whose first rows bring large blobs (a document's layers) takes
// SQLite's largest page before they are written. A layer of tens of
// megabytes then spans a few hundred overflow pages instead of thousands, so
// a later save that replaces it reads, frees, relinks, journals and writes
// that many fewer pages. Stores of small blobs keep small pages, which keep
// their files small (a 64 KiB page per table and index), and stores written
// with any page size keep theirs (SQLite reads it from the file's header).
constexpr qint64 kLargePageSize = 65536;
constexpr qint64 kLargePagesFromBlobBytes = qint64(4) << 20;

qint64 pragmaValue(SQLiteDatabase& db, const char* pragma) {
  SQLiteStatement query(db, QStringLiteral("PRAGMA %1").arg(pragma));
  return query.step() == SQLiteStatement::Row ? query.columnInt64(0) : 0;
}

bool sameStoredValue(const QVariant& a, const QVariant& b) {
  if (a.metaType() == QMetaType::fromType<ManagedObject*>() ||
      b.metaType() == QMetaType::fromType<ManagedObject*>())
    return a.value<ManagedObject*>() == b.value<ManagedObject*>();
  return a.isValid() == b.isValid() && a == b;
}

}  // namespace

void SQLiteStore::setSaveFailureInjection(std::function<bool()> inject) {
  saveFailureInjection() = std::move(inject);
}

bool SQLiteStore::save(const SaveRequest& request, QHash<ManagedObject*, qint64>* assignedKeys,
                       fnd::Error* error) {
  if (isReadOnly())
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreSaveError,
                     QStringLiteral("The store was opened read-only."));
  if (privateCopy_)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteNoPermissionError,
                     QStringLiteral("The file %1 may not be written, and its last save did "
                                    "not finish; save the document under another name.")
                         .arg(URL().toLocalFile()));
  auto keptKeys = maxKeys_;
  QHash<ManagedObject*, qint64> keys;
  // Each row with a layer's blob is built in a buffer of its size.
  SQLiteMemory::KeepLargeBlocks rowBuffers;
  const BlobBytes saved = blobBytesSaved(request);
  fitPageSizeToFirstRows(saved);
  SaveCacheScope cache(db_, bytesRewrittenInPlace(saved));
  if (!db_.exec("BEGIN IMMEDIATE", error)) return false;
  if (!writeSave(request, saved, &keys, error) || !db_.exec("COMMIT", error)) {
    db_.exec("ROLLBACK", nullptr);
    maxKeys_ = keptKeys;
    return false;
  }
  metadataChanged_ = false;
  *assignedKeys = keys;
  return true;
}

qint64 SQLiteStore::blobBytesOf(ManagedObject* object, bool onlyChanged) {
  qint64 bytes = 0;
  for (AttributeDescription* attribute : object->entity()->attributes()) {
    const int index = attribute->index();
    if (attribute->attributeType() != AttributeType::Binary || attribute->isTransient()) continue;
    if (onlyChanged && (!object->loaded_[index] || object->fault_ ||
                        sameStoredValue(object->values_[index], object->committed_[index])))
      continue;
    bytes += object->values_[index].toByteArray().size();
  }
  return bytes;
}

// Only a store no row was ever saved to changes its page size: rewriting
// its few pages of tables is cheap, and the rewrite (VACUUM) is atomic. A
// rewrite SQLite refuses leaves the store as it was, and the save goes on.
void SQLiteStore::fitPageSizeToFirstRows(const BlobBytes& saved) {
  if (type() == InMemoryStoreType ||
      options().value(SQLitePragmasOption).toMap().contains("page_size"))
    return;
  for (qint64 counter : std::as_const(maxKeys_))
    if (counter != 0) return;
  if (saved.inserted < kLargePagesFromBlobBytes || pragmaValue(db_, "page_size") >= kLargePageSize)
    return;
  if (db_.exec(QStringLiteral("PRAGMA page_size = %1").arg(kLargePageSize), nullptr) &&
      db_.exec("VACUUM", nullptr)) {
    const qint64 cacheSize = pragmaValue(db_, "cache_size");
    db_.exec(QStringLiteral("PRAGMA cache_size = %1").arg(cacheSize), nullptr);
  }
}

SQLiteStore::BlobBytes SQLiteStore::blobBytesSaved(const SaveRequest& request) {
  BlobBytes bytes;
  for (ManagedObject* object : request.inserted) bytes.inserted += blobBytesOf(object, false);
  for (ManagedObject* object : request.updated) bytes.updated += blobBytesOf(object, true);
  return bytes;
}

qint64 SQLiteStore::bytesRewrittenInPlace(const BlobBytes& saved) {
  // New rows fill the file's free pages, which the journal must keep, before
  // they grow the file.
  const qint64 freeBytes = pragmaValue(db_, "freelist_count") * pragmaValue(db_, "page_size");
  return saved.updated + std::min(saved.inserted, freeBytes);
}

bool SQLiteStore::writeSave(const SaveRequest& request, const BlobBytes& saved,
                            QHash<ManagedObject*, qint64>* keys, fnd::Error* error) {
  for (ManagedObject* object : request.inserted) {
    // A damaged counter at the end of the range must not wrap to a used key.
    qint64& counter = maxKeys_[object->entity()->rootEntity()];
    if (qAddOverflow(counter, qint64(1), &counter))
      return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreSaveError,
                       QStringLiteral("The store has no primary keys left."));
    keys->insert(object, counter);
  }
  for (ManagedObject* object : request.deleted)
    if (!deleteRow(object, error)) return false;
  SQLiteWriteBehind writeBehind(db_.handle(), saved.inserted + saved.updated);
  for (ManagedObject* object : request.inserted) {
    if (!insertRow(object, *keys, error)) return false;
    writeBehind.rowWritten();
  }
  for (ManagedObject* object : request.updated) {
    if (!updateRow(object, *keys, error)) return false;
    writeBehind.rowWritten();
  }
  for (ManagedObject* object : request.inserted)
    if (!writeOrder(object, *keys, false, error)) return false;
  for (ManagedObject* object : request.updated)
    if (!writeOrder(object, *keys, true, error)) return false;
  if (saveFailureInjection() && saveFailureInjection()()) {
    // A real constraint failure: Z_PRIMARYKEY already has entity 1.
    if (!db_.exec("INSERT INTO Z_PRIMARYKEY (Z_ENT, Z_NAME) VALUES (1, 'duplicate')", error))
      return false;
  }
  return writeKeysAndMetadata(error);
}

qint64 SQLiteStore::keyOf(ManagedObject* object, const QHash<ManagedObject*, qint64>& keys) {
  if (!object) return 0;
  if (auto it = keys.find(object); it != keys.end()) return it.value();
  if (object->persisted_ && object->live_) return object->id_.primaryKey();
  return 0;
}

bool SQLiteStore::bindProperty(SQLiteStatement& statement, int* position, ManagedObject* object,
                               PropertyDescription* property,
                               const QHash<ManagedObject*, qint64>& keys, fnd::Error* error) {
  const QVariant& value = object->values_[property->index()];
  if (property->isRelationship()) {
    auto* toOne = static_cast<RelationshipDescription*>(property);
    ManagedObject* destination = value.value<ManagedObject*>();
    qint64 key = keyOf(destination, keys);
    if (key)
      statement.bind((*position)++, key);
    else
      statement.bindNull((*position)++);
    if (!SQLiteSchema::entityColumnName(toOne).isEmpty()) {
      if (key)
        statement.bind((*position)++, qint64(destination->entity()->entityNumber()));
      else
        statement.bindNull((*position)++);
    }
    return true;
  }
  int index = (*position)++;
  if (!value.isValid()) {
    statement.bindNull(index);
    return true;
  }
  switch (static_cast<AttributeDescription*>(property)->attributeType()) {
    case AttributeType::Integer16:
    case AttributeType::Integer32:
    case AttributeType::Integer64:
    case AttributeType::Boolean:
      statement.bind(index, qint64(value.toLongLong()));
      break;
    case AttributeType::Float:
    case AttributeType::Double:
      statement.bind(index, value.toDouble());
      break;
    case AttributeType::String:
      statement.bind(index, value.toString());
      break;
    case AttributeType::Date: {
      // Readers take a date beyond the range for damage; none is written.
      const QDateTime date = value.toDateTime();
      const double seconds = StoreDate::toStored(date);
      if (date.isValid() && !StoreDate::fromStored(seconds).isValid())
        return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreSaveError,
                         QStringLiteral("%1.%2 holds a date beyond the supported range.")
                             .arg(object->entity()->name(), property->name()));
      statement.bind(index, seconds);
      break;
    }
    case AttributeType::Binary:
      statement.bind(index, value.toByteArray());
      break;
    case AttributeType::Transformable: {
      fnd::Error archiveError;
      QByteArray archive = fnd::KeyedArchiver::archivedDataWithRootObject(value, &archiveError);
      if (!archiveError.isNull() || archive.isEmpty())
        return fnd::fail(
            error, fnd::Error(fnd::CocoaErrorDomain, fnd::PersistentStoreSaveError,
                              {{fnd::LocalizedDescriptionKey,
                                QStringLiteral("%1.%2 could not be archived.")
                                    .arg(object->entity()->name(), property->name())},
                               {fnd::UnderlyingErrorKey, QVariant::fromValue(archiveError)}}));
      statement.bind(index, archive);
      break;
    }
  }
  return true;
}

bool SQLiteStore::insertRow(ManagedObject* object, const QHash<ManagedObject*, qint64>& keys,
                            fnd::Error* error) {
  EntityDescription* entity = object->entity();
  QStringList columns{"Z_PK", "Z_ENT", "Z_OPT"};
  QList<PropertyDescription*> stored;
  for (PropertyDescription* property : entity->properties()) {
    QString column = SQLiteSchema::columnName(property);
    if (column.isEmpty()) continue;
    stored.append(property);
    columns.append(column);
    if (property->isRelationship()) {
      QString entityColumn =
          SQLiteSchema::entityColumnName(static_cast<RelationshipDescription*>(property));
      if (!entityColumn.isEmpty()) columns.append(entityColumn);
    }
  }
  QStringList marks(columns.size(), "?");
  SQLiteStatement& insert =
      statement(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(SQLiteSchema::tableName(entity), columns.join(", "), marks.join(", ")));
  int position = 1;
  insert.bind(position++, keys.value(object));
  insert.bind(position++, qint64(entity->entityNumber()));
  insert.bind(position++, qint64(1));
  for (PropertyDescription* property : stored)
    if (!bindProperty(insert, &position, object, property, keys, error)) return false;
  if (insert.step() != SQLiteStatement::Done) return fnd::fail(error, failure("inserting a row"));
  return true;
}

bool SQLiteStore::updateRow(ManagedObject* object, const QHash<ManagedObject*, qint64>& keys,
                            fnd::Error* error) {
  EntityDescription* entity = object->entity();
  QStringList assignments{"Z_OPT = Z_OPT + 1"};
  QList<PropertyDescription*> changed;
  for (PropertyDescription* property : entity->properties()) {
    QString column = SQLiteSchema::columnName(property);
    int index = property->index();
    if (column.isEmpty() || !object->loaded_[index] || object->fault_) continue;
    if (sameStoredValue(object->values_[index], object->committed_[index])) continue;
    changed.append(property);
    assignments.append(column + " = ?");
    if (property->isRelationship()) {
      QString entityColumn =
          SQLiteSchema::entityColumnName(static_cast<RelationshipDescription*>(property));
      if (!entityColumn.isEmpty()) assignments.append(entityColumn + " = ?");
    }
  }
  SQLiteStatement& update =
      statement(QStringLiteral("UPDATE %1 SET %2 WHERE Z_PK = ?")
                    .arg(SQLiteSchema::tableName(entity), assignments.join(", ")));
  int position = 1;
  for (PropertyDescription* property : changed)
    if (!bindProperty(update, &position, object, property, keys, error)) return false;
  update.bind(position, object->id_.primaryKey());
  if (update.step() != SQLiteStatement::Done) return fnd::fail(error, failure("updating a row"));
  return true;
}

bool SQLiteStore::deleteRow(ManagedObject* object, fnd::Error* error) {
  SQLiteStatement& remove = statement(QStringLiteral("DELETE FROM %1 WHERE Z_PK = ?")
                                          .arg(SQLiteSchema::tableName(object->entity())));
  remove.bind(1, object->id_.primaryKey());
  if (remove.step() != SQLiteStatement::Done) return fnd::fail(error, failure("deleting a row"));
  return true;
}

bool SQLiteStore::writeOrder(ManagedObject* object, const QHash<ManagedObject*, qint64>& keys,
                             bool onlyChanged, fnd::Error* error) {
  for (RelationshipDescription* relationship : object->entity()->relationships()) {
    if (!relationship->isOrdered() || relationship->isTransient()) continue;
    int index = relationship->index();
    if (!object->loaded_[index] || object->fault_) continue;
    ObjectList members = object->values_[index].value<ObjectList>();
    if (onlyChanged && members == object->committed_[index].value<ObjectList>()) continue;
    RelationshipDescription* inverse = relationship->inverseRelationship();
    SQLiteStatement& order =
        statement(QStringLiteral("UPDATE %1 SET %2 = ? WHERE Z_PK = ?")
                      .arg(SQLiteSchema::tableName(relationship->destinationEntity()),
                           SQLiteSchema::orderColumnName(inverse)));
    for (int i = 0; i < members.size(); ++i) {
      qint64 key = keyOf(members[i], keys);
      if (!key) continue;
      order.reset();
      order.bind(1, qint64(i));
      order.bind(2, key);
      if (order.step() != SQLiteStatement::Done)
        return fnd::fail(error, failure("writing an order"));
    }
  }
  return true;
}

bool SQLiteStore::writeKeysAndMetadata(fnd::Error* error) {
  for (auto it = maxKeys_.begin(); it != maxKeys_.end(); ++it) {
    SQLiteStatement& counter = statement("UPDATE Z_PRIMARYKEY SET Z_MAX = ? WHERE Z_ENT = ?");
    counter.bind(1, it.value());
    counter.bind(2, qint64(it.key()->entityNumber()));
    if (counter.step() != SQLiteStatement::Done)
      return fnd::fail(error, failure("writing the key counters"));
  }
  QByteArray plist = StoreMetadata::encode(metadata_, error);
  if (plist.isEmpty()) return false;
  SQLiteStatement& write =
      statement("INSERT OR REPLACE INTO Z_METADATA (Z_VERSION, Z_UUID, Z_PLIST) VALUES (1, ?, ?)");
  write.bind(1, identifier());
  write.bind(2, plist);
  if (write.step() != SQLiteStatement::Done)
    return fnd::fail(error, failure("writing the metadata"));
  return true;
}

}  // namespace cd
