#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "appkit/core/Beep.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/TextLayer.h"

namespace {

Layer* addSolidLayer(ComposedImage* composedImage, cd::ManagedObjectContext* context,
                     const QRectF& rect, const QColor& color) {
  Layer* layer = Layer::createLayerWithComposedImage(composedImage, context, true);
  layer->image()->setNsImage(solidImage(int(rect.width()), int(rect.height()), color));
  layer->setOrigin(rect.topLeft());
  return layer;
}

}  // namespace

TEST(ComposedImageTest, NewDocumentHasOneNamedLayerAndCanvasSize) {
  ModelDocument document;
  ComposedImage* composedImage =
      ComposedImage::createComposedImageWithALayerForManagedObjectContext(document.context.get());
  ASSERT_NE(composedImage, nullptr);
  EXPECT_EQ(composedImage->size(), QSizeF(1600, 800));
  EXPECT_EQ(composedImage->rect(), QRectF(0, 0, 1600, 800));
  ASSERT_EQ(composedImage->layersArray().size(), 1);
  Layer* layer = composedImage->layersArray().first();
  EXPECT_EQ(layer->name(), "untitled layer 1");
  EXPECT_EQ(layer->composedImage(), composedImage);
  EXPECT_NE(layer->image(), nullptr);
  EXPECT_TRUE(composedImage->isEmpty());
  EXPECT_EQ(composedImage->aNewLayerIncrementalCount(), 2);
  EXPECT_EQ(ComposedImage::composedImageForManagedObjectContext(document.context.get()),
            composedImage);
}

TEST(ComposedImageTest, RootIsFoundOnlyWhenThereIsExactlyOne) {
  for (int roots : {0, 1, 2}) {
    SCOPED_TRACE(roots);
    ModelDocument document;
    for (int i = 0; i < roots; ++i)
      document.context->insertNewObjectForEntityForName("ComposedImage");
    fnd::Error error;
    ComposedImage* found =
        ComposedImage::composedImageForManagedObjectContext(document.context.get(), &error);
    EXPECT_EQ(found != nullptr, roots == 1);
    EXPECT_TRUE(error.isNull());
  }
}

TEST(ComposedImageTest, EmptinessFollowsLayerCountAndPixels) {
  struct Case {
    int layers;
    bool painted;
    bool empty;
  } cases[] = {{0, false, true}, {1, false, true}, {1, true, false}, {2, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layers);
    ModelDocument document;
    auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
    for (int i = 0; i < c.layers; ++i)
      Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    if (c.painted)
      composedImage->layersArray().first()->image()->setNsImage(solidImage(4, 4, Qt::red));
    EXPECT_EQ(composedImage->isEmpty(), c.empty);
    EXPECT_EQ(composedImage->hasMoreThanOneLayer(), c.layers > 1);
  }
}

TEST(ComposedImageTest, AddingLayersPostsLayersChangedBeforeGenericChange) {
  ModelDocument document;
  auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
  QStringList seen;
  auto& center = fnd::NotificationCenter::defaultCenter();
  auto a = center.addObserverForName(IMSomeLayersChanged, composedImage, nullptr,
                                     [&](const fnd::Notification& n) { seen << n.name; });
  auto b = center.addObserverForName(IMManagedObjectDidChange, composedImage, nullptr,
                                     [&](const fnd::Notification& n) { seen << n.name; });
  Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
  center.removeObserver(a);
  center.removeObserver(b);
  ASSERT_GE(seen.size(), 2);
  EXPECT_EQ(seen.indexOf(IMSomeLayersChanged), seen.indexOf(IMManagedObjectDidChange) - 1);
}

