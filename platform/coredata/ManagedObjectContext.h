// A managed object context: the scratch pad where managed objects are
// inserted, fetched, changed and deleted before a save writes them to the
// coordinator's store. It owns its objects, records every change for undo
// and posts change notifications on the default notification centre.
// Main-queue concurrency: it belongs to the thread that created it.
#pragma once

#include <QHash>
#include <QList>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

#include "coredata/FetchRequest.h"
#include "coredata/ManagedObject.h"
#include "coredata/PersistentStore.h"
#include "foundation/UndoManager.h"

namespace cd {

class PersistentStoreCoordinator;
class PersistentStore;

// Posted with the context as object. userInfo holds InsertedObjectsKey,
// UpdatedObjectsKey and DeletedObjectsKey, each a QVariantList of
// QVariant::fromValue<ManagedObject*>: pointers rather than IDs, so a
// receiver can read values directly; the objects stay alive at least until
// the context is reset or destroyed.
inline const QString ManagedObjectContextObjectsDidChangeNotification =
    QStringLiteral("NSManagedObjectContextObjectsDidChangeNotification");
inline const QString ManagedObjectContextWillSaveNotification =
    QStringLiteral("NSManagedObjectContextWillSaveNotification");
inline const QString ManagedObjectContextDidSaveNotification =
    QStringLiteral("NSManagedObjectContextDidSaveNotification");
inline const QString InsertedObjectsKey = QStringLiteral("inserted");
inline const QString UpdatedObjectsKey = QStringLiteral("updated");
inline const QString DeletedObjectsKey = QStringLiteral("deleted");

class ManagedObjectContext {
 public:
  enum ConcurrencyType { MainQueueConcurrencyType };

  explicit ManagedObjectContext(ConcurrencyType type = MainQueueConcurrencyType);
  virtual ~ManagedObjectContext();
  ManagedObjectContext(const ManagedObjectContext&) = delete;
  ManagedObjectContext& operator=(const ManagedObjectContext&) = delete;

  ConcurrencyType concurrencyType() const { return MainQueueConcurrencyType; }
  PersistentStoreCoordinator* persistentStoreCoordinator() const { return coordinator_; }
  void setPersistentStoreCoordinator(PersistentStoreCoordinator* coordinator);

  // The context starts with an undo manager of its own; set another (not
  // owned) or null to record nothing. The context processes its pending
  // changes at each checkpoint of its undo manager (a group opening or
  // closing, an undo or redo starting) and at the end of the loop pass in
  // which they were made. Grouping by event, its first change of a pass
  // opens the undo manager's automatic group, so every change of one pass
  // is one undo step, ended with the pass (unless an explicit group is
  // open: then the changes join that group).
  fnd::UndoManager* undoManager() const { return undoManager_; }
  void setUndoManager(fnd::UndoManager* manager);

  // A new object of the entity's registered class, with the model's
  // defaults, after awakeFromInsert. Null for an unknown or abstract entity.
  ManagedObject* insertNewObjectForEntityForName(const QString& entityName);
  template <class T>
  T* insertNewObject(const QString& entityName) {
    return dynamic_cast<T*>(insertNewObjectForEntityForName(entityName));
  }
  // Delete rules are applied at the next processPendingChanges.
  void deleteObject(ManagedObject* object);

  // Null result with `error` filled when the entity is unknown or the store
  // fails to read.
  ObjectList executeFetchRequest(const FetchRequest& request, fnd::Error* error = nullptr);
  int countForFetchRequest(const FetchRequest& request, fnd::Error* error = nullptr);

  // In creation order.
  ObjectList registeredObjects() const;
  ObjectList insertedObjects() const;
  ObjectList updatedObjects() const;
  ObjectList deletedObjects() const;
  bool hasChanges() const;

  // The registered object, else a fault for a stored object (not checked
  // against the store), else null.
  ManagedObject* objectWithID(const ManagedObjectID& id);
  // The object, its values loaded; null with an error if it does not exist.
  ManagedObject* existingObjectWithID(const ManagedObjectID& id, fnd::Error* error = nullptr);

  // Coalesces the changes since the last call: applies delete rules,
  // registers one undo action for them and posts the objects-did-change
  // notification.
  void processPendingChanges();

