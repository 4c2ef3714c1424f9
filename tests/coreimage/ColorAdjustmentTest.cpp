#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;
using ci::Vector;

namespace {

// A half-transparent pixel of straight colour (0.2, 0.5, 0.8): filters see
// the straight colour and answer premultiplied.
const RGBA kStraight{0.2f, 0.5f, 0.8f, 0.5f};

RGBA applied(const QString& name, const QVariantMap& inputs) {
  const Image source = functionImage(2, 2, [](int, int) {
    return RGBA{kStraight.r * kStraight.a, kStraight.g * kStraight.a, kStraight.b * kStraight.a,
                kStraight.a};
  });
  auto filter = Filter::filterWithName(name, inputs);
  filter->setValue(QVariant::fromValue(source), "inputImage");
  const Image out = filter->outputImage();
  EXPECT_FALSE(out.isNull()) << name.toStdString();
  if (out.isNull()) return {};
  const RGBA p = pixelAt(render(out, QRectF(0, 0, 2, 2)), 1, 1);
  // Back to straight colour for comparison with the formulas.
  return p.a > 0 ? RGBA{p.r / p.a, p.g / p.a, p.b / p.a, p.a} : p;
}

QVariant v(const Vector& vector) { return QVariant::fromValue(vector); }

QByteArray invertingCube() {
  QByteArray data(2 * 2 * 2 * 16, Qt::Uninitialized);
  auto* p = reinterpret_cast<float*>(data.data());
  for (int b = 0; b < 2; ++b)
    for (int g = 0; g < 2; ++g)
      for (int r = 0; r < 2; ++r, p += 4)
        p[0] = 1.0f - r, p[1] = 1.0f - g, p[2] = 1.0f - b, p[3] = 1;
  return data;
}

}  // namespace

