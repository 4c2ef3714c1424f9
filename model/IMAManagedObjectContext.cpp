#include "model/IMAManagedObjectContext.h"

#include <QHash>
#include <mutex>

namespace {

std::mutex gLiveContextsMutex;
QHash<cd::ManagedObjectContext*, IMAManagedObjectContext*>& liveContexts() {
  static QHash<cd::ManagedObjectContext*, IMAManagedObjectContext*> contexts;
  return contexts;
}

}  // namespace

IMAManagedObjectContext::IMAManagedObjectContext(ConcurrencyType type)
    : cd::ManagedObjectContext(type) {
  std::lock_guard<std::mutex> lock(gLiveContextsMutex);
  liveContexts().insert(this, this);
}

IMAManagedObjectContext::~IMAManagedObjectContext() {
  std::lock_guard<std::mutex> lock(gLiveContextsMutex);
  liveContexts().remove(this);
}

IMAManagedObjectContext* IMAManagedObjectContext::fromContext(cd::ManagedObjectContext* context) {
  if (!context) return nullptr;
  std::lock_guard<std::mutex> lock(gLiveContextsMutex);
  return liveContexts().value(context, nullptr);
}
