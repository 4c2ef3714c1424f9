#include <gtest/gtest.h>

#include "CoreDataFixture.h"
#include "TestSupport.h"

using cdtest::Layer;
using cdtest::openStack;
using cdtest::Stack;

namespace {

// Two composed images, image = [A B], other = [], and a free layer C, all
// set up outside the undo stack.
struct Scene {
  std::unique_ptr<Stack> stack = openStack({});
  cd::ManagedObject* image;
  cd::ManagedObject* other;
  QList<Layer*> layers;

  Scene() {
    stack->context->undoManager()->disableUndoRegistration();
    image = stack->insert("ComposedImage");
    other = stack->insert("ComposedImage");
    image->setValue("image", "name");
    other->setValue("other", "name");
    for (QString name : {"A", "B", "C"}) {
      auto* layer = stack->context->insertNewObject<Layer>("Layer");
      layer->setName(name);
      layers.append(layer);
    }
    image->addObject(layers[0], "layers");
    image->addObject(layers[1], "layers");
    stack->context->processPendingChanges();
    stack->context->undoManager()->enableUndoRegistration();
    for (Layer* layer : layers) layer->snapshotFlags.clear();
  }

  // Everything an undo must put back, as one comparable string.
  QString state() const {
    QStringList parts;
    parts << cdtest::namesOf(image->relatedObjects("layers")).join(",")
          << cdtest::namesOf(other->relatedObjects("layers")).join(",");
    for (Layer* layer : layers) {
      cd::ManagedObject* owner = layer->relatedObject("composedImage");
      parts << layer->name() + ":" + layer->valueForKey("opacity").toString() + ":" +
                   (owner ? owner->valueForKey("name").toString() : "-") + ":" +
                   (layer->isDeleted() ? "deleted" : "live");
    }
    parts << cdtest::namesOf(stack->context->registeredObjects()).join(",");
    return parts.join(" | ");
  }
};

}  // namespace

TEST(ContextUndo, UndoAndRedoRestoreEveryKindOfChange) {
  struct Case {
    const char* what;
    std::function<void(Scene&)> change;
    int flagsOfA;  // what layer A hears on undo; redo adds SnapshotEventRedo
  };
  const Case table[] = {
      {"attribute", [](Scene& s) { s.layers[0]->setValue(0.5, "opacity"); },
       cd::SnapshotEventUndoUpdate},
      {"attribute set twice",
       [](Scene& s) {
         s.layers[0]->setName("first");
         s.layers[0]->setName("second");
       },
       cd::SnapshotEventUndoUpdate},
      {"to-one moves a layer to another image",
       [](Scene& s) { s.layers[0]->setValue(QVariant::fromValue(s.other), "composedImage"); },
       cd::SnapshotEventUndoUpdate},
      {"ordered insertion",
       [](Scene& s) { s.image->insertObjects({s.layers[2]}, fnd::IndexSet(0), "layers"); }, 0},
      {"ordered removal and reinsertion elsewhere",
       [](Scene& s) {
         s.image->removeObjectsAtIndexes(fnd::IndexSet(0), "layers");
         s.other->addObject(s.layers[0], "layers");
         s.image->insertObjects({s.layers[0]}, fnd::IndexSet(1), "layers");
       },
       0},  // A ends where it started, only the order changed
      {"insertion of a new layer",
       [](Scene& s) {
         cd::ManagedObject* layer = s.stack->insert("Layer");
         layer->setValue("D", "name");
         s.image->insertObjects({layer}, fnd::IndexSet(0), "layers");
       },
       0},
      {"deletion with cascade", [](Scene& s) { s.stack->context->deleteObject(s.image); },
       cd::SnapshotEventUndoDeletion},
      {"deletion of one layer", [](Scene& s) { s.stack->context->deleteObject(s.layers[0]); },
       cd::SnapshotEventUndoDeletion},
  };
  for (const Case& row : table) {
    Scene scene;
    QString before = scene.state();
    scene.stack->step([&] { row.change(scene); });
    QString after = scene.state();
    ASSERT_NE(before, after) << row.what;
    scene.stack->context->undo();
    EXPECT_EQ(scene.state(), before) << row.what;
    QList<int> expectedUndo;
    if (row.flagsOfA) expectedUndo.append(row.flagsOfA);
    EXPECT_EQ(scene.layers[0]->snapshotFlags, expectedUndo) << row.what;
    scene.layers[0]->snapshotFlags.clear();
    scene.stack->context->redo();
    EXPECT_EQ(scene.state(), after) << row.what;
    QList<int> expectedRedo;
    if (row.flagsOfA) expectedRedo.append(row.flagsOfA | cd::SnapshotEventRedo);
    EXPECT_EQ(scene.layers[0]->snapshotFlags, expectedRedo) << row.what;
    scene.stack->context->undo();
    EXPECT_EQ(scene.state(), before) << row.what << " (second undo)";
  }
}

