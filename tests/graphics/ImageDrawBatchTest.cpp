// Image batches: images drawn inside a batch, composited together band by
// band when it ends, land exactly as the same images drawn one at a time,
// whatever their operations, fractions, placements, clips and the other
// drawing between them.
#include <gtest/gtest.h>

#include <QPainter>
#include <QtMath>
#include <cmath>

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

// A canvas whose frame falls between pixels: the clip's fractional edges
// fold into each draw's coverage. Where every outline ends at the frame,
// that clip is redundant, so the pixels equal the same drawing clipped to
// the whole pixels around it, edge pixels included: partly covered, not
// dropped by the clip nor covered twice by clip and outline. A layer
// reaching past the frame is cut there, partly covering the edge pixels.
TEST(ImageDrawBatch, ClipsWithEdgesBetweenPixelsCutDrawsByTheirArea) {
  const CGImagePtr base = ramps(301, 201, 4), layer = ramps(120, 90, 5);
  for (const double zoom : {0.3427, 0.6667, 1.37}) {
    const QRectF frame(0, 0, 301 * zoom, 201 * zoom);
    const QRect around = frame.toAlignedRect();
    auto draw = [&](GraphicsContext& context, const QRectF& clip) {
      CurrentContextScope scope(&context);
      ImageBatchScope batch(&context);
      // Device pixels as user space, y down.
      context.translateCTM(0, context.pixelsHigh());
      context.scaleCTM(1, -1);
      context.clipToRect(clip);
      context.fillRect(frame, Qt::white, CompositingOperation::Copy);
      context.scaleCTM(zoom, zoom);
      context.drawImage(base, QRectF(0, 0, 301, 201), {}, CompositingOperation::SourceOver, 1);
      context.saveGState();
      context.translateCTM(90, 40);
      context.rotateCTM(qDegreesToRadians(12.0));
      context.drawImage(layer, QRectF(0, 0, 120, 90), {}, CompositingOperation::Multiply, 0.6);
      context.restoreGState();
      // Past the right edge, in the lower half only.
      context.drawImage(layer, QRectF(240, 110, 120, 90), {}, CompositingOperation::Multiply, 0.6);
    };
    auto cut = GraphicsContext::bitmapContext(around.width() + 2, around.height() + 2);
    auto whole = GraphicsContext::bitmapContext(around.width() + 2, around.height() + 2);
    draw(*cut, frame);
    draw(*whole, QRectF(around));
    const QImage& a = *cut->bitmap();
    const QImage& b = *whole->bitmap();
    const int lastRow = around.height() - 1;
    const int edge = around.width() - 1;
    ASSERT_LT(frame.right(), around.right() + 1.0) << zoom;
    const int layerTop = int(std::ceil(110 * zoom)) + 1;
    const int layerBottom = int(std::floor(200 * zoom)) - 1;
    int partial = 0;
    for (int y = 0; y < lastRow; ++y) {
      for (int x = 0; x < edge; ++x)
        ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << zoom << " at " << x << "," << y;
      const QRgb e = a.pixel(edge, y);
      if (y < layerTop - 2) {
        EXPECT_EQ(e, b.pixel(edge, y)) << zoom << " edge row " << y;
      } else if (y > layerTop && y < layerBottom) {
        EXPECT_NE(e, b.pixel(edge, y)) << zoom << " cut edge row " << y;
      }
      if (qAlpha(e) > 0 && qAlpha(e) < 255) ++partial;
    }
    EXPECT_EQ(partial, lastRow) << zoom;
    // Nothing beyond the frame.
    EXPECT_EQ(a.pixel(edge + 1, 0), 0u);
    EXPECT_EQ(a.pixel(0, lastRow + 1), 0u);
  }
}

// Unsmoothed transformed draws (the canvas magnified) are sampled in the
// batch, each pixel taking the source pixel QPainter takes; compared on the
// pixels both cover whole.
TEST(ImageDrawBatch, UnsmoothedTransformsPickThePixelsQPainterPicks) {
  QImage noise(53, 41, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < noise.height(); ++y)
    for (int x = 0; x < noise.width(); ++x)
      noise.setPixel(x, y,
                     qRgb((x * 37 + y * 11) & 255, (x * y * 7 + 3) & 255, (x * 5 ^ y * 9) & 255));
  const CGImagePtr image = CGImage::make(noise);
  struct Case {
    double degrees, scale;
    QPointF at;
  };
  const Case cases[] = {{0, 2, {10, 7}},     {0, 4, {3, 5}},     {17, 1, {40, 12}},
                        {90, 2, {120, 9}},   {200, 1, {90, 80}}, {33, 2.5, {60, 3}},
                        {-8, 1.37, {20, 30}}};
  for (const Case& c : cases) {
    auto context = GraphicsContext::bitmapContext(200, 180);
    const QRectF destination(0, 0, 53, 41);
    QTransform deviceTransform;
    {
      CurrentContextScope scope(context.get());
      context->setImageInterpolation(false);
      context->translateCTM(c.at.x(), c.at.y());
      context->rotateCTM(qDegreesToRadians(c.degrees));
      context->scaleCTM(c.scale, c.scale);
      deviceTransform = context->deviceTransform();
      // Multiply over clear pixels leaves the source: a blend mode, so the
      // draw cannot fall to QPainter's own source-over.
      context->drawImage(image, destination, {}, CompositingOperation::Multiply, 1);
    }
    QImage expected(200, 180, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
      QPainter painter(&expected);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setTransform(QTransform(1, 0, 0, -1, 0, destination.height()) * deviceTransform);
      painter.drawImage(destination, noise);
    }
    const QImage& got = *context->bitmap();
    int compared = 0;
    for (int y = 0; y < 180; ++y)
      for (int x = 0; x < 200; ++x) {
        if (qAlpha(got.pixel(x, y)) < 255 || qAlpha(expected.pixel(x, y)) < 255) continue;
        ++compared;
        ASSERT_EQ(got.pixel(x, y), expected.pixel(x, y))
            << c.degrees << "° ×" << c.scale << " at " << x << "," << y;
      }
    EXPECT_GT(compared, 53 * 41 * c.scale * c.scale / 2) << c.degrees << "° ×" << c.scale;
  }
}
