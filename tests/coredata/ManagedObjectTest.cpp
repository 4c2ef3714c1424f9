#include <gtest/gtest.h>

#include <QDateTime>

#include "CoreDataFixture.h"

using cdtest::Layer;
using cdtest::openStack;
using fnd::IndexSet;

TEST(ManagedObject, InsertedObjectsHaveTheirEntityClassAndDefaults) {
  auto stack = openStack({});
  auto* layer = stack->context->insertNewObject<Layer>("Layer");
  ASSERT_TRUE(layer);
  auto* text = stack->context->insertNewObject<cdtest::TextLayer>("TextLayer");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->entity()->name(), "TextLayer");
  EXPECT_EQ(layer->events, QStringList{"awakeFromInsert"});
  EXPECT_TRUE(layer->isInserted());
  EXPECT_TRUE(layer->objectID().isTemporaryID());
  EXPECT_EQ(layer->name(), "untitled layer");
  EXPECT_EQ(layer->valueForKey("opacity"), QVariant(1.0f));
  EXPECT_EQ(layer->valueForKey("compositing"), QVariant(2));
  EXPECT_EQ(text->valueForKey("fontSize"), QVariant(12.0));
  EXPECT_TRUE(layer->relatedObjects("filters").isEmpty());
  // Entities without a registered class are plain managed objects.
  cd::ManagedObject* image = stack->insert("Image");
  EXPECT_EQ(dynamic_cast<Layer*>(image), nullptr);
  EXPECT_EQ(stack->insert("Nothing"), nullptr);
  cd::ManagedObject* viaEntity =
      cd::EntityDescription::insertNewObjectForEntityForName("TextLayer", stack->context.get());
  EXPECT_TRUE(dynamic_cast<cdtest::TextLayer*>(viaEntity));
  EXPECT_EQ(cd::EntityDescription::entityForName("Image", stack->context.get()), image->entity());
}

TEST(ManagedObject, ValuesAreStoredInTheirAttributeType) {
  auto stack = openStack({});
  cd::ManagedObject* every = stack->insert("Every");
  struct Case {
    const char* key;
    QVariant given;
    QVariant stored;
  };
  QDateTime local = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9, 10), Qt::OffsetFromUTC, 3600);
  const Case table[] = {
      {"i16", 70000, int(qint16(70000))},
      {"i32", QString("42"), 42},
      {"i64", 5, qlonglong(5)},
      {"f", 0.5, 0.5f},
      {"d", 2, 2.0},
      {"b", 1, true},
      {"s", 17, QString("17")},
      {"when", local, local.toUTC()},
      {"blob", QString("abc"), QByteArray("abc")},
      {"s", QVariant(), QVariant()},
  };
  for (const Case& row : table) {
    every->setValue(row.given, row.key);
    QVariant stored = every->valueForKey(row.key);
    EXPECT_EQ(stored, row.stored) << row.key;
    EXPECT_EQ(stored.metaType(), row.stored.metaType()) << row.key;
  }
}

