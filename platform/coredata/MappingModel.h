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
};

class MappingModel {
 public:
  QList<EntityMapping> entityMappings;

  const EntityMapping* mappingForDestinationEntity(const QString& name) const;
  const EntityMapping* mappingForSourceEntity(const QString& name) const;

  // The mapping that carries every source entity and property to the
  // destination entity and property of the same name (or whose renaming
  // identifier names it). Numbers convert between numeric types; any other
  // type change, or a new mandatory attribute without a default, cannot be
  // inferred and fails with InferredMappingModelError.
  static std::optional<MappingModel> inferredMappingModel(const ManagedObjectModel& source,
                                                          const ManagedObjectModel& destination,
                                                          fnd::Error* error = nullptr);
};

}  // namespace cd
