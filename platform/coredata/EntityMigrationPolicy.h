// How the objects of one entity mapping are carried from the source store to
// the destination store. The base policy makes one destination object per
// source object with the mapped attributes, then sets the mapped
// relationships to the destination objects of their source objects; a
// program's own policy, registered by name and named by its mapping, adds
// what a mapping cannot express.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "foundation/Error.h"

namespace cd {

class ManagedObject;
class MigrationManager;
struct EntityMapping;

class EntityMigrationPolicy {
 public:
  virtual ~EntityMigrationPolicy() = default;

  virtual bool createDestinationInstancesForSourceInstance(ManagedObject* source,
                                                           const EntityMapping& mapping,
                                                           MigrationManager& manager,
                                                           fnd::Error* error);
  virtual bool createRelationshipsForDestinationInstance(ManagedObject* destination,
                                                         const EntityMapping& mapping,
                                                         MigrationManager& manager,
                                                         fnd::Error* error);

  using Factory = std::function<std::unique_ptr<EntityMigrationPolicy>()>;
  // Later registrations replace earlier ones. Thread-safe.
  static void registerPolicy(const QString& className, Factory factory);
  template <class T>
  static void registerPolicy(const QString& className) {
    registerPolicy(className, [] { return std::make_unique<T>(); });
  }
  // The registered policy, the base one for an empty name, null for an
  // unknown one.
  static std::unique_ptr<EntityMigrationPolicy> create(const QString& className);
};

}  // namespace cd