TEST(ContextUndo, UndoingAnInsertionForgetsTheObjectAndRedoBringsItBack) {
  Scene scene;
  Layer* added = nullptr;
  scene.stack->step([&] {
    added = scene.stack->context->insertNewObject<Layer>("Layer");
    scene.image->addObject(added, "layers");
  });
  scene.stack->context->undo();
  EXPECT_FALSE(scene.stack->context->registeredObjects().contains(added));
  EXPECT_FALSE(scene.stack->context->insertedObjects().contains(added));
  EXPECT_EQ(added->snapshotFlags, QList<int>{cd::SnapshotEventUndoInsertion});
  scene.stack->context->redo();
  EXPECT_TRUE(added->isInserted());
  EXPECT_EQ(added->relatedObject("composedImage"), scene.image);
  EXPECT_EQ(added->snapshotFlags.last(), cd::SnapshotEventUndoInsertion | cd::SnapshotEventRedo);
}

TEST(ContextUndo, OneGroupSpansSeveralProcessPendingChanges) {
  Scene scene;
  fnd::UndoManager* undo = scene.stack->context->undoManager();
  undo->beginUndoGrouping();
  scene.layers[0]->setName("one");
  scene.stack->context->processPendingChanges();
  scene.layers[1]->setName("two");
  scene.stack->context->processPendingChanges();
  undo->endUndoGrouping();
  scene.stack->step([&] { scene.layers[2]->setName("three"); });

  scene.stack->context->undo();
  EXPECT_EQ(scene.layers[2]->name(), "C");
  EXPECT_EQ(scene.layers[1]->name(), "two");
  scene.stack->context->undo();
  EXPECT_EQ(scene.layers[0]->name(), "A");
  EXPECT_EQ(scene.layers[1]->name(), "B");
  EXPECT_FALSE(undo->canUndo());
}

TEST(ContextUndo, ClosingAGroupProcessesTheChangesMadeInIt) {
  Scene scene;
  fnd::UndoManager* undo = scene.stack->context->undoManager();
  undo->beginUndoGrouping();
  scene.layers[0]->setName("inside");
  undo->endUndoGrouping();
  EXPECT_TRUE(undo->canUndo());
  // Undoing straight through the undo manager works the same way.
  undo->undo();
  EXPECT_EQ(scene.layers[0]->name(), "A");
  undo->redo();
  EXPECT_EQ(scene.layers[0]->name(), "inside");
}

TEST(ContextUndo, ByEventGroupingCollectsOnePassOfTheLoop) {
  Scene scene;
  fnd::UndoManager* undo = scene.stack->context->undoManager();
  undo->setGroupsByEvent(true);
  scene.layers[0]->setName("one");
  scene.stack->context->processPendingChanges();
  scene.layers[1]->setName("two");
  scene.stack->context->processPendingChanges();
  tst::spinOnce();
  EXPECT_EQ(undo->groupingLevel(), 0);
  undo->undo();
  EXPECT_EQ(scene.layers[0]->name(), "A");
  EXPECT_EQ(scene.layers[1]->name(), "B");
}

