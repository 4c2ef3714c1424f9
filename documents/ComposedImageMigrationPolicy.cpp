#include "documents/ComposedImageMigrationPolicy.h"

#include <algorithm>

#include "coredata/MigrationManager.h"

cd::ObjectList destinationsInIndexOrder(
    const cd::MigrationManager& manager, cd::ObjectList sources,
    const std::function<QString(cd::ManagedObject*)>& mappingOf) {
  std::stable_sort(sources.begin(), sources.end(), [](cd::ManagedObject* a, cd::ManagedObject* b) {
    return a->valueForKey("index").toLongLong() < b->valueForKey("index").toLongLong();
  });
  cd::ObjectList destinations;
  for (cd::ManagedObject* source : sources)
    if (cd::ManagedObject* made =
            manager.lastDestinationInstanceForEntityMappingNamed(mappingOf(source), source))
      destinations.append(made);
  return destinations;
}

bool ComposedImageMigrationPolicy::createRelationshipsForDestinationInstance(
    cd::ManagedObject* destination, const cd::EntityMapping& mapping, cd::MigrationManager& manager,
    fnd::Error* error) {
  if (!EntityMigrationPolicy::createRelationshipsForDestinationInstance(destination, mapping,
                                                                        manager, error))
    return false;
  cd::ManagedObject* source =
      manager.lastSourceInstanceForEntityMappingNamed(mapping.name, destination);
  if (!source) return true;
  const cd::ObjectList layers = destinationsInIndexOrder(
      manager, source->relatedObjects("layers"), [](cd::ManagedObject* layer) {
        return layer->valueForKey("isText").toBool() ? QStringLiteral("LayerToTextLayer")
                                                     : QStringLiteral("LayerToLayer");
      });
  if (!layers.isEmpty()) destination->setValue(QVariant::fromValue(layers), "layers");
  return true;
}
