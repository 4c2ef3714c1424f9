#include "documents/LayerMigrationPolicy.h"

#include "coredata/MigrationManager.h"
#include "documents/ComposedImageMigrationPolicy.h"
#include "model/TextLayerAttributedStringCoding.h"

bool LayerMigrationPolicy::createDestinationInstancesForSourceInstance(
    cd::ManagedObject* source, const cd::EntityMapping& mapping, cd::MigrationManager& manager,
    fnd::Error* error) {
  if (!EntityMigrationPolicy::createDestinationInstancesForSourceInstance(source, mapping, manager,
                                                                          error))
    return false;
  cd::ManagedObject* made =
      manager.lastDestinationInstanceForEntityMappingNamed(mapping.name, source);
  if (!made || mapping.destinationEntityName != "TextLayer") return true;
  // Only an archived attributed string is taken; anything else leaves the
  // text layer empty rather than failing the whole document.
  gfx::AttributedString text;
  if (!attributedStringWithArchivedData(source->valueForKey("attributeStringData").toByteArray(),
                                        &text))
    text = gfx::AttributedString();
  made->setValue(TextLayerAttributedStringCoding::valueWithAttributedString(text),
                 "attributedString");
  return true;
}

bool LayerMigrationPolicy::createRelationshipsForDestinationInstance(
    cd::ManagedObject* destination, const cd::EntityMapping& mapping, cd::MigrationManager& manager,
    fnd::Error* error) {
  if (!EntityMigrationPolicy::createRelationshipsForDestinationInstance(destination, mapping,
                                                                        manager, error))
    return false;
  const cd::ObjectList sources =
      manager.sourceInstancesForEntityMappingNamed(mapping.name, {destination});
  if (sources.isEmpty()) return true;
  if (mapping.destinationEntityName != "TextLayer") {
    const cd::ObjectList images =
        manager.destinationInstancesForEntityMappingNamed("LayerToImage", sources);
    if (!images.isEmpty()) destination->setValue(QVariant::fromValue(images.last()), "image");
  }
  const cd::ObjectList filters =
      destinationsInIndexOrder(manager, sources.last()->relatedObjects("filters"),
                               [](cd::ManagedObject*) { return QStringLiteral("FilterToFilter"); });
  if (!filters.isEmpty()) destination->setValue(QVariant::fromValue(filters), "filters");
  return true;
}
