// Gives a migrated composed image its layers in the order of their old
// "index" values, as text layers or plain layers.
#pragma once

#include <functional>

#include "coredata/EntityMigrationPolicy.h"
#include "coredata/ManagedObject.h"

class ComposedImageMigrationPolicy : public cd::EntityMigrationPolicy {
 public:
  bool createRelationshipsForDestinationInstance(cd::ManagedObject* destination,
                                                 const cd::EntityMapping& mapping,
                                                 cd::MigrationManager& manager,
                                                 fnd::Error* error) override;
};

// The last destination object made from each of `sources` by the mapping
// `mappingOf` names for it, in the order of the sources' "index" values;
// sources without one are skipped. Ties keep their order, so two
// migrations of one file agree.
cd::ObjectList destinationsInIndexOrder(
    const cd::MigrationManager& manager, cd::ObjectList sources,
    const std::function<QString(cd::ManagedObject*)>& mappingOf);
