// Transitions: the input at time 0, the target at time 1, and between them
// the band, bars, holes or flash each one draws.
#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;

namespace {

const Image& source() {
  static const Image image = functionImage(100, 40, [](int x, int y) {
    return RGBA{x / 100.0f, y / 40.0f, 0.25f, 1};
  });
  return image;
}

const Image& target() {
  static const Image image = functionImage(100, 40, [](int x, int y) {
    const float a = 0.5f + 0.5f * float((x + y) % 2);
    return RGBA{0.1f * a, 0.8f * a, 0.6f * a, a};
  });
  return image;
}

Image transition(const char* name, double time, QVariantMap inputs = {}) {
  inputs.insert("inputImage", QVariant::fromValue(source()));
  if (!inputs.contains("inputTargetImage"))
    inputs.insert("inputTargetImage", QVariant::fromValue(target()));
  inputs.insert("inputTime", time);
  for (const char* key : {"inputMaskImage", "inputShadingImage"})
    if (!inputs.contains(key)) inputs.insert(key, QVariant::fromValue(source()));
  auto filter = Filter::filterWithName(name);
  for (auto it = inputs.begin(); it != inputs.end(); ++it)
    if (filter->inputKeys().contains(it.key())) filter->setValue(it.value(), it.key());
  return filter->outputImage();
}

// Which of the two images pixel (x, y) shows: 0 the source, 1 the target,
// −1 neither.
int shows(const ci::PixelBuffer& out, int x, int y) {
  const ci::PixelBuffer s = render(source(), source().extent());
  const ci::PixelBuffer t = render(target(), target().extent());
  auto same = [&](const ci::PixelBuffer& b) {
    for (int c = 0; c < 4; ++c)
      if (std::abs(out.pixel(x, y)[c] - b.pixel(x, y)[c]) > 1e-5f) return false;
    return true;
  };
  return same(s) ? 0 : same(t) ? 1 : -1;
}

}  // namespace

// Also over images larger than inputExtent's default, which the browser
// never changes.
TEST(Transition, TimeOneGivesTheTarget) {
  const Image large = functionImage(500, 400, [](int x, int y) {
    return RGBA{0.2f, x / 500.0f, y / 400.0f, 1};
  });
  for (const char* name :
       {"CIBarsSwipeTransition", "CICopyMachineTransition", "CIDisintegrateWithMaskTransition",
        "CIDissolveTransition", "CIFlashTransition", "CIModTransition", "CIRippleTransition",
        "CISwipeTransition"}) {
    SCOPED_TRACE(name);
    const Image out = transition(name, 1);
    EXPECT_EQ(out.extent(), QRectF(0, 0, 100, 40));
    EXPECT_LE(maxDifference(render(out, target().extent()), render(target(), target().extent())),
              1e-5f);
    const Image over = transition(name, 1, {{"inputTargetImage", QVariant::fromValue(large)}});
    EXPECT_EQ(over.extent(), large.extent());
    EXPECT_LE(maxDifference(render(over, large.extent()), render(large, large.extent())), 1e-5f);
  }
}

TEST(Transition, BetweenTheEndsEachDrawsItsShape) {
  // A dissolve is the straight mix.
  const ci::PixelBuffer mix = render(transition("CIDissolveTransition", 0.25), source().extent());
  const ci::PixelBuffer from = render(source(), source().extent());
  const ci::PixelBuffer to = render(target(), target().extent());
  for (int c = 0; c < 4; ++c) {
    const float s = from.pixel(30, 10)[c], t = to.pixel(30, 10)[c];
    EXPECT_NEAR(mix.pixel(30, 10)[c], s + (t - s) * 0.25f, 1e-6);
  }

  // A swipe's band trails at 50 at half time over a 100-wide extent (it runs
  // from a band's width before the extent to one past it): target behind,
  // source ahead, mixed across the band.
  const QVariantMap swipe{{"inputExtent", QVariant::fromValue(ci::Vector{0, 0, 100, 40})},
                          {"inputWidth", 20},
                          {"inputAngle", 0}};
  const ci::PixelBuffer swiped =
      render(transition("CISwipeTransition", 0.5, swipe), source().extent());
  EXPECT_EQ(shows(swiped, 49, 5), 1);
  EXPECT_EQ(shows(swiped, 71, 5), 0);
  const float u = 10.5f / 20;
  const float t = to.pixel(60, 5)[0];
  EXPECT_NEAR(swiped.pixel(60, 5)[0], t + (from.pixel(60, 5)[0] - t) * u, 1e-5)
      << "at x = 60 the band is " << u << " of the way from target to source";

  // Bars: every other bar, a bar width across, lags by the bar offset.
  const QVariantMap bars{{"inputAngle", 0}, {"inputWidth", 10}, {"inputBarOffset", 5}};
  const ci::PixelBuffer barred =
      render(transition("CIBarsSwipeTransition", 0.5, bars), source().extent());
  EXPECT_EQ(shows(barred, 47, 5), 1);   // leading bar: front at 50
  EXPECT_EQ(shows(barred, 47, 15), 0);  // lagging bar: front at 45
  EXPECT_EQ(shows(barred, 43, 15), 1);

  // Mod: with straight bands (no compression) the target shows where the
  // distance along the angle, in radii, has a fraction below the time.
  const QVariantMap mod{{"inputCenter", QVariant::fromValue(ci::Vector{0, 0})},
                        {"inputAngle", 0},
                        {"inputRadius", 10},
                        {"inputCompression", 1e7}};
  const ci::PixelBuffer holes = render(transition("CIModTransition", 0.5, mod), source().extent());
  for (int x = 0; x < 100; ++x) EXPECT_EQ(shows(holes, x, 20), x % 10 < 5 ? 1 : 0) << x;

  // The flash is all light at its centre at the moment the pictures change.
  const ci::PixelBuffer flash =
      render(transition("CIFlashTransition", 0.85,
                        {{"inputCenter", QVariant::fromValue(ci::Vector{50.5, 20.5})},
                         {"inputColor", QVariant::fromValue(ci::Color(1, 0.8, 0.6, 1))}}),
             source().extent());
  EXPECT_NEAR(pixelAt(flash, 50, 20).g, 0.8, 1e-6);
  EXPECT_NEAR(pixelAt(flash, 50, 20).a, 1, 1e-6);

  // Disintegrate: the mask's dark parts go first.
  const Image mask = functionImage(100, 40, [](int x, int) {
    const float v = x < 50 ? 0.2f : 0.8f;
    return RGBA{v, v, v, 1};
  });
  const ci::PixelBuffer gone =
      render(transition("CIDisintegrateWithMaskTransition", 0.5,
                        {{"inputMaskImage", QVariant::fromValue(mask)}, {"inputShadowDensity", 0}}),
             source().extent());
  EXPECT_EQ(shows(gone, 20, 20), 1);
  EXPECT_EQ(shows(gone, 80, 20), 0);
}
