#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Context.h"
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

// Gradients written straight to bytes (as a layer receives them) carry the
// float render's values, rounded, in each layout's channel order, over a
// region wider than the rows' working chunks and off the origin.
TEST(Gradients, BytesMatchTheFloatRenderInEveryLayout) {
  const ci::Color red(1, 0, 0, 1), clearBlue(0, 0, 1, 0.5);
  const QVariant c0 = QVariant::fromValue(red), c1 = QVariant::fromValue(clearBlue);
  auto at = [](double x, double y) { return QVariant::fromValue(ci::Vector{x, y}); };
  const struct {
    const char* name;
    QVariantMap inputs;
  } cases[] = {
      {"CIRadialGradient",
       {{"inputCenter", at(140.3, 2)},
        {"inputRadius0", 7},
        {"inputRadius1", 230},
        {"inputColor0", c0},
        {"inputColor1", c1}}},
      {"CIRadialGradient",
       {{"inputCenter", at(200, 0)},
        {"inputRadius0", 90},
        {"inputRadius1", 90},
        {"inputColor0", c0},
        {"inputColor1", c1}}},
      {"CILinearGradient",
       {{"inputPoint0", at(-20, 5)},
        {"inputPoint1", at(500, -9)},
        {"inputColor0", c0},
        {"inputColor1", c1}}},
      {"CILinearGradient",
       {{"inputPoint0", at(30, 30)},
        {"inputPoint1", at(30, 30)},
        {"inputColor0", c0},
        {"inputColor1", c1}}},
  };
  const QRectF region(-13, -4, 601, 9);
  const struct {
    ci::Format format;
    int r, g, b, a;
  } layouts[] = {{ci::kCIFormatBGRA8, 2, 1, 0, 3},
                 {ci::kCIFormatRGBA8, 0, 1, 2, 3},
                 {ci::kCIFormatARGB8, 1, 2, 3, 0}};
  auto byte = [](float v) { return int(std::clamp(v * 255.0f + 0.5f, 0.0f, 255.0f)); };
  for (const auto& c : cases) {
    const Image gradient = Filter::filterWithName(c.name, c.inputs)->outputImage();
    const ci::PixelBuffer floats = render(gradient, region);
    for (const auto& layout : layouts) {
      const int w = int(region.width()), h = int(region.height());
      std::vector<uchar> bytes(size_t(w) * h * 4);
      ASSERT_TRUE(ci::Context().render(gradient, bytes.data(), w * 4, region, layout.format));
      int mismatches = 0;
      for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
          // Rows come top first; the engine's y runs upwards.
          const float* f = floats.pixel(int(region.x()) + x, int(region.y()) + h - 1 - row);
          const uchar* p = &bytes[(size_t(row) * w + x) * 4];
          mismatches += p[layout.r] != byte(f[0]) || p[layout.g] != byte(f[1]) ||
                        p[layout.b] != byte(f[2]) || p[layout.a] != byte(f[3]);
        }
      EXPECT_EQ(mismatches, 0) << c.name << " in layout " << layout.format;
    }
  }
}

TEST(Generators, StripesAlternateAlongXFromTheCentre) {
  const Image stripes = Image().imageByApplyingFilter("CIStripesGenerator");
  EXPECT_TRUE(ci::isInfinite(stripes.extent()));
  const ci::PixelBuffer out = render(stripes, QRectF(0, -40, 320, 3));
  const struct {
    int x;
    float value;
  } cases[] = {{160, 1}, {229, 1}, {230, 0}, {100, 0}, {69, 1}, {310, 1}};
  for (const auto& c : cases)
    for (int y = -40; y < -37; ++y) EXPECT_FLOAT_EQ(out.pixel(c.x, y)[0], c.value) << c.x;
}

TEST(Generators, RandomValuesAreUniformIndependentAndRepeatable) {
  const Image noise = Image().imageByApplyingFilter("CIRandomGenerator");
  const QRectF area(-64, 100, 128, 128);
  const ci::PixelBuffer a = render(noise, area, 1024), b = render(noise, area, 16);
  EXPECT_EQ(maxDifference(a, b), 0.0f);
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE(c);
    double sum = 0, squares = 0, neighbours = 0, across = 0;
    int n = 0;
    for (int y = 100; y < 228; ++y)
      for (int x = -64; x < 63; ++x) {
        const double v = a.pixel(x, y)[c] - 0.5, next = a.pixel(x + 1, y)[c] - 0.5;
        const double other = a.pixel(x, y)[(c + 1) % 4] - 0.5;
        sum += v, squares += v * v, neighbours += v * next, across += v * other, ++n;
        ASSERT_GE(v, -0.5);
        ASSERT_LT(v, 0.5);
      }
    EXPECT_NEAR(sum / n, 0, 0.01);
    EXPECT_NEAR(squares / n, 1.0 / 12, 0.004);
    EXPECT_NEAR(neighbours / n / (1.0 / 12), 0, 0.04);
    EXPECT_NEAR(across / n / (1.0 / 12), 0, 0.04);
  }
}

