// The layers panel's thumbnails: drawn from a layer's 8-bit pixels, each
// pixel the average of those it covers, and held back while a stroke paints.
#include <gtest/gtest.h>

#include <QImage>

#include "ModelImageTestHelpers.h"
#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

// Smooth pixels, straight colours given per point, alpha included.
QImage gradient(int width, int height) {
  QImage pixels(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.setPixel(
          x, y,
          qRgba(255 * x / width, 255 * y / height, 255 - 255 * x / width, 255 - 100 * y / height));
  return pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Pixels no larger than a point, alternately black and white.
QImage checkerboard(int width, int height) {
  QImage pixels(width, height, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  return pixels;
}

QImage thumbnailPixels(const gfx::ImagePtr& thumbnail) { return mht::pixelsOf(thumbnail); }

}  // namespace

// The same thumbnail as the float rendering of the layer's recipe where the
// pixels are smooth; where they change from one pixel to the next, the
// average of each covered block, where the recipe's samples catch a few
// pixels of it (a checkerboard would show black or white or stripes).
TEST(LayerThumbnail, EightBitThumbnailsAverageWhatEachPixelCovers) {
  const QColor grid(Qt::gray);
  const struct {
    const char* name;
    QImage pixels;
    QSizeF size;
    int tolerance;  // from the recipe's thumbnail; -1: compared with the mean
  } rows[] = {
      {"landscape gradient", gradient(1600, 900), {137, 96}, 2},
      {"portrait gradient", gradient(300, 1000), {137, 96}, 2},
      {"gradient reduced little", gradient(200, 150), {137, 96}, 2},
      {"one-point checkerboard", checkerboard(1200, 800), {137, 96}, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const gfx::CGImagePtr pixels = gfx::CGImage::make(row.pixels);
    const QImage fast = thumbnailPixels(ima_previewImageWithPixelSize(pixels, row.size, grid));
    ASSERT_FALSE(fast.isNull());
    const ci::Image recipe = ci::Image::imageWithCGImage(pixels);
    const QImage rendered = thumbnailPixels(ima_previewImageWithPixelSize(recipe, row.size, grid));
    ASSERT_EQ(fast.size(), rendered.size());
    if (row.tolerance >= 0) {
      EXPECT_LE(mht::largestDifference(fast, rendered), row.tolerance);
      continue;
    }
    // Inside the frame's one-point margin, mid grey everywhere.
    for (int y = 1; y < fast.height() - 1; ++y)
      for (int x = 1; x < fast.width() - 1; ++x)
        ASSERT_LE(std::abs(qGray(fast.pixel(x, y)) - 128), 3) << x << "," << y;
  }
}

// A thumbnail asked for while a stroke paints comes once the stroke is baked.
TEST(LayerThumbnail, WaitsForTheStrokeInProgress) {
  ModelDocument document;
  fnd::OperationQueue previews;
  document.context->setCancellableOperationQueue(&previews);
  ComposedImage* composed =
      ComposedImage::createComposedImageWithALayerForManagedObjectContext(document.context.get());
  composed->setLayerPreviewImagesSize(QSizeF(34, 34));
  Layer* painted = composed->layersArray().first();
  Layer* other = Layer::createLayerWithComposedImage(composed, document.context.get(), true);
  other->image()->setNsImage(solidImage(8, 8, Qt::blue));
  drainImageWork(document);
  tst::spinUntil([&] { return other->imagePreview() != nullptr; });
  other->setImagePreview(nullptr);

  painted->prepareAccumulatorWithWorkingRect(QRectF(0, 0, 8, 8));
  other->updatePreviewImage();
  // Twice the delay: no thumbnail while the stroke lasts.
  EXPECT_FALSE(tst::spinUntil([&] { return other->imagePreview() != nullptr; }, 1200));
  painted->setCIImageAccumulator(nullptr);
  ASSERT_TRUE(tst::spinUntil([&] { return other->imagePreview() != nullptr; }));
  EXPECT_TRUE(sameColor(pixelAt(other->imagePreview(), 16, 16), Qt::blue, 2));
  drainImageWork(document);
  document.context->setCancellableOperationQueue(nullptr);
}
