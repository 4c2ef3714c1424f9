#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/IsSingleValueTransformer.h"
#include "model/Layer.h"

namespace {

struct LayerFixture {
  ModelDocument document;
  ComposedImage* composedImage = nullptr;
  Layer* layer = nullptr;
  LayerFixture(int w = 100, int h = 50, QPointF origin = {10, 20}) {
    composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
    layer = Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    if (w > 0) layer->image()->setNsImage(solidImage(w, h, Qt::red));
    layer->setOrigin(origin);
  }
};

}  // namespace

TEST(LayerGeometryTest, OriginsAreStoredRoundedHalfAwayFromZero) {
  struct Case {
    double value, stored;
  } cases[] = {{10.5, 11}, {-10.5, -11}, {10.4, 10}, {-0.4, 0}, {3, 3}};
  LayerFixture f;
  for (const Case& c : cases) {
    f.layer->setXOrigin(c.value);
    f.layer->setYOrigin(c.value);
    EXPECT_EQ(f.layer->xOrigin(), c.stored) << c.value;
    EXPECT_EQ(f.layer->yOrigin(), c.stored) << c.value;
  }
}

TEST(LayerGeometryTest, ClippingRectFollowsRotationAndZoom) {
  struct Case {
    double rotation, zoom;
    QRectF clip;
  } cases[] = {
      {0, 1, {10, 20, 100, 50}},   {360, 1, {10, 20, 100, 50}},
      {90, 1, {35, -5, 50, 100}},  // turned about its centre (60, 45)
      {180, 1, {10, 20, 100, 50}}, {0, 2, {-40, -5, 200, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rotation);
    LayerFixture f;
    f.layer->setRotationAngle(c.rotation);
    f.layer->setZoom(c.zoom);
    EXPECT_EQ(f.layer->clippingRect(), c.clip);
    EXPECT_EQ(f.layer->bounds(), QRectF(10, 20, 100, 50));
  }
}

TEST(LayerGeometryTest, FullTurnTransformsLikeNoTurn) {
  LayerFixture f;
  gfx::AffineTransform none = f.layer->transformation();
  f.layer->setRotationAngle(360);
  EXPECT_EQ(f.layer->transformation(), none);
  f.layer->setRotationAngle(30);
  QRectF there = f.layer->transformRectFromLayerToDocument(QRectF(0, 0, 10, 10));
  QRectF back = f.layer->transformRectFromDocumentToLayer(there);
  EXPECT_NEAR(back.x(), 0, 1e-9);
  EXPECT_NEAR(back.width(), 10, 1e-9);
}

TEST(LayerGeometryTest, EmptyLayerHasZeroGeometryButCoversItsAccumulator) {
  LayerFixture f(0, 0);
  EXPECT_TRUE(f.layer->isEmpty());
  EXPECT_EQ(f.layer->bounds(), QRectF());
  EXPECT_EQ(f.layer->clippingRect(), QRectF());
  EXPECT_EQ(f.layer->clippingRectWithAccumulatorForceNoFilters(false), QRectF());
  f.layer->prepareAccumulatorWithWorkingRect(QRectF(5, 6, 30, 40));
  EXPECT_EQ(f.layer->clippingRectWithAccumulatorForceNoFilters(false), QRectF(5, 6, 30, 40));
}

TEST(LayerGeometryTest, ResizeAboutItsPlace) {
  struct Case {
    double factor;
    double zoom;
    QPointF origin;
  } cases[] = {{1, 1, {10, 20}}, {2, 2, {70, 65}}, {0.5, 0.5, {-20, -3}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.factor);
    LayerFixture f;
    f.layer->resizeCenterdedOnOriginWithZoom(c.factor);
    EXPECT_DOUBLE_EQ(f.layer->zoom(), c.zoom);
    EXPECT_EQ(f.layer->origin(), c.origin);
    // The centre lands at factor times its distance from the document origin.
    QRectF clip = f.layer->clippingRectForceNoFilters(false);
    EXPECT_NEAR(clip.center().x(), 60 * c.factor, 1);
    EXPECT_NEAR(clip.center().y(), 45 * c.factor, 1);
  }
}

TEST(LayerGeometryTest, ChangesPostTheirNotifications) {
  struct Case {
    const char* key;
    QVariant value;
    bool disabled;
    bool layerChanged, transformation, keepsAccumulator;
  } cases[] = {
      {"name", "renamed", false, false, false, true},
      {"alpha", 0.5, false, true, false, true},
      {"zoom", 2.0, false, true, true, false},
      {"rotationAngle", 10.0, false, true, true, false},
      {"zoom", 2.0, true, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    LayerFixture f;
    f.layer->prepareAccumulatorWithWorkingRect(QRectF(0, 0, 10, 10));
    QStringList seen;
    auto& center = fnd::NotificationCenter::defaultCenter();
    auto token = center.addObserverForName({}, f.layer, nullptr,
                                           [&](const fnd::Notification& n) { seen << n.name; });
    if (c.disabled) f.layer->disableNotifications();
    f.layer->setValue(c.value, c.key);
    f.layer->enableNotifications();
    center.removeObserver(token);
    EXPECT_TRUE(seen.contains(IMManagedObjectDidChange));
    EXPECT_EQ(seen.contains(IMSelectedLayerDidChange), c.layerChanged);
    EXPECT_EQ(seen.contains(IMSelectedLayerTransformationChange), c.transformation);
    EXPECT_EQ(f.layer->hasNotEmptyImageAccumulator(), c.keepsAccumulator);
  }
}

// A moved layer is reported once, already at its new place on both axes,
// so a canvas redraws it once per move and never at a half-moved place.
TEST(LayerGeometryTest, AMoveIsReportedOnceAtItsNewPlace) {
  const QPointF moves[] = {{37, -12}, {37, 5}, {-4, 5}};
  LayerFixture f;
  for (const QPointF& to : moves) {
    QList<QPointF> reportedAt;
    auto& center = fnd::NotificationCenter::defaultCenter();
    auto token = center.addObserverForName(
        IMSelectedLayerDidChange, f.layer, nullptr,
        [&](const fnd::Notification&) { reportedAt << f.layer->origin(); });
    f.layer->setOrigin(to);
    center.removeObserver(token);
    EXPECT_EQ(reportedAt, QList<QPointF>{to}) << to.x() << "," << to.y();
  }
}

TEST(LayerGeometryTest, SingleValueTransformerCountsElements) {
  struct Case {
    QVariant value;
    bool single;
  } cases[] = {
      {QVariant(), true},
      {QVariantList{}, true},
      {QVariantList{1}, true},
      {QVariantList{1, 2}, false},
  };
  IsSingleValueTransformer transformer;
  for (const Case& c : cases) EXPECT_EQ(transformer.transformedValue(c.value).toBool(), c.single);
  LayerFixture f;
  Layer::createLayerWithComposedImage(f.composedImage, f.document.context.get(), true);
  EXPECT_FALSE(
      transformer.transformedValue(QVariant::fromValue(f.composedImage->relatedObjects("layers")))
          .toBool());
}

TEST(LayerGeometryTest, ThumbnailObserversHearOfNewPixelsAndANewImage) {
  LayerFixture f;
  int heard = 0;
  f.layer->addObserver(
      "imagePreview", fnd::ObservingNew,
      [&](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { ++heard; });
  f.layer->image()->setNsImage(solidImage(30, 30, Qt::blue));
  EXPECT_EQ(heard, 1) << "new pixels in the layer's image";

  Image* other = f.document.context->insertNewObject<Image>("Image");
  f.layer->setImage(other);
  EXPECT_EQ(heard, 2) << "another image";

  f.layer->setImagePreview(solidImage(5, 5, Qt::green));
  EXPECT_EQ(heard, 3) << "a rebuilt thumbnail";

  // A mask's pixels are not the thumbnail's.
  Image* mask = f.document.context->insertNewObject<Image>("Image");
  f.layer->setValue(QVariant::fromValue<cd::ManagedObject*>(mask), "mask");
  const int before = heard;
  mask->setNsImage(solidImage(5, 5, Qt::black));
  EXPECT_EQ(heard, before);
  drainImageWork(f.document);
}
