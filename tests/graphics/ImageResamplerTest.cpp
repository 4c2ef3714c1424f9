// Transformed image drawing: the same pixels in any 8-bit layout land on the
// target identically, and match an exact bilinear filter computed here in
// double precision.
#include <gtest/gtest.h>

#include <QTransform>
#include <array>
#include <cmath>

#include "TestSupport.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"

using namespace gfx;

namespace {

// Sharp colour edges and translucent areas, as drawn on the offscreen canvas.
QImage edgesImage(int w, int h, bool opaque) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      QColor c = (x / 7 + y / 5) % 2 ? QColor(230, 20, 40) : QColor(10, 200, 250);
      if (x > w / 2) c = y % 9 < 4 ? QColor(255, 255, 0) : QColor(0, 0, 0);
      if (!opaque && y > h / 2) c.setAlpha(x % 11 < 5 ? 90 : 255);
      image.setPixelColor(x, y, c);
    }
  return image;
}

int largestDifference(const QImage& a, const QImage& b) {
  QImage p = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage q = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  int worst = 0;
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) {
      QRgb s = p.pixel(x, y), t = q.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(s) - qRed(t)), std::abs(qGreen(s) - qGreen(t)),
                        std::abs(qBlue(s) - qBlue(t)), std::abs(qAlpha(s) - qAlpha(t))});
    }
  return worst;
}

struct Placement {
  const char* name;
  double angleDegrees;
  QRectF destination;  // in user space of a 160×120 bitmap, y up
  QRectF source;       // in image pixels, top row first; empty: the whole image
  CompositingOperation op;
  double fraction;
  int bitsPerComponent;  // of the target
};

// Draws `pixels` as `placement` says onto a grey target; returns the target
// and the map from the image's pixel grid to the target's.
QImage drawPlaced(const QImage& pixels, const Placement& placement, QTransform* imageToTarget) {
  auto context = GraphicsContext::bitmapContext(160, 120, placement.bitsPerComponent,
                                                ImageAlphaInfo::PremultipliedLast);
  context->fillRect(QRectF(0, 0, 160, 120), QColor(120, 120, 120, 200));
  context->translateCTM(80, 60);
  context->rotateCTM(placement.angleDegrees * M_PI / 180);
  context->translateCTM(-80, -60);
  if (placement.source.isEmpty()) {
    // Whole images go the way documents draw them, through an Image.
    CurrentContextScope scope(context.get());
    ImagePtr image = Image::imageWithCGImage(CGImage::make(pixels));
    EXPECT_TRUE(image->drawInRect(placement.destination, {}, placement.op, placement.fraction));
  } else {
    context->drawImage(CGImage::make(pixels), placement.destination, placement.source, placement.op,
                       placement.fraction);
  }
  QRectF source = placement.source.isEmpty() ? QRectF(pixels.rect()) : placement.source;
  const QRectF& d = placement.destination;
  // Image rows run downwards; user space runs upwards.
  QTransform imageToUser =
      QTransform::fromTranslate(-source.x(), -source.y()) *
      QTransform::fromScale(d.width() / source.width(), -d.height() / source.height()) *
      QTransform::fromTranslate(d.x(), d.bottom());
  *imageToTarget = imageToUser * context->deviceTransform();
  return context->makeImage()->qImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Exact bilinear sample (double precision) of premultiplied `p` at point (u, v).
std::array<double, 4> bilinear(const QImage& p, double u, double v) {
  double fx = u - 0.5 - std::floor(u - 0.5), fy = v - 0.5 - std::floor(v - 0.5);
  int x0 = int(std::floor(u - 0.5)), y0 = int(std::floor(v - 0.5));
  std::array<double, 4> sum{};
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      QRgb c = p.pixel(std::clamp(x0 + i, 0, p.width() - 1), std::clamp(y0 + j, 0, p.height() - 1));
      double w = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
      sum[0] += w * qRed(c), sum[1] += w * qGreen(c), sum[2] += w * qBlue(c),
          sum[3] += w * qAlpha(c);
    }
  return sum;
}

}  // namespace

