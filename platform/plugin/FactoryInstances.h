// How many instances each factory has made and not yet freed. A plug-in
// registers every instance it makes and removes it when the instance goes,
// so the code that loaded it can tell when none of its objects is left.
#pragma once

#include "plugin/UUID.h"

namespace plugin {

class FactoryInstances {
 public:
  static void addInstanceForFactory(const UUID& factoryID);
  static void removeInstanceForFactory(const UUID& factoryID);
  static int instanceCountForFactory(const UUID& factoryID);
};

}  // namespace plugin
