#include <gtest/gtest.h>

#include <QTransform>
#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Image.h"

using namespace citest;
using ci::Image;

namespace {

constexpr float k8Bit = 1.0f / 255 + 1e-6f;  // one 8-bit step
constexpr float kFloat = 1e-4f;

// Red grows with x, green with y: bilinear sampling reproduces it exactly,
// so a transformed pixel can be predicted from where its centre maps.
Image rampImage() {
  return functionImage(64, 64, [](int x, int y) { return RGBA{x / 64.0f, y / 64.0f, 0.25f, 1}; });
}

}  // namespace

TEST(Image, ExtentsOfLeavesAndOperations) {
  const Image solid = solidImage(40, 30, {1, 0, 0, 1});
  struct Case {
    const char* recipe;
    Image image;
    QRectF extent;
  } cases[] = {
      {"solid", solid, {0, 0, 40, 30}},
      {"crop", solid.imageByCroppingToRect({10, 5, 100, 10}), {10, 5, 30, 10}},
      {"translate",
       solid.imageByApplyingTransform(QTransform::fromTranslate(3, -4)),
       {3, -4, 40, 30}},
      {"scale",
       solid.imageByApplyingTransform(QTransform::fromScale(2, 0.5), ci::Sampling::Nearest),
       {0, 0, 80, 15}},
      {"over",
       solid.imageByCompositingOverImage(
           solid.imageByApplyingTransform(QTransform::fromTranslate(-10, 0))),
       {-10, 0, 50, 30}},
      {"null", Image(), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recipe);
    EXPECT_EQ(c.image.extent(), c.extent);
  }
  EXPECT_TRUE(ci::isInfinite(Image::imageWithColor(ci::Color(1, 1, 1)).extent()));
  EXPECT_TRUE(ci::isInfinite(solid.imageByClampingToExtent().extent()));
  EXPECT_TRUE(ci::isEmpty(Image::emptyImage().extent()));
  EXPECT_TRUE(solid.imageByApplyingFilter("CINoSuchFilter").isNull());
  QTransform half;
  half.rotate(90);
  half.scale(0.5, 0.5);
  const QRectF turned = solid.imageByApplyingTransform(half).extent();
  EXPECT_NEAR(turned.x(), -15, 1e-9);
  EXPECT_NEAR(turned.width(), 15, 1e-9);
  EXPECT_NEAR(turned.height(), 20, 1e-9);
}

TEST(Image, RotationWithFractionalTranslationSamplesBilinearly) {
  const struct {
    double degrees, dx, dy;
  } transforms[] = {{30, 0.3, 0.7}, {-45, 10.25, -3.5}, {10, 0.5, 0.5}, {90, 64, 0}};
  for (const auto& t : transforms) {
    SCOPED_TRACE(t.degrees);
    QTransform transform;
    transform.translate(t.dx, t.dy);
    transform.rotate(t.degrees);
    const Image rotated = rampImage().imageByApplyingTransform(transform);
    const QRectF extent = rotated.extent();
    const ci::PixelBuffer out = render(rotated, extent);
    const QTransform inverse = transform.inverted();
    int checked = 0;
    for (int y = out.rect().y; y < out.rect().top(); ++y)
      for (int x = out.rect().x; x < out.rect().right(); ++x) {
        const QPointF q = inverse.map(QPointF(x + 0.5, y + 0.5));
        // Only where all four neighbours are inside the source.
        if (q.x() < 1.5 || q.y() < 1.5 || q.x() > 62.5 || q.y() > 62.5) continue;
        const RGBA p = pixelAt(out, x, y);
        ASSERT_NEAR(p.r, (q.x() - 0.5) / 64, kFloat) << x << "," << y;
        ASSERT_NEAR(p.g, (q.y() - 0.5) / 64, kFloat) << x << "," << y;
        ASSERT_NEAR(p.a, 1.0f, kFloat);
        ++checked;
      }
    EXPECT_GT(checked, 2500);
  }
  QTransform spin;
  spin.rotate(30);
  saveRendered(rampImage().imageByApplyingTransform(spin), QRectF(-40, 0, 100, 90),
               "ramp-rotate30");
}

TEST(Image, NearestSamplingAndWholePixelShiftsKeepPixelsExact) {
  const Image ramp = rampImage();
  const struct {
    const char* recipe;
    Image image;
    QTransform transform;
  } cases[] = {
      {"shift", ramp.imageByApplyingTransform(QTransform::fromTranslate(5, -7)),
       QTransform::fromTranslate(5, -7)},
      {"nearest-scale",
       ramp.imageBySamplingNearest().imageByApplyingTransform(QTransform::fromScale(3, 2)),
       QTransform::fromScale(3, 2)},
      {"nearest-rotate",
       ramp.imageByApplyingTransform(QTransform().rotate(20), ci::Sampling::Nearest),
       QTransform().rotate(20)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recipe);
    const ci::PixelBuffer out = render(c.image, c.image.extent());
    const QTransform inverse = c.transform.inverted();
    for (int y = out.rect().y; y < out.rect().top(); y += 3)
      for (int x = out.rect().x; x < out.rect().right(); x += 3) {
        const QPointF q = inverse.map(QPointF(x + 0.5, y + 0.5));
        const int sx = int(std::floor(q.x())), sy = int(std::floor(q.y()));
        const RGBA p = pixelAt(out, x, y);
        if (sx < 0 || sy < 0 || sx >= 64 || sy >= 64) {
          ASSERT_EQ(p.a, 0.0f);
          continue;
        }
        ASSERT_FLOAT_EQ(p.r, sx / 64.0f);
        ASSERT_FLOAT_EQ(p.g, sy / 64.0f);
      }
  }
}

