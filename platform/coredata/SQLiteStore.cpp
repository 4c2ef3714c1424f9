#include "coredata/SQLiteStore.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include "coredata/PersistentStoreCoordinator.h"
#include "coredata/SQLiteJournal.h"
#include "coredata/SQLiteStatement.h"
#include "coredata/StoreMetadata.h"

namespace cd {

namespace {

bool corrupt(fnd::Error* error, const QString& path, const QString& why) {
  return fnd::fail(error, fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                                     {{fnd::LocalizedDescriptionKey,
                                       QStringLiteral("The file %1 is not a valid store: %2")
                                           .arg(QFileInfo(path).fileName(), why)},
                                      {fnd::FilePathErrorKey, path}}));
}

// A pragma value is spliced into SQL, so only plain words and numbers pass.
bool isSafePragmaWord(const QString& text) {
  if (text.isEmpty()) return false;
  for (QChar c : text)
    if (!c.isLetterOrNumber() && c != '_' && c != '-') return false;
  return true;
}

}  // namespace

SQLiteStore::SQLiteStore(PersistentStoreCoordinator* coordinator, const QString& type,
                         const QUrl& url, const QVariantMap& options)
    : PersistentStore(coordinator, type, url, options),
      model_(coordinator->managedObjectModel().get()),
      schema_(std::make_unique<SQLiteSchema>(*coordinator->managedObjectModel())) {
  buildLayouts();
}

SQLiteStore::~SQLiteStore() {
  statements_.clear();
  db_.close();
}

std::unique_ptr<SQLiteStore> SQLiteStore::open(PersistentStoreCoordinator* coordinator,
                                               const QString& type, const QUrl& url,
                                               const QVariantMap& options, fnd::Error* error) {
  std::unique_ptr<SQLiteStore> store(new SQLiteStore(coordinator, type, url, options));
  bool ok = false;
  if (type == InMemoryStoreType) {
    ok = store->createNew(":memory:", error);
  } else {
    QString path = url.toLocalFile();
    if (path.isEmpty()) {
      fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreOpenError,
                QStringLiteral("A store file needs a local file URL."));
      return nullptr;
    }
    if (QFileInfo::exists(path))
      ok = store->openExisting(path, error);
    else if (store->isReadOnly())
      ok = fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
                     QStringLiteral("There is no store at %1.").arg(path));
    else
      ok = store->createNew(path, error);
  }
  return ok ? std::move(store) : nullptr;
}

// The new connection is made before the old one goes, so a store that
// cannot move stays usable on the file it had.
bool SQLiteStore::relocate(const QUrl& url, fnd::Error* error) {
  const QString path = url.toLocalFile();
  if (type() == InMemoryStoreType || path.isEmpty()) return PersistentStore::relocate(url, error);
  if (!QFileInfo::exists(path))
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
                     QStringLiteral("There is no store at %1.").arg(path));
  SQLiteDatabase moved;
  if (!moved.open(path, isReadOnly(), false, error)) return false;
  statements_.clear();
  db_.swap(moved);
  fnd::Error failure;
  if (applyPragmas(&failure)) {
    privateCopy_.reset();
    return true;
  }
  db_.swap(moved);
  return fnd::fail(error, failure);
}

bool SQLiteStore::isAtItsFile() const {
  return type() == InMemoryStoreType || privateCopy_ || db_.isAtItsPath();
}

bool SQLiteStore::copyContentsTo(const QString& path, fnd::Error* error) {
  return db_.copyTo(path, error);
}

bool SQLiteStore::checkFileHeader(const QString& path, fnd::Error* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoPermissionError,
                     QStringLiteral("The file %1 could not be read.").arg(path));
  qint64 size = file.size();
  QByteArray header = file.read(100);
  if (header.size() < 100) return corrupt(error, path, "it is too short");
  if (!header.startsWith(QByteArray("SQLite format 3\0", 16)))
    return corrupt(error, path, "it is not an SQLite database");
  auto* bytes = reinterpret_cast<const uchar*>(header.constData());
  qint64 pageSize = qFromBigEndian<quint16>(bytes + 16);
  if (pageSize == 1) pageSize = 65536;
  if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
    return corrupt(error, path, "its header is damaged");
  quint32 changeCounter = qFromBigEndian<quint32>(bytes + 24);
  quint32 pageCount = qFromBigEndian<quint32>(bytes + 28);
  quint32 validFor = qFromBigEndian<quint32>(bytes + 92);
  // The page count in the header is only trustworthy when the writer kept
  // it current, which it marks by matching the change counter.
  if (size % pageSize != 0 ||
      (pageCount > 0 && validFor == changeCounter && size < qint64(pageCount) * pageSize))
    return corrupt(error, path, "it is truncated");
  return true;
}