// Three overlapping opaque squares: index 0 must end on top, so the walk
// draws C, then B, then A.
TEST(ComposedImageTest, CompositesLastLayerFirst) {
  ModelDocument document;
  auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
  composedImage->setSize(QSizeF(30, 10));
  Layer* a = addSolidLayer(composedImage, document.context.get(), {0, 0, 10, 10}, Qt::red);
  Layer* b = addSolidLayer(composedImage, document.context.get(), {0, 0, 20, 10}, Qt::green);
  Layer* c = addSolidLayer(composedImage, document.context.get(), {0, 0, 30, 10}, Qt::blue);
  ASSERT_EQ(composedImage->layersArray(), (QList<Layer*>{a, b, c}));
  gfx::ImagePtr flat = composedImage->finalImageKeepAlpha(true);
  ASSERT_TRUE(flat);
  struct Probe {
    int x;
    QColor color;
  } probes[] = {{5, Qt::red}, {15, Qt::green}, {25, Qt::blue}};
  for (const Probe& probe : probes)
    EXPECT_TRUE(sameColor(pixelAt(flat, probe.x, 5), probe.color)) << probe.x;
}

TEST(ComposedImageTest, FlattensWithAndWithoutAlpha) {
  ModelDocument document;
  auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
  composedImage->setSize(QSizeF(8, 8));
  Layer* layer = addSolidLayer(composedImage, document.context.get(), {0, 0, 8, 8}, Qt::black);
  layer->setAlpha(0.5);
  struct Case {
    bool keepAlpha;
    QColor expected;
  } cases[] = {{true, QColor(0, 0, 0, 128)}, {false, QColor(127, 127, 127, 255)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keepAlpha);
    gfx::ImagePtr flat = composedImage->finalImageKeepAlpha(c.keepAlpha);
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->size(), QSizeF(8, 8));
    EXPECT_TRUE(sameColor(pixelAt(flat, 3, 3), c.expected, 2))
        << pixelAt(flat, 3, 3).name(QColor::HexArgb).toStdString();
  }
}

TEST(ComposedImageTest, FlattensASubRectangle) {
  ModelDocument document;
  auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
  composedImage->setSize(QSizeF(200, 100));
  // Red below y 55, blue above, split at x 110: each corner of the cut-out
  // rectangle (100, 50, 20, 10) lands in a different colour.
  addSolidLayer(composedImage, document.context.get(), {0, 55, 110, 45}, Qt::blue);
  addSolidLayer(composedImage, document.context.get(), {110, 0, 90, 100}, Qt::green);
  addSolidLayer(composedImage, document.context.get(), {0, 0, 110, 55}, Qt::red);
  gfx::ImagePtr part = composedImage->finalImageKeepAlpha(true, composedImage->layersArray(),
                                                          QRectF(100, 50, 20, 10));
  ASSERT_TRUE(part);
  EXPECT_EQ(part->size(), QSizeF(20, 10));
  struct Probe {
    int x, y;
    QColor color;
  } probes[] = {{0, 0, Qt::red}, {9, 4, Qt::red}, {0, 9, Qt::blue}, {15, 2, Qt::green}};
  for (const Probe& p : probes)
    EXPECT_TRUE(sameColor(pixelAt(part, p.x, p.y), p.color)) << p.x << "," << p.y;
}

TEST(ComposedImageTest, ResizeWithZoomRoundsEachSide) {
  struct Case {
    QSizeF size;
    double factor;
    QSizeF expected;
  } cases[] = {
      {{1001, 3}, 0.5, {501, 2}},     {{1600, 800}, 2, {3200, 1600}}, {{1600, 800}, 0, {1600, 800}},
      {{1600, 800}, -1, {1600, 800}},  // refused: no canvas has a negative size
      {{3, 3}, 0.01, {1, 1}},          // never collapses to nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.factor);
    ModelDocument document;
    auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
    composedImage->setSize(c.size);
    Layer* layer = Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    layer->image()->setNsImage(solidImage(100, 50, Qt::red));
    layer->setOrigin(QPointF(10, 20));
    composedImage->resizeWithZoom(c.factor);
    EXPECT_EQ(composedImage->size(), c.expected);
    EXPECT_FLOAT_EQ(layer->zoom(), c.factor > 0 ? c.factor : 1);
  }
}

