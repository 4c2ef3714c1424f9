#include "documents/ComposedImageMigrationPolicy.h"

#include <algorithm>

#include "coredata/MigrationManager.h"

cd::ObjectList sortedByIndex(cd::ObjectList objects) {
  std::stable_sort(objects.begin(), objects.end(), [](cd::ManagedObject* a, cd::ManagedObject* b) {
    return a->valueForKey("index").toLongLong() < b->valueForKey("index").toLongLong();
  });
  return objects;
}

bool ComposedImageMigrationPolicy::createRelationshipsForDestinationInstance(
    cd::ManagedObject* destination, const cd::EntityMapping& mapping, cd::MigrationManager& manager,
    fnd::Error* error) {
  if (!EntityMigrationPolicy::createRelationshipsForDestinationInstance(destination, mapping,
                                                                        manager, error))
    return false;
  const cd::ObjectList sources =
      manager.sourceInstancesForEntityMappingNamed(mapping.name, {destination});
  if (sources.isEmpty()) return true;
  cd::ObjectList layers;
  for (cd::ManagedObject* layer : sortedByIndex(sources.last()->relatedObjects("layers"))) {
    const QString name =
        layer->valueForKey("isText").toBool() ? "LayerToTextLayer" : "LayerToLayer";
    const cd::ObjectList made = manager.destinationInstancesForEntityMappingNamed(name, {layer});
    if (!made.isEmpty()) layers.append(made.last());
  }
  if (!layers.isEmpty()) destination->setValue(QVariant::fromValue(layers), "layers");
  return true;
}
