#include <gtest/gtest.h>

#include <functional>

#include "ListStore.h"
#include "appkit/ArrayController.h"
#include "appkit/KeyValuePath.h"
#include "appkit/SelectionMarker.h"
#include "appkit/SelectionProxy.h"
#include "foundation/UndoManager.h"

using apptest::namesOf;

namespace {

cd::ObjectList cards(apptest::ListStore& store, const QStringList& names) {
  cd::ObjectList objects;
  for (const QString& name : names) objects.append(store.card(name));
  return objects;
}

}  // namespace

TEST(ArrayController, InsertionRemovalAndNewContentFollowTheSelectionRules) {
  struct Case {
    const char* what;
    QList<int> selected;
    bool selectsInserted, avoidsEmpty;
    std::function<void(ui::ArrayController&, apptest::ListStore&)> change;
    QStringList arranged;
    QList<int> selection;
  };
  const Case table[] = {
      {"insertion selects the inserted object",
       {1},
       true,
       true,
       [](auto& c, auto& s) { c.insertObject(s.card("X"), 2); },
       {"A", "B", "X", "C", "D", "E"},
       {2}},
      {"insertion without selecting shifts the selection",
       {1, 3},
       false,
       true,
       [](auto& c, auto& s) { c.insertObject(s.card("X"), 2); },
       {"A", "B", "X", "C", "D", "E"},
       {1, 4}},
      {"remove: takes the selected rows and selects the row in the first one's place",
       {1, 3},
       true,
       true,
       [](auto& c, auto&) { c.remove(nullptr); },
       {"A", "C", "E"},
       {1}},
      {"removing the selected last row selects the new last row",
       {4},
       true,
       true,
       [](auto& c, auto&) { c.remove(nullptr); },
       {"A", "B", "C", "D"},
       {3}},
      {"without avoiding an empty selection nothing stays selected",
       {1},
       true,
       false,
       [](auto& c, auto&) { c.remove(nullptr); },
       {"A", "C", "D", "E"},
       {}},
      {"removing an unselected row keeps the selected object",
       {2},
       true,
       true,
       [](auto& c, auto&) { c.removeObjectAtArrangedObjectIndex(0); },
       {"B", "C", "D", "E"},
       {1}},
      {"removing every row leaves an empty selection",
       {0, 1, 2, 3, 4},
       true,
       true,
       [](auto& c, auto&) { c.remove(nullptr); },
       {},
       {}},
      {"new content keeps the selected objects it still holds",
       {2, 4},
       true,
       true,
       [](auto& c, auto&) {
         cd::ObjectList content = c.content();
         c.setContent({content[4], content[0], content[2]});
       },
       {"E", "A", "C"},
       {0, 2}},
      {"new content without a selected object selects the first row",
       {0},
       true,
       true,
       [](auto& c, auto& s) {
         c.setContent(cards(s, {"P", "Q"}));
       },
       {"P", "Q"},
       {0}},
  };
  for (const Case& row : table) {
    apptest::ListStore store;
    ui::ArrayController controller;
    controller.setSelectsInsertedObjects(row.selectsInserted);
    controller.setAvoidsEmptySelection(row.avoidsEmpty);
    controller.setContent(cards(store, {"A", "B", "C", "D", "E"}));
    EXPECT_EQ(controller.selectionIndexes(), row.avoidsEmpty ? fnd::IndexSet(0) : fnd::IndexSet())
        << row.what;
    controller.setSelectionIndexes(fnd::IndexSet::fromList(row.selected));
    row.change(controller, store);
    EXPECT_EQ(namesOf(controller.arrangedObjects()), row.arranged) << row.what;
    EXPECT_EQ(controller.selectionIndexes().toList(), row.selection) << row.what;
    EXPECT_EQ(controller.selectedObjects().size(), row.selection.size()) << row.what;
  }
}

