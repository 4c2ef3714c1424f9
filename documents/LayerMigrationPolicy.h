// Carries a layer of the first model version over: the text of a text layer
// from its archived data, the pixels of any other layer as its image, and
// its filters in the order of their old "index" values.
#pragma once

#include "coredata/EntityMigrationPolicy.h"

class LayerMigrationPolicy : public cd::EntityMigrationPolicy {
 public:
  bool createDestinationInstancesForSourceInstance(cd::ManagedObject* source,
                                                   const cd::EntityMapping& mapping,
                                                   cd::MigrationManager& manager,
                                                   fnd::Error* error) override;
  bool createRelationshipsForDestinationInstance(cd::ManagedObject* destination,
                                                 const cd::EntityMapping& mapping,
                                                 cd::MigrationManager& manager,
                                                 fnd::Error* error) override;
};
