#include "model/IMManagedObject.h"

#include <QCoreApplication>
#include <QThread>

#include "coredata/ManagedObjectContext.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "foundation/MainThread.h"
#include "foundation/OperationQueue.h"
#include "model/IMFoundationExtra.h"

namespace {

cd::ManagedObjectContext* gTempDecodingContext = nullptr;

}  // namespace

// Carries one entity object through a keyed archive. Entities are owned by
// their context, so the archive holds this small proxy instead of them.
class ManagedObjectCoding : public fnd::Coding {
 public:
  explicit ManagedObjectCoding(IMManagedObject* object) : object_(object) {}
  QString archiveClassName() const override { return object_->entity()->name(); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override {
    object_->encodeWithCoder(coder);
  }
  IMManagedObject* object() const { return object_; }

 private:
  IMManagedObject* object_;
};

IMManagedObject::IMManagedObject() : alive_(std::make_shared<bool>(true)) {}

IMManagedObject::~IMManagedObject() {
  *alive_ = false;
  fnd::NotificationCenter::defaultCenter().removeObserver(this);
}

void IMManagedObject::setTempDecodingManagedObjectContext(cd::ManagedObjectContext* context) {
  gTempDecodingContext = context;
}

void IMManagedObject::resetTempDecodingManagedObjectContext() { gTempDecodingContext = nullptr; }

cd::ManagedObjectContext* IMManagedObject::tempDecodingManagedObjectContext() {
  return gTempDecodingContext;
}

bool IMManagedObject::imShouldEncodeRelationshipNamed(const QString&) const { return false; }

fnd::CodingPtr IMManagedObject::archivable() { return std::make_shared<ManagedObjectCoding>(this); }

IMManagedObject* IMManagedObject::fromArchivedValue(const QVariant& value) {
  auto coding = value.value<fnd::CodingPtr>();
  auto* proxy = dynamic_cast<ManagedObjectCoding*>(coding.get());
  return proxy ? proxy->object() : nullptr;
}

void IMManagedObject::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  for (cd::PropertyDescription* property : entity()->properties()) {
    const QString& name = property->name();
    if (property->isRelationship() && !imShouldEncodeRelationshipNamed(name)) continue;
    QVariant value = property->isAttribute() ? archivedValueForKey(name) : valueForKey(name);
    if (!value.isValid() || value.isNull()) continue;
    if (property->isAttribute()) {
      coder.encodeObject(value, name);
    } else if (property->isToMany()) {
      QVariantList archived;
      for (cd::ManagedObject* member : value.value<cd::ObjectList>())
        if (auto* entity = dynamic_cast<IMManagedObject*>(member))
          archived.append(QVariant::fromValue(entity->archivable()));
      coder.encodeObject(archived, name);
    } else if (auto* related = dynamic_cast<IMManagedObject*>(value.value<cd::ManagedObject*>())) {
      coder.encodeObject(QVariant::fromValue(related->archivable()), name);
    }
  }
}

IMManagedObject* IMManagedObject::initWithCoder(const QString& entityName,
                                                fnd::KeyedUnarchiver& coder) {
  cd::ManagedObjectContext* context = gTempDecodingContext;
  if (!context) {
    qWarning("IMManagedObject::initWithCoder: no temporary decoding context is set");
    return nullptr;
  }
  auto* object =
      dynamic_cast<IMManagedObject*>(context->insertNewObjectForEntityForName(entityName));
  if (!object) {
    qWarning("IMManagedObject::initWithCoder: anEntity != nil failed for \"%s\"",
             qPrintable(entityName));
    return nullptr;
  }
  object->disableNotifications();
  object->decodeProperties(coder);
  object->enableNotifications();
  return object;
}

void IMManagedObject::decodeProperties(fnd::KeyedUnarchiver& coder) {
  for (cd::PropertyDescription* property : entity()->properties()) {
    const QString& name = property->name();
    if (property->isRelationship() && !imShouldEncodeRelationshipNamed(name)) continue;
    if (!coder.containsValueForKey(name)) continue;
    QVariant value = coder.decodeObjectForKey(name);
    if (property->isAttribute()) {
      if (value.isValid()) setPrimitiveValue(value, name);
      continue;
    }
    auto* relationship = static_cast<cd::RelationshipDescription*>(property);
    auto accepts = [&](IMManagedObject* member) {
      return member && member->managedObjectContext() == managedObjectContext() &&
             member->entity()->isKindOfEntity(relationship->destinationEntity());
    };
    if (!relationship->isToMany()) {
      // Through the change path rather than primitively, so the inverse side
      // knows its owner too and a later save or delete keeps both in step.
      IMManagedObject* member = fromArchivedValue(value);
      if (accepts(member)) setValue(QVariant::fromValue<cd::ManagedObject*>(member), name);
      continue;
    }
    for (const QVariant& item : value.toList()) {
      IMManagedObject* member = fromArchivedValue(item);
      if (!accepts(member)) continue;
      int count = int(relatedObjects(name).size());
      insertObjects({member}, fnd::IndexSet(count), name);
    }
  }
}

void IMManagedObject::ima_prepare() {
  prepareTransientValues();
  auto& center = fnd::NotificationCenter::defaultCenter();
  center.removeObserver(this);
  center.addObserver(this, IMAWillThrowAwayManagedObjectsForMOC, managedObjectContext(),
                     [this](const fnd::Notification& note) { enableWillBeThrownAway(note); });
}

void IMManagedObject::awakeFromInsert() {
  cd::ManagedObject::awakeFromInsert();
  ima_prepare();
}

void IMManagedObject::awakeFromFetch() {
  cd::ManagedObject::awakeFromFetch();
  ima_prepare();
}

void IMManagedObject::awakeFromSnapshotEvents(int flags) {
  cd::ManagedObject::awakeFromSnapshotEvents(flags);
  ima_prepare();
}

void IMManagedObject::didTurnIntoFault() {
  fnd::NotificationCenter::defaultCenter().removeObserver(this);
  cd::ManagedObject::didTurnIntoFault();
}

void IMManagedObject::enableWillBeThrownAway(const fnd::Notification&) { willBeThrownAway_ = true; }

void IMManagedObject::didChange(fnd::KeyValueChangeKind kind, const fnd::IndexSet& indexes,
                                const QString& key) {
  std::unique_ptr<PendingToMany> outer = std::move(pendingToMany_);
  pendingToMany_ = std::make_unique<PendingToMany>(PendingToMany{kind, indexes, key});
  didChangeValueForKey(key);
  pendingToMany_ = std::move(outer);
}

void IMManagedObject::didChangeValueForKey(const QString& key) {
  if (!willBeThrownAway_) {
    if (fnd::isMainThread()) {
      mayChangeValueForKey(key);
    } else {
      std::weak_ptr<bool> alive = alive_;
      fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [this, alive, key] {
        auto living = alive.lock();
        if (living && *living) mayChangeValueForKey(key);
      });
    }
  }
  if (pendingToMany_ && pendingToMany_->key == key) {
    PendingToMany change = *pendingToMany_;
    pendingToMany_.reset();
    cd::ManagedObject::didChange(change.kind, change.indexes, key);
  } else {
    cd::ManagedObject::didChangeValueForKey(key);
  }
  fnd::NotificationCenter::defaultCenter().postNotificationName(IMManagedObjectDidChange, this);
}

QVariant IMManagedObject::valueForKey(const QString& key) const {
  if (willBeThrownAway_) return {};
  return cd::ManagedObject::valueForKey(key);
}
