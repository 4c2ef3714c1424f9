#include "coredata/ManagedObjectContext.h"

#include <QCoreApplication>

#include "coredata/EntityClassRegistry.h"
#include "coredata/ManagedObjectModel.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/NotificationCenter.h"

namespace cd {

namespace {

void abortOnThreadViolation(const char* operation) {
  qFatal("cd::ManagedObjectContext::%s called off the context's thread", operation);
}

std::function<void(const char*)>& threadViolationHandler() {
  static std::function<void(const char*)> handler = abortOnThreadViolation;
  return handler;
}

}  // namespace

ManagedObjectContext::ManagedObjectContext(ConcurrencyType)
    : thread_(QThread::currentThread()), passHook_(std::make_unique<QObject>()) {
  ownUndoManager_ = std::make_unique<fnd::UndoManager>();
  setUndoManager(ownUndoManager_.get());
}

ManagedObjectContext::~ManagedObjectContext() { setUndoManager(nullptr); }

void ManagedObjectContext::setThreadViolationHandler(std::function<void(const char*)> handler) {
  threadViolationHandler() = handler ? std::move(handler) : abortOnThreadViolation;
}

void ManagedObjectContext::checkThread(const char* operation) const {
  if (QThread::currentThread() != thread_) threadViolationHandler()(operation);
}

void ManagedObjectContext::setPersistentStoreCoordinator(PersistentStoreCoordinator* coordinator) {
  coordinator_ = coordinator;
}

void ManagedObjectContext::setUndoManager(fnd::UndoManager* manager) {
  if (undoManager_) undoManager_->removeAllActionsWithTarget(this);
  if (checkpointToken_) fnd::NotificationCenter::defaultCenter().removeObserver(checkpointToken_);
  checkpointToken_ = 0;
  undoManager_ = manager;
  if (manager != ownUndoManager_.get()) ownUndoManager_.reset();
  if (!manager) return;
  // The undo manager checkpoints when a group opens or closes and before it
  // undoes or redoes: changes not processed yet join the group they were
  // made in.
  checkpointToken_ = fnd::NotificationCenter::defaultCenter().addObserverForName(
      fnd::UndoManagerCheckpointNotification, manager, nullptr, [this](const fnd::Notification&) {
        if (QThread::currentThread() == thread_) processPendingChanges();
      });
}

ManagedObject* ManagedObjectContext::createObject(EntityDescription* entity) {
  ManagedObject* object = usesPlainObjects_
                              ? new ManagedObject
                              : EntityClassRegistry::create(entity->managedObjectClassName());
  objects_.emplace_back(object);
  object->attach(entity, this);
  return object;
}

ManagedObject* ManagedObjectContext::insertNewObjectForEntityForName(const QString& entityName) {
  checkThread("insertNewObjectForEntityForName");
  ManagedObjectModel* model = coordinator_ ? coordinator_->managedObjectModel().get() : nullptr;
  EntityDescription* entity = model ? model->entityNamed(entityName) : nullptr;
  if (!entity || entity->isAbstract()) {
    qWarning("cd::ManagedObjectContext: cannot insert an object of entity \"%s\"",
             qPrintable(entityName));
    return nullptr;
  }
  ManagedObject* object = createObject(entity);
  object->id_ = ManagedObjectID::temporaryID(entity, nextTemporaryID_++);
  for (PropertyDescription* property : entity->properties()) {
    if (property->isAttribute())
      object->values_[property->index()] =
          static_cast<AttributeDescription*>(property)->defaultValue();
    else if (property->isToMany())
      object->values_[property->index()] = QVariant::fromValue(ObjectList());
  }
  object->live_ = true;
  byID_.insert(object->id_, object);
  noteChange();
  pendingLifeChanges_.append(object);
  object->awakeFromInsert();
  return object;
}

void ManagedObjectContext::deleteObject(ManagedObject* object) {
  checkThread("deleteObject");
  if (!object || object->context_ != this || !object->live_) return;
  noteChange();
  object->live_ = false;
  object->pendingDelete_ = true;
  pendingLifeChanges_.append(object);
  toPropagate_.append(object);
}

ObjectList ManagedObjectContext::registeredObjects() const {
  ObjectList objects;
  for (const auto& object : objects_)
    if (object->live_ || object->persisted_) objects.append(object.get());
  return objects;
}

ObjectList ManagedObjectContext::insertedObjects() const {
  ObjectList objects;
  for (const auto& object : objects_)
    if (object->isInserted()) objects.append(object.get());
  return objects;
}

ObjectList ManagedObjectContext::updatedObjects() const {
  ObjectList objects;
  for (const auto& object : objects_)
    if (object->isUpdated()) objects.append(object.get());
  return objects;
}

ObjectList ManagedObjectContext::deletedObjects() const {
  ObjectList objects;
  for (const auto& object : objects_)
    if (!object->live_ && object->persisted_) objects.append(object.get());
  return objects;
}

bool ManagedObjectContext::hasChanges() const {
  if (!pending_.isEmpty()) return true;
  for (const auto& object : objects_)
    if (object->isInserted() || object->isUpdated() || (!object->live_ && object->persisted_))
      return true;
  return false;
}

ManagedObject* ManagedObjectContext::objectWithID(const ManagedObjectID& id) {
  checkThread("objectWithID");
  if (id.isNull()) return nullptr;
  if (ManagedObject* object = byID_.value(id)) return object;
  if (id.isTemporaryID() || !id.persistentStore()) return nullptr;
  ManagedObject* object = createObject(id.entity());
  object->id_ = id;
  object->persisted_ = true;
  object->live_ = true;
  object->wasLive_ = true;
  object->fault_ = true;
  byID_.insert(id, object);
  return object;
}

ManagedObject* ManagedObjectContext::existingObjectWithID(const ManagedObjectID& id,
                                                          fnd::Error* error) {
  ManagedObject* object = byID_.value(id);
  if (object && !object->fault_) return object->live_ ? object : nullptr;
  if (!id.isTemporaryID() && id.persistentStore()) {
    StoreRow row;
    if (id.persistentStore()->loadRow(id, &row, error)) {
      object = objectWithID(id);
      if (object->fault_) fillFromRow(object, row);
      if (object->live_) return object;
      fnd::fail(error, fnd::CocoaErrorDomain, fnd::ManagedObjectValidationError,
                QStringLiteral("The object has been deleted."));
      return nullptr;
    }
    return nullptr;
  }
  fnd::fail(error, fnd::CocoaErrorDomain, fnd::ManagedObjectValidationError,
            QStringLiteral("No object exists with this ID."));
  return nullptr;
}

QVariant ManagedObjectContext::resolveStored(const QVariant& stored) {
  if (stored.metaType() == QMetaType::fromType<ManagedObjectID>()) {
    ManagedObject* object = objectWithID(stored.value<ManagedObjectID>());
    return object ? QVariant::fromValue(object) : QVariant();
  }
  return stored;
}

void ManagedObjectContext::fillFromRow(ManagedObject* object, const StoreRow& row) {
  for (int i = 0; i < int(row.values.size()); ++i) {
    if (!row.present[i]) {
      object->loaded_[i] = object->entity_->properties()[i]->isTransient();
      continue;
    }
    object->values_[i] = resolveStored(row.values[i]);
    object->committed_[i] = object->values_[i];
    object->loaded_[i] = 1;
  }
  object->rowVersion_ = row.version;
  object->fault_ = false;
  object->awakeFromFetch();
}

void ManagedObjectContext::fulfillFault(ManagedObject* object) {
  if (!object->fault_) return;
  StoreRow row;
  fnd::Error error;
  PersistentStore* store = object->id_.persistentStore();
  // Mark first: reading the row may resolve relationships back to this object.
  object->fault_ = false;
  if (!store || !store->loadRow(object->id_, &row, &error)) {
    qWarning("cd::ManagedObjectContext: a fault could not be fulfilled: %s",
             qPrintable(error.localizedDescription()));
    std::fill(object->loaded_.begin(), object->loaded_.end(), 1);
    return;
  }
  fillFromRow(object, row);
}

void ManagedObjectContext::loadSlot(ManagedObject* object, int index) {
  object->loaded_[index] = 1;
  if (!object->id_.persistentStore() || !object->persisted_) return;
  QVariant value = readSlot(object, index);
  object->values_[index] = value;
  object->committed_[index] = value;
}

QVariant ManagedObjectContext::readSlot(ManagedObject* object, int index) {
  PropertyDescription* property = object->entity_->properties()[index];
  PersistentStore* store = object->id_.persistentStore();
  if (!store || !object->persisted_) return {};
  fnd::Error error;
  QVariant value;
  bool ok = false;
  if (property->isAttribute()) {
    ok = store->loadAttribute(object->id_, static_cast<AttributeDescription*>(property), &value,
                              &error);
  } else {
    QList<ManagedObjectID> members;
    ok = store->loadToMany(object->id_, static_cast<RelationshipDescription*>(property), &members,
                           &error);
    ObjectList list;
    for (const ManagedObjectID& id : members)
      if (ManagedObject* member = objectWithID(id)) list.append(member);
    value = QVariant::fromValue(list);
  }
  if (!ok)
    qWarning("cd::ManagedObjectContext: %s could not be read: %s", qPrintable(property->name()),
             qPrintable(error.localizedDescription()));
  return value;
}

ObjectList ManagedObjectContext::fetchFromStores(EntityDescription* entity, bool subentities,
                                                 fnd::Error* error) {
  ObjectList result;
  if (!coordinator_) return result;
  for (PersistentStore* store : coordinator_->persistentStores()) {
    QList<StoreRow> rows;
    if (!store->fetchRows(entity, subentities, &rows, error)) return {};
    for (const StoreRow& row : rows) {
      ManagedObject* object = objectWithID(row.id);
      if (object->fault_) fillFromRow(object, row);
      if (object->live_) result.append(object);
    }
  }
  return result;
}

ObjectList ManagedObjectContext::executeFetchRequest(const FetchRequest& request,
                                                     fnd::Error* error) {
  checkThread("executeFetchRequest");
  ManagedObjectModel* model = coordinator_ ? coordinator_->managedObjectModel().get() : nullptr;
  EntityDescription* entity = model ? model->entityNamed(request.entityName()) : nullptr;
  if (!entity) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::PersistentStoreOperationError,
              QStringLiteral("No entity named \"%1\" to fetch.").arg(request.entityName()));
    return {};
  }
  fnd::Error storeError;
  ObjectList candidates = fetchFromStores(entity, request.includesSubentities(), &storeError);
  if (!storeError.isNull()) {
    fnd::fail(error, storeError);
    return {};
  }
  for (const auto& object : objects_) {
    bool kind = request.includesSubentities() ? object->entity_->isKindOfEntity(entity)
                                              : object->entity_ == entity;
    if (kind && object->isInserted()) candidates.append(object.get());
  }
  ObjectList result;
  for (ManagedObject* object : candidates)
    if (request.predicate().evaluate(object)) result.append(object);
  if (!request.sortDescriptors().isEmpty()) {
    std::stable_sort(result.begin(), result.end(), [&](ManagedObject* a, ManagedObject* b) {
      for (const SortDescriptor& sort : request.sortDescriptors())
        if (int order = sort.compareObject(a, b)) return order < 0;
      return false;
    });
  }
  if (request.fetchOffset() > 0) result = result.mid(request.fetchOffset());
  if (request.fetchLimit() > 0 && result.size() > request.fetchLimit())
    result.resize(request.fetchLimit());
  return result;
}

