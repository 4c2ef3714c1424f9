#include <gtest/gtest.h>

#include "CoreDataFixture.h"
#include "TestSupport.h"

using cdtest::Layer;
using cdtest::openStack;
using cdtest::sqlite;

namespace {

QString storeWithEvery(const QString& name) {
  QString path = tst::tempPath(name);
  auto stack = openStack(path);
  for (int i = 0; i < 3; ++i) {
    cd::ManagedObject* every = stack->insert("Every");
    every->setValue(i, "i32");
    every->setValue(QString("eager %1").arg(i), "s");
    every->setValue(QByteArray(1 << 20, char('a' + i)), "blob");
  }
  cd::ManagedObject* composed = stack->insert("ComposedImage");
  for (QString layerName : {"A", "B"}) {
    cd::ManagedObject* layer = stack->insert("Layer");
    layer->setValue(layerName, "name");
    composed->addObject(layer, "layers");
  }
  EXPECT_TRUE(stack->context->save());
  return path;
}

}  // namespace

TEST(Faulting, BinaryValuesAreReadOnFirstAccessNotAtFetch) {
  QString path = storeWithEvery("lazy.sqlite");
  auto stack = openStack(path);
  cd::FetchRequest request("Every");
  request.setSortDescriptors({cd::SortDescriptor("i32")});
  cd::ObjectList objects = stack->context->executeFetchRequest(request);
  ASSERT_EQ(objects.size(), 3);
  // Another writer changes the file after the fetch. Values read by the
  // fetch keep their fetched state; blobs were not read yet, so the first
  // access sees the file as it is now.
  sqlite(path, "UPDATE ZEVERY SET ZS = 'changed', ZBLOB = x'0102' WHERE ZI32 = 1");
  EXPECT_EQ(objects[1]->valueForKey("s"), QVariant("eager 1"));
  EXPECT_EQ(objects[1]->valueForKey("blob").toByteArray(), QByteArray("\x01\x02"));
  // Once read, a blob stays: the next access does not go back to the file.
  sqlite(path, "UPDATE ZEVERY SET ZBLOB = x'03' WHERE ZI32 = 1");
  EXPECT_EQ(objects[1]->valueForKey("blob").toByteArray(), QByteArray("\x01\x02"));
  EXPECT_EQ(objects[2]->valueForKey("blob").toByteArray(), QByteArray(1 << 20, 'c'));
  // Primitive access reads a lazy value too.
  EXPECT_EQ(objects[0]->primitiveValueForKey("blob").toByteArray().size(), 1 << 20);
}

TEST(Faulting, ObjectsReachedThroughRelationshipsAreFaultsUntilUsed) {
  QString path = storeWithEvery("faults.sqlite");
  auto stack = openStack(path);
  cd::ObjectList composed = stack->fetch("ComposedImage");
  ASSERT_EQ(composed.size(), 1);
  cd::ObjectList layers = composed[0]->relatedObjects("layers");
  ASSERT_EQ(layers.size(), 2);
  auto* first = dynamic_cast<Layer*>(layers[0]);
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->isFault());
  EXPECT_TRUE(first->events.isEmpty());
  EXPECT_EQ(first->name(), "A");
  EXPECT_FALSE(first->isFault());
  EXPECT_EQ(first->events, QStringList{"awakeFromFetch"});
  EXPECT_EQ(first->relatedObject("composedImage"), composed[0]);
  // The same row is one object, however it is reached.
  cd::ObjectList fetched = stack->fetch("Layer");
  EXPECT_TRUE(fetched.contains(first));
  EXPECT_EQ(stack->context->objectWithID(first->objectID()), first);
  EXPECT_EQ(stack->context->existingObjectWithID(layers[1]->objectID()), layers[1]);
}

TEST(Faulting, RefreshTurnsAnObjectBackIntoAFault) {
  QString path = storeWithEvery("refresh.sqlite");
  auto stack = openStack(path);
  auto* layer = dynamic_cast<Layer*>(stack->fetch("Layer")[0]);
  ASSERT_TRUE(layer);
  layer->setName("unsaved");
  stack->context->processPendingChanges();
  EXPECT_TRUE(layer->isUpdated());
  layer->events.clear();
  sqlite(path, "UPDATE ZLAYER SET ZNAME = 'from file' WHERE ZNAME = 'A'");

  stack->context->refreshObject(layer, true);  // merging keeps the change
  EXPECT_EQ(layer->name(), "unsaved");
  stack->context->refreshObject(layer, false);
  EXPECT_TRUE(layer->isFault());
  EXPECT_FALSE(layer->isUpdated());
  EXPECT_EQ(layer->events, (QStringList{"willTurnIntoFault", "didTurnIntoFault"}));
  EXPECT_EQ(layer->snapshotFlags, QList<int>{cd::SnapshotEventRefresh});
  EXPECT_EQ(layer->name(), "from file");
  EXPECT_FALSE(stack->context->hasChanges());
}