  // Validates, calls willSave, writes everything in one store transaction,
  // calls didSave; posts will-save and did-save. On failure nothing was
  // written and the context keeps its changes.
  bool save(fnd::Error* error = nullptr);
  // Throws away unsaved changes and the undo stack.
  void rollback();
  // Forgets every object (they are destroyed) and the undo stack.
  void reset();
  // Without merging, discards the object's unsaved changes and turns it
  // back into a fault; with merging, keeps them. Inserted objects stay.
  void refreshObject(ManagedObject* object, bool mergeChanges);

  void undo();
  void redo();

  // Objects of this context are plain ManagedObjects whatever their
  // entity's class, so no class's own behaviour runs (a migration copies
  // rows between model versions this way).
  void setUsesPlainObjects(bool plain) { usesPlainObjects_ = plain; }

  // Called when a context is used from a thread other than its own. The
  // default (also restored by passing null) aborts with a message. The
  // check is cheap, so it runs in every build, not only debug ones.
  static void setThreadViolationHandler(std::function<void(const char* operation)> handler);

 private:
  friend class ManagedObject;
  struct PendingChange {
    ManagedObject* object;
    int index;
    QVariant oldValue;
  };
  struct Change {
    ManagedObject* object;
    int index;
    QVariant oldValue;
    QVariant newValue;
  };
  struct Batch {
    ObjectList inserted;
    ObjectList deleted;
    QList<Change> changes;
    bool isEmpty() const { return inserted.isEmpty() && deleted.isEmpty() && changes.isEmpty(); }
  };

  void checkThread(const char* operation) const;
  // Called before a change is recorded: the first one since the last
  // processing opens the pass's undo group and asks for processing at the
  // end of the pass.
  void noteChange();
  ManagedObject* createObject(EntityDescription* entity);
  PersistentStore* storeForSave(fnd::Error* error) const;

  // Called by ManagedObject.
  void recordWillChange(ManagedObject* object, int index);
  void recordDidChange(ManagedObject* object);
  void fulfillFault(ManagedObject* object);
  void loadSlot(ManagedObject* object, int index);
  // The stored value of a slot, read without filling the slot.
  QVariant readSlot(ManagedObject* object, int index);
  void fillFromRow(ManagedObject* object, const StoreRow& row);
  QVariant resolveStored(const QVariant& stored);

  // Change coalescing and undo (ManagedObjectContextUndo.cpp).
  void propagateDeletes();
  void applyDeleteRule(ManagedObject* object, RelationshipDescription* relationship);
  Batch takePendingBatch();
  void registerUndo(const Batch& batch);
  void replay(const Batch& batch);
  void kill(ManagedObject* object, bool asDeletion);
  void revive(ManagedObject* object);
  void postObjectsDidChange(const Batch& batch);
  void clearPending();

  // Saving (ManagedObjectContextSave.cpp).
  bool validateForSave(const SaveRequest& request, fnd::Error* error);
  SaveRequest collectSaveRequest() const;
  void commitSaved(const SaveRequest& request, PersistentStore* store,
                   const QHash<ManagedObject*, qint64>& keys);
  void postSaveNotification(const QString& name, const SaveRequest& request);

  ObjectList fetchFromStores(EntityDescription* entity, bool subentities, fnd::Error* error);

  QThread* thread_;
  PersistentStoreCoordinator* coordinator_ = nullptr;
  std::unique_ptr<fnd::UndoManager> ownUndoManager_;
  fnd::UndoManager* undoManager_ = nullptr;
  std::vector<std::unique_ptr<ManagedObject>> objects_;
  QHash<ManagedObjectID, ManagedObject*> byID_;
  QList<PendingChange> pending_;
  QHash<QPair<ManagedObject*, int>, int> pendingIndex_;
  ObjectList pendingLifeChanges_;  // objects inserted, deleted, revived or killed
  ObjectList toPropagate_;
  quint64 nextTemporaryID_ = 1;
  quint64 checkpointToken_ = 0;
  // Receives the end-of-pass processing; deleting it with the context
  // discards a call still waiting.
  std::unique_ptr<QObject> passHook_;
  bool processingScheduled_ = false;
  bool processing_ = false;
  bool usesPlainObjects_ = false;
};

}  // namespace cd