// The proxy answers the selected objects' common value or a marker, writes
// to every selected object, and observers of a path through it hear both a
// new selection and a change of a selected object.
TEST(ArrayController, SelectionProxyAnswersMarkersAndWritesThrough) {
  apptest::ListStore store;
  ui::ArrayController controller;
  controller.setAvoidsEmptySelection(false);
  cd::ObjectList objects = {store.card("A", 5), store.card("B", 5), store.card("C", 7)};
  controller.setContent(objects);

  struct Case {
    QList<int> selected;
    QVariant value;
  };
  const Case table[] = {
      {{}, ui::selectionMarker(ui::SelectionMarker::NoSelection)},        {{0}, 5}, {{0, 1}, 5},
      {{0, 2}, ui::selectionMarker(ui::SelectionMarker::MultipleValues)}, {{2}, 7},
  };
  for (const Case& row : table) {
    controller.setSelectionIndexes(fnd::IndexSet::fromList(row.selected));
    EXPECT_EQ(ui::valueForKeyPath(&controller, "selection.value"), row.value)
        << row.selected.size();
  }

  int heard = 0;
  ui::KeyPathObserver observer(&controller, "selection.value", [&] { ++heard; });
  controller.setSelectionIndexes(fnd::IndexSet::fromList({0, 2}));
  EXPECT_EQ(heard, 1);
  objects[2]->setValue(6, "value");
  EXPECT_EQ(heard, 2);
  objects[1]->setValue(1, "value");  // not selected
  EXPECT_EQ(heard, 2);

  ui::setValueForKeyPath(&controller, "selection.value", 9);
  EXPECT_EQ(objects[0]->valueForKey("value"), 9);
  EXPECT_EQ(objects[1]->valueForKey("value"), 1);
  EXPECT_EQ(objects[2]->valueForKey("value"), 9);
  EXPECT_EQ(observer.value(), 9);
}

TEST(ArrayController, WritesThroughToAnOrderedRelationshipAndFollowsIt) {
  apptest::ListStore store;
  cd::ManagedObject* deck = store.deck({"A", "B", "C"});
  ui::ArrayController controller;
  controller.setContentRelationship(deck, "cards");
  EXPECT_EQ(controller.managedObjectContext(), store.context.get());
  store.context->processPendingChanges();

  cd::ManagedObject* x = store.card("X");
  store.step([&] { controller.insertObject(x, 1); });
  EXPECT_EQ(namesOf(deck->relatedObjects("cards")), QStringList({"A", "X", "B", "C"}));
  EXPECT_EQ(x->relatedObject("deck"), deck);
  EXPECT_EQ(controller.selectedObjects(), cd::ObjectList({x}));

  store.step([&] { controller.remove(nullptr); });
  EXPECT_EQ(namesOf(deck->relatedObjects("cards")), QStringList({"A", "B", "C"}));
  EXPECT_EQ(x->relatedObject("deck"), nullptr);
  EXPECT_EQ(namesOf(controller.selectedObjects()), QStringList({"B"}));

  // Undo changes the relationship behind the controller's back.
  store.context->undoManager()->undo();
  EXPECT_EQ(namesOf(controller.arrangedObjects()), QStringList({"A", "X", "B", "C"}));
  EXPECT_EQ(namesOf(controller.selectedObjects()), QStringList({"B"}));

  store.step([&] { deck->addObject(store.card("D"), "cards"); });
  EXPECT_EQ(namesOf(controller.arrangedObjects()), QStringList({"A", "X", "B", "C", "D"}));
  EXPECT_EQ(namesOf(controller.selectedObjects()), QStringList({"B"}));
}

// Observers of the derived keys hear one change per selection change.
TEST(ArrayController, SelectionKeysAnnounceEachChangeOnce) {
  apptest::ListStore store;
  ui::ArrayController controller;
  controller.setContent(cards(store, {"A", "B", "C"}));
  QStringList heard;
  for (const QString key : {"selectionIndexes", "selectedObjects", "selection", "selectionIndex"})
    controller.addObserver(
        key, 0, [&](fnd::Observable*, const QString& changed, const fnd::KeyValueChange&) {
          heard.append(changed);
        });
  EXPECT_TRUE(controller.setSelectionIndex(2));
  EXPECT_FALSE(controller.setSelectionIndex(2));
  heard.sort();
  EXPECT_EQ(heard,
            QStringList({"selectedObjects", "selection", "selectionIndex", "selectionIndexes"}));
}
