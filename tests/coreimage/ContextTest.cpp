#include <gtest/gtest.h>

#include <QTransform>

#include "CoreImageTestSupport.h"
#include "TestSupport.h"
#include "coreimage/CIImageRep.h"
#include "coreimage/Context.h"
#include "coreimage/Filter.h"
#include "graphics/GraphicsContext.h"

using namespace citest;
using ci::Image;

namespace {

Image noise(int w, int h) { return Image::imageWithCGImage(gfx::CGImage::make(noiseQImage(w, h))); }

struct Recipe {
  const char* name;
  Image image;
};

// Recipes that read their inputs around each pixel, so a wrong region of
// interest or a tile seam shows up as different pixels.
std::vector<Recipe> recipes() {
  const Image source = noise(300, 220);
  QTransform spin;
  spin.translate(12.3, -4.6);
  spin.rotate(17);
  const Image soft = source.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 1.5}});
  return {
      {"blur", source.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 4.5}})},
      {"disc", source.imageByApplyingFilter("CIDiscBlur", {{"inputRadius", 5}})},
      {"rotate", source.imageByApplyingTransform(spin)},
      {"pixellate", source.imageByApplyingFilter("CIPixellate", {{"inputScale", 13}})},
      {"blur-over-rotate", source.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 2}})
                               .imageByCompositingOverImage(source.imageByApplyingTransform(spin))},
      // One step read by two others over different regions, as a shadow
      // reads the image it is drawn under.
      {"over-own-shadow", soft.imageByCompositingOverImage(
                              soft.imageByApplyingTransform(QTransform::fromTranslate(5, -7))
                                  .imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 3}}))},
      {"convolution",
       source.imageByApplyingFilter(
           "CIConvolution3X3",
           {{"inputWeights", QVariant::fromValue(ci::Vector{0, -1, 0, -1, 5, -1, 0, -1, 0})}})},
  };
}

}  // namespace

TEST(Context, RegionOfInterestRenderMatchesFullRenderThenCrop) {
  const QRectF regions[] = {
      {40, 30, 50, 60}, {-10, -10, 30, 30}, {250, 180, 64, 64}, {123, 77, 1, 1}};
  for (const Recipe& recipe : recipes()) {
    SCOPED_TRACE(recipe.name);
    const QRectF extent = recipe.image.extent();
    const ci::PixelBuffer full = render(recipe.image, extent);
    for (const QRectF& region : regions) {
      const ci::PixelBuffer part = render(recipe.image, region);
      ci::PixelBuffer fromFull = ci::PixelBuffer::zeroed(part.rect());
      fromFull.copyFrom(full);
      EXPECT_EQ(maxDifference(part, fromFull), 0.0f) << region.x() << "," << region.y();
    }
  }
}

TEST(Context, TiledAndSingleTileRendersAreIdentical) {
  const int tileSizes[] = {16, 37, 128};
  for (const Recipe& recipe : recipes()) {
    SCOPED_TRACE(recipe.name);
    const QRectF extent = recipe.image.extent();
    const ci::PixelBuffer whole = render(recipe.image, extent, 8192);
    for (int size : tileSizes)
      EXPECT_EQ(maxDifference(render(recipe.image, extent, size), whole), 0.0f) << size;
    saveRendered(recipe.image, extent, QStringLiteral("noise-%1").arg(recipe.name));
  }
}

TEST(Context, EightBitLayoutsPutComponentsInOrder) {
  const Image colour = Image::imageWithColor(ci::Color(1.0, 0.6, 0.2, 0.5));
  // Premultiplied 8-bit: r 0.5, g 0.3, b 0.1, a 0.5.
  const uchar r = 128, g = 77, b = 26, a = 128;
  const struct {
    ci::Format format;
    uchar expected[4];
  } cases[] = {{ci::kCIFormatRGBA8, {r, g, b, a}},
               {ci::kCIFormatBGRA8, {b, g, r, a}},
               {ci::kCIFormatARGB8, {a, r, g, b}}};
  for (const auto& c : cases) {
    uchar bitmap[3 * 2 * 4] = {};
    ASSERT_TRUE(ci::Context().render(colour, bitmap, 12, QRectF(0, 0, 3, 2), c.format));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(bitmap[12 + 4 + i], c.expected[i]) << c.format << i;
  }
  float floats[4];
  ASSERT_TRUE(ci::Context().render(colour, floats, 16, QRectF(5, 5, 1, 1), ci::kCIFormatRGBAf));
  EXPECT_FLOAT_EQ(floats[1], 0.3f);
}

TEST(Context, BitmapRowsAreTopFirstAndInfiniteRegionsRefused) {
  // Green everywhere above y = 2, red below.
  const Image lower = Image::imageWithColor(ci::Color(1, 0, 0)).imageByCroppingToRect({0, 0, 4, 2});
  const Image upper = Image::imageWithColor(ci::Color(0, 1, 0)).imageByCroppingToRect({0, 2, 4, 2});
  const gfx::CGImagePtr pixels =
      ci::Context().createCGImage(upper.imageByCompositingOverImage(lower), QRectF(0, 0, 4, 4));
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->qImage().pixel(0, 0), qRgb(0, 255, 0));
  EXPECT_EQ(pixels->qImage().pixel(0, 3), qRgb(255, 0, 0));

  const Image constant = Image::imageWithColor(ci::Color(1, 1, 1));
  EXPECT_FALSE(ci::Context().createCGImage(constant, constant.extent()));
  EXPECT_TRUE(ci::Context().renderToBuffer(constant, ci::InfiniteRect).isNull());
  // Finite but absurd sizes are refused the same way, before any allocation.
  EXPECT_FALSE(ci::Context().createCGImage(constant, QRectF(0, 0, 1e6, 1e6)));
  EXPECT_TRUE(ci::Context().renderToBuffer(constant, QRectF(0, 0, 40000, 40000)).isNull());
  uchar pixel[4];
  EXPECT_FALSE(ci::Context().render(constant, pixel, 4, QRectF(0, 0, 1e9, 1), ci::kCIFormatRGBA8));
}

