#include <gtest/gtest.h>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"
#include "graphics/AffineTransform.h"

using namespace citest;
using ci::Filter;
using ci::Image;

namespace {

Image ramp() {
  return functionImage(16, 8, [](int x, int y) { return RGBA{x / 16.0f, y / 8.0f, 0, 1}; });
}

}  // namespace

TEST(GeometryFilters, AffineTransformAndCropMatchImageOperations) {
  gfx::AffineTransform turn;
  turn.translateXBy(8, 0);
  turn.rotateByDegrees(90);
  auto transform = Filter::filterWithName("CIAffineTransform");
  transform->setValue(QVariant::fromValue(ramp()), "inputImage");
  transform->setValue(QVariant::fromValue(turn), "inputTransform");
  const Image turned = transform->outputImage();
  // Rotating 90° anticlockwise, then moving right by 8: source (x, y) lands at (8 − y, x).
  EXPECT_NEAR(turned.extent().x(), 0, 1e-9);
  EXPECT_NEAR(turned.extent().width(), 8, 1e-9);
  EXPECT_NEAR(turned.extent().height(), 16, 1e-9);
  const ci::PixelBuffer out = render(turned, QRectF(0, 0, 8, 16));
  for (QPoint source : {QPoint(3, 2), QPoint(10, 5), QPoint(0, 0)}) {
    const RGBA p = pixelAt(out, 8 - source.y() - 1, source.x());
    EXPECT_NEAR(p.r, source.x() / 16.0f, 1e-5);
    EXPECT_NEAR(p.g, source.y() / 8.0f, 1e-5);
  }

  auto crop = Filter::filterWithName("CICrop");
  crop->setValue(QVariant::fromValue(ramp()), "inputImage");
  EXPECT_EQ(crop->outputImage().extent(), QRectF(0, 0, 16, 8));  // default 300 × 300
  crop->setValue(QVariant::fromValue(ci::Vector{2, 3, 4, 2}), "inputRectangle");
  EXPECT_EQ(crop->outputImage().extent(), QRectF(2, 3, 4, 2));
}

TEST(GeometryFilters, ClampAndTileExtendForEver) {
  auto clamp =
      Filter::filterWithName("CIAffineClamp", {{"inputImage", QVariant::fromValue(ramp())}});
  auto tile = Filter::filterWithName("CIAffineTile", {{"inputImage", QVariant::fromValue(ramp())}});
  const Image clamped = clamp->outputImage(), tiled = tile->outputImage();
  EXPECT_TRUE(ci::isInfinite(clamped.extent()));
  EXPECT_TRUE(ci::isInfinite(tiled.extent()));
  const ci::PixelBuffer c = render(clamped, QRectF(-40, -40, 100, 100));
  const ci::PixelBuffer t = render(tiled, QRectF(-40, -40, 100, 100));
  const struct {
    QPoint at, clampedSource, tiledSource;
  } cases[] = {{{-3, 4}, {0, 4}, {13, 4}}, {{35, -20}, {15, 0}, {3, 4}}, {{5, 5}, {5, 5}, {5, 5}}};
  for (const auto& k : cases) {
    EXPECT_FLOAT_EQ(pixelAt(c, k.at.x(), k.at.y()).r, k.clampedSource.x() / 16.0f);
    EXPECT_FLOAT_EQ(pixelAt(c, k.at.x(), k.at.y()).g, k.clampedSource.y() / 8.0f);
    EXPECT_FLOAT_EQ(pixelAt(t, k.at.x(), k.at.y()).r, k.tiledSource.x() / 16.0f);
    EXPECT_FLOAT_EQ(pixelAt(t, k.at.x(), k.at.y()).g, k.tiledSource.y() / 8.0f);
  }
  saveRendered(tiled, QRectF(0, 0, 64, 32), "ramp-affinetile");
}

