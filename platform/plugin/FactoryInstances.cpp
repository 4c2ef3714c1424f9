#include "plugin/FactoryInstances.h"

#include <map>
#include <mutex>

namespace plugin {

namespace {

std::mutex gMutex;

std::map<UUID, int>& counts() {
  static std::map<UUID, int> instances;
  return instances;
}

}  // namespace

void FactoryInstances::addInstanceForFactory(const UUID& factoryID) {
  std::lock_guard lock(gMutex);
  ++counts()[factoryID];
}

void FactoryInstances::removeInstanceForFactory(const UUID& factoryID) {
  std::lock_guard lock(gMutex);
  auto found = counts().find(factoryID);
  if (found == counts().end()) return;
  if (--found->second <= 0) counts().erase(found);
}

int FactoryInstances::instanceCountForFactory(const UUID& factoryID) {
  std::lock_guard lock(gMutex);
  auto found = counts().find(factoryID);
  return found == counts().end() ? 0 : found->second;
}

}  // namespace plugin
