// A persistent store attached to a coordinator: where rows of managed
// objects are read from and saved to. The only implementation is
// SQLiteStore (a file, or an SQLite memory database for the in-memory type).
#pragma once

#include <QHash>
#include <QList>
#include <QUrl>
#include <QVariantMap>
#include <vector>

#include "coredata/ManagedObject.h"
#include "coredata/ManagedObjectID.h"
#include "foundation/Error.h"

namespace cd {

class PersistentStoreCoordinator;

// One stored object as read from the store. Relationship slots hold the
// ManagedObjectID of the destination; slots not read (lazy values, to-many
// relationships) have present[i] == 0.
struct StoreRow {
  ManagedObjectID id;
  qint64 version = 0;
  std::vector<QVariant> values;
  std::vector<quint8> present;
};

// The objects one save writes. Values are read from the objects' slots.
struct SaveRequest {
  ObjectList inserted;
  ObjectList updated;
  ObjectList deleted;
};

class PersistentStore {
 public:
  virtual ~PersistentStore();

  const QString& type() const { return type_; }
  const QUrl& URL() const { return url_; }
  // The store's UUID, kept in its metadata.
  QString identifier() const;
  const QVariantMap& options() const { return options_; }
  bool isReadOnly() const;
  PersistentStoreCoordinator* persistentStoreCoordinator() const { return coordinator_; }

  // Everything in the store's metadata, caller's keys included. Changes
  // reach the file with the next save.
  const QVariantMap& metadata() const { return metadata_; }
  void setMetadata(const QVariantMap& metadata);
  bool metadataChanged() const { return metadataChanged_; }

  // Points the store at another file with the same contents (a copy of its
  // file, or its file renamed) and reconnects to it; objects keep their IDs.
  // The default refuses.
  virtual bool relocate(const QUrl& url, fnd::Error* error);
  // Whether the file at URL() is still the one the store reads and writes:
  // another program may have replaced, renamed or removed it, and then the
  // store's saves reach no file the user can see.
  virtual bool isAtItsFile() const { return true; }
  // Writes everything the store holds, as last saved, into a new file at
  // `path`. The default copies the store's file.
  virtual bool copyContentsTo(const QString& path, fnd::Error* error);
  // Lets go of memory kept to read the next large value into.
  virtual void releaseReadBuffers() {}

  virtual bool loadRow(const ManagedObjectID& id, StoreRow* row, fnd::Error* error) = 0;
  virtual bool fetchRows(EntityDescription* entity, bool includeSubentities, QList<StoreRow>* rows,
                         fnd::Error* error) = 0;
  // The destinations of `relationship` of `owner`, in order for ordered ones.
  virtual bool loadToMany(const ManagedObjectID& owner, RelationshipDescription* relationship,
                          QList<ManagedObjectID>* members, fnd::Error* error) = 0;
  virtual bool loadAttribute(const ManagedObjectID& id, AttributeDescription* attribute,
                             QVariant* value, fnd::Error* error) = 0;
  // Writes the request atomically. On success `assignedKeys` holds the new
  // primary key of every inserted object; on failure nothing was written.
  virtual bool save(const SaveRequest& request, QHash<ManagedObject*, qint64>* assignedKeys,
                    fnd::Error* error) = 0;

 protected:
  PersistentStore(PersistentStoreCoordinator* coordinator, QString type, QUrl url,
                  QVariantMap options);
  QVariantMap metadata_;
  bool metadataChanged_ = false;

 private:
  friend class PersistentStoreCoordinator;
  PersistentStoreCoordinator* coordinator_;
  QString type_;
  QUrl url_;
  QVariantMap options_;
};

}  // namespace cd