TEST(Context, SourcesOfEveryPixelLayoutReadAlike) {
  QImage reference(5, 3, QImage::Format_ARGB32);
  reference.fill(QColor(200, 100, 50, 255));
  reference.setPixelColor(1, 0, QColor(10, 20, 30, 255));
  const QImage::Format formats[] = {QImage::Format_ARGB32,
                                    QImage::Format_RGBA8888,
                                    QImage::Format_RGB32,
                                    QImage::Format_RGBA64,
                                    QImage::Format_RGB888,
                                    QImage::Format_RGBA32FPx4,
                                    QImage::Format_ARGB32_Premultiplied};
  for (QImage::Format format : formats) {
    const Image image =
        Image::imageWithCGImage(gfx::CGImage::make(reference.convertToFormat(format)));
    const ci::PixelBuffer out = render(image, image.extent());
    // QImage row 0 is the top: y = 2 here.
    const RGBA top = pixelAt(out, 1, 2), other = pixelAt(out, 3, 0);
    EXPECT_NEAR(top.r, 10 / 255.0f, 1e-3) << format;
    EXPECT_NEAR(top.b, 30 / 255.0f, 1e-3) << format;
    EXPECT_NEAR(other.r, 200 / 255.0f, 1e-3) << format;
    EXPECT_NEAR(other.a, 1.0f, 1e-3) << format;
  }
}

TEST(Context, DrawsIntoGraphicsContextsAndImageReps) {
  const Image recipe =
      Image::imageWithColor(ci::Color(0, 0, 1)).imageByCroppingToRect({0, 0, 10, 10});
  auto bitmap = gfx::GraphicsContext::bitmapContext(20, 20);
  ASSERT_TRUE(bitmap);
  {
    gfx::CurrentContextScope scope(bitmap.get());
    ci::Context().drawImage(recipe, QRectF(10, 0, 10, 10), QRectF(0, 0, 10, 10));
  }
  // The lower-right quarter (y-up) is blue: QImage rows 10…19, columns 10…19.
  EXPECT_EQ(bitmap->bitmap()->pixel(15, 15), qRgb(0, 0, 255));
  EXPECT_EQ(qAlpha(bitmap->bitmap()->pixel(5, 5)), 0);

  const auto rep = ci::CIImageRep::imageRepWithCIImage(recipe);
  EXPECT_EQ(rep->pixelsWide(), 10);
  EXPECT_EQ(rep->size(), QSizeF(10, 10));
  const gfx::CGImagePtr pixels = rep->CGImageForProposedRect(nullptr, nullptr);
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->qImage().pixel(3, 3), qRgb(0, 0, 255));
  auto target = gfx::GraphicsContext::bitmapContext(4, 4);
  EXPECT_TRUE(rep->draw(*target, QRectF(0, 0, 4, 4), {}, gfx::CompositingOperation::SourceOver, 1));
  EXPECT_EQ(target->bitmap()->pixel(2, 2), qRgb(0, 0, 255));
}

TEST(Context, RenderedFilesReadBackTopRowFirstInVips) {
  if (!tst::haveTool("vips")) GTEST_SKIP() << "vips is not installed";
  // Red at the bottom (y = 0), blue at the top (y = 100).
  auto gradient = ci::Filter::filterWithName(
      "CILinearGradient", {{"inputPoint0", QVariant::fromValue(ci::Vector{0, 0})},
                           {"inputPoint1", QVariant::fromValue(ci::Vector{0, 100})},
                           {"inputColor0", QVariant::fromValue(ci::Color(1, 0, 0))},
                           {"inputColor1", QVariant::fromValue(ci::Color(0, 0, 1))}});
  const gfx::CGImagePtr pixels =
      ci::Context().createCGImage(gradient->outputImage(), QRectF(0, 0, 40, 100));
  ASSERT_TRUE(pixels);
  const QString path = tst::tempPath("lineargradient-red-to-blue-upwards.png");
  ASSERT_TRUE(pixels->qImage().save(path));
  tst::saveArtifact(path, "coreimage-lineargradient-red-to-blue-upwards.png");
  // vips counts rows from the top; row r holds y = 99 − r, whose centre is at t = (99.5 − r) / 100.
  const int rows[] = {0, 49, 99};
  for (int row : rows) {
    const double t = (99.5 - row) / 100;
    QString output;
    ASSERT_EQ(tst::runTool("vips", {"getpoint", path, "20", QString::number(row)}, &output), 0)
        << output.toStdString();
    const QStringList values = output.simplified().split(' ');
    ASSERT_GE(values.size(), 3);
    EXPECT_NEAR(values[0].toDouble(), (1 - t) * 255, 0.5) << row;
    EXPECT_NEAR(values[2].toDouble(), t * 255, 0.5) << row;
  }
}