TEST(Image, CropKeepsPixelsWhoseCentresAreInside) {
  const Image ramp = rampImage();
  const struct {
    QRectF rect;
    QPoint inside, outside;
  } cases[] = {
      {{10, 20, 5, 5}, {10, 24}, {15, 20}},
      {{10.4, 20.6, 5, 5},
       {10, 21},
       {10, 20}},  // pixel 10's centre 10.5 is inside, row 20's is not
      {{-5, -5, 10, 10}, {4, 4}, {5, 0}},
  };
  for (const auto& c : cases) {
    const Image cropped = ramp.imageByCroppingToRect(c.rect);
    const ci::PixelBuffer out = render(cropped, QRectF(-8, -8, 80, 80));
    const RGBA in = pixelAt(out, c.inside.x(), c.inside.y());
    EXPECT_FLOAT_EQ(in.r, c.inside.x() / 64.0f);
    EXPECT_FLOAT_EQ(in.a, 1.0f);
    EXPECT_EQ(pixelAt(out, c.outside.x(), c.outside.y()).a, 0.0f);
  }
  saveRendered(ramp.imageByCroppingToRect({10, 20, 30, 15}), QRectF(0, 0, 64, 64), "ramp-crop");
}

TEST(Image, SourceOverCompositing) {
  const struct {
    RGBA source, destination, expected;
  } cases[] = {
      {{0.5f, 0, 0, 0.5f}, {0, 0, 1, 1}, {0.5f, 0, 0.5f, 1}},
      {{0, 0, 0, 0}, {0.2f, 0.4f, 0.6f, 0.8f}, {0.2f, 0.4f, 0.6f, 0.8f}},
      {{1, 1, 1, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}},
      {{0.2f, 0.2f, 0, 0.4f}, {0, 0.3f, 0, 0.5f}, {0.2f, 0.38f, 0, 0.7f}},
  };
  for (const auto& c : cases) {
    const Image over = solidImage(8, 8, c.source)
                           .imageByCompositingOverImage(
                               solidImage(8, 8, c.destination)
                                   .imageByApplyingTransform(QTransform::fromTranslate(4, 0)));
    const ci::PixelBuffer out = render(over, over.extent());
    const RGBA both = pixelAt(out, 5, 3), onlySource = pixelAt(out, 1, 3),
               onlyDestination = pixelAt(out, 10, 3);
    EXPECT_NEAR(both.r, c.expected.r, k8Bit);
    EXPECT_NEAR(both.g, c.expected.g, k8Bit);
    EXPECT_NEAR(both.b, c.expected.b, k8Bit);
    EXPECT_NEAR(both.a, c.expected.a, k8Bit);
    EXPECT_NEAR(onlySource.a, c.source.a, k8Bit);
    EXPECT_NEAR(onlyDestination.a, c.destination.a, k8Bit);
  }
}

TEST(Image, ClampingRepeatsEdgePixels) {
  const Image ramp = rampImage().imageByClampingToExtent();
  const ci::PixelBuffer out = render(ramp, QRectF(-10, -10, 90, 90));
  const struct {
    QPoint at, edge;
  } cases[] = {{{-5, 2}, {0, 2}}, {{70, 70}, {63, 63}}, {{30, -9}, {30, 0}}, {{20, 20}, {20, 20}}};
  for (const auto& c : cases) {
    const RGBA p = pixelAt(out, c.at.x(), c.at.y());
    EXPECT_FLOAT_EQ(p.r, c.edge.x() / 64.0f);
    EXPECT_FLOAT_EQ(p.g, c.edge.y() / 64.0f);
  }
}

TEST(Image, BitmapDataAndConstantColour) {
  // Two rows, top first: the top row is red, the bottom row green.
  const QByteArray bytes("\xff\x00\x00\xff\xff\x00\x00\xff\x00\xff\x00\xff\x00\xff\x00\xff", 16);
  const Image bitmap = Image::imageWithBitmapData(bytes, 8, QSize(2, 2), ci::kCIFormatRGBA8);
  ASSERT_FALSE(bitmap.isNull());
  const ci::PixelBuffer out = render(bitmap, bitmap.extent());
  EXPECT_EQ(pixelAt(out, 0, 1).r, 1.0f);
  EXPECT_EQ(pixelAt(out, 0, 0).g, 1.0f);
  EXPECT_TRUE(Image::imageWithBitmapData(bytes, 8, QSize(2, 3), ci::kCIFormatRGBA8).isNull());

  const Image constant = Image::imageWithColor(ci::Color(1, 0.5, 0.25, 0.5));
  const ci::PixelBuffer far = render(constant, QRectF(1e6, -1e6, 4, 4));
  const RGBA p = pixelAt(far, 1000001, -999999);
  EXPECT_FLOAT_EQ(p.r, 0.5f);
  EXPECT_FLOAT_EQ(p.g, 0.25f);
  EXPECT_FLOAT_EQ(p.b, 0.125f);
  EXPECT_FLOAT_EQ(p.a, 0.5f);
}
