#include "coredata/EntityClassRegistry.h"

#include <QHash>
#include <mutex>

#include "coredata/ManagedObject.h"

namespace cd {

namespace {

struct Registry {
  std::mutex mutex;
  QHash<QString, EntityClassRegistry::Factory> factories;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

void EntityClassRegistry::registerClass(const QString& className, Factory factory) {
  std::lock_guard lock(registry().mutex);
  registry().factories.insert(className, std::move(factory));
}

bool EntityClassRegistry::isRegistered(const QString& className) {
  std::lock_guard lock(registry().mutex);
  return registry().factories.contains(className);
}

ManagedObject* EntityClassRegistry::create(const QString& className) {
  Factory factory;
  {
    std::lock_guard lock(registry().mutex);
    factory = registry().factories.value(className);
  }
  return factory ? factory() : new ManagedObject;
}

}  // namespace cd