TEST(CompositeFilters, SourceOverAndLighten) {
  const RGBA top{0.6f, 0.1f, 0.0f, 0.6f}, bottom{0.2f, 0.5f, 0.4f, 1.0f};
  const struct {
    const char* name;
    RGBA expected;
  } cases[] = {
      // Source-over: S + D(1 − Sa).
      {"CISourceOverCompositing",
       {0.6f + 0.2f * 0.4f, 0.1f + 0.5f * 0.4f, 0.0f + 0.4f * 0.4f, 1.0f}},
      // Lighten: max(S·Da, D·Sa) + S(1 − Da) + D(1 − Sa).
      {"CILightenBlendMode",
       {std::max(0.6f, 0.2f * 0.6f) + 0.2f * 0.4f, std::max(0.1f, 0.5f * 0.6f) + 0.5f * 0.4f,
        std::max(0.0f, 0.4f * 0.6f) + 0.4f * 0.4f, 1.0f}},
  };
  for (const auto& c : cases) {
    auto filter = Filter::filterWithName(c.name);
    filter->setValue(QVariant::fromValue(functionImage(4, 4, [&](int, int) { return top; })),
                     "inputImage");
    filter->setValue(QVariant::fromValue(functionImage(4, 4, [&](int, int) { return bottom; })),
                     "inputBackgroundImage");
    const RGBA p = pixelAt(render(filter->outputImage(), QRectF(0, 0, 4, 4)), 2, 2);
    EXPECT_NEAR(p.r, c.expected.r, 1e-5) << c.name;
    EXPECT_NEAR(p.g, c.expected.g, 1e-5) << c.name;
    EXPECT_NEAR(p.b, c.expected.b, 1e-5) << c.name;
    EXPECT_NEAR(p.a, c.expected.a, 1e-5) << c.name;
  }
}

TEST(DistortionFilters, DisplacementMovesByTheRedAndGreenOffsets) {
  const Image wide = functionImage(64, 64, [](int x, int y) {
    return RGBA{x / 64.0f, y / 64.0f, 0, 1};
  });
  // Red 0.75, green 0.25: offset (+0.25, −0.25) × scale 8 = (+2, −2).
  const Image displacement = Image::imageWithColor(ci::Color(0.75, 0.25, 0, 1));
  auto filter = Filter::filterWithName("CIDisplacementDistortion");
  filter->setValue(QVariant::fromValue(wide), "inputImage");
  filter->setValue(QVariant::fromValue(displacement), "inputDisplacementImage");
  filter->setValue(8, "inputScale");
  const ci::PixelBuffer out = render(filter->outputImage(), QRectF(0, 0, 64, 64));
  EXPECT_NEAR(pixelAt(out, 20, 30).r, 22 / 64.0f, 1e-5);
  EXPECT_NEAR(pixelAt(out, 20, 30).g, 28 / 64.0f, 1e-5);
}

TEST(LanczosScale, KeepsFlatAreasAndAveragesDetailAway) {
  const Image flat = solidImage(64, 32, {0.6f, 0.3f, 0.2f, 1});
  const Image checker = functionImage(64, 32, [](int x, int y) {
    const float v = (x + y) % 2 ? 1.0f : 0.0f;
    return RGBA{v, v, v, 1};
  });
  const struct {
    double scale, aspect;
    QRectF extent;
  } cases[] = {{0.5, 1, {0, 0, 32, 16}}, {0.5, 2, {0, 0, 64, 16}}, {1.5, 1, {0, 0, 96, 48}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scale);
    const QVariantMap inputs{{"inputScale", c.scale}, {"inputAspectRatio", c.aspect}};
    const Image scaled = flat.imageByApplyingFilter("CILanczosScaleTransform", inputs);
    EXPECT_EQ(scaled.extent(), c.extent);
    const QRectF inner = c.extent.adjusted(6, 6, -6, -6);
    const ci::PixelBuffer out = render(scaled, inner);
    for (int y = int(inner.y()); y < int(inner.bottom()); ++y)
      for (int x = int(inner.x()); x < int(inner.right()); ++x)
        ASSERT_NEAR(out.pixel(x, y)[0], 0.6f, 1e-4f) << x << "," << y;
  }
  // Halving a one-pixel checker leaves even grey, not an aliased pattern.
  const Image halved =
      checker.imageByApplyingFilter("CILanczosScaleTransform", {{"inputScale", 0.5}});
  const ci::PixelBuffer grey = render(halved, QRectF(6, 6, 20, 4));
  for (int x = 6; x < 26; ++x) ASSERT_NEAR(grey.pixel(x, 7)[0], 0.5f, 0.02f) << x;
}