// A plain change that nothing groups (a control setting a value) is one
// step of its own, ended with the pass it was made in, and announced then.
TEST(ContextUndo, PlainChangesOfOnePassAreOneStepEndedWithThePass) {
  Scene scene;
  cd::ManagedObjectContext* context = scene.stack->context.get();
  fnd::UndoManager* undo = context->undoManager();
  undo->setGroupsByEvent(true);
  cdtest::NotificationRecorder recorder(cd::ManagedObjectContextObjectsDidChangeNotification,
                                        context);
  scene.layers[0]->setName("renamed");
  tst::spinOnce();
  EXPECT_EQ(undo->groupingLevel(), 0);
  EXPECT_EQ(recorder.userInfos.size(), 1) << "processed at the end of the pass";
  ASSERT_TRUE(undo->canUndo());
  scene.layers[1]->setName("two");
  scene.layers[0]->setName("again");
  tst::spinOnce();
  cd::ManagedObject* added = scene.stack->insert("Layer");
  added->setValue("D", "name");
  scene.image->addObject(added, "layers");
  tst::spinOnce();

  undo->undo();
  EXPECT_EQ(cdtest::namesOf(scene.image->relatedObjects("layers")), QStringList({"again", "two"}));
  undo->undo();
  EXPECT_EQ(scene.layers[0]->name(), "renamed");
  EXPECT_EQ(scene.layers[1]->name(), "B");
  undo->undo();
  EXPECT_EQ(scene.layers[0]->name(), "A");
  EXPECT_FALSE(undo->canUndo());
  undo->redo();
  undo->redo();
  undo->redo();
  EXPECT_EQ(cdtest::namesOf(scene.image->relatedObjects("layers")),
            QStringList({"again", "two", "D"}));
}

TEST(ContextUndo, UndoReturnsToAValueSetPrimitively) {
  Scene scene;
  scene.layers[0]->setPrimitiveValue("token", "name");
  scene.stack->step([&] { scene.layers[0]->setName("edited"); });
  scene.stack->context->undo();
  EXPECT_EQ(scene.layers[0]->name(), "token");
}

TEST(ContextUndo, UndoNotifiesObserversThenAwakesTheObject) {
  Scene scene;
  scene.stack->step([&] { scene.layers[0]->setName("sky"); });
  QStringList order;
  scene.layers[0]->addObserver(
      "name", fnd::ObservingNew,
      [&](fnd::Observable*, const QString&, const fnd::KeyValueChange& change) {
        order.append("observed " + change.newValue.toString());
        order.append(QString::number(scene.layers[0]->snapshotFlags.size()) + " awakes");
      });
  scene.stack->context->undo();
  EXPECT_EQ(order, (QStringList{"observed A", "0 awakes"}));
  EXPECT_EQ(scene.layers[0]->snapshotFlags.size(), 1);
}

TEST(ContextUndo, NothingIsRecordedWhileRegistrationIsOff) {
  Scene scene;
  fnd::UndoManager* undo = scene.stack->context->undoManager();
  undo->disableUndoRegistration();
  scene.stack->step([&] { scene.layers[0]->setName("quiet"); });
  undo->enableUndoRegistration();
  EXPECT_FALSE(undo->canUndo());
  scene.stack->context->setUndoManager(nullptr);
  scene.layers[0]->setName("no manager");
  scene.stack->context->processPendingChanges();
  EXPECT_EQ(scene.layers[0]->name(), "no manager");
}

TEST(ContextUndo, ProcessPendingChangesPostsTheCoalescedSets) {
  Scene scene;
  cdtest::NotificationRecorder recorder(cd::ManagedObjectContextObjectsDidChangeNotification,
                                        scene.stack->context.get());
  scene.stack->step([&] {
    scene.layers[0]->setName("A1");
    scene.layers[0]->setName("A2");
    cd::ManagedObject* d = scene.stack->insert("Layer");
    d->setValue("D", "name");
    scene.stack->context->deleteObject(scene.layers[2]);
    // Set and set back: not a change.
    scene.layers[1]->setName("tmp");
    scene.layers[1]->setName("B");
  });
  ASSERT_EQ(recorder.userInfos.size(), 1);
  const QVariantMap& info = recorder.userInfos.first();
  EXPECT_EQ(cdtest::namesOf(info.value(cd::InsertedObjectsKey).toList()), QStringList{"D"});
  EXPECT_EQ(cdtest::namesOf(info.value(cd::UpdatedObjectsKey).toList()), QStringList{"A2"});
  EXPECT_EQ(cdtest::namesOf(info.value(cd::DeletedObjectsKey).toList()), QStringList{"C"});
  // Nothing pending: no notification.
  scene.stack->context->processPendingChanges();
  EXPECT_EQ(recorder.userInfos.size(), 1);
}
