#include "coredata/MappingModel.h"

namespace cd {

namespace {

bool isNumeric(AttributeType type) {
  switch (type) {
    case AttributeType::Integer16:
    case AttributeType::Integer32:
    case AttributeType::Integer64:
    case AttributeType::Float:
    case AttributeType::Double:
    case AttributeType::Boolean:
      return true;
    default:
      return false;
  }
}

// The source counterpart of a destination entity or property: the one of
// the same name, else the one the destination's renaming identifier names.
template <class T>
T* counterpart(const QList<T*>& candidates, const QString& name, const QString& renamed) {
  for (T* candidate : candidates)
    if (candidate->name() == name) return candidate;
  if (renamed.isEmpty()) return nullptr;
  for (T* candidate : candidates)
    if (candidate->name() == renamed) return candidate;
  return nullptr;
}

bool cannotInfer(fnd::Error* error, const QString& why) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::InferredMappingModelError,
                   QStringLiteral("No mapping can be inferred: %1").arg(why));
}

bool mapAttributes(EntityDescription* source, EntityDescription* destination,
                   EntityMapping* mapping, fnd::Error* error) {
  QList<AttributeDescription*> sourceAttributes = source->attributes();
  for (AttributeDescription* attribute : destination->attributes()) {
    if (attribute->isTransient()) continue;
    AttributeDescription* from =
        counterpart(sourceAttributes, attribute->name(), attribute->renamingIdentifier());
    if (from && from->attributeType() != attribute->attributeType() &&
        !(isNumeric(from->attributeType()) && isNumeric(attribute->attributeType())))
      return cannotInfer(
          error, QStringLiteral("%1.%2 changed type").arg(destination->name(), attribute->name()));
    if (!from && !attribute->isOptional() && !attribute->defaultValue().isValid())
      return cannotInfer(error, QStringLiteral("%1.%2 is new, required and has no default")
                                    .arg(destination->name(), attribute->name()));
    mapping->attributeMappings.append({attribute->name(), from ? from->name() : QString(), {}});
  }
  return true;
}

bool mapRelationships(EntityDescription* source, EntityDescription* destination,
                      EntityMapping* mapping, fnd::Error* error) {
  QList<RelationshipDescription*> sourceRelationships = source->relationships();
  for (RelationshipDescription* relationship : destination->relationships()) {
    if (relationship->isTransient()) continue;
    RelationshipDescription* from =
        counterpart(sourceRelationships, relationship->name(), relationship->renamingIdentifier());
    if (from && from->isToMany() != relationship->isToMany())
      return cannotInfer(error, QStringLiteral("%1.%2 changed cardinality")
                                    .arg(destination->name(), relationship->name()));
    mapping->relationshipMappings.append(
        {relationship->name(), from ? from->name() : QString(), {}});
  }
  return true;
}

}  // namespace

const EntityMapping* MappingModel::mappingForDestinationEntity(const QString& name) const {
  for (const EntityMapping& mapping : entityMappings)
    if (mapping.kind != EntityMapping::Kind::Remove && mapping.destinationEntityName == name)
      return &mapping;
  return nullptr;
}

const EntityMapping* MappingModel::mappingForSourceEntity(const QString& name) const {
  for (const EntityMapping& mapping : entityMappings)
    if (mapping.kind != EntityMapping::Kind::Add && mapping.sourceEntityName == name)
      return &mapping;
  return nullptr;
}

std::optional<MappingModel> MappingModel::inferredMappingModel(
    const ManagedObjectModel& source, const ManagedObjectModel& destination, fnd::Error* error) {
  MappingModel model;
  QList<EntityDescription*> used;
  for (EntityDescription* entity : destination.entities()) {
    EntityDescription* from =
        counterpart(source.entities(), entity->name(), entity->renamingIdentifier());
    EntityMapping mapping;
    mapping.destinationEntityName = entity->name();
    if (!from) {
      mapping.kind = EntityMapping::Kind::Add;
      mapping.name = "Add" + entity->name();
      model.entityMappings.append(mapping);
      continue;
    }
    used.append(from);
    mapping.sourceEntityName = from->name();
    mapping.name = from->name() + "To" + entity->name();
    bool same = from->versionHash() == entity->versionHash();
    mapping.kind = same ? EntityMapping::Kind::Copy : EntityMapping::Kind::Transform;
    if (!mapAttributes(from, entity, &mapping, error) ||
        !mapRelationships(from, entity, &mapping, error))
      return std::nullopt;
    model.entityMappings.append(mapping);
  }
  for (EntityDescription* entity : source.entities()) {
    if (used.contains(entity)) continue;
    EntityMapping removal;
    removal.kind = EntityMapping::Kind::Remove;
    removal.name = "Remove" + entity->name();
    removal.sourceEntityName = entity->name();
    model.entityMappings.append(removal);
  }
  return model;
}

}  // namespace cd