bool SQLiteStore::readMetadataFrom(SQLiteDatabase& db, QVariantMap* metadata, fnd::Error* error) {
  SQLiteStatement statement(db, "SELECT Z_PLIST FROM Z_METADATA WHERE Z_VERSION = 1");
  if (!statement.isValid() || statement.step() != SQLiteStatement::Row) {
    fnd::Error underlying = db.lastError("reading the metadata");
    return fnd::fail(error,
                     fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                                {{fnd::LocalizedDescriptionKey,
                                  QStringLiteral("The file is not a valid store: it has "
                                                 "no readable metadata.")},
                                 {fnd::UnderlyingErrorKey, QVariant::fromValue(underlying)}}));
  }
  fnd::Error decodeError;
  *metadata = StoreMetadata::decode(statement.columnBlob(0), &decodeError);
  if (!decodeError.isNull()) return fnd::fail(error, decodeError);
  if (metadata->value(StoreMetadata::StoreTypeKey).toString() != SQLiteStoreType)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreInvalidTypeError,
                     QStringLiteral("The file's metadata names another store type."));
  return true;
}

QString SQLiteStore::settledFile(const QString& path, bool mayWrite, const QString& privateFolder,
                                 fnd::Error* error) {
  if (!SQLiteJournal::exists(path) || (mayWrite && SQLiteJournal::rollBack(path, nullptr)))
    return path;
  return SQLiteJournal::rolledBackCopy(path, privateFolder, error);
}

bool SQLiteStore::readSettledMetadata(const QString& path, QVariantMap* metadata,
                                      fnd::Error* error) {
  if (!checkFileHeader(path, error)) return false;
  SQLiteDatabase db;
  if (!db.open(path, true, false, error)) return false;
  return readMetadataFrom(db, metadata, error);
}

bool SQLiteStore::readMetadata(const QString& path, QVariantMap* metadata, fnd::Error* error) {
  if (!QFileInfo::exists(path))
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
                     QStringLiteral("There is no store at %1.").arg(path));
  if (!SQLiteJournal::exists(path)) return readSettledMetadata(path, metadata, error);
  QTemporaryDir folder;
  const QString copy = settledFile(path, false, folder.path(), error);
  return !copy.isEmpty() && readSettledMetadata(copy, metadata, error);
}

bool SQLiteStore::openExisting(const QString& path, fnd::Error* error) {
  // A file left mid-save is rolled back first; a store that may not write
  // rolls back a private copy instead and reads that.
  if (SQLiteJournal::exists(path)) privateCopy_ = std::make_unique<QTemporaryDir>();
  const QString file =
      privateCopy_ ? settledFile(path, !isReadOnly(), privateCopy_->path(), error) : path;
  if (file.isEmpty()) return false;
  if (file == path) privateCopy_.reset();
  // Everything is checked over a read-only connection first, so a file we
  // reject is never touched.
  QVariantMap metadata;
  if (!readSettledMetadata(file, &metadata, error)) return false;
  if (!options().value(IgnorePersistentStoreVersioningOption).toBool() &&
      !model_->isConfigurationCompatibleWithStoreMetadata(metadata))
    return fnd::fail(
        error, fnd::Error(fnd::CocoaErrorDomain, fnd::PersistentStoreIncompatibleVersionHashError,
                          {{fnd::LocalizedDescriptionKey,
                            QStringLiteral("The store was written with another "
                                           "version of the document model.")},
                           {"metadata", metadata},
                           {fnd::FilePathErrorKey, path}}));
  if (!db_.open(file, true, false, error) || !checkTables(error)) return false;
  // The private copy is never written: saves of such a store fail as those
  // of a file that may not be written.
  if (!isReadOnly() && !privateCopy_ && !db_.open(file, false, false, error)) return false;
  metadata_ = metadata;
  return applyPragmas(error) && loadPrimaryKeys(error);
}

bool SQLiteStore::createNew(const QString& path, fnd::Error* error) {
  if (!db_.open(path, false, true, error) || !applyPragmas(error)) return false;
  if (!db_.exec("BEGIN IMMEDIATE", error)) return false;
  for (const QString& sql : schema_->createStatements()) {
    if (!db_.exec(sql, error)) {
      db_.exec("ROLLBACK", nullptr);
      return false;
    }
  }
  for (EntityDescription* entity : model_->entities()) {
    SQLiteStatement insert(db_, "INSERT INTO Z_PRIMARYKEY VALUES (?, ?, ?, 0)");
    insert.bind(1, qint64(entity->entityNumber()));
    insert.bind(2, entity->name());
    insert.bind(3, qint64(entity->superentity() ? entity->superentity()->entityNumber() : 0));
    if (insert.step() != SQLiteStatement::Done) {
      fnd::fail(error, failure("creating the store"));
      db_.exec("ROLLBACK", nullptr);
      return false;
    }
  }
  metadata_ = StoreMetadata::forNewStore(SQLiteStoreType, *model_);
  if (!writeKeysAndMetadata(error) || !db_.exec("COMMIT", error)) {
    db_.exec("ROLLBACK", nullptr);
    return false;
  }
  metadataChanged_ = false;
  return loadPrimaryKeys(error);
}

