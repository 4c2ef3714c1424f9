// A managed object: one instance of an entity, owned by its context. Values
// live in a slot per property (relationships as object pointers, to-many as
// ordered lists), read and written by key with will/did-change
// notifications that drive observation, change tracking and undo. Fetched
// objects load large binary values and to-many relationships on first use.
#pragma once

#include <QList>
#include <QMetaType>
#include <QVariantMap>
#include <vector>

#include "coredata/EntityDescription.h"
#include "coredata/ManagedObjectID.h"
#include "foundation/Error.h"
#include "foundation/Observable.h"

namespace cd {

class ManagedObject;
class ManagedObjectContext;
using ObjectList = QList<ManagedObject*>;

// Why awakeFromSnapshotEvents is called. The undo flags name the user's
// original change; SnapshotEventRedo is added when that change is redone.
enum SnapshotEventFlags {
  SnapshotEventUndoInsertion = 1 << 1,
  SnapshotEventUndoDeletion = 1 << 2,
  SnapshotEventUndoUpdate = 1 << 3,
  SnapshotEventRollback = 1 << 4,
  SnapshotEventRefresh = 1 << 5,
  SnapshotEventRedo = 1 << 8,
};

class ManagedObject : public fnd::Observable {
 public:
  ManagedObject();
  ~ManagedObject() override;
  ManagedObject(const ManagedObject&) = delete;
  ManagedObject& operator=(const ManagedObject&) = delete;

  EntityDescription* entity() const { return entity_; }
  // Null once the object's deletion has been saved.
  ManagedObjectContext* managedObjectContext() const;
  const ManagedObjectID& objectID() const { return id_; }

  bool isInserted() const { return live_ && !persisted_; }
  bool isUpdated() const { return live_ && persisted_ && dirty_; }
  bool isDeleted() const { return !live_ && (persisted_ || pendingDelete_); }
  bool hasChanges() const { return isInserted() || isUpdated() || isDeleted(); }
  bool isFault() const { return fault_; }

  // Keys whose values differ from the last fetched or saved state.
  QVariantMap changedValues() const;
  // The last fetched or saved values of `keys` (all properties when empty).
  QVariantMap committedValuesForKeys(const QStringList& keys = {}) const;

  // Key-value access, with access and change notifications. Relationships
  // answer ManagedObject* (to-one) or ObjectList (to-many) in the QVariant
  // and take the same (or a QVariantList of ManagedObject*); wrap subclass
  // pointers as QVariant::fromValue<cd::ManagedObject*>(layer).
  QVariant valueForKey(const QString& key) const override;
  void setValue(const QVariant& value, const QString& key);
  void setValueForKey(const QString& key, const QVariant& value) override { setValue(value, key); }

  // Raw slot access: no notifications, no change tracking, no undo. Faults
  // are still fired so the value read is the stored one.
  QVariant primitiveValueForKey(const QString& key) const;
  void setPrimitiveValue(const QVariant& value, const QString& key);
  void setPrimitiveValueForKey(const QString& key, const QVariant& value) {
    setPrimitiveValue(value, key);
  }

  // Like primitiveValueForKey, except that an attribute not loaded yet (a large
  // binary value) is read from the store without being kept: for a value needed
  // once, which would otherwise stay in memory with the object. The next
  // read loads it again.
  QVariant primitiveValueForKeyWithoutKeeping(const QString& key) const;

  // Fires the fault (or loads a lazy value) for `key` before a read.
  void willAccessValueForKey(const QString& key) const;
  void didAccessValueForKey(const QString& key) const;

  // Subclasses may override these to react to every change; overrides must
  // call the base, which records the change for undo and tracking.
  void willChangeValueForKey(const QString& key) override;
  void didChangeValueForKey(const QString& key) override;
  void willChange(fnd::KeyValueChangeKind kind, const fnd::IndexSet& indexes,
                  const QString& key) override;
  void didChange(fnd::KeyValueChangeKind kind, const fnd::IndexSet& indexes,
                 const QString& key) override;

