// The compositing filters against QPainter's composition modes, an
// independent implementation of the same Porter-Duff and blend formulas,
// on translucent 8-bit pixels; the component-wise and non-separable ones
// against their definitions.
#include <gtest/gtest.h>

#include <QPainter>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Image;

namespace {

constexpr int kSide = 16;

// Premultiplied pixels covering dark to light in each component, opaque
// and translucent.
QImage pattern(int seed) {
  QImage pixels(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const int a = (x + y + seed) % 3 == 0 ? 128 : 255;
      const int r = (x * 17 + seed * 40) % 256, g = (y * 17 + seed * 90) % 256;
      const int b = (x * y * 7 + seed * 60) % 256;
      pixels.setPixel(x, y, qRgba(r * a / 255, g * a / 255, b * a / 255, a));
    }
  return pixels;
}

Image toImage(const QImage& pixels) { return Image::imageWithCGImage(gfx::CGImage::make(pixels)); }

ci::PixelBuffer composited(const QString& name, const QImage& source, const QImage& background) {
  auto filter = ci::Filter::filterWithName(name);
  filter->setValue(QVariant::fromValue(toImage(source)), "inputImage");
  filter->setValue(QVariant::fromValue(toImage(background)), "inputBackgroundImage");
  return render(filter->outputImage(), QRectF(0, 0, kSide, kSide));
}

// Pixel (x, y) of a y-up render, as 8-bit premultiplied components.
QColor byteColor(const ci::PixelBuffer& out, int x, int row) {
  const RGBA p = pixelAt(out, x, kSide - 1 - row);
  return QColor::fromRgbF(p.r, p.g, p.b, p.a);
}

}  // namespace

TEST(CompositeFilters, MatchQPainterCompositionModes) {
  const struct {
    const char* name;
    QPainter::CompositionMode mode;
  } cases[] = {
      {"CISourceOverCompositing", QPainter::CompositionMode_SourceOver},
      {"CISourceInCompositing", QPainter::CompositionMode_SourceIn},
      {"CISourceOutCompositing", QPainter::CompositionMode_SourceOut},
      {"CISourceAtopCompositing", QPainter::CompositionMode_SourceAtop},
      {"CIAdditionCompositing", QPainter::CompositionMode_Plus},
      {"CIMultiplyBlendMode", QPainter::CompositionMode_Multiply},
      {"CIScreenBlendMode", QPainter::CompositionMode_Screen},
      {"CIOverlayBlendMode", QPainter::CompositionMode_Overlay},
      {"CIDarkenBlendMode", QPainter::CompositionMode_Darken},
      {"CILightenBlendMode", QPainter::CompositionMode_Lighten},
      {"CIColorDodgeBlendMode", QPainter::CompositionMode_ColorDodge},
      {"CIColorBurnBlendMode", QPainter::CompositionMode_ColorBurn},
      {"CISoftLightBlendMode", QPainter::CompositionMode_SoftLight},
      {"CIHardLightBlendMode", QPainter::CompositionMode_HardLight},
      {"CIDifferenceBlendMode", QPainter::CompositionMode_Difference},
      {"CIExclusionBlendMode", QPainter::CompositionMode_Exclusion},
  };
  const QImage source = pattern(1), background = pattern(2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QImage expected = background;
    QPainter painter(&expected);
    painter.setCompositionMode(c.mode);
    painter.drawImage(0, 0, source);
    painter.end();
    const ci::PixelBuffer ours = composited(c.name, source, background);
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const QRgb want = expected.pixel(x, y);
        const QColor got = byteColor(ours, x, y);
        const int components[4][2] = {{qRed(want), int(std::lround(got.redF() * 255))},
                                      {qGreen(want), int(std::lround(got.greenF() * 255))},
                                      {qBlue(want), int(std::lround(got.blueF() * 255))},
                                      {qAlpha(want), int(std::lround(got.alphaF() * 255))}};
        for (const auto& [w, g] : components) ASSERT_NEAR(g, w, 3) << x << "," << y;
      }
  }
}

TEST(CompositeFilters, ComponentwiseAndNonSeparable) {
  // Opaque (0.8, 0.4, 0.2) over opaque (0.2, 0.6, 0.6) and half-covered
  // (0.5, 0.5, 0.5) over the same.
  const Image warm = solidImage(4, 4, {0.8f, 0.4f, 0.2f, 1});
  const Image teal = solidImage(4, 4, {0.2f, 0.6f, 0.6f, 1});
  const Image grey = solidImage(4, 4, {0.25f, 0.25f, 0.25f, 0.5f});
  auto lum = [](float r, float g, float b) { return 0.3f * r + 0.59f * g + 0.11f * b; };
  const float tealLum = lum(0.2f, 0.6f, 0.6f), warmLum = lum(0.8f, 0.4f, 0.2f);
  const struct {
    const char* name;
    Image source;
    RGBA expected;
  } cases[] = {
      {"CIMultiplyCompositing", grey, {0.05f, 0.15f, 0.15f, 0.5f}},
      {"CIMinimumCompositing", warm, {0.2f, 0.4f, 0.2f, 1}},
      {"CIMaximumCompositing", warm, {0.8f, 0.6f, 0.6f, 1}},
      // A grey source has no hue or saturation to give: the background's
      // luminance as grey.
      {"CIHueBlendMode", solidImage(4, 4, {0.5f, 0.5f, 0.5f, 1}), {tealLum, tealLum, tealLum, 1}},
      {"CISaturationBlendMode",
       solidImage(4, 4, {0.5f, 0.5f, 0.5f, 1}),
       {tealLum, tealLum, tealLum, 1}},
      // Colour keeps the background's luminance; luminosity takes the source's.
      {"CIColorBlendMode", solidImage(4, 4, {0.5f, 0.5f, 0.5f, 1}), {tealLum, tealLum, tealLum, 1}},
      {"CILuminosityBlendMode",
       warm,
       {0.2f + warmLum - tealLum, 0.6f + warmLum - tealLum, 0.6f + warmLum - tealLum, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto filter = ci::Filter::filterWithName(c.name);
    filter->setValue(QVariant::fromValue(c.source), "inputImage");
    filter->setValue(QVariant::fromValue(teal), "inputBackgroundImage");
    const RGBA p = pixelAt(render(filter->outputImage(), QRectF(0, 0, 4, 4)), 1, 1);
    EXPECT_NEAR(p.r, c.expected.r, 2.0 / 255);
    EXPECT_NEAR(p.g, c.expected.g, 2.0 / 255);
    EXPECT_NEAR(p.b, c.expected.b, 2.0 / 255);
    EXPECT_NEAR(p.a, c.expected.a, 2.0 / 255);
  }
  // A product covers only where both images do; a maximum where either does.
  const Image wide = solidImage(8, 2, {1, 1, 1, 1});
  auto multiply = ci::Filter::filterWithName("CIMultiplyCompositing");
  multiply->setValue(QVariant::fromValue(wide), "inputImage");
  multiply->setValue(QVariant::fromValue(teal), "inputBackgroundImage");
  EXPECT_EQ(multiply->outputImage().extent(), QRectF(0, 0, 4, 2));
  auto maximum = ci::Filter::filterWithName("CIMaximumCompositing");
  maximum->setValue(QVariant::fromValue(wide), "inputImage");
  maximum->setValue(QVariant::fromValue(teal), "inputBackgroundImage");
  EXPECT_EQ(maximum->outputImage().extent(), QRectF(0, 0, 8, 4));
}
