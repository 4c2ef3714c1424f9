#include <gtest/gtest.h>

#include <limits>

#include "ModelImageTestHelpers.h"
#include "TestSupport.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"

namespace {

using U = IMImagesUtilities;

TEST(IMImagesUtilitiesTest, RoundingTowardAndAwayFromZero) {
  struct Case {
    double value;
    qint64 round, floor, ceil;
  };
  const Case cases[] = {
      {2.5, 3, 2, 3},
      {-2.5, -3, -2, -3},
      {-0.5, -1, 0, -1},
      {0.5, 1, 0, 1},
      {-2.7, -3, -2, -3},
      {-2.2, -2, -2, -3},
      {2.2, 2, 2, 3},
      {0.0, 0, 0, 0},
      {7.0, 7, 7, 7},
      {-7.0, -7, -7, -7},
      {1e15 + 0.5, 1000000000000001, 1000000000000000, 1000000000000001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(U::roundFloat(c.value), c.round);
    EXPECT_EQ(U::centeredFloor(c.value), c.floor);
    EXPECT_EQ(U::centeredCeil(c.value), c.ceil);
  }
  // Values no 64-bit integer holds saturate instead of wrapping.
  EXPECT_EQ(U::roundFloat(1e300), std::numeric_limits<qint64>::max());
  EXPECT_EQ(U::centeredCeil(-1e300), std::numeric_limits<qint64>::min());
  EXPECT_EQ(U::roundFloat(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(IMImagesUtilitiesTest, RectanglesBetweenPoints) {
  struct Case {
    QPointF a, b;
    QRectF rect, pixels;
  };
  const Case cases[] = {
      {{3.7, 5.2}, {1.1, 8.9}, QRectF(1.1, 5.2, 2.6, 3.7), QRectF(1, 5, 3, 4)},
      {{4, 4}, {4, 4}, QRectF(4, 4, 0, 0), QRectF(4, 4, 1, 1)},
      {{-1.5, 2}, {2.5, -3}, QRectF(-1.5, -3, 4, 5), QRectF(-1, -3, 4, 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("(%1,%2)-(%3,%4)")
                     .arg(c.a.x())
                     .arg(c.a.y())
                     .arg(c.b.x())
                     .arg(c.b.y())
                     .toStdString());
    const QRectF rect = U::rectFromPoint(c.a, c.b);
    EXPECT_DOUBLE_EQ(rect.x(), c.rect.x());
    EXPECT_DOUBLE_EQ(rect.y(), c.rect.y());
    EXPECT_DOUBLE_EQ(rect.width(), c.rect.width());
    EXPECT_DOUBLE_EQ(rect.height(), c.rect.height());
    EXPECT_EQ(U::pixelsRectFromPixelsOrigin(c.a, c.b), c.pixels);
    EXPECT_EQ(U::pixelsRectFromPixelsOrigin(c.b, c.a), c.pixels);
  }
  // The C floor, not the toward-zero one: negative centres move down.
  EXPECT_EQ(U::findOriginWithCenter(QPointF(10, 10), QSizeF(5, 4)), QPointF(7, 8));
  EXPECT_EQ(U::findOriginWithCenter(QPointF(0, 0), QSizeF(5, 5)), QPointF(-3, -3));
}

TEST(IMImagesUtilitiesTest, FittingNeverEnlarges) {
  struct Case {
    QSizeF image, max, expected;
  };
  const Case cases[] = {
      {{4000, 1000}, {1024, 768}, {1024, 256}},
      {{500, 300}, {1024, 768}, {500, 300}},
      {{4000, 1000}, {0, 768}, {4000, 1000}},
      {{4000, 1000}, {0, 0}, {4000, 1000}},
      {{1000, 4000}, {1024, 768}, {192, 768}},
      {{2048, 1536}, {1024, 768}, {1024, 768}},  // equal ratios take the height branch
      {{1025, 10}, {1024, 768}, {1024, 10 / (1025.0 / 1024)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1x%2").arg(c.image.width()).arg(c.image.height()).toStdString());
    const QSizeF fitted = U::sizeWithImageSize(c.image, c.max);
    EXPECT_DOUBLE_EQ(fitted.width(), c.expected.width());
    EXPECT_DOUBLE_EQ(fitted.height(), c.expected.height());
  }
}

TEST(IMImagesUtilitiesTest, MetadataLosesTheKeyOneLevelDown) {
  const QVariantMap deepest{{"Orientation", 6}, {"Keep", 1}};
  const QVariantMap nested{{"Orientation", 3}, {"Deeper", deepest}, {"Make", "Cam"}};
  const QVariantMap metadata{{"Orientation", 1}, {"{TIFF}", nested}, {"DPIWidth", 72}};
  const QVariantMap cleaned = U::metadata(metadata, "Orientation");
  EXPECT_FALSE(cleaned.contains("Orientation"));
  EXPECT_EQ(cleaned.value("DPIWidth").toInt(), 72);
  const QVariantMap cleanedNested = cleaned.value("{TIFF}").toMap();
  EXPECT_FALSE(cleanedNested.contains("Orientation"));
  EXPECT_EQ(cleanedNested.value("Make").toString(), "Cam");
  EXPECT_EQ(cleanedNested.value("Deeper").toMap(), deepest);
  EXPECT_TRUE(metadata.value("{TIFF}").toMap().contains("Orientation")) << "the input is a copy";
}

TEST(IMImagesUtilitiesTest, CanvasDrawsUpwardIntoWholePixels) {
  QRectF handed;
  int calls = 0;
  gfx::ImagePtr image = ima_imageWithPixelSize(QSizeF(40.7, 30.2), [&](const QRectF& rect) {
    ++calls;
    handed = rect;
    gfx::GraphicsContext::current()->fillRect(QRectF(0, 0, 40.7, 15.1), Qt::red);
    return true;
  });
  ASSERT_TRUE(image);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(handed, QRectF(0, 0, 40.7, 30.2));
  EXPECT_EQ(image->size(), QSizeF(40.7, 30.2));
  ASSERT_EQ(image->representations().size(), 1);
  auto rep = image->firstRepresentationOfClass<gfx::BitmapImageRep>();
  ASSERT_TRUE(rep);
  EXPECT_EQ(rep->pixelsWide(), 40);
  EXPECT_EQ(rep->pixelsHigh(), 30);
  EXPECT_EQ(rep->size(), QSizeF(40.7, 30.2));
  EXPECT_EQ(rep->cgImage()->alphaInfo(), gfx::ImageAlphaInfo::PremultipliedFirst);
  EXPECT_TRUE(rep->cgImage()->qImage().isDetached()) << "the canvas buffer itself, not a copy";
  const QImage pixels = mht::pixelsOf(image);
  EXPECT_TRUE(mht::near(mht::pixelAt(pixels, 5, 2), QColor(255, 0, 0)));
  EXPECT_TRUE(mht::near(mht::pixelAt(pixels, 39, 13), QColor(255, 0, 0)));
  EXPECT_EQ(mht::pixelAt(pixels, 5, 28).alpha(), 0) << "the top half stays transparent";
  tst::saveArtifactData(image->TIFFRepresentation(), "model-canvas-bottom-half-red.tiff");
}

TEST(IMImagesUtilitiesTest, CanvasWithoutWholePixelsHasNothingToDraw) {
  for (QSizeF size : {QSizeF(0, 10), QSizeF(0.9, 10), QSizeF(10, -3), QSizeF(3e9, 2)}) {
    bool called = false;
    gfx::ImagePtr image =
        ima_imageWithPixelSize(size, [&](const QRectF&) { return called = true; });
    ASSERT_TRUE(image);
    EXPECT_FALSE(called);
    EXPECT_TRUE(image->representations().isEmpty());
  }
}

TEST(IMImagesUtilitiesTest, CheckerboardIsAnchoredAtTheOrigin) {
  const QColor grey(100, 100, 100);
  gfx::ImagePtr image = ima_imageWithPixelSize(QSizeF(40, 40), [&](const QRectF&) {
    // Only part of the canvas: squares must not move with the rectangle.
    IMImagesUtilities::drawBackGridWithSpacing(10, grey, QRectF(5, 5, 30, 30), QPointF(7, 7));
    return true;
  });
  const QImage pixels = mht::pixelsOf(image);
  struct Probe {
    int x, y;
    QColor expected;
  };
  const Probe probes[] = {
      {7, 7, Qt::white},  {12, 7, grey},       {7, 12, grey},  {12, 12, Qt::white},
      {25, 5, Qt::white}, {34, 34, Qt::white}, {34, 24, grey}, {2, 2, QColor(0, 0, 0, 0)},
  };
  for (const Probe& p : probes) {
    const QColor got = mht::pixelAt(pixels, p.x, p.y);
    EXPECT_TRUE(mht::near(got, p.expected))
        << p.x << "," << p.y << " " << mht::describe(got).toStdString();
  }
}

}  // namespace
