#include <gtest/gtest.h>

#include "CoreDataFixture.h"
#include "TestSupport.h"

using cdtest::Layer;
using cdtest::openStack;
using cdtest::sqlite;

namespace {

// composed -> [layer A (image, filters blur + sharpen with a parameter each), layer B]
struct Document {
  std::unique_ptr<cdtest::Stack> stack;
  cd::ManagedObject* composed;
  QList<cd::ManagedObject*> layers;
  cd::ManagedObject* image;
  QList<cd::ManagedObject*> filters;

  explicit Document(const QString& path = {}) : stack(openStack(path)) {
    composed = stack->insert("ComposedImage");
    for (QString name : {"A", "B"}) {
      cd::ManagedObject* layer = stack->insert("Layer");
      layer->setValue(name, "name");
      composed->addObject(layer, "layers");
      layers.append(layer);
    }
    image = stack->insert("Image");
    layers[0]->setValue(QVariant::fromValue(image), "image");
    for (QString name : {"blur", "sharpen"}) {
      cd::ManagedObject* filter = stack->insert("Filter");
      filter->setValue(name, "name");
      layers[0]->addObject(filter, "filters");
      cd::ManagedObject* parameter = stack->insert("FilterParameter");
      parameter->setValue("radius", "key");
      filter->addObject(parameter, "parameters");
      filters.append(filter);
    }
    stack->context->processPendingChanges();
  }

  int live(const QString& entity) { return int(stack->fetch(entity).size()); }
};

}  // namespace

TEST(DeleteRules, CascadeAndNullifyFollowTheModel) {
  struct Case {
    const char* what;
    std::function<void(Document&)> remove;
    // Live objects afterwards: composed images, layers, images, filters, parameters.
    QList<int> counts;
    QStringList remainingLayers;
  };
  const Case table[] = {
      {"composed image cascades to everything",
       [](Document& d) { d.stack->context->deleteObject(d.composed); },
       {0, 0, 0, 0, 0},
       {}},
      {"layer cascades to its image and filters, nullifies its composed image",
       [](Document& d) { d.stack->context->deleteObject(d.layers[0]); },
       {1, 1, 0, 0, 0},
       {"B"}},
      {"image nullifies the layer's to-one",
       [](Document& d) { d.stack->context->deleteObject(d.image); },
       {1, 2, 0, 2, 2},
       {"A", "B"}},
      {"filter cascades to its parameters only",
       [](Document& d) { d.stack->context->deleteObject(d.filters[1]); },
       {1, 2, 1, 1, 1},
       {"A", "B"}},
  };
  for (const Case& row : table) {
    Document document;
    row.remove(document);
    document.stack->context->processPendingChanges();
    QList<int> counts;
    for (QString entity : {"ComposedImage", "Layer", "Image", "Filter", "FilterParameter"})
      counts.append(document.live(entity));
    EXPECT_EQ(counts, row.counts) << row.what;
    if (!row.remainingLayers.isEmpty()) {
      EXPECT_EQ(cdtest::namesOf(document.composed->relatedObjects("layers")), row.remainingLayers)
          << row.what;
    }
  }
  // With nothing saved yet, deleting the root leaves no object in the context.
  Document document;
  document.stack->context->deleteObject(document.composed);
  document.stack->context->processPendingChanges();
  EXPECT_TRUE(document.stack->context->registeredObjects().isEmpty());
  EXPECT_EQ(document.layers[0]->relatedObject("image"), nullptr);
  EXPECT_EQ(document.image->relatedObject("layer"), nullptr);
  EXPECT_TRUE(document.layers[0]->isDeleted());
  EXPECT_TRUE(document.stack->context->hasChanges() == false ||
              document.stack->context->insertedObjects().isEmpty());
}

TEST(DeleteRules, PrepareForDeletionRunsOnEveryDeletedObject) {
  Document document;
  document.stack->context->deleteObject(document.composed);
  EXPECT_TRUE(dynamic_cast<Layer*>(document.layers[1])->events.count("prepareForDeletion") == 0);
  document.stack->context->processPendingChanges();
  for (cd::ManagedObject* layer : document.layers)
    EXPECT_EQ(dynamic_cast<Layer*>(layer)->events.count("prepareForDeletion"), 1);
}

TEST(DeleteRules, SavedDeletionsRemoveTheRows) {
  QString path = tst::tempPath("deletes.sqlite");
  Document document(path);
  ASSERT_TRUE(document.stack->context->save());
  EXPECT_EQ(sqlite(path, "SELECT count(*) FROM ZFILTERPARAMETER"), "2");
  document.stack->step([&] { document.stack->context->deleteObject(document.layers[0]); });
  fnd::Error error;
  ASSERT_TRUE(document.stack->context->save(&error)) << error.localizedDescription().toStdString();
  tst::saveArtifact(path, "coredata-after-cascade.sqlite");
  EXPECT_EQ(sqlite(path,
                   "SELECT (SELECT count(*) FROM ZLAYER) || ' ' || (SELECT count(*) FROM "
                   "ZIMAGE) || ' ' || (SELECT count(*) FROM ZFILTER) || ' ' || (SELECT "
                   "count(*) FROM ZFILTERPARAMETER)"),
            "1 0 0 0");
  EXPECT_EQ(sqlite(path, "SELECT ZNAME, Z_FOK_COMPOSEDIMAGE FROM ZLAYER"), "B|0");
  EXPECT_EQ(document.layers[0]->managedObjectContext(), nullptr);
  EXPECT_FALSE(document.layers[0]->isDeleted());
  // Undo after the save brings the deleted objects back as new insertions.
  document.stack->context->undo();
  EXPECT_TRUE(document.layers[0]->isInserted());
  EXPECT_EQ(document.layers[0]->relatedObject("image"), document.image);
  EXPECT_EQ(cdtest::namesOf(document.composed->relatedObjects("layers")), (QStringList{"A", "B"}));
  ASSERT_TRUE(document.stack->context->save(&error)) << error.localizedDescription().toStdString();
  EXPECT_EQ(sqlite(path, "SELECT ZNAME FROM ZLAYER ORDER BY Z_FOK_COMPOSEDIMAGE").split('\n'),
            (QStringList{"A", "B"}));
  EXPECT_EQ(sqlite(path, "SELECT count(*) FROM ZFILTERPARAMETER"), "2");
  EXPECT_EQ(sqlite(path, "SELECT count(*) FROM ZLAYER WHERE ZIMAGE IS NOT NULL"), "1");
}

TEST(DeleteRules, DenyBlocksTheSaveUntilTheDestinationIsEmpty) {
  QString path = tst::tempPath("deny.sqlite");
  auto stack = openStack(path);
  cd::ManagedObject* album = stack->insert("Album");
  cd::ManagedObject* photo = stack->insert("Photo");
  album->addObject(photo, "photos");
  ASSERT_TRUE(stack->context->save());
  stack->context->deleteObject(album);
  fnd::Error error;
  EXPECT_FALSE(stack->context->save(&error));
  EXPECT_EQ(error.code(), fnd::ValidationRelationshipDeniedDeleteError);
  EXPECT_EQ(sqlite(path, "SELECT count(*) FROM ZALBUM"), "1");
  stack->context->deleteObject(photo);
  EXPECT_TRUE(stack->context->save(&error)) << error.localizedDescription().toStdString();
  EXPECT_EQ(sqlite(path, "SELECT count(*) FROM ZALBUM"), "0");
}
