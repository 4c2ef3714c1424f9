// Registers the entity migration policies the mapping from the first model
// version names; idempotent.
#pragma once

void registerMigrationPolicies();
