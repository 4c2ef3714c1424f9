// How the objects of one model version become objects of another: one
// entity mapping per destination entity, naming its source entity and where
// each destination property takes its value from (a source property, or an
// expression over the source object). Migrating a store with it is the job
// of the store migration step; this class only describes and infers.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

#include "coredata/ManagedObjectModel.h"
#include "coredata/Predicate.h"

namespace cd {

class ManagedObject;

struct PropertyMapping {
  QString name;        // destination property
  QString sourceName;  // source property copied when there is no expression; empty: default
  std::function<QVariant(const ManagedObject* source)> valueExpression;
};

struct EntityMapping {
  // Copy: same stored shape. Transform: properties change. Add: no source,
  // objects are new. Remove: source objects are dropped.
  enum class Kind { Copy, Transform, Add, Remove };

  QString name;
  Kind kind = Kind::Copy;
  QString sourceEntityName;
  QString destinationEntityName;
  QList<PropertyMapping> attributeMappings;
  QList<PropertyMapping> relationshipMappings;
  // Whether, with no property mappings listed, the properties the source
  // and destination entities share by name are carried over.
  bool mapsSameNamedAttributes = true, mapsSameNamedRelationships = true;
  // Which objects of the source entity the mapping takes (all when empty).
  Predicate sourcePredicate;
  // The registered EntityMigrationPolicy that carries the objects over;
  // empty for the default one.
  QString entityMigrationPolicyClassName;
};

class MappingModel {
 public:
  QList<EntityMapping> entityMappings;
  // The model versions the mapping goes from and to (the version
  // identifiers of their files); empty for an inferred mapping.
  QString sourceVersion, destinationVersion;

  const EntityMapping* mappingNamed(const QString& name) const;

  const EntityMapping* mappingForDestinationEntity(const QString& name) const;
  const EntityMapping* mappingForSourceEntity(const QString& name) const;

  // The mapping that carries every source entity and property to the
  // destination entity and property of the same name (or whose renaming
  // identifier names it). Numbers convert between numeric types; any other
  // type change, or a new mandatory attribute without a default, cannot be
  // inferred and fails with InferredMappingModelError.
  // A mapping model file, JSON:
  // {"sourceVersion": "1", "destinationVersion": "2",
  //  "entityMappings": [{"name": "LayerToLayer", "kind": "transform",
  //    "source": "Layer", "destination": "Layer", "policy": "LayerMigrationPolicy",
  //    "sourcePredicate": {"key": "isText", "equals": false},
  //    "attributes": [{"name": "xOrigin", "source": "x"}],
  //    "relationships": [{"name": "composedImage"}]}]}
  // A property without "source" takes the source property of its own name;
  // without "attributes" or "relationships", the properties of the same
  // name in both entities are carried over.
  static std::optional<MappingModel> mappingModelFromFile(const QString& path,
                                                          fnd::Error* error = nullptr);
  // The mapping model of a bundle (its folder "mappings") that goes from
  // `source` to `destination`, by their version identifiers.
  static std::optional<MappingModel> mappingModelFromBundle(const QString& bundle,
                                                            const ManagedObjectModel& source,
                                                            const ManagedObjectModel& destination);

  static std::optional<MappingModel> inferredMappingModel(const ManagedObjectModel& source,
                                                          const ManagedObjectModel& destination,
                                                          fnd::Error* error = nullptr);
};

}  // namespace cd
