// Identifies a managed object across contexts: its entity and either a
// temporary number (until the object is first saved) or the row's primary
// key in its store. A small value type, usable as a hash key.
#pragma once

#include <QHashFunctions>
#include <QMetaType>
#include <QUrl>

namespace cd {

class EntityDescription;
class PersistentStore;

class ManagedObjectID {
 public:
  ManagedObjectID() = default;
  static ManagedObjectID temporaryID(EntityDescription* entity, quint64 number);
  static ManagedObjectID permanentID(EntityDescription* entity, qint64 primaryKey,
                                     PersistentStore* store);

  bool isNull() const { return entity_ == nullptr; }
  EntityDescription* entity() const { return entity_; }
  bool isTemporaryID() const { return temporary_; }
  // The row's Z_PK for a permanent ID, the temporary number otherwise.
  qint64 primaryKey() const { return key_; }
  PersistentStore* persistentStore() const { return store_; }

  // "tessaly-object://<store UUID>/<Entity>/p<key>" (or "/t<number>" while
  // temporary): stable across launches for permanent IDs.
  QUrl URIRepresentation() const;

  // Entities of one hierarchy share a table and its keys, so IDs compare by
  // root entity.
  bool operator==(const ManagedObjectID& other) const;
  bool operator!=(const ManagedObjectID& other) const { return !(*this == other); }

 private:
  EntityDescription* entity_ = nullptr;
  PersistentStore* store_ = nullptr;
  qint64 key_ = 0;
  bool temporary_ = false;
};

size_t qHash(const ManagedObjectID& id, size_t seed = 0);

}  // namespace cd

Q_DECLARE_METATYPE(cd::ManagedObjectID)