int ManagedObjectContext::countForFetchRequest(const FetchRequest& request, fnd::Error* error) {
  fnd::Error fetchError;
  ObjectList objects = executeFetchRequest(request, &fetchError);
  if (!fetchError.isNull()) {
    fnd::fail(error, fetchError);
    return -1;
  }
  return int(objects.size());
}

void ManagedObjectContext::refreshObject(ManagedObject* object, bool mergeChanges) {
  checkThread("refreshObject");
  if (!object || object->context_ != this || !object->persisted_ || !object->live_) return;
  if (mergeChanges || object->fault_) return;
  // Pending records of this object would restore values it no longer has.
  for (int i = int(pending_.size()) - 1; i >= 0; --i)
    if (pending_[i].object == object) pending_.removeAt(i);
  pendingIndex_.clear();
  for (int i = 0; i < pending_.size(); ++i)
    pendingIndex_.insert({pending_[i].object, pending_[i].index}, i);
  object->willTurnIntoFault();
  std::fill(object->values_.begin(), object->values_.end(), QVariant());
  std::fill(object->committed_.begin(), object->committed_.end(), QVariant());
  std::fill(object->loaded_.begin(), object->loaded_.end(), 0);
  object->fault_ = true;
  object->dirty_ = false;
  object->didTurnIntoFault();
  object->awakeFromSnapshotEvents(SnapshotEventRefresh);
}

void ManagedObjectContext::undo() {
  if (!undoManager_) return;
  processPendingChanges();
  undoManager_->undo();
}

void ManagedObjectContext::redo() {
  if (!undoManager_) return;
  processPendingChanges();
  undoManager_->redo();
}

}  // namespace cd
