// Image batches: images drawn inside a batch, composited together band by
// band when it ends, land exactly as the same images drawn one at a time,
// whatever their operations, fractions, placements, clips and the other
// drawing between them.
#include <gtest/gtest.h>

#include <QtMath>

#include "TestSupport.h"
#include "graphics/BezierPath.h"
#include "graphics/GraphicsContext.h"

using namespace gfx;

namespace {

// Grain over smooth ramps, with translucent and transparent parts.
CGImagePtr ramps(int width, int height, int seed) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int alpha = (x + seed) % 23 < 3 ? 0 : (y + seed) % 17 < 5 ? 120 : 255;
      QColor c((x * 3 + seed * 40) & 255, (y * 5 + (x * y) % 7) & 255, ((x + y) * 2 + seed) & 255,
               alpha);
      image.setPixel(x, y, qPremultiply(c.rgba()));
    }
  return CGImage::make(image);
}

// A 6 × 4 pattern with translucent pixels.
QImage tile() {
  QImage pattern(6, 4, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      pattern.setPixel(x, y, qPremultiply(qRgba(x * 40, y * 60, 90, 100 + 25 * y)));
  return pattern;
}

// Draws the same scene into `context`: a fill, an image and a tile laid over
// both, then for each operation images at odd whole-pixel offsets, rotated,
// and reduced to under half size, with a path fill, blended fills and a
// narrower clip part-way through. `snapshot` receives the pixels as they are
// half-way.
void drawScene(GraphicsContext& context, CGImagePtr* snapshot) {
  CurrentContextScope scope(&context);
  const CGImagePtr small = ramps(97, 61, 1), large = ramps(240, 180, 2);
  context.drawImage(small, QRectF(20, 20, 97, 61), {}, CompositingOperation::SourceOver, 1);
  // Replaces the image above whole.
  context.fillRect(QRectF(0, 0, 301, 203), QColor(250, 250, 250), CompositingOperation::Copy);
  context.copyTileIntoDeviceRect(tile(), QPoint(3, 1), QRectF(11, 13, 150, 90));
  for (int op = 0; op < CompositingOperationCount; ++op) {
    const auto operation = CompositingOperation(op);
    const double fraction = 0.45 + 0.02 * op;
    context.drawImage(small, QRectF(7 + op * 3, 5 + op, 97, 61), {}, operation, fraction);
    context.saveGState();
    context.translateCTM(150.5, 90.25);
    context.rotateCTM(qDegreesToRadians(15.0 + op));
    context.drawImage(small, QRectF(-40, -30, 97, 61), {}, operation, 1 - fraction / 2);
    context.restoreGState();
    context.saveGState();
    if (op % 3 == 1) context.clipToRect(QRectF(31, 17, 211, 143));
    context.translateCTM(60, 40);
    context.rotateCTM(qDegreesToRadians(30.0));
    // Under half size: drawn from the reduced copies.
    context.drawImage(large, QRectF(3, 1, 110, 81), {}, operation, fraction);
    context.restoreGState();
    if (op % 5 == 2) context.fillRect(QRectF(101, 7, 90, 150), QColor(200, 40, 90, 170), operation);
    if (op == CompositingOperationCount / 2) {
      BezierPath path = BezierPath::bezierPathWithOvalInRect(QRectF(40, 30, 120, 90));
      context.fillPath(path, QColor(20, 90, 200, 160));
      if (snapshot) *snapshot = context.makeImage();
    }
  }
}

}  // namespace

TEST(ImageDrawBatch, DrawsWhatImagesDrawnOneByOneDraw) {
  auto oneByOne = GraphicsContext::bitmapContext(301, 203);
  auto batched = GraphicsContext::bitmapContext(301, 203);
  CGImagePtr halfWayOne, halfWayBatched;
  drawScene(*oneByOne, &halfWayOne);
  {
    ImageBatchScope batch(batched.get());
    drawScene(*batched, &halfWayBatched);
  }
  ASSERT_TRUE(halfWayOne && halfWayBatched);
  EXPECT_EQ(halfWayBatched->qImage(), halfWayOne->qImage());
  EXPECT_EQ(*batched->bitmap(), *oneByOne->bitmap());
  // Drawing happened at all: the scene is not the background alone.
  QImage background(301, 203, QImage::Format_ARGB32_Premultiplied);
  background.fill(qRgb(250, 250, 250));
  EXPECT_NE(*batched->bitmap(), background);
}

// A steeply rotated wide draw is sampled band by band in narrow columns;
// the same draw made in strips too narrow for that lands the same pixels.
TEST(ImageDrawBatch, SteepRotationsLandAsInNarrowStrips) {
  const CGImagePtr image = ramps(1500, 400, 3);
  auto draw = [&](GraphicsContext& context, const QRectF& clip) {
    CurrentContextScope scope(&context);
    context.saveGState();
    context.clipToRect(clip);
    context.translateCTM(40, 20);
    context.rotateCTM(qDegreesToRadians(31.0));
    context.drawImage(image, QRectF(0.5, 0.25, 1500, 400), {}, CompositingOperation::Multiply, 0.8);
    context.restoreGState();
  };
  auto whole = GraphicsContext::bitmapContext(1400, 900);
  auto strips = GraphicsContext::bitmapContext(1400, 900);
  for (auto* context : {whole.get(), strips.get()}) {
    CurrentContextScope scope(context);
    context->fillRect(QRectF(0, 0, 1400, 900), QColor(200, 220, 240), CompositingOperation::Copy);
  }
  draw(*whole, QRectF(0, 0, 1400, 900));
  for (int left = 0; left < 1400; left += 100) draw(*strips, QRectF(left, 0, 100, 900));
  EXPECT_EQ(*whole->bitmap(), *strips->bitmap());
  QImage background(1400, 900, QImage::Format_ARGB32_Premultiplied);
  background.fill(qRgb(200, 220, 240));
  EXPECT_NE(*whole->bitmap(), background);
}
