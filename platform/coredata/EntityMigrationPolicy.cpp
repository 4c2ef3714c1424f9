#include "coredata/EntityMigrationPolicy.h"

#include <QHash>
#include <mutex>

#include "coredata/EntityDescription.h"
#include "coredata/ManagedObject.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/MigrationManager.h"
#include "coredata/RelationshipDescription.h"

namespace cd {
namespace {

struct Registry {
  std::mutex mutex;
  QHash<QString, EntityMigrationPolicy::Factory> factories;
};

Registry& registry() {
  static Registry shared;
  return shared;
}

// The mapped properties, or, when the mapping lists none and carries
// properties by name, every one of `names` that the source entity also has.
QList<PropertyMapping> mappedProperties(const QList<PropertyMapping>& listed, bool sameNames,
                                        const QStringList& names, const EntityDescription* source) {
  if (!listed.isEmpty() || !sameNames) return listed;
  QList<PropertyMapping> same;
  for (const QString& name : names)
    if (source->propertiesByName().contains(name)) same.append({name, name, {}});
  return same;
}

QStringList namesOf(const auto& properties) {
  QStringList names;
  for (const auto* property : properties) names.append(property->name());
  return names;
}

}  // namespace

bool EntityMigrationPolicy::createDestinationInstancesForSourceInstance(
    ManagedObject* source, const EntityMapping& mapping, MigrationManager& manager,
    fnd::Error* error) {
  ManagedObject* destination =
      manager.destinationContext()->insertNewObjectForEntityForName(mapping.destinationEntityName);
  if (!destination)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::EntityMigrationPolicyError,
                     QStringLiteral("The destination model has no entity %1.")
                         .arg(mapping.destinationEntityName));
  const auto attributes =
      mappedProperties(mapping.attributeMappings, mapping.mapsSameNamedAttributes,
                       namesOf(destination->entity()->attributes()), source->entity());
  for (const PropertyMapping& attribute : attributes) {
    if (attribute.valueExpression)
      destination->setValue(attribute.valueExpression(source), attribute.name);
    else if (source->entity()->propertiesByName().contains(attribute.sourceName))
      destination->setValue(source->valueForKey(attribute.sourceName), attribute.name);
  }
  manager.associateSourceInstance(source, destination, mapping);
  return true;
}

bool EntityMigrationPolicy::createRelationshipsForDestinationInstance(ManagedObject* destination,
                                                                      const EntityMapping& mapping,
                                                                      MigrationManager& manager,
                                                                      fnd::Error*) {
  const ObjectList sources =
      manager.sourceInstancesForEntityMappingNamed(mapping.name, {destination});
  if (sources.isEmpty()) return true;
  ManagedObject* source = sources.last();
  const auto relationships =
      mappedProperties(mapping.relationshipMappings, mapping.mapsSameNamedRelationships,
                       namesOf(destination->entity()->relationships()), source->entity());
  for (const PropertyMapping& mapped : relationships) {
    auto* relationship = dynamic_cast<RelationshipDescription*>(
        destination->entity()->propertiesByName().value(mapped.name));
    auto* sourceRelationship = dynamic_cast<RelationshipDescription*>(
        source->entity()->propertiesByName().value(mapped.sourceName));
    if (!relationship || !sourceRelationship) continue;
    const ObjectList related = sourceRelationship->isToMany()
                                   ? source->relatedObjects(mapped.sourceName)
                                   : ObjectList{source->relatedObject(mapped.sourceName)};
    // A source object may have become several destination objects (a layer
    // and its image): the relationship takes those of its entity.
    ObjectList targets;
    for (ManagedObject* object : related)
      if (object)
        for (ManagedObject* made : manager.destinationInstancesForSourceInstance(object))
          if (made->entity()->isKindOfEntity(relationship->destinationEntity()))
            targets.append(made);
    // Setting one side of a pair also sets its inverse: a value already in
    // place is left alone so the order an earlier mapping gave stays.
    if (relationship->isToMany()) {
      if (destination->relatedObjects(mapped.name) != targets)
        destination->setValue(QVariant::fromValue(targets), mapped.name);
    } else {
      ManagedObject* target = targets.isEmpty() ? nullptr : targets.first();
      if (destination->relatedObject(mapped.name) != target)
        destination->setValue(QVariant::fromValue(target), mapped.name);
    }
  }
  return true;
}

void EntityMigrationPolicy::registerPolicy(const QString& className, Factory factory) {
  std::lock_guard lock(registry().mutex);
  registry().factories.insert(className, std::move(factory));
}

std::unique_ptr<EntityMigrationPolicy> EntityMigrationPolicy::create(const QString& className) {
  if (className.isEmpty()) return std::make_unique<EntityMigrationPolicy>();
  Factory factory;
  {
    std::lock_guard lock(registry().mutex);
    factory = registry().factories.value(className);
  }
  return factory ? factory() : nullptr;
}

}  // namespace cd
