#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

IMManagedObject* decodeInto(cd::ManagedObjectContext* context, const QByteArray& data) {
  IMManagedObject::setTempDecodingManagedObjectContext(context);
  QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(data);
  IMManagedObject::resetTempDecodingManagedObjectContext();
  return IMManagedObject::fromArchivedValue(root);
}

int countOf(cd::ManagedObjectContext* context, const QString& entity) {
  return int(context->executeFetchRequest(cd::FetchRequest(entity)).size());
}

}  // namespace

TEST(IMManagedObjectTest, FilterTravelsWithItsParametersAndTheirImage) {
  ModelDocument source, target;
  auto* filter = source.context->insertNewObject<Filter>("Filter");
  filter->setName("CIGaussianBlur");
  filter->setEnabled(false);
  auto* radius = source.context->insertNewObject<FilterParameter>("FilterParameter");
  radius->setName("inputRadius");
  radius->setValue(4.5, "floatValue");
  auto* texture = source.context->insertNewObject<FilterParameter>("FilterParameter");
  texture->setName("inputTexture");
  auto* image = source.context->insertNewObject<Image>("Image");
  image->setNsImage(solidImage(3, 3, Qt::green));  // never saved: pixels only in memory
  texture->setImage(image);
  filter->setValue(QVariant::fromValue(cd::ObjectList{radius, texture}), "filterParameters");

  QByteArray data =
      fnd::KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(filter->archivable()));
  ASSERT_FALSE(data.isEmpty());
  tst::saveArtifactData(data, "model-filter-archive.bplist");
  auto* copy = dynamic_cast<Filter*>(decodeInto(target.context.get(), data));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->managedObjectContext(), target.context.get());
  EXPECT_EQ(copy->name(), "CIGaussianBlur");
  EXPECT_FALSE(copy->enabled());
  cd::ObjectList parameters = copy->relatedObjects("filterParameters");
  ASSERT_EQ(parameters.size(), 2);
  auto* first = dynamic_cast<FilterParameter*>(parameters[0]);
  auto* second = dynamic_cast<FilterParameter*>(parameters[1]);
  EXPECT_EQ(first->name(), "inputRadius");
  EXPECT_FLOAT_EQ(first->valueForKey("floatValue").toFloat(), 4.5);
  EXPECT_EQ(first->filter(), copy);
  EXPECT_EQ(second->name(), "inputTexture");
  ASSERT_NE(second->image(), nullptr);
  EXPECT_EQ(second->image()->valueForKey("filterParameter").value<cd::ManagedObject*>(), second);
  gfx::ImagePtr pixels = second->image()->nsImage();
  ASSERT_TRUE(pixels);
  EXPECT_TRUE(sameColor(pixelAt(pixels, 1, 1), Qt::green));
  // The source is untouched and the target holds exactly the copies.
  struct Count {
    const char* entity;
    int source, target;
  } counts[] = {{"Filter", 1, 1}, {"FilterParameter", 2, 2}, {"Image", 1, 1}};
  for (const Count& c : counts) {
    EXPECT_EQ(countOf(source.context.get(), c.entity), c.source) << c.entity;
    EXPECT_EQ(countOf(target.context.get(), c.entity), c.target) << c.entity;
  }
  EXPECT_EQ(filter->relatedObjects("filterParameters").size(), 2);
}

TEST(IMManagedObjectTest, LayerArchivesOnlyItsAttributesAndNilsAreLeftOut) {
  ModelDocument source, target;
  auto* composedImage = source.context->insertNewObject<ComposedImage>("ComposedImage");
  Layer* layer = Layer::createLayerWithComposedImage(composedImage, source.context.get(), false);
  layer->setRotationAngle(12);
  layer->setAlpha(0.25);
  layer->image()->setNsImage(solidImage(2, 2, Qt::red));
  QByteArray data =
      fnd::KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(layer->archivable()));
  for (const char* key : {"composedImage", "filters", "mask"})
    EXPECT_FALSE(data.contains(key)) << key;
  for (const char* key : {"rotationAngle", "alpha", "zoom", "visible", "compositingOperation"})
    EXPECT_TRUE(data.contains(key)) << key;
  auto* copy = dynamic_cast<Layer*>(decodeInto(target.context.get(), data));
  ASSERT_NE(copy, nullptr);
  EXPECT_FLOAT_EQ(copy->rotationAngle(), 12);
  EXPECT_FLOAT_EQ(copy->alpha(), 0.25);
  EXPECT_EQ(copy->composedImage(), nullptr);
  EXPECT_TRUE(copy->isEmpty());
  EXPECT_TRUE(copy->name().isEmpty());  // nil stays nil: the model has no default
}

TEST(IMManagedObjectTest, DecodingWithoutAContextOrOfAForeignClassGivesNothing) {
  ModelDocument source;
  auto* filter = source.context->insertNewObject<Filter>("Filter");
  QByteArray data =
      fnd::KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(filter->archivable()));
  EXPECT_EQ(IMManagedObject::fromArchivedValue(fnd::KeyedUnarchiver::unarchiveObjectWithData(data)),
            nullptr);
  QByteArray junk = data;
  junk.replace("Filter", "Fxlter");
  EXPECT_EQ(decodeInto(source.context.get(), junk), nullptr);
  EXPECT_EQ(decodeInto(source.context.get(), QByteArray("not an archive")), nullptr);
}

TEST(IMManagedObjectTest, ThrowAwayAffectsOnlyItsOwnContext) {
  ModelDocument a, b;
  auto* layerA = a.context->insertNewObject<Layer>("Layer");
  auto* layerB = b.context->insertNewObject<Layer>("Layer");
  layerA->setName("A");
  layerB->setName("B");
  int changes = 0;
  auto token = fnd::NotificationCenter::defaultCenter().addObserverForName(
      IMManagedObjectDidChange, layerB, nullptr, [&](const fnd::Notification&) { ++changes; });
  fnd::NotificationCenter::defaultCenter().postNotificationName(
      IMAWillThrowAwayManagedObjectsForMOC, a.context.get());
  EXPECT_TRUE(layerA->willBeThrownAway());
  EXPECT_FALSE(layerA->valueForKey("name").isValid());
  EXPECT_FALSE(layerB->willBeThrownAway());
  EXPECT_EQ(layerB->name(), "B");
  layerB->setName("B2");
  fnd::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(changes, 1);
}