TEST(ColorAdjustment, FiltersFollowTheirFormulas) {
  const float r = kStraight.r, g = kStraight.g, b = kStraight.b, a = kStraight.a;
  const struct {
    const char* name;
    QVariantMap inputs;
    RGBA expected;
  } cases[] = {
      {"CIColorMatrix", {}, kStraight},
      {"CIColorMatrix",
       {{"inputRVector", v({0, 0, 1, 0})},
        {"inputBVector", v({1, 0, 0, 0})},
        {"inputBiasVector", v({0.1, 0, 0, 0.25})}},
       {b + 0.1f, g, r, a + 0.25f}},
      {"CIColorClamp",
       {{"inputMinComponents", v({0.3, 0, 0, 0})}, {"inputMaxComponents", v({1, 0.4, 1, 1})}},
       {0.3f, 0.4f, b, a}},
      {"CIColorPolynomial",
       {{"inputRedCoefficients", v({0, 0, 1, 0})}, {"inputBlueCoefficients", v({0.5, 0, 0, 0.5})}},
       {r * r, g, 0.5f + 0.5f * b * b * b, a}},
      {"CIColorCrossPolynomial",
       {{"inputRedCoefficients", v({0, 1, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"inputGreenCoefficients", v({0, 0, 0, 0, 0, 0, 0, 0, 1, 0.1})}},
       {g, b * r + 0.1f, b, a}},
      {"CIToneCurve", {}, kStraight},
      {"CIToneCurve",
       {{"inputPoint1", v({0.2, 0.4})},
        {"inputPoint2", v({0.5, 0.8})},
        {"inputPoint3", v({0.8, 0.9})}},
       {0.4f, 0.8f, 0.9f, a}},
      {"CIColorCube", {}, kStraight},
      {"CIColorCube",
       {{"inputCubeDimension", 2}, {"inputCubeData", invertingCube()}},
       {1 - r, 1 - g, 1 - b, a}},
      {"CIColorCubeWithColorSpace", {{"inputCubeData", invertingCube()}}, {1 - r, 1 - g, 1 - b, a}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RGBA p = applied(c.name, c.inputs);
    EXPECT_NEAR(p.r, c.expected.r, 1e-4);
    EXPECT_NEAR(p.g, c.expected.g, 1e-4);
    EXPECT_NEAR(p.b, c.expected.b, 1e-4);
    EXPECT_NEAR(p.a, c.expected.a, 1e-4);
  }
}

TEST(ColorAdjustment, CubeDataOfTheWrongSizeGivesNoImage) {
  auto filter = Filter::filterWithName(
      "CIColorCube", {{"inputCubeDimension", 3},
                      {"inputCubeData", invertingCube()},
                      {"inputImage", QVariant::fromValue(solidImage(2, 2, {1, 1, 1, 1}))}});
  EXPECT_TRUE(filter->outputImage().isNull());
}

namespace {

void expectStraight(const QString& name, const QVariantMap& inputs, RGBA expected,
                    float tolerance = 1e-4f) {
  SCOPED_TRACE(name.toStdString());
  const RGBA p = applied(name, inputs);
  EXPECT_NEAR(p.r, expected.r, tolerance);
  EXPECT_NEAR(p.g, expected.g, tolerance);
  EXPECT_NEAR(p.b, expected.b, tolerance);
  EXPECT_NEAR(p.a, expected.a, tolerance);
}

// Rec. 709 luminance of the test colour.
constexpr float kLuminance = 0.2126f * 0.2f + 0.7152f * 0.5f + 0.0722f * 0.8f;

}  // namespace

TEST(ColorAdjustment, SliderFiltersFollowTheirFormulas) {
  const float a = kStraight.a, L = kLuminance;
  const struct {
    const char* name;
    QVariantMap inputs;
    RGBA expected;
  } cases[] = {
      {"CIColorControls", {{"inputSaturation", 0}}, {L, L, L, a}},
      {"CIColorControls", {{"inputBrightness", 0.1}}, {0.3f, 0.6f, 0.9f, a}},
      {"CIColorControls", {{"inputContrast", 2}}, {-0.1f, 0.5f, 1.1f, a}},
      // Light doubled per stop: the test colour decoded, times 2 or a
      // quarter, encoded again (worked out with the sRGB formulas in Python).
      {"CIExposureAdjust", {{"inputEV", 1}}, {0.285384f, 0.685836f, 1.086288f, a}},
      {"CIExposureAdjust", {{"inputEV", -2}}, {0.088114f, 0.256483f, 0.424853f, a}},
      {"CIGammaAdjust", {{"inputPower", 2}}, {0.04f, 0.25f, 0.64f, a}},
      {"CIHueAdjust", {{"inputAngle", 2 * M_PI}}, kStraight},
      {"CIVibrance", {{"inputAmount", 1}}, {-0.34f, 0.23f, 0.8f, a}},
      {"CIVibrance", {{"inputAmount", -1}}, {0.74f, 0.77f, 0.8f, a}},
      {"CIWhitePointAdjust",
       {{"inputColor", QVariant::fromValue(ci::Color(0.5, 1, 0.25, 1))}},
       {0.1f, 0.5f, 0.2f, a}},
      // Published values of the sRGB transfer function.
      {"CILinearToSRGBToneCurve", {}, {0.484529f, 0.735357f, 0.906332f, a}},
      {"CISRGBToneCurveToLinear", {}, {0.033105f, 0.214041f, 0.603827f, a}},
  };
  for (const auto& c : cases) expectStraight(c.name, c.inputs, c.expected);
}

TEST(ColorAdjustment, HueTurnsChromaAndKeepsLuma) {
  const float r = kStraight.r, g = kStraight.g, b = kStraight.b;
  auto yiq = [](float r, float g, float b, float out[3]) {
    out[0] = 0.299f * r + 0.587f * g + 0.114f * b;
    out[1] = 0.596f * r - 0.274f * g - 0.322f * b;
    out[2] = 0.211f * r - 0.523f * g + 0.312f * b;
  };
  float before[3], after[3];
  yiq(r, g, b, before);
  for (double angle : {0.5, -1.0, 2.5}) {
    SCOPED_TRACE(angle);
    const RGBA p = applied("CIHueAdjust", {{"inputAngle", angle}});
    yiq(p.r, p.g, p.b, after);
    EXPECT_NEAR(after[0], before[0], 1e-4);
    EXPECT_NEAR(std::hypot(after[1], after[2]), std::hypot(before[1], before[2]), 1e-4);
    const double turned =
        std::remainder(std::atan2(after[2], after[1]) - std::atan2(before[2], before[1]), 2 * M_PI);
    EXPECT_NEAR(turned, angle, 1e-3);
  }
}

// White balance scales linear light: greys under warm light turn cool when
// corrected to daylight, in proportion whatever their level.
TEST(ColorAdjustment, TemperatureAndTintScalesLinearLight) {
  auto balanced = [](float grey, double from, double to, double tint = 0) {
    auto filter = Filter::filterWithName(
        "CITemperatureAndTint",
        {{"inputNeutral", QVariant::fromValue(Vector{from, 0})},
         {"inputTargetNeutral", QVariant::fromValue(Vector{to, tint})},
         {"inputImage", QVariant::fromValue(solidImage(2, 2, {grey, grey, grey, 1}))}});
    return pixelAt(render(filter->outputImage(), QRectF(0, 0, 2, 2)), 0, 0);
  };
  auto linear = [](float v) {
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
  };
  const RGBA cooler = balanced(0.5f, 4000, 6500);
  EXPECT_LT(cooler.r, cooler.g);
  EXPECT_LT(cooler.g, cooler.b);
  const RGBA warmer = balanced(0.5f, 6500, 4000);
  EXPECT_GT(warmer.r, warmer.g);
  EXPECT_GT(warmer.g, warmer.b);
  const RGBA darker = balanced(0.25f, 4000, 6500);
  const float g50 = linear(128 / 255.0f), g25 = linear(64 / 255.0f);
  EXPECT_NEAR(linear(cooler.r) / g50, linear(darker.r) / g25, 1e-3);
  EXPECT_NEAR(linear(cooler.b) / g50, linear(darker.b) / g25, 1e-3);
  // A positive tint pulls towards magenta: less green than red and blue.
  const RGBA magenta = balanced(0.5f, 6500, 6500, 50);
  EXPECT_LT(magenta.g, magenta.r);
  EXPECT_LT(magenta.g, magenta.b);
}

TEST(ColorEffect, FiltersFollowTheirFormulas) {
  const float r = kStraight.r, g = kStraight.g, b = kStraight.b, a = kStraight.a;
  const float L = kLuminance;
  const float posterized = 2.0f / 3;
  const float maskAlpha = L * a;  // the luminance of the colour over black
  const struct {
    const char* name;
    QVariantMap inputs;
    RGBA expected;
  } cases[] = {
      {"CIColorInvert", {}, {1 - r, 1 - g, 1 - b, a}},
      {"CIColorMonochrome", {}, {2 * L * 0.6f, 2 * L * 0.45f, 2 * L * 0.3f, a}},
      {"CIColorMonochrome",
       {{"inputIntensity", 0.5}},
       {(r + 2 * L * 0.6f) / 2, (g + 2 * L * 0.45f) / 2, (b + 2 * L * 0.3f) / 2, a}},
      {"CIColorPosterize", {{"inputLevels", 4}}, {0, posterized, 1, a}},
      {"CIFalseColor", {}, {0.3f + 0.7f * L, 0.9f * L, 0.8f * L, a}},
      {"CIMaskToAlpha", {}, {1, 1, 1, maskAlpha}},
      {"CIMaximumComponent", {}, {b, b, b, a}},
      {"CIMinimumComponent", {}, {r, r, r, a}},
      {"CISepiaTone",
       {},
       {0.393f * r + 0.769f * g + 0.189f * b, 0.349f * r + 0.686f * g + 0.168f * b,
        0.272f * r + 0.534f * g + 0.131f * b, a}},
      {"CISepiaTone", {{"inputIntensity", 0}}, kStraight},
  };
  for (const auto& c : cases) expectStraight(c.name, c.inputs, c.expected);
  // The colour map reads a ramp at the pixel's luminance.
  const Image ramp = functionImage(101, 3, [](int x, int) {
    return RGBA{x / 100.0f, 1 - x / 100.0f, 0.5f, 1};
  });
  expectStraight("CIColorMap", {{"inputGradientImage", QVariant::fromValue(ramp)}},
                 {L, 1 - L, 0.5f, a}, 1e-3f);
}

TEST(ColorEffect, VignetteDarkensTowardsTheCorners) {
  const Image white = solidImage(200, 100, {1, 1, 1, 1});
  auto filter = Filter::filterWithName(
      "CIVignette",
      {{"inputImage", QVariant::fromValue(white)}, {"inputIntensity", 1}, {"inputRadius", 1}});
  const ci::PixelBuffer out = render(filter->outputImage(), white.extent());
  const double halfDiagonal = std::hypot(100.0, 50.0);
  const struct {
    int x, y;
  } points[] = {{100, 50}, {150, 50}, {100, 90}, {0, 0}, {199, 99}, {30, 20}};
  for (const auto& p : points) {
    const double d = std::hypot(p.x + 0.5 - 100, p.y + 0.5 - 50) / halfDiagonal;
    EXPECT_NEAR(pixelAt(out, p.x, p.y).r, std::max(0.0, 1 - d * d), 1e-4) << p.x << "," << p.y;
    EXPECT_EQ(pixelAt(out, p.x, p.y).a, 1.0f);
  }
}
