#include <gtest/gtest.h>

#include <QtConcurrent/QtConcurrentRun>

#include "CoreImageTestSupport.h"
#include "coreimage/Color.h"
#include "coreimage/Filter.h"
#include "coreimage/Vector.h"

using namespace citest;
using ci::Color;
using ci::Vector;

TEST(Values, VectorsAndColoursReadAndWriteThePlatformText) {
  const struct {
    QString text;
    Vector vector;
  } vectors[] = {{"[1 2]", Vector{1, 2}},
                 {"[0.5 -3 4 100]", Vector{0.5, -3, 4, 100}},
                 {"[1 0 0 0 0 0 0 0 0 0]", Vector{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}}};
  for (const auto& c : vectors) {
    EXPECT_EQ(Vector::vectorWithString(c.text), c.vector);
    EXPECT_EQ(c.vector.stringRepresentation(), c.text);
  }
  EXPECT_EQ(Vector::vectorWithString("[1 x]").count(), 0u);
  EXPECT_EQ(Vector::vectorWithString("1 2").count(), 0u);
  const Vector rect = Vector::vectorWithCGRect(QRectF(1, 2, 3, 4));
  EXPECT_EQ(rect.CGRectValue(), QRectF(1, 2, 3, 4));
  EXPECT_EQ(rect.W(), 4);
  EXPECT_EQ(Vector{7}.Y(), 0);  // missing components read as zero

  EXPECT_EQ(Color::colorWithString("0.2 0.4 0.6 0.5"), Color(0.2, 0.4, 0.6, 0.5));
  EXPECT_EQ(Color::colorWithString("1 0 0"), Color(1, 0, 0, 1));
  const Color fromQt = Color::colorWithQColor(QColor::fromRgbF(0.25f, 0.5f, 0.75f, 1.0f));
  EXPECT_NEAR(fromQt.green(), 0.5, 1.0 / 65535);  // QColor keeps 16 bits
  EXPECT_NEAR(Color::colorWithQColor(fromQt.toQColor()).blue(), 0.75, 1.0 / 65535);
  float premultiplied[4];
  Color(1, 0.5, 0, 0.5).premultiplied(premultiplied);
  EXPECT_FLOAT_EQ(premultiplied[0], 0.5f);
  EXPECT_FLOAT_EQ(premultiplied[1], 0.25f);
}

TEST(Values, FiltersAcceptNeighbouringValueTypes) {
  // A QPointF for a vector, a QColor for a colour, a QTransform for a transform.
  auto gradient = ci::Filter::filterWithName("CIRadialGradient", {{"inputCenter", QPointF(10, 10)},
                                                                  {"inputColor0", QColor(Qt::red)},
                                                                  {"inputRadius0", 0},
                                                                  {"inputRadius1", 1}});
  const RGBA p = pixelAt(render(gradient->outputImage(), QRectF(10, 10, 1, 1)), 10, 10);
  EXPECT_FLOAT_EQ(p.r, 1.0f - 0.7071068f);  // centre of pixel (10, 10) is √½ from (10, 10)
  auto transform = ci::Filter::filterWithName(
      "CIAffineTransform", {{"inputImage", QVariant::fromValue(solidImage(4, 4, {1, 1, 1, 1}))},
                            {"inputTransform", QTransform::fromTranslate(3, 0)}});
  EXPECT_EQ(transform->outputImage().extent(), QRectF(3, 0, 4, 4));
}

TEST(Values, ConcurrentRendersOfSharedRecipesAgree) {
  const ci::Image recipe = ci::Image::imageWithCGImage(gfx::CGImage::make(noiseQImage(400, 300, 5)))
                               .imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 3}});
  const ci::PixelBuffer expected = render(recipe, recipe.extent(), 64);
  QList<QFuture<float>> runs;
  for (int i = 0; i < 4; ++i)
    runs << QtConcurrent::run([&recipe, &expected] {
      return maxDifference(render(recipe, recipe.extent(), 64), expected);
    });
  for (QFuture<float>& run : runs) EXPECT_EQ(run.result(), 0.0f);
}

TEST(Values, ExtremeParametersRenderWithoutExhaustingMemory) {
  const ci::Image source = solidImage(2000, 2000, {0.5f, 0.5f, 0.5f, 1});
  const struct {
    const char* recipe;
    ci::Image image;
  } cases[] = {
      {"huge gaussian", source.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 1e6}})},
      {"huge disc", source.imageByApplyingFilter("CIDiscBlur", {{"inputRadius", 1e6}})},
      {"huge cells", source.imageByApplyingFilter("CIPixellate", {{"inputScale", 1e9}})},
      {"tiny scale", source.imageByApplyingTransform(QTransform::fromScale(1e-6, 1e-6))},
      {"huge displacement",
       source.imageByApplyingFilter(
           "CIDisplacementDistortion",
           {{"inputDisplacementImage", QVariant::fromValue(source)}, {"inputScale", 1e9}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recipe);
    ASSERT_FALSE(c.image.isNull());
    const ci::PixelBuffer out = render(c.image, QRectF(0, 0, 16, 16));
    ASSERT_FALSE(out.isNull());
    const RGBA p = pixelAt(out, 0, 0);
    EXPECT_TRUE(std::isfinite(p.r) && p.a >= 0 && p.a <= 1.0001f);
  }
}
