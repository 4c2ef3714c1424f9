// Saving of ManagedObjectContext: validation, the will-save hooks, one store
// transaction and the bookkeeping once the rows are written.
#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/NotificationCenter.h"

namespace cd {

namespace {

QVariantList variantList(const ObjectList& objects) {
  QVariantList list;
  for (ManagedObject* object : objects) list.append(QVariant::fromValue(object));
  return list;
}

}  // namespace

PersistentStore* ManagedObjectContext::storeForSave(fnd::Error* error) const {
  if (!coordinator_ || coordinator_->persistentStores().isEmpty()) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreSaveError,
              QStringLiteral("This document has no store to save to."));
    return nullptr;
  }
  PersistentStore* store = coordinator_->persistentStores().first();
  if (store->isReadOnly()) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreSaveError,
              QStringLiteral("The store was opened read-only."));
    return nullptr;
  }
  return store;
}

SaveRequest ManagedObjectContext::collectSaveRequest() const {
  SaveRequest request;
  request.inserted = insertedObjects();
  request.updated = updatedObjects();
  request.deleted = deletedObjects();
  return request;
}

bool ManagedObjectContext::validateForSave(const SaveRequest& request, fnd::Error* error) {
  QVariantList errors;
  auto check = [&](ManagedObject* object, bool (ManagedObject::*validate)(fnd::Error*)) {
    fnd::Error detail;
    if (!(object->*validate)(&detail)) errors.append(QVariant::fromValue(detail));
  };
  for (ManagedObject* object : request.inserted) check(object, &ManagedObject::validateForInsert);
  for (ManagedObject* object : request.updated) check(object, &ManagedObject::validateForUpdate);
  for (ManagedObject* object : request.deleted) check(object, &ManagedObject::validateForDelete);
  if (errors.isEmpty()) return true;
  if (errors.size() == 1) return fnd::fail(error, errors.first().value<fnd::Error>());
  return fnd::fail(
      error,
      fnd::Error(fnd::CocoaErrorDomain, fnd::ValidationMultipleErrorsError,
                 {{fnd::LocalizedDescriptionKey, QStringLiteral("Several values are not valid.")},
                  {fnd::DetailedErrorsKey, errors}}));
}

bool ManagedObjectContext::save(fnd::Error* error) {
  checkThread("save");
  processPendingChanges();
  PersistentStore* first = coordinator_ && !coordinator_->persistentStores().isEmpty()
                               ? coordinator_->persistentStores().first()
                               : nullptr;
  if (!hasChanges() && !(first && first->metadataChanged())) return true;
  PersistentStore* store = storeForSave(error);
  if (!store) return false;
  SaveRequest request = collectSaveRequest();
  if (!validateForSave(request, error)) return false;
  postSaveNotification(ManagedObjectContextWillSaveNotification, request);
  for (const ObjectList* group : {&request.inserted, &request.updated, &request.deleted})
    for (ManagedObject* object : *group) object->willSave();
  // What willSave changed through the notifying path is saved too.
  processPendingChanges();
  request = collectSaveRequest();
  QHash<ManagedObject*, qint64> keys;
  if (!store->save(request, &keys, error)) return false;
  commitSaved(request, store, keys);
  for (const ObjectList* group : {&request.inserted, &request.updated, &request.deleted})
    for (ManagedObject* object : *group) object->didSave();
  postSaveNotification(ManagedObjectContextDidSaveNotification, request);
  return true;
}

void ManagedObjectContext::commitSaved(const SaveRequest& request, PersistentStore* store,
                                       const QHash<ManagedObject*, qint64>& keys) {
  for (ManagedObject* object : request.inserted) {
    byID_.remove(object->id_);
    object->id_ = ManagedObjectID::permanentID(object->entity_, keys.value(object), store);
    object->persisted_ = true;
    object->rowVersion_ = 1;
    byID_.insert(object->id_, object);
  }
  for (ManagedObject* object : request.updated) ++object->rowVersion_;
  for (const ObjectList* group : {&request.inserted, &request.updated}) {
    for (ManagedObject* object : *group) {
      for (int i = 0; i < int(object->values_.size()); ++i)
        if (object->loaded_[i]) object->committed_[i] = object->values_[i];
      object->dirty_ = false;
    }
  }
  for (ManagedObject* object : request.deleted) {
    byID_.remove(object->id_);
    object->persisted_ = false;
    object->deletionSaved_ = true;
  }
  // Objects inserted and deleted before this save never reached the store;
  // they are no longer "deleted" either.
  for (const auto& object : objects_)
    if (!object->live_) object->pendingDelete_ = false;
}

void ManagedObjectContext::postSaveNotification(const QString& name, const SaveRequest& request) {
  fnd::NotificationCenter::defaultCenter().postNotificationName(
      name, this,
      {{InsertedObjectsKey, variantList(request.inserted)},
       {UpdatedObjectsKey, variantList(request.updated)},
       {DeletedObjectsKey, variantList(request.deleted)}});
}

}  // namespace cd
