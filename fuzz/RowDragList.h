// Five objects of a small in-memory store: the list the row-drag fuzz
// target reorders and the seeds name rows of.
#pragma once

#include <memory>

#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"

struct RowDragList {
  RowDragList();
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<cd::ManagedObjectContext> context;
  cd::ObjectList objects;
};
