#include "documents/FilterParameterMigrationPolicy.h"

#include <QColor>

#include "coredata/MigrationManager.h"
#include "graphics/ArchivedColor.h"

bool FilterParameterMigrationPolicy::createDestinationInstancesForSourceInstance(
    cd::ManagedObject* source, const cd::EntityMapping& mapping, cd::MigrationManager& manager,
    fnd::Error* error) {
  if (!EntityMigrationPolicy::createDestinationInstancesForSourceInstance(source, mapping, manager,
                                                                          error))
    return false;
  cd::ManagedObject* made =
      manager.lastDestinationInstanceForEntityMappingNamed(mapping.name, source);
  if (!made) return true;
  auto component = [&](const char* key) {
    return std::clamp(source->valueForKey(key).toDouble(), 0.0, 1.0);
  };
  const QColor color =
      QColor::fromRgbF(float(component("redValue")), float(component("greenValue")),
                       float(component("blueValue")), float(component("alphaValue")));
  made->setValue(QVariant::fromValue(gfx::codingForColor(color)), "color");
  return true;
}
