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
