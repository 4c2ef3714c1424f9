// Makes the colour of a migrated filter parameter from its four old
// component values.
#pragma once

#include "coredata/EntityMigrationPolicy.h"

class FilterParameterMigrationPolicy : public cd::EntityMigrationPolicy {
 public:
  bool createDestinationInstancesForSourceInstance(cd::ManagedObject* source,
                                                   const cd::EntityMapping& mapping,
                                                   cd::MigrationManager& manager,
                                                   fnd::Error* error) override;
};
