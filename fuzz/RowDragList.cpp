#include "RowDragList.h"

#include "coredata/ManagedObject.h"
#include "coredata/ModelLoader.h"

RowDragList::RowDragList() {
  cd::ModelLoader loader;
  loader.addJson(R"({"entities": [{"name": "Row", "properties": [
      {"name": "name", "type": "string"}]}]})",
                 "rows.json");
  coordinator = std::make_unique<cd::PersistentStoreCoordinator>(loader.build());
  coordinator->addPersistentStoreWithType(cd::InMemoryStoreType, {}, {}, {});
  context = std::make_unique<cd::ManagedObjectContext>();
  context->setPersistentStoreCoordinator(coordinator.get());
  for (const char* name : {"A", "B", "C", "D", "E"}) {
    cd::ManagedObject* row = context->insertNewObjectForEntityForName("Row");
    row->setValue(QString(name), "name");
    objects.append(row);
  }
}
