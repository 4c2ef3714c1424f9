// The SQLite store: rows of managed objects in the table layout of
// SQLiteSchema, store metadata in Z_METADATA, primary key counters in
// Z_PRIMARYKEY. A file is checked read-only before it is trusted; every
// save is one transaction. The in-memory type is an SQLite memory database.
// A file left with the journal of an unfinished save is rolled back before
// anything reads it: in place when the store may write, otherwise in a
// private copy that the store then reads (and never writes).
#pragma once

#include <QHash>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "coredata/PersistentStore.h"
#include "coredata/SQLiteDatabase.h"
#include "coredata/SQLiteSchema.h"

namespace cd {

class SQLiteStatement;

class SQLiteStore : public PersistentStore {
 public:
  ~SQLiteStore() override;

  static std::unique_ptr<SQLiteStore> open(PersistentStoreCoordinator* coordinator,
                                           const QString& type, const QUrl& url,
                                           const QVariantMap& options, fnd::Error* error);

  // Checks the file read-only (header, size, tables) and reads its
  // metadata. Never writes to the file (a file with the journal of an
  // unfinished save is read from a rolled-back private copy).
  static bool readMetadata(const QString& path, QVariantMap* metadata, fnd::Error* error);

  bool loadRow(const ManagedObjectID& id, StoreRow* row, fnd::Error* error) override;
  bool fetchRows(EntityDescription* entity, bool includeSubentities, QList<StoreRow>* rows,
                 fnd::Error* error) override;
  bool loadToMany(const ManagedObjectID& owner, RelationshipDescription* relationship,
                  QList<ManagedObjectID>* members, fnd::Error* error) override;
  bool loadAttribute(const ManagedObjectID& id, AttributeDescription* attribute, QVariant* value,
                     fnd::Error* error) override;
  bool save(const SaveRequest& request, QHash<ManagedObject*, qint64>* assignedKeys,
            fnd::Error* error) override;
  bool relocate(const QUrl& url, fnd::Error* error) override;
  bool isAtItsFile() const override;
  bool copyContentsTo(const QString& path, fnd::Error* error) override;
  void releaseReadBuffers() override { db_.releaseReadBuffer(); }

  // For tests of atomic saving: when set and returning true, the next save
  // makes SQLite fail a constraint after writing its rows, inside the
  // transaction.
  static void setSaveFailureInjection(std::function<bool()> inject);

 private:
  struct TableLayout {
    QString select;  // Z_PK, Z_ENT, Z_OPT and every eagerly read column
    QHash<QString, int> positions;
    // Per entity of the table and per property slot: the column in
    // `select` holding its value (and a to-one's entity), or -1.
    QHash<const EntityDescription*, std::vector<int>> valueColumns;
    QHash<const EntityDescription*, std::vector<int>> entityColumns;
  };

  SQLiteStore(PersistentStoreCoordinator* coordinator, const QString& type, const QUrl& url,
              const QVariantMap& options);
  static bool checkFileHeader(const QString& path, fnd::Error* error);
  static bool readMetadataFrom(SQLiteDatabase& db, QVariantMap* metadata, fnd::Error* error);
  static bool readSettledMetadata(const QString& path, QVariantMap* metadata, fnd::Error* error);
  // The file to read `path` from: itself, rolled back in place when
  // `mayWrite`, or a rolled-back copy in `privateFolder`.
  static QString settledFile(const QString& path, bool mayWrite, const QString& privateFolder,
                             fnd::Error* error);
  bool openExisting(const QString& path, fnd::Error* error);
  bool createNew(const QString& path, fnd::Error* error);
  bool checkTables(fnd::Error* error);
  bool applyPragmas(fnd::Error* error);
  bool loadPrimaryKeys(fnd::Error* error);
  void buildLayouts();
  SQLiteStatement& statement(const QString& sql);
  fnd::Error failure(const QString& what) const;

  // Reading rows (SQLiteStoreRows.cpp).
  StoreRow rowFromStatement(SQLiteStatement& statement, const TableLayout& layout) const;
  QVariant readAttribute(SQLiteStatement& statement, int column,
                         const AttributeDescription* attribute) const;
  static QString entityNumbers(const EntityDescription* entity, bool includeSubentities);

  // Writing rows (SQLiteStoreSave.cpp).
  // The bytes of the blobs a save writes, in new rows and in changed ones.
  struct BlobBytes {
    qint64 inserted = 0, updated = 0;
  };
  static BlobBytes blobBytesSaved(const SaveRequest& request);
  // The bytes of blobs a save writes over pages the file already holds.
  qint64 bytesRewrittenInPlace(const BlobBytes& saved);
  // The bytes of `object`'s blobs (only those changed since its last save).
  static qint64 blobBytesOf(ManagedObject* object, bool onlyChanged);
  // Gives the store large pages before its first rows when they bring large blobs.
  void fitPageSizeToFirstRows(const BlobBytes& saved);
  bool writeSave(const SaveRequest& request, const BlobBytes& saved,
                 QHash<ManagedObject*, qint64>* keys, fnd::Error* error);
  bool insertRow(ManagedObject* object, const QHash<ManagedObject*, qint64>& keys,
                 fnd::Error* error);
  bool updateRow(ManagedObject* object, const QHash<ManagedObject*, qint64>& keys,
                 fnd::Error* error);
  bool deleteRow(ManagedObject* object, fnd::Error* error);
  bool writeOrder(ManagedObject* object, const QHash<ManagedObject*, qint64>& keys,
                  bool onlyChanged, fnd::Error* error);
  bool writeKeysAndMetadata(fnd::Error* error);
  bool bindProperty(SQLiteStatement& statement, int* position, ManagedObject* object,
                    PropertyDescription* property, const QHash<ManagedObject*, qint64>& keys,
                    fnd::Error* error);
  static qint64 keyOf(ManagedObject* object, const QHash<ManagedObject*, qint64>& keys);

  ManagedObjectModel* model_;
  SQLiteDatabase db_;
  // While the store reads a rolled-back copy of its file: the copy's folder.
  std::unique_ptr<QTemporaryDir> privateCopy_;
  std::unique_ptr<SQLiteSchema> schema_;
  QHash<QString, TableLayout> layouts_;
  QHash<const AttributeDescription*, QString> lazySelects_;
  QHash<const EntityDescription*, qint64> maxKeys_;  // by root entity
  QHash<QString, std::shared_ptr<SQLiteStatement>> statements_;
};

}  // namespace cd
