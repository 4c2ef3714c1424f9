#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "ModelImageTestHelpers.h"
#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

// A picture with structure, so a shift or a flip of a layer shows, made on
// the offscreen canvas as the editor's own drawing is. The reopened layers
// come back decoded in another pixel layout; flattening must not care.
gfx::ImagePtr quarteredImage(int w, int h, QColor a, QColor b) {
  return ima_imageWithPixelSize(QSizeF(w, h), [&](const QRectF& rect) {
    auto* context = gfx::GraphicsContext::current();
    context->fillRect(rect, a, gfx::CompositingOperation::Copy);
    context->fillRect(QRectF(0, 0, w / 2.0, h / 2.0), b, gfx::CompositingOperation::Copy);
    return true;
  });
}

QImage pixels(const gfx::ImagePtr& image) {
  QRectF rect(QPointF(0, 0), image->size());
  return image->CGImageForProposedRect(&rect, nullptr)->toFormat(QImage::Format_ARGB32);
}

}  // namespace

TEST(StoreRoundTripTest, ThreeLayersFlattenToTheSamePixelsAfterReopening) {
  const QString path = tst::tempPath("three-layers.zova");
  QFile::remove(path);
  QImage before;
  {
    ModelDocument document(path);
    auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
    composedImage->setSize(QSizeF(240, 160));
    Layer* rotated =
        Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    rotated->image()->setNsImage(quarteredImage(120, 60, Qt::red, Qt::yellow));
    rotated->setOrigin(QPointF(40, 50));
    rotated->setRotationAngle(30);
    Layer* multiplied =
        Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    multiplied->image()->setNsImage(quarteredImage(200, 100, Qt::cyan, Qt::magenta));
    multiplied->setOrigin(QPointF(20, 30));
    multiplied->setAlpha(0.5);
    multiplied->setCompositingOperation(14);
    Layer* hidden =
        Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    hidden->image()->setNsImage(quarteredImage(240, 160, Qt::blue, Qt::white));
    hidden->setVisible(false);
    Layer* background =
        Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    background->image()->setNsImage(quarteredImage(240, 160, Qt::gray, Qt::darkGreen));
    before = pixels(composedImage->finalImageKeepAlpha(true));
    fnd::Error error;
    ASSERT_TRUE(document.context->save(&error)) << error.localizedDescription().toStdString();
  }
  tst::saveArtifact(path, "model-three-layers-store.zova");

  ModelDocument reopened(path);
  fnd::Error error;
  ComposedImage* composedImage =
      ComposedImage::composedImageForManagedObjectContext(reopened.context.get(), &error);
  ASSERT_NE(composedImage, nullptr) << error.localizedDescription().toStdString();
  QList<Layer*> layers = composedImage->layersArray();
  ASSERT_EQ(layers.size(), 4);
  EXPECT_EQ(layers[0]->name(), "untitled layer 1");
  EXPECT_FLOAT_EQ(layers[0]->rotationAngle(), 30);
  EXPECT_EQ(layers[1]->compositingOperation(), 14);
  EXPECT_FLOAT_EQ(layers[1]->alpha(), 0.5);
  EXPECT_FALSE(layers[2]->visible());
  // A reopened document numbers its new layers after the default-named
  // ones it holds (here up to "untitled layer 4"), so no name repeats.
  EXPECT_EQ(composedImage->aNewLayerIncrementalCount(), 5);
  gfx::ImagePtr flat = composedImage->finalImageKeepAlpha(true);
  ASSERT_TRUE(flat);
  QImage after = pixels(flat);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_LE(mht::largestDifference(before, after), 1);

  const QString png = tst::tempPath("three-layers-flattened.png");
  ASSERT_TRUE(after.save(png, "PNG"));
  tst::saveArtifact(png, "model-three-layers-flattened.png");
}

TEST(StoreRoundTripTest, FirstUndoAfterOpeningBringsBackTheStoredPixels) {
  const QString path = tst::tempPath("undo-after-open.zova");
  QFile::remove(path);
  {
    ModelDocument document(path);
    ComposedImage::createComposedImageWithALayerForManagedObjectContext(document.context.get());
    auto* composedImage =
        ComposedImage::composedImageForManagedObjectContext(document.context.get());
    composedImage->layersArray().first()->image()->setNsImage(
        quarteredImage(10, 10, Qt::red, Qt::red));
    ASSERT_TRUE(document.context->save());
  }
  struct Case {
    bool drawnFirst;  // the canvas usually shows the layer before any edit
  } cases[] = {{true}, {false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.drawnFirst);
    ModelDocument reopened(path);
    auto* composedImage =
        ComposedImage::composedImageForManagedObjectContext(reopened.context.get());
    ASSERT_TRUE(composedImage);
    Layer* layer = composedImage->layersArray().first();
    if (c.drawnFirst) composedImage->finalImageKeepAlpha(true);
    fnd::UndoManager* undo = reopened.context->undoManager();
    undo->removeAllActions();
    undo->beginUndoGrouping();
    layer->image()->setNsImage(quarteredImage(10, 10, Qt::blue, Qt::blue));
    reopened.context->processPendingChanges();
    undo->endUndoGrouping();
    reopened.context->undo();
    ASSERT_TRUE(tst::spinUntil(
        [&] { return layer->image()->localImageDate() == layer->image()->versionToken(); }));
    gfx::ImagePtr restored = layer->image()->localImage();
    ASSERT_TRUE(restored);
    EXPECT_TRUE(sameColor(pixelAt(restored, 5, 5), Qt::red));
  }
}