TEST(ImageResamplerTest, TransformedDrawsGiveTheSamePixelsWhateverTheSourceLayout) {
  const Placement placements[] = {
      {"rotated 30", 30, {30, 20, 100, 80}, {}, CompositingOperation::SourceOver, 1.0, 8},
      {"rotated -17, half", -17, {25, 15, 110, 90}, {}, CompositingOperation::SourceOver, 0.5, 8},
      {"rotated 45, multiply", 45, {40, 30, 80, 60}, {}, CompositingOperation::Multiply, 0.7, 8},
      {"scaled up by 2.3", 0, {10.25, 5.5, 138, 103.5}, {}, CompositingOperation::SourceOver, 1, 8},
      {"part, rotated 12", 12, {30, 20, 90, 70}, {8, 6, 40, 30}, CompositingOperation::Copy, 1, 8},
      {"rotated 30, deep target",
       30,
       {30, 20, 100, 80},
       {},
       CompositingOperation::SourceOver,
       1,
       16},
  };
  struct Layout {
    QImage::Format format;
    bool opaqueOnly;
  } layouts[] = {
      {QImage::Format_ARGB32, false},
      {QImage::Format_RGBA8888, false},
      {QImage::Format_RGBA8888_Premultiplied, false},
      {QImage::Format_RGB32, true},
      {QImage::Format_RGBX8888, true},
      {QImage::Format_RGB888, true},
  };
  for (const Placement& placement : placements) {
    SCOPED_TRACE(placement.name);
    for (bool opaque : {false, true}) {
      QImage canvasMade = edgesImage(60, 45, opaque);
      QTransform imageToTarget;
      QImage reference = drawPlaced(canvasMade, placement, &imageToTarget);
      if (!opaque && placement.angleDegrees == 30 && placement.bitsPerComponent == 8) {
        QString path = tst::tempPath("rotated-edges.png");
        ASSERT_TRUE(reference.save(path, "PNG"));
        tst::saveArtifact(path, "graphics-rotated-edges.png");
      }
      for (const Layout& layout : layouts) {
        if (layout.opaqueOnly && !opaque) continue;
        SCOPED_TRACE(layout.format);
        QTransform unused;
        QImage drawn = drawPlaced(canvasMade.convertToFormat(layout.format), placement, &unused);
        EXPECT_LE(largestDifference(reference, drawn), 1);
      }
    }
  }
}

TEST(ImageResamplerTest, RotatedDrawsMatchAnExactBilinearFilter) {
  const Placement placements[] = {
      {"rotated 30", 30, {30, 20, 100, 80}, {}, CompositingOperation::Copy, 1.0, 8},
      {"rotated 71, scaled", 71, {35, 30, 83, 57}, {}, CompositingOperation::Copy, 1.0, 8},
      {"shrunk", 0, {20.5, 20.25, 41, 31}, {}, CompositingOperation::Copy, 1.0, 8},
  };
  QImage pixels = edgesImage(60, 45, false).convertToFormat(QImage::Format_ARGB32);
  QImage premultiplied = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (const Placement& placement : placements) {
    SCOPED_TRACE(placement.name);
    QTransform imageToTarget;
    QImage drawn = drawPlaced(pixels, placement, &imageToTarget);
    QTransform targetToImage = imageToTarget.inverted();
    int checked = 0, worst = 0;
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x) {
        QPointF p = targetToImage.map(QPointF(x + 0.5, y + 0.5));
        // Only pixels the image covers wholly; its outline is antialiased.
        if (p.x() < 1 || p.y() < 1 || p.x() > pixels.width() - 1 || p.y() > pixels.height() - 1)
          continue;
        std::array<double, 4> expected = bilinear(premultiplied, p.x(), p.y());
        QRgb got = drawn.pixel(x, y);
        int channels[] = {qRed(got), qGreen(got), qBlue(got), qAlpha(got)};
        for (int i = 0; i < 4; ++i)
          worst = std::max(worst, int(std::ceil(std::abs(channels[i] - expected[i]) - 0.5)));
        ++checked;
      }
    EXPECT_GT(checked, 1000);
    EXPECT_LE(worst, 1);
  }
}