  // Relationship access and edits; inverses are kept up on both sides.
  ManagedObject* relatedObject(const QString& key) const;
  ObjectList relatedObjects(const QString& key) const;
  // The related objects that are of class T, in order; others are skipped.
  template <class T>
  QList<T*> relatedObjectsOfClass(const QString& key) const {
    QList<T*> result;
    for (ManagedObject* object : relatedObjects(key))
      if (auto* typed = dynamic_cast<T*>(object)) result.append(typed);
    return result;
  }
  void insertObjects(const ObjectList& objects, const fnd::IndexSet& indexes, const QString& key);
  void removeObjectsAtIndexes(const fnd::IndexSet& indexes, const QString& key);
  void replaceObjectsAtIndexes(const fnd::IndexSet& indexes, const ObjectList& objects,
                               const QString& key);
  // Appends unless already present.
  void addObject(ManagedObject* object, const QString& key);
  void removeObject(ManagedObject* object, const QString& key);

  // Life-cycle hooks, called by the context.
  virtual void awakeFromInsert() {}
  virtual void awakeFromFetch() {}
  virtual void awakeFromSnapshotEvents(int flags) { Q_UNUSED(flags); }
  virtual void willTurnIntoFault() {}
  virtual void didTurnIntoFault() {}
  virtual void willSave() {}
  virtual void didSave() {}
  virtual void prepareForDeletion() {}
  virtual bool validateForInsert(fnd::Error* error);
  virtual bool validateForUpdate(fnd::Error* error);
  virtual bool validateForDelete(fnd::Error* error);
  // May replace *value with an acceptable one. The default accepts.
  virtual bool validateValue(QVariant* value, const QString& key, fnd::Error* error);

 private:
  friend class ManagedObjectContext;
  friend class SQLiteStore;

  void attach(EntityDescription* entity, ManagedObjectContext* context);
  PropertyDescription* property(const QString& key) const;
  RelationshipDescription* toManyRelationship(const QString& key) const;
  void ensureLoaded(int index) const;
  QVariant slot(int index) const;
  bool validateProperties(fnd::Error* error);
  // Relationship values may come as ObjectList or as a QVariantList of
  // ManagedObject*.
  static ObjectList objectListFromVariant(const QVariant& value);
  static bool holdsObjects(RelationshipDescription* relationship, const QVariant& value);
  // Whether `object` may be a destination of `relationship`: same context,
  // entity of the destination's kind. Warns when not.
  bool acceptsDestination(RelationshipDescription* relationship, ManagedObject* object) const;

  // Relationship upkeep (ManagedObjectRelationships.cpp).
  void setToOne(RelationshipDescription* relationship, ManagedObject* object, bool upkeep);
  void setToMany(RelationshipDescription* relationship, const ObjectList& objects);
  void insertInto(RelationshipDescription* relationship, const ObjectList& objects,
                  const fnd::IndexSet& indexes, bool upkeep);
  void removeFrom(RelationshipDescription* relationship, const fnd::IndexSet& indexes, bool upkeep);
  // Removes or adds `member` in this object's `relationship` on behalf of
  // the other side, without further upkeep.
  void unlink(RelationshipDescription* relationship, ManagedObject* member);
  void link(RelationshipDescription* relationship, ManagedObject* member);
  // Sets a slot with notifications but without inverse upkeep; how undo,
  // redo and rollback put values back.
  void restoreSlot(int index, const QVariant& value);

  EntityDescription* entity_ = nullptr;
  ManagedObjectContext* context_ = nullptr;
  ManagedObjectID id_;
  mutable std::vector<QVariant> values_;
  mutable std::vector<quint8> loaded_;
  std::vector<QVariant> committed_;
  mutable bool fault_ = false;
  bool live_ = false;           // registered and not deleted
  bool persisted_ = false;      // has a row in the store
  bool dirty_ = false;          // changed since fetch or save
  bool pendingDelete_ = false;  // deleted, delete rules not yet applied or saved
  bool deletionSaved_ = false;
  bool wasLive_ = false;   // liveness at the last processPendingChanges
  qint64 rowVersion_ = 0;  // Z_OPT
};

}  // namespace cd

Q_DECLARE_METATYPE(cd::ManagedObject*)
Q_DECLARE_METATYPE(cd::ObjectList)
