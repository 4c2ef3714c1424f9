#include "coredata/EntityDescription.h"

#include <QCryptographicHash>

#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"

namespace cd {

EntityDescription* EntityDescription::entityForName(const QString& name,
                                                    ManagedObjectContext* context) {
  if (!context || !context->persistentStoreCoordinator()) return nullptr;
  return context->persistentStoreCoordinator()->managedObjectModel()->entityNamed(name);
}

ManagedObject* EntityDescription::insertNewObjectForEntityForName(const QString& name,
                                                                  ManagedObjectContext* context) {
  return context ? context->insertNewObjectForEntityForName(name) : nullptr;
}

EntityDescription* EntityDescription::rootEntity() {
  EntityDescription* entity = this;
  while (entity->superentity_) entity = entity->superentity_;
  return entity;
}

const EntityDescription* EntityDescription::rootEntity() const {
  return const_cast<EntityDescription*>(this)->rootEntity();
}

bool EntityDescription::isKindOfEntity(const EntityDescription* other) const {
  for (const EntityDescription* entity = this; entity; entity = entity->superentity_)
    if (entity == other) return true;
  return false;
}

int EntityDescription::indexOfProperty(const QString& name) const {
  PropertyDescription* property = propertiesByName_.value(name);
  return property ? property->index() : -1;
}

QList<AttributeDescription*> EntityDescription::attributes() const {
  QList<AttributeDescription*> result;
  for (PropertyDescription* property : properties_)
    if (property->isAttribute()) result.append(static_cast<AttributeDescription*>(property));
  return result;
}

QList<RelationshipDescription*> EntityDescription::relationships() const {
  QList<RelationshipDescription*> result;
  for (PropertyDescription* property : properties_)
    if (property->isRelationship()) result.append(static_cast<RelationshipDescription*>(property));
  return result;
}

AttributeDescription* EntityDescription::attributeNamed(const QString& name) const {
  PropertyDescription* property = propertiesByName_.value(name);
  return property && property->isAttribute() ? static_cast<AttributeDescription*>(property)
                                             : nullptr;
}

RelationshipDescription* EntityDescription::relationshipNamed(const QString& name) const {
  PropertyDescription* property = propertiesByName_.value(name);
  return property && property->isRelationship() ? static_cast<RelationshipDescription*>(property)
                                                : nullptr;
}

QByteArray EntityDescription::versionHash() const {
  QCryptographicHash hash(QCryptographicHash::Sha256);
  hash.addData(name_.toUtf8());
  hash.addData(superentity_ ? superentity_->name().toUtf8() : QByteArray("-"));
  hash.addData(abstract_ ? "abstract" : "concrete");
  hash.addData(versionHashModifier_.toUtf8());
  // Sorted by name so that reordering declarations alone keeps stores
  // compatible: the columns do not depend on the order.
  QList<PropertyDescription*> sorted;
  for (const auto& property : declared_) sorted.append(property.get());
  std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->name() < b->name(); });
  for (PropertyDescription* property : sorted) {
    hash.addData(property->versionHashInput());
    hash.addData("\n");
  }
  return hash.result();
}

void EntityDescription::addProperty(std::unique_ptr<PropertyDescription> property) {
  property->entity_ = this;
  declared_.push_back(std::move(property));
}

void EntityDescription::setSuperentity(EntityDescription* parent) {
  superentity_ = parent;
  if (parent) parent->subentities_.append(this);
}

void EntityDescription::finalize(ManagedObjectModel* model, int number) {
  model_ = model;
  number_ = number;
  properties_.clear();
  propertiesByName_.clear();
  if (superentity_) {
    properties_ = superentity_->properties_;
    propertiesByName_ = superentity_->propertiesByName_;
  }
  for (const auto& property : declared_) {
    property->index_ = int(properties_.size());
    properties_.append(property.get());
    propertiesByName_.insert(property->name(), property.get());
  }
}

}  // namespace cd
