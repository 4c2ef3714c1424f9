#include <gtest/gtest.h>

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
