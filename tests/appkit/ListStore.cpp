#include "ListStore.h"

#include <gtest/gtest.h>

#include "coredata/ManagedObject.h"
#include "coredata/ModelLoader.h"
#include "foundation/UndoManager.h"

namespace apptest {

namespace {

const char* kModel = R"({"entities": [
  {"name": "Deck", "properties": [
    {"name": "cards", "destination": "Card", "inverse": "deck", "toMany": true, "ordered": true,
     "deleteRule": "cascade"}]},
  {"name": "Card", "properties": [
    {"name": "name", "type": "string"}, {"name": "value", "type": "int32"},
    {"name": "deck", "destination": "Deck", "inverse": "cards", "deleteRule": "nullify"}]}]})";

}  // namespace

ListStore::ListStore() {
  cd::ModelLoader loader;
  fnd::Error error;
  EXPECT_TRUE(loader.addJson(kModel, "cards.json", &error));
  model = loader.build(&error);
  coordinator = std::make_unique<cd::PersistentStoreCoordinator>(model);
  coordinator->addPersistentStoreWithType(cd::InMemoryStoreType, {}, {}, {}, &error);
  context = std::make_unique<cd::ManagedObjectContext>();
  context->setPersistentStoreCoordinator(coordinator.get());
  context->undoManager()->setGroupsByEvent(false);
}

ListStore::~ListStore() = default;

cd::ManagedObject* ListStore::card(const QString& name, int value) {
  cd::ManagedObject* card = context->insertNewObjectForEntityForName("Card");
  card->setValue(name, "name");
  card->setValue(value, "value");
  return card;
}

cd::ManagedObject* ListStore::deck(const QStringList& cardNames) {
  cd::ManagedObject* deck = context->insertNewObjectForEntityForName("Deck");
  for (const QString& name : cardNames) deck->addObject(card(name), "cards");
  return deck;
}

void ListStore::step(const std::function<void()>& body) {
  context->undoManager()->beginUndoGrouping();
  body();
  context->processPendingChanges();
  context->undoManager()->endUndoGrouping();
}

QStringList namesOf(const cd::ObjectList& objects) {
  QStringList names;
  for (cd::ManagedObject* object : objects) names.append(object->valueForKey("name").toString());
  return names;
}

}  // namespace apptest