TEST(ImageResamplerTest, ClippedRotatedDrawsChangeOnlyTheClippedArea) {
  QImage pixels = edgesImage(60, 45, false).convertToFormat(QImage::Format_RGBA8888);
  auto drawRotated = [&](bool clipped) {
    auto context = GraphicsContext::bitmapContext(160, 120);
    context->fillRect(QRectF(0, 0, 160, 120), QColor(40, 90, 160));
    if (clipped) context->clipToRect(QRectF(50.5, 30, 40, 50));
    context->translateCTM(80, 60);
    context->rotateCTM(-0.6);
    context->translateCTM(-80, -60);
    context->drawImage(CGImage::make(pixels), QRectF(30, 20, 100, 80));
    return context->makeImage()->qImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  };
  QImage whole = drawRotated(false), clipped = drawRotated(true);
  const QRgb background = qRgb(40, 90, 160);
  int inside = 0, changedInside = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) {
      // Device rows run downwards; the clip is given in y-up points.
      bool in = x >= 51 && x < 90 && y >= 120 - 80 && y < 120 - 30;
      bool out = x < 50 || x > 91 || y < 120 - 81 || y > 120 - 29;
      if (in) {
        ++inside;
        // Where the image's antialiased outline meets the clip, QPainter
        // combines the two coverages with its own rounding.
        EXPECT_LE(largestDifference(clipped.copy(x, y, 1, 1), whole.copy(x, y, 1, 1)), 1)
            << x << "," << y;
        if (whole.pixel(x, y) != background) ++changedInside;
      } else if (out) {
        EXPECT_EQ(clipped.pixel(x, y), background) << x << "," << y;
      }
    }
  EXPECT_GT(changedInside, inside / 2);
}

// Drawn at a quarter of its size, an image of one white column in four over
// black shows the grey of its average (a filter sampling the full image
// between two black columns shows black), also on tiles of the reduced copy
// made for a small rectangle before the rest.
TEST(ImageResamplerTest, ReducedDrawsAverageWhatTheyCover) {
  const int w = 2400, h = 200;
  QImage stripes(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) stripes.setPixel(x, y, x % 4 == 0 ? 0xffffffff : 0xff000000);
  CGImagePtr image = CGImage::make(stripes);
  auto draw = [&](const QRectF& clip) {
    auto context = GraphicsContext::bitmapContext(w / 4, h / 4);
    context->fillRect(QRectF(0, 0, w / 4, h / 4), Qt::red);
    context->clipToRect(clip);
    context->scaleCTM(0.25, 0.25);
    context->drawImage(image, QRectF(0, 0, w, h));
    return context->makeImage()->qImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  };
  QImage corner = draw(QRectF(300, 20, 30, 10)), whole = draw(QRectF(0, 0, w / 4, h / 4));
  EXPECT_EQ(qRed(corner.pixel(10, 10)), 255);  // outside the first clip
  for (int y = 0; y < h / 4; ++y)
    for (int x = 0; x < w / 4; ++x) {
      ASSERT_NEAR(qRed(whole.pixel(x, y)), 64, 1) << x << "," << y;
      ASSERT_EQ(qGreen(whole.pixel(x, y)), qBlue(whole.pixel(x, y)));
      if (x >= 300 && x < 330 && y >= 50 - 30 && y < 50 - 20) {
        ASSERT_EQ(corner.pixel(x, y), whole.pixel(x, y)) << x << "," << y;
      }
    }
}
