// Gives a migrated composed image its layers in the order of their old
// "index" values, as text layers or plain layers.
#pragma once

#include "coredata/EntityMigrationPolicy.h"
#include "coredata/ManagedObject.h"

class ComposedImageMigrationPolicy : public cd::EntityMigrationPolicy {
 public:
  bool createRelationshipsForDestinationInstance(cd::ManagedObject* destination,
                                                 const cd::EntityMapping& mapping,
                                                 cd::MigrationManager& manager,
                                                 fnd::Error* error) override;
};

// The objects sorted by their "index" values, ties kept in their order, so
// two migrations of one file agree.
cd::ObjectList sortedByIndex(cd::ObjectList objects);
