// Change coalescing of ManagedObjectContext: what processPendingChanges
// gathers, the undo action it registers for each batch and how undo and
// redo replay a batch backwards.
#include <QSet>

#include "coredata/ManagedObjectContext.h"
#include "foundation/NotificationCenter.h"

namespace cd {

namespace {

bool sameValue(const QVariant& a, const QVariant& b) {
  if (a.metaType() == QMetaType::fromType<ObjectList>() ||
      b.metaType() == QMetaType::fromType<ObjectList>())
    return a.value<ObjectList>() == b.value<ObjectList>();
  if (a.metaType() == QMetaType::fromType<ManagedObject*>() ||
      b.metaType() == QMetaType::fromType<ManagedObject*>())
    return a.value<ManagedObject*>() == b.value<ManagedObject*>();
  return a.isValid() == b.isValid() && a == b;
}

QVariantList variantList(const ObjectList& objects) {
  QVariantList list;
  for (ManagedObject* object : objects) list.append(QVariant::fromValue(object));
  return list;
}

}  // namespace

void ManagedObjectContext::recordWillChange(ManagedObject* object, int index) {
  checkThread("setValue");
  QPair<ManagedObject*, int> key(object, index);
  if (pendingIndex_.contains(key)) return;
  noteChange();
  pendingIndex_.insert(key, int(pending_.size()));
  pending_.append({object, index, object->values_[index]});
}

// Changes made while nothing ends a group (a plain attribute change from a
// control, say) would otherwise wait for the next checkpoint and join
// whatever step comes next. Opening the group before the change is added
// keeps earlier leftovers, registered by the group's checkpoint, apart from
// it.
void ManagedObjectContext::noteChange() {
  if (undoManager_ && !processing_) undoManager_->openAutomaticGroupIfNeeded();
  if (processingScheduled_) return;
  processingScheduled_ = true;
  QMetaObject::invokeMethod(
      passHook_.get(),
      [this] {
        processingScheduled_ = false;
        processPendingChanges();
      },
      Qt::QueuedConnection);
}

void ManagedObjectContext::recordDidChange(ManagedObject* object) {
  if (object->persisted_ && object->live_) object->dirty_ = true;
}

void ManagedObjectContext::processPendingChanges() {
  checkThread("processPendingChanges");
  if (processing_) return;
  processing_ = true;
  propagateDeletes();
  Batch batch = takePendingBatch();
  processing_ = false;
  if (batch.isEmpty()) return;
  registerUndo(batch);
  postObjectsDidChange(batch);
}

void ManagedObjectContext::propagateDeletes() {
  while (!toPropagate_.isEmpty()) {
    ManagedObject* object = toPropagate_.takeFirst();
    object->prepareForDeletion();
    for (RelationshipDescription* relationship : object->entity_->relationships())
      applyDeleteRule(object, relationship);
  }
}

void ManagedObjectContext::applyDeleteRule(ManagedObject* object,
                                           RelationshipDescription* relationship) {
  DeleteRule rule = relationship->deleteRule();
  // Deny is checked when saving; no action leaves the other side alone.
  if (rule == DeleteRule::Deny || rule == DeleteRule::NoAction) return;
  QVariant value = object->slot(relationship->index());
  ObjectList targets = relationship->isToMany() ? value.value<ObjectList>()
                                                : ObjectList{value.value<ManagedObject*>()};
  targets.removeAll(nullptr);
  if (targets.isEmpty()) return;
  if (rule == DeleteRule::Cascade)
    for (ManagedObject* target : targets)
      if (target->live_) deleteObject(target);
  if (RelationshipDescription* inverse = relationship->inverseRelationship())
    for (ManagedObject* target : targets) target->unlink(inverse, object);
  object->restoreSlot(relationship->index(),
                      relationship->isToMany() ? QVariant::fromValue(ObjectList()) : QVariant());
}

ManagedObjectContext::Batch ManagedObjectContext::takePendingBatch() {
  Batch batch;
  QSet<ManagedObject*> seen;
  for (ManagedObject* object : pendingLifeChanges_) {
    if (seen.contains(object)) continue;
    seen.insert(object);
    if (object->live_ && !object->wasLive_) batch.inserted.append(object);
    if (!object->live_ && object->wasLive_) batch.deleted.append(object);
    object->wasLive_ = object->live_;
  }
  QSet<ManagedObject*> changed;
  for (const PendingChange& pending : pending_) {
    QVariant now = pending.object->values_[pending.index];
    if (sameValue(pending.oldValue, now)) continue;
    batch.changes.append({pending.object, pending.index, pending.oldValue, now});
    changed.insert(pending.object);
  }
  clearPending();
  // An object changed and changed back is clean again.
  for (ManagedObject* object : changed)
    if (object->dirty_ && object->persisted_ && object->changedValues().isEmpty())
      object->dirty_ = false;
  return batch;
}

void ManagedObjectContext::clearPending() {
  pending_.clear();
  pendingIndex_.clear();
  pendingLifeChanges_.clear();
}

void ManagedObjectContext::registerUndo(const Batch& batch) {
  if (!undoManager_ || !undoManager_->isUndoRegistrationEnabled()) return;
  // Without a group to join the manager would drop the action anyway.
  if (!undoManager_->groupsByEvent() && undoManager_->groupingLevel() == 0) return;
  undoManager_->registerUndoWithTarget(this, [this, batch] { replay(batch); });
}

void ManagedObjectContext::replay(const Batch& batch) {
  bool redoing = undoManager_ && undoManager_->isRedoing();
  // A replayed batch that deleted objects brings them back: while undoing
  // that undoes a deletion; while redoing it redoes an insertion.
  int revivedFlag = redoing ? SnapshotEventUndoInsertion : SnapshotEventUndoDeletion;
  int killedFlag = redoing ? SnapshotEventUndoDeletion : SnapshotEventUndoInsertion;
  ObjectList order;
  QHash<ManagedObject*, int> flags;
  auto mark = [&](ManagedObject* object, int flag) {
    if (!flags.contains(object)) order.append(object);
    flags[object] |= flag;
  };
  // An object that comes or goes hears only that, not the value changes
  // that came with it.
  for (ManagedObject* object : batch.deleted) {
    revive(object);
    mark(object, revivedFlag);
  }
  for (ManagedObject* object : batch.inserted) mark(object, killedFlag);
  for (int i = int(batch.changes.size()) - 1; i >= 0; --i) {
    const Change& change = batch.changes[i];
    change.object->restoreSlot(change.index, change.oldValue);
    if (!flags.contains(change.object)) mark(change.object, SnapshotEventUndoUpdate);
  }
  for (ManagedObject* object : batch.inserted) kill(object, redoing);
  // Registers the inverse batch while the undo manager is still undoing or
  // redoing, so it lands on the opposite stack.
  processPendingChanges();
  int redoBit = redoing ? SnapshotEventRedo : 0;
  for (ManagedObject* object : order) object->awakeFromSnapshotEvents(flags[object] | redoBit);
}

void ManagedObjectContext::kill(ManagedObject* object, bool asDeletion) {
  object->live_ = false;
  // A redone deletion leaves the object deleted; an undone insertion
  // leaves it simply gone.
  object->pendingDelete_ = asDeletion;
  pendingLifeChanges_.append(object);
}

void ManagedObjectContext::revive(ManagedObject* object) {
  object->live_ = true;
  object->pendingDelete_ = false;
  if (object->deletionSaved_) {
    // Its row is gone: it comes back as a new insertion.
    object->deletionSaved_ = false;
    object->persisted_ = false;
    object->id_ = ManagedObjectID::temporaryID(object->entity_, nextTemporaryID_++);
    byID_.insert(object->id_, object);
  }
  pendingLifeChanges_.append(object);
}

void ManagedObjectContext::postObjectsDidChange(const Batch& batch) {
  ObjectList updated;
  QSet<ManagedObject*> seen;
  for (ManagedObject* object : batch.inserted) seen.insert(object);
  for (ManagedObject* object : batch.deleted) seen.insert(object);
  for (const Change& change : batch.changes) {
    if (seen.contains(change.object)) continue;
    seen.insert(change.object);
    updated.append(change.object);
  }
  fnd::NotificationCenter::defaultCenter().postNotificationName(
      ManagedObjectContextObjectsDidChangeNotification, this,
      {{InsertedObjectsKey, variantList(batch.inserted)},
       {UpdatedObjectsKey, variantList(updated)},
       {DeletedObjectsKey, variantList(batch.deleted)}});
}

void ManagedObjectContext::rollback() {
  checkThread("rollback");
  toPropagate_.clear();
  ObjectList restored;
  for (const auto& owned : objects_) {
    ManagedObject* object = owned.get();
    if (object->isInserted()) {
      object->live_ = object->wasLive_ = false;
      continue;
    }
    if (!object->persisted_) continue;
    bool changed = !object->live_ || object->dirty_;
    object->live_ = object->wasLive_ = true;
    object->pendingDelete_ = false;
    for (int i = 0; i < int(object->values_.size()); ++i)
      if (object->loaded_[i] && !object->fault_ &&
          !sameValue(object->values_[i], object->committed_[i])) {
        object->restoreSlot(i, object->committed_[i]);
        changed = true;
      }
    object->dirty_ = false;
    if (changed) restored.append(object);
  }
  clearPending();
  if (undoManager_) undoManager_->removeAllActionsWithTarget(this);
  for (ManagedObject* object : restored) object->awakeFromSnapshotEvents(SnapshotEventRollback);
}

void ManagedObjectContext::reset() {
  checkThread("reset");
  if (undoManager_) undoManager_->removeAllActionsWithTarget(this);
  clearPending();
  toPropagate_.clear();
  byID_.clear();
  objects_.clear();
}

}  // namespace cd