bool SQLiteStore::checkTables(fnd::Error* error) {
  QString path = URL().toLocalFile();
  if (!db_.tableExists("Z_PRIMARYKEY")) return corrupt(error, path, "Z_PRIMARYKEY is missing");
  for (const QString& table : schema_->tableNames()) {
    QStringList present = db_.columnsOfTable(table);
    for (const SQLiteColumn& column : schema_->columns(table))
      if (!present.contains(column.name))
        return corrupt(error, path, QStringLiteral("%1.%2 is missing").arg(table, column.name));
  }
  return true;
}

bool SQLiteStore::applyPragmas(fnd::Error* error) {
  QVariantMap pragmas = options().value(SQLitePragmasOption).toMap();
  if (!pragmas.contains("journal_mode") && !isReadOnly()) pragmas.insert("journal_mode", "DELETE");
  for (auto it = pragmas.begin(); it != pragmas.end(); ++it) {
    QString value = it.value().toString();
    if (!isSafePragmaWord(it.key()) || !isSafePragmaWord(value))
      return fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreOpenError,
                       QStringLiteral("The pragma %1 = %2 is not accepted.").arg(it.key(), value));
    SQLiteStatement pragma(db_, QStringLiteral("PRAGMA %1 = %2").arg(it.key(), value));
    if (!pragma.isValid() || pragma.step() == SQLiteStatement::Failed)
      return fnd::fail(error, failure("applying pragma " + it.key()));
  }
  return true;
}

bool SQLiteStore::loadPrimaryKeys(fnd::Error* error) {
  maxKeys_.clear();
  for (EntityDescription* entity : model_->entities()) {
    if (entity->superentity()) continue;
    // The largest key in use wins over the counter, so a counter that fell
    // behind can never hand out a key twice.
    SQLiteStatement query(
        db_, QStringLiteral("SELECT MAX(Z_PK) FROM %1").arg(SQLiteSchema::tableName(entity)));
    SQLiteStatement counter(db_, "SELECT Z_MAX FROM Z_PRIMARYKEY WHERE Z_ENT = ?");
    counter.bind(1, qint64(entity->entityNumber()));
    if (query.step() != SQLiteStatement::Row || counter.step() == SQLiteStatement::Failed)
      return fnd::fail(error, failure("reading the key counters"));
    maxKeys_.insert(entity, std::max(query.columnInt64(0), counter.columnInt64(0)));
  }
  return true;
}

void SQLiteStore::buildLayouts() {
  for (const QString& table : schema_->tableNames()) {
    TableLayout layout;
    QStringList columns;
    QSet<QString> lazy;
    for (EntityDescription* entity : model_->entities())
      if (SQLiteSchema::tableName(entity) == table)
        for (AttributeDescription* attribute : entity->attributes())
          if (attribute->isStoredLazily()) lazy.insert(SQLiteSchema::columnName(attribute));
    for (const SQLiteColumn& column : schema_->columns(table)) {
      if (lazy.contains(column.name)) continue;
      layout.positions.insert(column.name, int(columns.size()));
      columns.append(column.name);
    }
    layout.select = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(", "), table);
    for (EntityDescription* entity : model_->entities()) {
      if (SQLiteSchema::tableName(entity) != table) continue;
      std::vector<int>& values = layout.valueColumns[entity];
      std::vector<int>& entities = layout.entityColumns[entity];
      for (PropertyDescription* property : entity->properties()) {
        values.push_back(layout.positions.value(SQLiteSchema::columnName(property), -1));
        int entityColumn = -1;
        if (property->isRelationship())
          entityColumn = layout.positions.value(
              SQLiteSchema::entityColumnName(static_cast<RelationshipDescription*>(property)), -1);
        entities.push_back(entityColumn);
        if (property->isAttribute() &&
            static_cast<AttributeDescription*>(property)->isStoredLazily())
          lazySelects_.insert(static_cast<AttributeDescription*>(property),
                              QStringLiteral("SELECT %1 FROM %2 WHERE Z_PK = ?")
                                  .arg(SQLiteSchema::columnName(property), table));
      }
    }
    layouts_.insert(table, layout);
  }
}

SQLiteStatement& SQLiteStore::statement(const QString& sql) {
  auto it = statements_.find(sql);
  if (it == statements_.end())
    it = statements_.insert(sql, std::make_shared<SQLiteStatement>(db_, sql));
  it.value()->reset();
  return *it.value();
}

fnd::Error SQLiteStore::failure(const QString& what) const { return db_.lastError(what); }

}  // namespace cd
