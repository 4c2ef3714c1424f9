#include "model/IMAManagedObjectContext.h"

IMAManagedObjectContext::IMAManagedObjectContext(ConcurrencyType type)
    : cd::ManagedObjectContext(type) {}

IMAManagedObjectContext::~IMAManagedObjectContext() = default;

IMAManagedObjectContext* IMAManagedObjectContext::fromContext(cd::ManagedObjectContext* context) {
  return dynamic_cast<IMAManagedObjectContext*>(context);
}
