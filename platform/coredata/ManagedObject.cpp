#include "coredata/ManagedObject.h"

#include "coredata/ManagedObjectContext.h"

namespace cd {

ManagedObject::ManagedObject() = default;
ManagedObject::~ManagedObject() = default;

void ManagedObject::attach(EntityDescription* entity, ManagedObjectContext* context) {
  entity_ = entity;
  context_ = context;
  int count = int(entity->properties().size());
  values_.assign(count, QVariant());
  loaded_.assign(count, 1);
  committed_.assign(count, QVariant());
}

ManagedObjectContext* ManagedObject::managedObjectContext() const {
  return deletionSaved_ && !live_ ? nullptr : context_;
}

PropertyDescription* ManagedObject::property(const QString& key) const {
  return entity_ ? entity_->propertyNamed(key) : nullptr;
}

RelationshipDescription* ManagedObject::toManyRelationship(const QString& key) const {
  PropertyDescription* found = property(key);
  if (!found || !found->isToMany()) {
    qWarning("cd::ManagedObject: %s has no to-many relationship \"%s\"",
             entity_ ? qPrintable(entity_->name()) : "?", qPrintable(key));
    return nullptr;
  }
  return static_cast<RelationshipDescription*>(found);
}

void ManagedObject::ensureLoaded(int index) const {
  if (!context_) return;
  if (fault_) context_->fulfillFault(const_cast<ManagedObject*>(this));
  if (!loaded_[index]) context_->loadSlot(const_cast<ManagedObject*>(this), index);
}

QVariant ManagedObject::slot(int index) const {
  ensureLoaded(index);
  return values_[index];
}

void ManagedObject::willAccessValueForKey(const QString& key) const {
  PropertyDescription* found = property(key);
  if (found)
    ensureLoaded(found->index());
  else if (fault_ && context_)
    context_->fulfillFault(const_cast<ManagedObject*>(this));
}

void ManagedObject::didAccessValueForKey(const QString&) const {}

// willAccessValueForKey, primitiveValueForKey and didAccessValueForKey
// with the property looked up once: drawing reads many values per layer.
QVariant ManagedObject::valueForKey(const QString& key) const {
  PropertyDescription* found = property(key);
  if (!found) {
    if (fault_ && context_) context_->fulfillFault(const_cast<ManagedObject*>(this));
    return {};
  }
  return slot(found->index());
}

QVariant ManagedObject::primitiveValueForKey(const QString& key) const {
  PropertyDescription* found = property(key);
  if (!found) return {};
  return slot(found->index());
}

QVariant ManagedObject::primitiveValueForKeyWithoutKeeping(const QString& key) const {
  PropertyDescription* found = property(key);
  if (!found) return {};
  const int index = found->index();
  if (!context_ || !found->isAttribute()) return slot(index);
  if (fault_) context_->fulfillFault(const_cast<ManagedObject*>(this));
  if (loaded_[index]) return values_[index];
  return context_->readSlot(const_cast<ManagedObject*>(this), index);
}

void ManagedObject::setPrimitiveValue(const QVariant& value, const QString& key) {
  PropertyDescription* found = property(key);
  if (!found) {
    qWarning("cd::ManagedObject: %s has no property \"%s\"", qPrintable(entity_->name()),
             qPrintable(key));
    return;
  }
  ensureLoaded(found->index());
  values_[found->index()] = found->isAttribute()
                                ? static_cast<AttributeDescription*>(found)->canonicalValue(value)
                                : value;
}

void ManagedObject::setValue(const QVariant& value, const QString& key) {
  PropertyDescription* found = property(key);
  if (!found) {
    qWarning("cd::ManagedObject: %s has no property \"%s\"", qPrintable(entity_->name()),
             qPrintable(key));
    return;
  }
  ensureLoaded(found->index());
  if (found->isAttribute()) {
    willChangeValueForKey(key);
    values_[found->index()] = static_cast<AttributeDescription*>(found)->canonicalValue(value);
    didChangeValueForKey(key);
    return;
  }
  auto* relationship = static_cast<RelationshipDescription*>(found);
  if (!holdsObjects(relationship, value)) {
    // A QVariant of a subclass pointer would read as null and silently
    // clear the relationship.
    qWarning("cd::ManagedObject: %s.%s takes ManagedObject* values, not %s",
             qPrintable(entity_->name()), qPrintable(key), value.metaType().name());
    return;
  }
  if (relationship->isToMany()) {
    ObjectList objects = objectListFromVariant(value);
    for (ManagedObject* object : objects)
      if (!acceptsDestination(relationship, object)) return;
    setToMany(relationship, objects);
    return;
  }
  ManagedObject* object = value.value<ManagedObject*>();
  if (acceptsDestination(relationship, object)) setToOne(relationship, object, true);
}

bool ManagedObject::holdsObjects(RelationshipDescription* relationship, const QVariant& value) {
  if (!value.isValid()) return true;
  QMetaType type = value.metaType();
  if (!relationship->isToMany()) return type == QMetaType::fromType<ManagedObject*>();
  if (type == QMetaType::fromType<ObjectList>()) return true;
  if (type != QMetaType::fromType<QVariantList>()) return false;
  for (const QVariant& item : value.toList())
    if (item.metaType() != QMetaType::fromType<ManagedObject*>()) return false;
  return true;
}

ObjectList ManagedObject::objectListFromVariant(const QVariant& value) {
  if (value.metaType() != QMetaType::fromType<QVariantList>()) return value.value<ObjectList>();
  ObjectList objects;
  for (const QVariant& item : value.toList()) objects.append(item.value<ManagedObject*>());
  return objects;
}

bool ManagedObject::acceptsDestination(RelationshipDescription* relationship,
                                       ManagedObject* object) const {
  if (!object) return true;
  if (object->context_ == context_ &&
      object->entity_->isKindOfEntity(relationship->destinationEntity()))
    return true;
  qWarning("cd::ManagedObject: %s.%s cannot hold an object of %s from %s context",
           qPrintable(entity_->name()), qPrintable(relationship->name()),
           qPrintable(object->entity_->name()), object->context_ == context_ ? "this" : "another");
  return false;
}

void ManagedObject::willChangeValueForKey(const QString& key) {
  PropertyDescription* found = property(key);
  if (found && context_) {
    ensureLoaded(found->index());
    context_->recordWillChange(this, found->index());
  }
  fnd::Observable::willChangeValueForKey(key);
}

void ManagedObject::didChangeValueForKey(const QString& key) {
  if (context_ && property(key)) context_->recordDidChange(this);
  fnd::Observable::didChangeValueForKey(key);
}

void ManagedObject::willChange(fnd::KeyValueChangeKind kind, const fnd::IndexSet& indexes,
                               const QString& key) {
  PropertyDescription* found = property(key);
  if (found && context_) {
    ensureLoaded(found->index());
    context_->recordWillChange(this, found->index());
  }
  fnd::Observable::willChange(kind, indexes, key);
}

void ManagedObject::didChange(fnd::KeyValueChangeKind kind, const fnd::IndexSet& indexes,
                              const QString& key) {
  if (context_ && property(key)) context_->recordDidChange(this);
  fnd::Observable::didChange(kind, indexes, key);
}

void ManagedObject::restoreSlot(int index, const QVariant& value) {
  const QString& key = entity_->properties()[index]->name();
  ensureLoaded(index);
  willChangeValueForKey(key);
  values_[index] = value;
  didChangeValueForKey(key);
}

QVariantMap ManagedObject::changedValues() const {
  QVariantMap changes;
  const auto& properties = entity_->properties();
  for (int i = 0; i < int(properties.size()); ++i) {
    if (properties[i]->isTransient() || !loaded_[i] || fault_) continue;
    if (persisted_ && values_[i] == committed_[i]) continue;
    if (!persisted_ && !values_[i].isValid()) continue;
    changes.insert(properties[i]->name(), values_[i]);
  }
  return changes;
}

QVariantMap ManagedObject::committedValuesForKeys(const QStringList& keys) const {
  QVariantMap values;
  if (!persisted_) return values;
  const auto& properties = entity_->properties();
  for (int i = 0; i < int(properties.size()); ++i) {
    if (!keys.isEmpty() && !keys.contains(properties[i]->name())) continue;
    ensureLoaded(i);
    values.insert(properties[i]->name(), committed_[i]);
  }
  return values;
}

bool ManagedObject::validateValue(QVariant*, const QString&, fnd::Error*) { return true; }

bool ManagedObject::validateForInsert(fnd::Error* error) { return validateProperties(error); }

bool ManagedObject::validateForUpdate(fnd::Error* error) { return validateProperties(error); }

bool ManagedObject::validateForDelete(fnd::Error* error) {
  for (RelationshipDescription* relationship : entity_->relationships()) {
    if (relationship->deleteRule() != DeleteRule::Deny) continue;
    QVariant value = slot(relationship->index());
    bool empty = relationship->isToMany() ? value.value<ObjectList>().isEmpty()
                                          : value.value<ManagedObject*>() == nullptr;
    if (!empty)
      return fnd::fail(
          error, fnd::Error(fnd::CocoaErrorDomain, fnd::ValidationRelationshipDeniedDeleteError,
                            {{fnd::LocalizedDescriptionKey,
                              QStringLiteral("%1 cannot be deleted while its %2 has objects.")
                                  .arg(entity_->name(), relationship->name())},
                             {"NSValidationErrorKey", relationship->name()}}));
  }
  return true;
}

bool ManagedObject::validateProperties(fnd::Error* error) {
  for (PropertyDescription* found : entity_->properties()) {
    if (found->isTransient()) continue;
    int index = found->index();
    if (!loaded_[index] && !fault_) continue;  // unchanged lazy value
    QVariant value = slot(index);
    auto detail = [&](int code, const QString& why) {
      return fnd::fail(error, fnd::Error(fnd::CocoaErrorDomain, code,
                                         {{fnd::LocalizedDescriptionKey, why},
                                          {"NSValidationErrorKey", found->name()}}));
    };
    if (found->isToMany()) {
      auto* relationship = static_cast<RelationshipDescription*>(found);
      int count = int(value.value<ObjectList>().size());
      if (relationship->minCount() > 0 && count < relationship->minCount())
        return detail(
            fnd::ValidationRelationshipLacksMinimumCountError,
            QStringLiteral("%1.%2 has too few objects.").arg(entity_->name(), found->name()));
      if (relationship->maxCount() > 0 && count > relationship->maxCount())
        return detail(
            fnd::ValidationRelationshipExceedsMaximumCountError,
            QStringLiteral("%1.%2 has too many objects.").arg(entity_->name(), found->name()));
    } else {
      bool missing = found->isAttribute() ? !value.isValid() : !value.value<ManagedObject*>();
      if (missing && !found->isOptional())
        return detail(fnd::ValidationMissingMandatoryPropertyError,
                      QStringLiteral("%1.%2 is required.").arg(entity_->name(), found->name()));
    }
    if (!validateValue(&value, found->name(), error)) return false;
  }
  return true;
}

}  // namespace cd