TEST(ComposedImageTest, EraseAcrossLayersSkipsTextAndHiddenWithABeepEach) {
  ModelDocument document;
  int beeps = 0;
  ui::setBeepHandler([&] { ++beeps; });
  auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
  composedImage->setSize(QSizeF(10, 10));
  Layer* text =
      Layer::createLayerWithComposedImage(composedImage, document.context.get(), true, "TextLayer");
  Layer* hidden = addSolidLayer(composedImage, document.context.get(), {0, 0, 10, 10}, Qt::red);
  hidden->setVisible(false);
  Layer* shown = addSolidLayer(composedImage, document.context.get(), {0, 0, 10, 10}, Qt::red);
  composedImage->deleteWithMask(ci::Image(), {text, hidden, shown}, composedImage->rect(), false);
  ui::setBeepHandler(nullptr);
  EXPECT_EQ(beeps, 2);
  EXPECT_TRUE(dynamic_cast<TextLayer*>(text));
  EXPECT_TRUE(sameColor(pixelAt(hidden->image()->nsImage(), 5, 5), Qt::red));
  EXPECT_EQ(pixelAt(shown->image()->nsImage(), 5, 5).alpha(), 0);
}

TEST(ComposedImageTest, UndoOfANewLayerRestoresTheListAndAnnouncesIt) {
  ModelDocument document;
  ComposedImage* composedImage =
      ComposedImage::createComposedImageWithALayerForManagedObjectContext(document.context.get());
  document.context->processPendingChanges();
  fnd::UndoManager* undo = document.context->undoManager();
  undo->removeAllActions();
  undo->beginUndoGrouping();
  Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
  document.context->processPendingChanges();
  undo->endUndoGrouping();
  ASSERT_EQ(composedImage->layersArray().size(), 2);
  int snapshots = 0;
  auto token = fnd::NotificationCenter::defaultCenter().addObserverForName(
      IMComposedImageSnapshotEventNotification, composedImage, nullptr,
      [&](const fnd::Notification&) { ++snapshots; });
  document.context->undo();
  fnd::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(composedImage->layersArray().size(), 1);
  EXPECT_EQ(snapshots, 1);
}

TEST(ComposedImageTest, StoredCanvasSizeMustBeFinitePositiveAndWithinTheLimits) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double width, height;
    int code;  // 0: opens
  } cases[] = {{1600, 800, 0},
               {0.5, 3, 0},
               {0, 800, fnd::FileReadCorruptFileError},
               {-3, 800, fnd::FileReadCorruptFileError},
               {inf, 800, fnd::FileReadCorruptFileError},
               {std::nan(""), 800, fnd::FileReadCorruptFileError},
               {70000, 10, fnd::FileReadTooLargeError},
               {20000, 20000, fnd::FileReadTooLargeError},
               {1e30, 1, fnd::FileReadTooLargeError}};
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1 × %2").arg(c.width).arg(c.height).toStdString());
    const QString path = tst::tempPath("canvas-size.zova");
    {
      ModelDocument document(path);
      ComposedImage* composedImage =
          ComposedImage::createComposedImageWithALayerForManagedObjectContext(
              document.context.get());
      composedImage->setSize(QSizeF(c.width, c.height));
      fnd::Error error;
      ASSERT_TRUE(document.context->save(&error)) << error.localizedDescription().toStdString();
    }
    ModelDocument reopened(path);
    fnd::Error error;
    ComposedImage* found =
        ComposedImage::composedImageForManagedObjectContext(reopened.context.get(), &error);
    EXPECT_EQ(found != nullptr, c.code == 0);
    EXPECT_EQ(error.code(), c.code) << error.localizedDescription().toStdString();
  }
}
