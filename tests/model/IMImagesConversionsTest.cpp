#include <gtest/gtest.h>

#include "ModelImageTestHelpers.h"
#include "TestSupport.h"
#include "coreimage/CIImageRep.h"
#include "coreimage/Context.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"

namespace {

// A bitmap image of `w` × `h` pixels: `fill` everywhere, `corner` in the
// bottom-left pixel.
gfx::ImagePtr bitmapImage(int w, int h, const QColor& fill, const QColor& corner,
                          QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
  QImage pixels(w, h, format);
  pixels.fill(fill);
  pixels.setPixelColor(0, h - 1, corner);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

QColor renderedAt(const ci::Image& image, int x, int y) {
  const QImage pixels =
      ci::Context().createCGImage(image, QRectF(x, y, 1, 1))->toFormat(QImage::Format_ARGB32);
  return pixels.pixelColor(0, 0);
}

TEST(IMImagesConversionsTest, CoreImageOfImages) {
  EXPECT_TRUE(ima_ciImage(nullptr).isNull());
  EXPECT_TRUE(ima_ciImage(gfx::Image::make(QSizeF(0, 20))).isNull());
  EXPECT_TRUE(ima_ciImage(gfx::Image::make(QSizeF(20, 0))).isNull());

  const ci::Image fromBitmap = ima_ciImage(bitmapImage(6, 4, Qt::blue, Qt::green));
  ASSERT_FALSE(fromBitmap.isNull());
  EXPECT_EQ(fromBitmap.extent(), QRectF(0, 0, 6, 4));
  EXPECT_TRUE(mht::near(renderedAt(fromBitmap, 0, 0), Qt::green));
  EXPECT_TRUE(mht::near(renderedAt(fromBitmap, 5, 3), Qt::blue));

  // An image carrying a recipe answers that recipe, untouched.
  const ci::Image recipe =
      ci::Image::imageWithColor(ci::Color(1, 0, 0, 1)).imageByCroppingToRect(QRectF(0, 0, 3, 3));
  auto carrier = gfx::Image::make(QSizeF(3, 3));
  carrier->addRepresentation(ci::CIImageRep::imageRepWithCIImage(recipe));
  EXPECT_TRUE(ima_hasCoreImageBitmapRep(carrier));
  EXPECT_FALSE(ima_hasCoreImageBitmapRep(bitmapImage(2, 2, Qt::red, Qt::red)));
  EXPECT_EQ(ima_ciImage(carrier).node(), recipe.node());
}

TEST(IMImagesConversionsTest, BitmapRepresentationMatchesThePointSize) {
  EXPECT_EQ(ima_bitmapRepresentation(nullptr), nullptr);
  auto plain = bitmapImage(5, 5, Qt::red, Qt::red);
  EXPECT_EQ(ima_bitmapRepresentation(plain),
            plain->firstRepresentationOfClass<gfx::BitmapImageRep>());

  // A 20 × 10 point image whose only pixels are at twice the density.
  auto dense = gfx::Image::make(QSizeF(20, 10));
  auto rep = gfx::BitmapImageRep::make(bitmapImage(40, 20, Qt::yellow, Qt::yellow)
                                           ->firstRepresentationOfClass<gfx::BitmapImageRep>()
                                           ->cgImage());
  rep->setSize(QSizeF(20, 10));
  dense->addRepresentation(rep);
  auto converted = ima_bitmapRepresentation(dense);
  ASSERT_TRUE(converted);
  EXPECT_EQ(converted, rep) << "an existing bitmap is used whatever its density";

  // A drawing-handler image has no bitmap: one is drawn at one pixel per point.
  auto drawn = gfx::Image::imageWithSize(QSizeF(12, 8), false, [](const QRectF& rect) {
    gfx::GraphicsContext::current()->fillRect(rect, Qt::cyan);
    return true;
  });
  auto bitmap = ima_bitmapRepresentation(drawn);
  ASSERT_TRUE(bitmap);
  EXPECT_NEAR(bitmap->size().width(), 12, 1);
  EXPECT_NEAR(bitmap->size().height(), 8, 1);
  EXPECT_TRUE(mht::near(bitmap->colorAtX(3, 3), Qt::cyan));
}

TEST(IMImagesConversionsTest, OpaqueCopiesOnlyForImagesWithAlpha) {
  // Pixels without alpha (a decoded JPEG, an RGB PNG) need no opaque copy.
  auto opaque = bitmapImage(4, 4, Qt::red, Qt::red, QImage::Format_RGB32);
  EXPECT_EQ(new24BitReadyCGImageForProposedRect(opaque, nullptr, nullptr), nullptr);
  EXPECT_EQ(new24BitReadyCGImageForProposedRect(nullptr, nullptr, nullptr), nullptr);

  auto translucent = bitmapImage(4, 4, QColor(0, 0, 0, 0), QColor(0, 255, 0, 255));
  gfx::CGImagePtr copy = new24BitReadyCGImageForProposedRect(translucent, nullptr, nullptr);
  ASSERT_TRUE(copy);
  EXPECT_FALSE(copy->hasAlpha());
  EXPECT_EQ(copy->alphaInfo(), gfx::ImageAlphaInfo::NoneSkipFirst);
  EXPECT_EQ(copy->width(), 4u);
  const QImage pixels = copy->toFormat(QImage::Format_ARGB32);
  EXPECT_TRUE(mht::near(mht::pixelAt(pixels, 0, 0), Qt::green));
  EXPECT_TRUE(mht::near(mht::pixelAt(pixels, 3, 3), Qt::black)) << "transparent becomes black";
}

TEST(IMImagesConversionsTest, SeventyTwoDotsPerInchComparesWidthsOnly) {
  struct Case {
    QSizeF points;
    QSize pixels;
    QSizeF expected;
  };
  const Case cases[] = {
      {{50, 25}, {100, 50}, {100, 50}},       // 144 dpi becomes one pixel per point
      {{100.4, 50}, {100, 50}, {100.4, 50}},  // rounds to the same width: untouched
      {{100, 20}, {100, 50}, {100, 20}},      // only the width is compared
  };
  for (const Case& c : cases) {
    auto image = gfx::Image::make(c.points);
    auto rep = bitmapImage(c.pixels.width(), c.pixels.height(), Qt::red, Qt::red)
                   ->firstRepresentationOfClass<gfx::BitmapImageRep>();
    rep->setSize(c.points);
    image->addRepresentation(rep);
    ima_convertImageTo72dpi(image);
    EXPECT_EQ(image->size(), c.expected);
    EXPECT_EQ(rep->size(), c.expected);
    EXPECT_EQ(ima_imageRect(image), QRectF(QPointF(0, 0), c.expected));
  }
  ima_convertImageTo72dpi(nullptr);
  EXPECT_EQ(ima_imageRect(nullptr), QRectF());
}

TEST(IMImagesConversionsTest, RenderingRecipesIntoImages) {
  const ci::Image endless = ci::Image::imageWithColor(ci::Color(0, 0, 1, 1));
  gfx::ImagePtr cropped = ima_nsImageWithSize(endless, QSizeF(40, 30));
  ASSERT_TRUE(cropped);
  EXPECT_EQ(cropped->size(), QSizeF(40, 30));
  const QImage pixels = mht::pixelsOf(cropped);
  EXPECT_EQ(pixels.size(), QSize(40, 30));
  EXPECT_TRUE(mht::near(mht::pixelAt(pixels, 39, 29), Qt::blue));

  // A finite recipe keeps its own extent whatever size is asked for.
  const ci::Image finite = endless.imageByCroppingToRect(QRectF(0, 0, 7, 5));
  gfx::ImagePtr own = ima_nsImageWithSize(finite, QSizeF(100, 100));
  ASSERT_TRUE(own);
  EXPECT_EQ(mht::pixelsOf(own).size(), QSize(7, 5));

  EXPECT_EQ(ima_nsImageWithSize(endless.imageByCroppingToRect(QRectF(0, 0, 0, 5)), QSizeF(4, 4)),
            nullptr);
  EXPECT_EQ(ima_nsImageWithSize(ci::Image(), QSizeF(4, 4)), nullptr);
  EXPECT_EQ(ima_nsImageWithSize(endless, QSizeF(0, 4)), nullptr);
}

TEST(IMImagesConversionsTest, SmallRecipes) {
  const QSizeF size(8, 8);
  const ci::Image red = ima_monochromeImageWithColor(Qt::red, size);
  ASSERT_FALSE(red.isNull());
  EXPECT_EQ(red.extent(), QRectF(0, 0, 8, 8));
  EXPECT_TRUE(mht::near(renderedAt(red, 4, 4), Qt::red));

  EXPECT_TRUE(ci::isInfinite(ima_emptyImage().extent()));
  EXPECT_EQ(renderedAt(ima_emptyImage(), 1000, -1000).alpha(), 0);

  struct Case {
    const char* name;
    ci::Image image;
    QPoint probe;
    QColor expected;
  };
  const ci::Image halfBlue = ima_monochromeImageWithColor(QColor(0, 0, 255, 128), size);
  gfx::AffineTransform shift;
  shift.translateXBy(10, 0);
  gfx::BezierPath path = gfx::BezierPath::bezierPathWithRect(QRectF(12, 12, 4, 4));
  const ci::Image pathMask = ima_maskWithPath(path, QRectF(10, 10, 8, 8));
  const Case cases[] = {
      {"compose over", ima_composeOtherImage(halfBlue, red), {2, 2}, QColor(127, 0, 128)},
      {"alpha 0.5", ima_applyAlpha(red, 0.5), {2, 2}, QColor(255, 0, 0, 128)},
      {"alpha 0", ima_applyAlpha(red, 0), {2, 2}, QColor(0, 0, 0, 0)},
      {"moved", ima_transformedImageWithTransform(red, shift), {12, 2}, Qt::red},
      {"moved away", ima_transformedImageWithTransform(red, shift), {2, 2}, QColor(0, 0, 0, 0)},
      {"blur centre", ima_blurWithRadius(red, 1), {4, 4}, Qt::red},
      {"path inside", pathMask, {3, 3}, Qt::white},
      {"path outside", pathMask, {1, 1}, Qt::black},
      {"path beyond", pathMask, {7, 7}, Qt::black},
      {"masked kept", ima_maskWithImage(red, pathMask), {3, 3}, Qt::red},
      {"masked out", ima_maskWithImage(red, pathMask), {1, 1}, QColor(0, 0, 0, 0)},
      {"no mask", ima_maskWithImage(red, ci::Image()), {1, 1}, Qt::red},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.image.isNull()) << c.name;
    const QColor got = renderedAt(c.image, c.probe.x(), c.probe.y());
    EXPECT_TRUE(mht::near(got, c.expected, 2))
        << c.name << ": " << mht::describe(got).toStdString();
  }
  EXPECT_EQ(pathMask.extent(), QRectF(0, 0, 8, 8));
  EXPECT_EQ(ima_maskWithImage(red, pathMask).extent(), QRectF(0, 0, 8, 8));
  // Null receivers answer null, like messages to nothing.
  EXPECT_TRUE(ima_composeOtherImage(ci::Image(), red).isNull());
  EXPECT_TRUE(ima_applyAlpha(ci::Image(), 0.5).isNull());
  EXPECT_TRUE(ima_maskWithImage(ci::Image(), red).isNull());
}

TEST(IMImagesConversionsTest, ThumbnailSizesAndFrame) {
  struct Case {
    QSize image;
    QSize expected;
  };
  const Case cases[] = {
      {{400, 100}, {50, 13}}, {{100, 400}, {13, 50}}, {{1, 1000}, {1, 50}},
      {{1000, 1}, {50, 1}},   {{100, 100}, {50, 50}}, {{10, 10}, {50, 50}},
  };
  const QColor gridColor = QColor::fromRgbF(0.87f, 0.82f, 0.82f);
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1x%2").arg(c.image.width()).arg(c.image.height()).toStdString());
    const ci::Image red = ima_monochromeImageWithColor(Qt::red, QSizeF(c.image));
    gfx::ImagePtr thumbnail = ima_previewImageWithPixelSize(red, QSizeF(52, 52), gridColor);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->size(), QSizeF(c.expected));
    const QImage pixels = mht::pixelsOf(thumbnail);
    EXPECT_EQ(pixels.size(), c.expected);
    if (c.expected.width() > 1 && c.expected.height() > 1) {
      // The bottom row and left column show the background; inside is the image.
      EXPECT_TRUE(mht::near(mht::pixelAt(pixels, 0, 0), Qt::white, 3));
      // Enlarged images blend their edges with the transparent outside, so
      // only reductions are probed at the frame's edge.
      const QPoint inside = c.image.width() >= c.expected.width()
                                ? QPoint(1, 1)
                                : QPoint(c.expected.width() / 2, c.expected.height() / 2);
      EXPECT_TRUE(mht::near(mht::pixelAt(pixels, inside.x(), inside.y()), Qt::red, 2));
      if (c.image.width() >= c.expected.width()) {
        EXPECT_TRUE(mht::near(mht::pixelAt(pixels, c.expected.width() - 1, c.expected.height() - 1),
                              Qt::red, 2));
      }
    }
  }
  tst::saveArtifactData(ima_previewImageWithPixelSize(
                            ima_monochromeImageWithColor(QColor(0, 0, 255, 60), QSizeF(400, 100)),
                            QSizeF(52, 52), gridColor)
                            ->TIFFRepresentation(),
                        "model-thumbnail-400x100-translucent.tiff");

  const ci::Image any = ima_monochromeImageWithColor(Qt::red, QSizeF(4, 4));
  EXPECT_EQ(ima_previewImageWithPixelSize(any, QSizeF(0, 52), gridColor), nullptr);
  EXPECT_EQ(ima_previewImageWithPixelSize(any, QSizeF(52, 0), gridColor), nullptr);
  EXPECT_EQ(ima_previewImageWithPixelSize(ima_emptyImage(), QSizeF(52, 52), gridColor), nullptr);
  EXPECT_EQ(ima_previewImageWithPixelSize(ci::Image(), QSizeF(52, 52), gridColor), nullptr);
}

TEST(IMImagesConversionsTest, ThumbnailBackgroundShowsTheCheckerboardFaintly) {
  // A fully transparent image shows only the background: white, and squares
  // of the grid colour at a tenth of its strength.
  const QColor gridColor(0, 0, 0);
  const ci::Image clear = ima_monochromeImageWithColor(QColor(0, 0, 0, 0), QSizeF(100, 100));
  const QImage pixels =
      mht::pixelsOf(ima_previewImageWithPixelSize(clear, QSizeF(52, 52), gridColor));
  ASSERT_EQ(pixels.size(), QSize(50, 50));
  EXPECT_TRUE(mht::near(mht::pixelAt(pixels, 5, 5), Qt::white, 1));
  EXPECT_TRUE(mht::near(mht::pixelAt(pixels, 20, 5), QColor(230, 230, 230), 2));
}

}  // namespace
