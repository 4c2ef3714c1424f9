#include "documents/MigrationPolicies.h"

#include <mutex>

#include "documents/ComposedImageMigrationPolicy.h"
#include "documents/FilterParameterMigrationPolicy.h"
#include "documents/LayerMigrationPolicy.h"

void registerMigrationPolicies() {
  static std::once_flag once;
  std::call_once(once, [] {
    cd::EntityMigrationPolicy::registerPolicy<ComposedImageMigrationPolicy>(
        "ComposedImageMigrationPolicy");
    cd::EntityMigrationPolicy::registerPolicy<FilterParameterMigrationPolicy>(
        "FilterParameterMigrationPolicy");
    cd::EntityMigrationPolicy::registerPolicy<LayerMigrationPolicy>("LayerMigrationPolicy");
  });
}
