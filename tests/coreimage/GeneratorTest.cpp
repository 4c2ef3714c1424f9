#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;

namespace {

// The value of pixel (x, y) of an infinite generator.
RGBA sample(const Image& image, int x, int y) {
  return pixelAt(render(image, QRectF(x, y, 1, 1)), x, y);
}

}  // namespace

TEST(Generators, CheckerboardSquaresAlternateFromTheCentre) {
  const Image board = Filter::filterWithName("CICheckerboardGenerator")->outputImage();
  ASSERT_FALSE(board.isNull());
  EXPECT_TRUE(ci::isInfinite(board.extent()));
  // Default: centre (150, 150), width 80, white then black.
  const struct {
    int x, y;
    float grey;
  } cases[] = {{160, 160, 1}, {240, 160, 0}, {240, 240, 1}, {140, 160, 0},
               {140, 140, 1}, {229, 229, 1}, {230, 229, 0}, {-10, -10, 1}};
  for (const auto& c : cases) {
    const RGBA p = sample(board, c.x, c.y);
    EXPECT_FLOAT_EQ(p.r, c.grey) << c.x << "," << c.y;
    EXPECT_FLOAT_EQ(p.a, 1.0f);
  }
  auto soft = Filter::filterWithName("CICheckerboardGenerator", {{"inputSharpness", 0.5}});
  // Halfway into a square the softened edge has finished its ramp.
  EXPECT_FLOAT_EQ(sample(soft->outputImage(), 190, 190).r, 1.0f);
  const float nearEdge = sample(soft->outputImage(), 150, 190).r;
  EXPECT_GT(nearEdge, 0.4f);
  EXPECT_LT(nearEdge, 0.6f);
  saveRendered(board, QRectF(0, 0, 320, 320), "checkerboard-default");
}

TEST(Generators, ConstantColourIsPremultipliedEverywhere) {
  auto filter = Filter::filterWithName("CIConstantColorGenerator");
  filter->setValue(QVariant::fromValue(ci::Color(0.2, 0.4, 0.8, 0.5)), "inputColor");
  const Image image = filter->outputImage();
  EXPECT_TRUE(ci::isInfinite(image.extent()));
  for (QPoint at : {QPoint(0, 0), QPoint(-5000, 123456), QPoint(99, -99)}) {
    const RGBA p = sample(image, at.x(), at.y());
    EXPECT_FLOAT_EQ(p.r, 0.1f);
    EXPECT_FLOAT_EQ(p.g, 0.2f);
    EXPECT_FLOAT_EQ(p.b, 0.4f);
    EXPECT_FLOAT_EQ(p.a, 0.5f);
  }
}

TEST(Gradients, RadialValueFollowsDistance) {
  const Image gradient = Filter::filterWithName("CIRadialGradient")->outputImage();
  // Default: centre (150, 150), white inside 5, black outside 100.
  const struct {
    int x, y;
  } points[] = {{150, 150}, {152, 149}, {202, 149}, {150, 200}, {100, 80}, {300, 300}};
  for (const auto& p : points) {
    const double d = std::hypot(p.x + 0.5 - 150, p.y + 0.5 - 150);
    const double t = std::clamp((d - 5) / 95, 0.0, 1.0);
    const RGBA v = sample(gradient, p.x, p.y);
    EXPECT_NEAR(v.r, 1 - t, 1e-5) << p.x << "," << p.y;
    EXPECT_FLOAT_EQ(v.a, 1.0f);
  }
  saveRendered(gradient, QRectF(0, 0, 300, 300), "radialgradient-default");
}

TEST(Gradients, LinearValueFollowsTheAxis) {
  auto filter = Filter::filterWithName("CILinearGradient");
  filter->setValue(QVariant::fromValue(ci::Color(1, 0, 0, 1)), "inputColor0");
  filter->setValue(QVariant::fromValue(ci::Color(0, 0, 1, 0)), "inputColor1");
  const Image gradient = filter->outputImage();
  // Default axis (0, 0) → (200, 200): t is the projection onto it.
  const struct {
    int x, y;
  } points[] = {{-20, -20}, {49, 49}, {99, 99}, {0, 199}, {150, 50}, {250, 250}};
  for (const auto& p : points) {
    const double t = std::clamp((p.x + 0.5 + p.y + 0.5) / 400.0, 0.0, 1.0);
    const RGBA v = sample(gradient, p.x, p.y);
    EXPECT_NEAR(v.r, 1 - t, 1e-5);
    EXPECT_NEAR(v.b, 0, 1e-6);  // the far colour is clear, so it adds no blue
    EXPECT_NEAR(v.a, 1 - t, 1e-5);
  }
  saveRendered(gradient, QRectF(0, 0, 200, 200), "lineargradient-red-to-clear");
}