TEST(Gradients, GaussianFadesWithAThirdOfTheRadiusAsSigma) {
  const Image gradient = Image().imageByApplyingFilter(
      "CIGaussianGradient", {{"inputCenter", QVariant::fromValue(ci::Vector{10, 20})},
                             {"inputRadius", 30},
                             {"inputColor0", QVariant::fromValue(ci::Color(1, 1, 1, 1))},
                             {"inputColor1", QVariant::fromValue(ci::Color(0, 0, 0, 1))}});
  const ci::PixelBuffer out = render(gradient, QRectF(0, 0, 60, 40));
  for (int x : {9, 19, 29, 39, 49}) {
    const double dx = x + 0.5 - 10, dy = 19.5 - 20;
    EXPECT_NEAR(out.pixel(x, 19)[0], std::exp(-(dx * dx + dy * dy) / (2 * 10.0 * 10.0)), 1e-4) << x;
  }
}

TEST(Generators, LightEffectsAreBrightWhereTheyShouldBe) {
  const QVariant center = QVariant::fromValue(ci::Vector{100, 100});
  auto luminous = [](const char* name, const QVariantMap& inputs, int x, int y) {
    return pixelAt(render(Image().imageByApplyingFilter(name, inputs), QRectF(x, y, 1, 1)), x, y);
  };
  // The star's core is its colour at full strength, fading away from it.
  const RGBA core = luminous("CIStarShineGenerator", {{"inputCenter", center}}, 99, 99);
  EXPECT_GT(core.a, 0.95f);
  EXPECT_NEAR(core.g / core.r, 0.8f, 1e-3);
  EXPECT_LT(luminous("CIStarShineGenerator", {{"inputCenter", center}}, 160, 120).a, 0.3f);
  // Inside the sun, its colour; far beyond the rays, nearly nothing.
  const RGBA sun = luminous("CISunbeamsGenerator", {{"inputCenter", center}}, 120, 100);
  EXPECT_NEAR(sun.r, 1, 1e-5);
  EXPECT_NEAR(sun.g, 0.5, 1e-5);
  EXPECT_LT(luminous("CISunbeamsGenerator", {{"inputCenter", center}}, 600, 100).a, 0.02f);
  // The halo's ring is bright at its radius and dark at the centre.
  EXPECT_GT(luminous("CILenticularHaloGenerator", {{"inputCenter", center}}, 170, 100).a, 0.3f);
  EXPECT_LT(luminous("CILenticularHaloGenerator", {{"inputCenter", center}}, 100, 100).a, 0.05f);
}

// A radial ramp gives every pixel exactly t = clamp((d − r0) / (r1 − r0)),
// d its centre's distance from the gradient's centre, mixed in floats; the
// pixels far outside the outer circle included, which take the second colour
// whole. Brush dabs are such gradients over the square around their circle,
// cut anywhere by the dab's edges, so the centres (floats, as the
// kernel takes them) are off the pixel grid
// and the regions start on, inside and past the circle.
TEST(Gradients, RadialRampIsExactEverywhere) {
  const ci::Color c0(0.8, 0.1, 0.3, 1), c1(0, 0, 0, 0), opaque(0.2, 0.9, 0.4, 1);
  const struct {
    double cx, cy, r0, r1;
    ci::Color far;
    QRectF region;
  } cases[] = {
      {150.5, 150.25, 0, 50, c1, QRectF(100, 100, 101, 101)},        // a dab of 100 pixels
      {150.375, 149.8125, 0, 50, c1, QRectF(99, 99, 104, 104)},      // off the grid
      {20.5, 20.5, 0, 0.5, c1, QRectF(17, 17, 8, 8)},                // the smallest brush
      {0.75, 3.125, 12, 260.5, opaque, QRectF(-300, -280, 601, 9)},  // wider than a chunk
      {-40.25, 10, 3, 45, c1, QRectF(-120, 40, 200, 30)},            // rows past the circle
      {64, 64, 0, 700, c1, QRectF(40, 50, 300, 3)},                  // the circle covers all
  };
  for (const auto& c : cases) {
    auto filter = Filter::filterWithName(
        "CIRadialGradient", {{"inputCenter", QVariant::fromValue(ci::Vector{c.cx, c.cy})},
                             {"inputRadius0", c.r0},
                             {"inputRadius1", c.r1},
                             {"inputColor0", QVariant::fromValue(c0)},
                             {"inputColor1", QVariant::fromValue(c.far)}});
    const ci::PixelBuffer pixels = render(filter->outputImage(), c.region);
    const float from[4] = {float(c0.red()), float(c0.green()), float(c0.blue()), 1};
    const float to[4] = {float(c.far.red()), float(c.far.green()), float(c.far.blue()),
                         float(c.far.alpha())};
    int wrong = 0;
    for (int y = int(c.region.top()); y < int(c.region.bottom()); ++y)
      for (int x = int(c.region.left()); x < int(c.region.right()); ++x) {
        const double dx = x + 0.5 - c.cx, dy = y + 0.5 - c.cy;
        const float t =
            std::clamp(float((std::sqrt(dx * dx + dy * dy) - c.r0) / (c.r1 - c.r0)), 0.0f, 1.0f);
        const float* p = pixels.pixel(x, y);
        for (int k = 0; k < 4; ++k)
          if (p[k] != from[k] + (to[k] - from[k]) * t && ++wrong < 5)
            ADD_FAILURE() << c.cx << "," << c.cy << " r1 " << c.r1 << " at " << x << "," << y;
      }
    EXPECT_EQ(wrong, 0) << c.cx << "," << c.cy << " r1 " << c.r1;
  }
}