TEST(PerspectiveTransform, CornersGoWhereTheyAreTold) {
  // Red left half, blue right half; dark bottom rows, light top rows.
  const Image quarters = functionImage(100, 100, [](int x, int y) {
    const float light = y < 50 ? 0.4f : 1.0f;
    return x < 50 ? RGBA{light, 0, 0, 1} : RGBA{0, 0, light, 1};
  });
  // A trapezoid symmetric about x = 250, narrower at the top.
  auto filter = Filter::filterWithName(
      "CIPerspectiveTransform", {{"inputImage", QVariant::fromValue(quarters)},
                                 {"inputBottomLeft", QVariant::fromValue(ci::Vector{100, 100})},
                                 {"inputBottomRight", QVariant::fromValue(ci::Vector{400, 100})},
                                 {"inputTopRight", QVariant::fromValue(ci::Vector{325, 300})},
                                 {"inputTopLeft", QVariant::fromValue(ci::Vector{175, 300})}});
  const Image out = filter->outputImage();
  EXPECT_EQ(out.extent(), QRectF(100, 100, 300, 200));
  const ci::PixelBuffer pixels = render(out, out.extent());
  const struct {
    int x, y;
    RGBA expected;
  } cases[] = {{104, 102, {0.4f, 0, 0, 1}}, {395, 102, {0, 0, 0.4f, 1}}, {180, 297, {1, 0, 0, 1}},
               {320, 297, {0, 0, 1, 1}},    {247, 200, {-1, 0, 0, 1}},   {253, 200, {0, 0, -1, 1}},
               {110, 290, {0, 0, 0, 0}},    {390, 290, {0, 0, 0, 0}}};
  for (const auto& c : cases) {
    const RGBA p = pixelAt(pixels, c.x, c.y);
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    EXPECT_NEAR(p.a, c.expected.a, 1e-4);
    // Negative expectations: only which half (red or blue) matters.
    if (c.expected.r >= 0)
      EXPECT_NEAR(p.r, c.expected.r, 1e-4);
    else
      EXPECT_GT(p.r, 0.3f);
    if (c.expected.b >= 0)
      EXPECT_NEAR(p.b, c.expected.b, 1e-4);
    else
      EXPECT_GT(p.b, 0.3f);
  }
}

TEST(StraightenFilter, TurnsAndStillCoversTheExtent) {
  const Image picture = functionImage(120, 80, [](int x, int y) {
    return RGBA{x / 120.0f, y / 80.0f, 0.5f, 1};
  });
  for (double angle : {0.3, -0.5}) {
    SCOPED_TRACE(angle);
    const Image out = picture.imageByApplyingFilter("CIStraightenFilter", {{"inputAngle", angle}});
    EXPECT_EQ(out.extent(), picture.extent());
    const ci::PixelBuffer pixels = render(out, out.extent());
    for (int y : {0, 79})
      for (int x : {0, 119}) EXPECT_NEAR(pixelAt(pixels, x, y).a, 1, 1e-4) << x << "," << y;
    // The centre stays put; a point to its right turns with the picture.
    EXPECT_NEAR(pixelAt(pixels, 60, 40).r, 60.0f / 120, 0.01f);
    const RGBA right = pixelAt(pixels, 90, 40);
    const double c = std::cos(angle), s = std::sin(angle);
    const double scale = std::max((120 * std::fabs(c) + 80 * std::fabs(s)) / 120,
                                  (120 * std::fabs(s) + 80 * std::fabs(c)) / 80);
    // Pixel (90.5, 40.5) came from the centre plus (30, 0) turned back and shrunk.
    const double sx = 60 + 30 * c / scale, sy = 40 + -30 * s / scale;
    EXPECT_NEAR(right.r, (sx - 0.5) / 120, 0.01);
    EXPECT_NEAR(right.g, (sy - 0.5) / 80, 0.015);
  }
}