TEST(ManagedObject, PrimitiveAccessBypassesNotificationAndTracking) {
  auto stack = openStack({});
  auto* layer = stack->context->insertNewObject<Layer>("Layer");
  int told = 0;
  layer->addObserver("name", fnd::ObservingNew,
                     [&](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { ++told; });
  layer->setPrimitiveValue("quiet", "name");
  EXPECT_EQ(told, 0);
  EXPECT_TRUE(layer->changes.isEmpty());
  EXPECT_EQ(layer->primitiveValueForKey("name"), QVariant("quiet"));
  layer->setName("loud");
  EXPECT_EQ(told, 1);
  EXPECT_EQ(layer->changes, (QStringList{"will:name", "did:name"}));
}

TEST(ManagedObject, ObserversSeeChangesAndDependentKeys) {
  auto stack = openStack({});
  auto* layer = stack->context->insertNewObject<Layer>("Layer");
  QStringList seen;
  auto record = [&](fnd::Observable*, const QString& key, const fnd::KeyValueChange& change) {
    seen.append(key + "=" + change.oldValue.toString() + ">" + change.newValue.toString());
  };
  layer->addObserver("displayName", fnd::ObservingNew | fnd::ObservingOld, record);
  layer->addObserver("opacity", fnd::ObservingNew | fnd::ObservingOld, record);
  layer->setName("sky");
  layer->setValue(false, "visible");
  layer->setValue(0.25, "opacity");
  EXPECT_EQ(seen, (QStringList{"displayName=untitled layer>sky", "displayName=sky>sky (hidden)",
                               "opacity=1>0.25"}));
}

namespace {

struct Family {
  std::unique_ptr<cdtest::Stack> stack;
  cd::ManagedObject* image;
  cd::ManagedObject* other;
  QList<Layer*> layers;
};

Family makeFamily(int count) {
  Family family{openStack({}), nullptr, nullptr, {}};
  family.image = family.stack->insert("ComposedImage");
  family.other = family.stack->insert("ComposedImage");
  family.image->setValue("image", "name");
  family.other->setValue("other", "name");
  for (int i = 0; i < count; ++i) {
    auto* layer = family.stack->context->insertNewObject<Layer>("Layer");
    layer->setName(QString(QChar('A' + i)));
    family.layers.append(layer);
  }
  return family;
}

QString ownerName(cd::ManagedObject* layer) {
  cd::ManagedObject* owner = layer->relatedObject("composedImage");
  return owner ? owner->valueForKey("name").toString() : QString("-");
}

}  // namespace

TEST(ManagedObject, OrderedRelationshipEditsKeepBothSides) {
  // Each case starts from image.layers = [A B C], D and E unattached, and
  // checks both collections and every layer's inverse afterwards.
  struct Case {
    const char* what;
    std::function<void(Family&)> edit;
    QStringList imageLayers;
    QStringList otherLayers;
    QString owners;  // composedImage of A..E
  };
  const Case table[] = {
      {"insert at indexes",
       [](Family& f) {
         f.image->insertObjects({f.layers[3], f.layers[4]}, IndexSet::fromList({0, 2}), "layers");
       },
       {"D", "A", "E", "B", "C"},
       {},
       "image image image image image"},
      {"remove at indexes",
       [](Family& f) {
         f.image->removeObjectsAtIndexes(IndexSet::fromList({0, 2}), "layers");
       },
       {"B"},
       {},
       "- image - - -"},
      {"replace at index",
       [](Family& f) { f.image->replaceObjectsAtIndexes(IndexSet(1), {f.layers[3]}, "layers"); },
       {"A", "D", "C"},
       {},
       "image - image image -"},
      {"to-one set to another owner moves the layer",
       [](Family& f) { f.layers[1]->setValue(QVariant::fromValue(f.other), "composedImage"); },
       {"A", "C"},
       {"B"},
       "image other image - -"},
      {"to-one set to the same owner keeps the position",
       [](Family& f) { f.layers[1]->setValue(QVariant::fromValue(f.image), "composedImage"); },
       {"A", "B", "C"},
       {},
       "image image image - -"},
      {"to-one set on a new layer appends",
       [](Family& f) { f.layers[3]->setValue(QVariant::fromValue(f.image), "composedImage"); },
       {"A", "B", "C", "D"},
       {},
       "image image image image -"},
      {"to-one cleared removes",
       [](Family& f) { f.layers[0]->setValue(QVariant(), "composedImage"); },
       {"B", "C"},
       {},
       "- image image - -"},
      {"inserting into another owner takes it from the first",
       [](Family& f) { f.other->addObject(f.layers[2], "layers"); },
       {"A", "B"},
       {"C"},
       "image image other - -"},
      {"inserting a member again moves it",
       [](Family& f) { f.image->insertObjects({f.layers[2]}, IndexSet(0), "layers"); },
       {"C", "A", "B"},
       {},
       "image image image - -"},
      {"setting the whole collection",
       [](Family& f) {
         f.image->setValue(QVariant::fromValue(cd::ObjectList{f.layers[4], f.layers[0]}), "layers");
       },
       {"E", "A"},
       {},
       "image - - - image"},
  };
  for (const Case& row : table) {
    Family family = makeFamily(5);
    for (int i = 0; i < 3; ++i) family.image->addObject(family.layers[i], "layers");
    row.edit(family);
    EXPECT_EQ(cdtest::namesOf(family.image->relatedObjects("layers")), row.imageLayers) << row.what;
    EXPECT_EQ(cdtest::namesOf(family.other->relatedObjects("layers")), row.otherLayers) << row.what;
    QStringList owners;
    for (Layer* layer : family.layers) owners.append(ownerName(layer));
    EXPECT_EQ(owners.join(' '), row.owners) << row.what;
  }
}

TEST(ManagedObject, IndexedChangesReachObserversWithTheirIndexes) {
  Family family = makeFamily(3);
  for (int i = 0; i < 2; ++i) family.image->addObject(family.layers[i], "layers");
  QList<QPair<int, QList<int>>> seen;
  family.image->addObserver("layers", fnd::ObservingNew,
                            [&](fnd::Observable*, const QString&, const fnd::KeyValueChange& c) {
                              seen.append({int(c.kind), c.indexes.toList()});
                            });
  family.image->insertObjects({family.layers[2]}, IndexSet(1), "layers");
  family.image->replaceObjectsAtIndexes(IndexSet(0), {family.layers[0]}, "layers");
  family.image->removeObjectsAtIndexes(IndexSet::fromList({0, 2}), "layers");
  using Kind = fnd::KeyValueChangeKind;
  QList<QPair<int, QList<int>>> expected = {
      {int(Kind::Insertion), {1}}, {int(Kind::Replacement), {0}}, {int(Kind::Removal), {0, 2}}};
  EXPECT_EQ(seen, expected);
  // The layer side heard its inverse change through the subclass hook.
  EXPECT_TRUE(family.layers[2]->changes.contains("will:composedImage"));
}

TEST(ManagedObject, OneToOneInverseReleasesThePreviousPartner) {
  auto stack = openStack({});
  auto* first = stack->context->insertNewObject<Layer>("Layer");
  auto* second = stack->context->insertNewObject<Layer>("Layer");
  cd::ManagedObject* image = stack->insert("Image");
  first->setValue(QVariant::fromValue(image), "image");
  EXPECT_EQ(image->relatedObject("layer"), first);
  image->setValue(QVariant::fromValue<cd::ManagedObject*>(second), "layer");
  EXPECT_EQ(second->relatedObject("image"), image);
  EXPECT_EQ(first->relatedObject("image"), nullptr);
}

TEST(ManagedObject, RelationshipsRefuseObjectsOfTheWrongKind) {
  Family family = makeFamily(2);
  family.image->addObject(family.layers[0], "layers");
  cd::ManagedObject* filter = family.stack->insert("Filter");
  auto foreign = openStack({});
  cd::ManagedObject* stranger = foreign->insert("Layer");
  struct Case {
    const char* what;
    std::function<void()> edit;
  };
  const Case table[] = {
      {"wrong entity appended", [&] { family.image->addObject(filter, "layers"); }},
      {"wrong entity inserted",
       [&] { family.image->insertObjects({filter}, fnd::IndexSet(0), "layers"); }},
      {"wrong entity as to-one",
       [&] { family.layers[0]->setValue(QVariant::fromValue(filter), "composedImage"); }},
      {"object of another context",
       [&] { family.image->replaceObjectsAtIndexes(fnd::IndexSet(0), {stranger}, "layers"); }},
      {"whole collection with a stranger",
       [&] {
         family.image->setValue(
             QVariantList{QVariant::fromValue<cd::ManagedObject*>(family.layers[1]),
                          QVariant::fromValue(stranger)},
             "layers");
       }},
  };
  for (const Case& row : table) {
    row.edit();
    EXPECT_EQ(cdtest::namesOf(family.image->relatedObjects("layers")), QStringList{"A"})
        << row.what;
    EXPECT_EQ(filter->relatedObject("layer"), nullptr) << row.what;
  }
  // A subclass pointer in a QVariant is refused rather than read as nil.
  family.layers[0]->setValue(QVariant::fromValue(family.layers[1]), "composedImage");
  EXPECT_EQ(family.layers[0]->relatedObject("composedImage"), family.image);
  // A QVariantList of objects is as good as an ObjectList.
  using Object = cd::ManagedObject*;
  family.image->setValue(QVariantList{QVariant::fromValue<Object>(family.layers[1]),
                                      QVariant::fromValue<Object>(family.layers[0])},
                         "layers");
  EXPECT_EQ(cdtest::namesOf(family.image->relatedObjects("layers")), (QStringList{"B", "A"}));
}
