// Halftones: paper and ink from the luminance against a periodic screen.
#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;

namespace {

Image screened(const char* name, const Image& image, QVariantMap inputs = {}) {
  inputs.insert("inputImage", QVariant::fromValue(image));
  return Filter::filterWithName(name, inputs)->outputImage();
}

double meanRed(const ci::PixelBuffer& b) {
  double sum = 0;
  for (int y = b.rect().y; y < b.rect().top(); ++y)
    for (int x = b.rect().x; x < b.rect().right(); ++x) sum += b.pixel(x, y)[0];
  return sum / double(b.rect().area());
}

}  // namespace

// White stays paper, black ink; mid grey is half of each over whole cells
// for the dot and line screens, whose thresholds are symmetric about ½.
TEST(Halftone, TonesBecomeTheShareOfPaper) {
  const QRectF cells(0, 0, 60, 60);  // ten cells of the default width each way
  for (const char* name :
       {"CIDotScreen", "CILineScreen", "CIHatchedScreen", "CICircularScreen", "CICMYKHalftone"}) {
    SCOPED_TRACE(name);
    const QVariantMap origin{{"inputCenter", QVariant::fromValue(ci::Vector{0, 0})}};
    for (float grey : {0.0f, 1.0f}) {
      const ci::PixelBuffer out =
          render(screened(name, solidImage(60, 60, {grey, grey, grey, 1}), origin), cells);
      EXPECT_NEAR(meanRed(out), grey, 1e-6);
    }
    // Alpha is kept, the paper and ink premultiplied by it.
    const ci::PixelBuffer faint =
        render(screened(name,
                        functionImage(60, 60,
                                      [](int, int) {
                                        return RGBA{0.25f, 0.25f, 0.25f, 0.5f};
                                      }),
                        origin),
               cells);
    EXPECT_NEAR(pixelAt(faint, 7, 9).a, 0.5, 1e-6);
    EXPECT_LE(pixelAt(faint, 7, 9).r, 0.5 + 1e-6);
  }
  for (const char* name : {"CIDotScreen", "CILineScreen"}) {
    const ci::PixelBuffer out =
        render(screened(name, solidImage(60, 60, {0.5f, 0.5f, 0.5f, 1}),
                        {{"inputCenter", QVariant::fromValue(ci::Vector{0, 0})}}),
               cells);
    EXPECT_NEAR(meanRed(out), 0.5, 0.02) << name;
  }
}

// The screen repeats every inputWidth along its own axes, turned by inputAngle.
TEST(Halftone, ScreensRepeatAlongTheirAxes) {
  const Image ramp = functionImage(120, 120, [](int x, int y) {
    const float v = 0.2f + 0.6f * float((x / 12 + y / 12) % 3) / 2;  // flat within 12-pixel blocks
    return RGBA{v, v, v, 1};
  });
  const QVariantMap base{{"inputCenter", QVariant::fromValue(ci::Vector{0, 0})}, {"inputWidth", 6}};
  QVariantMap turned = base;
  turned.insert("inputAngle", M_PI / 2);
  const ci::PixelBuffer dots = render(screened("CIDotScreen", ramp, base), ramp.extent());
  const ci::PixelBuffer rows = render(screened("CILineScreen", ramp, base), ramp.extent());
  const ci::PixelBuffer columns = render(screened("CILineScreen", ramp, turned), ramp.extent());
  for (int y = 0; y < 6; ++y)  // within one flat block
    for (int x = 0; x < 6; ++x) {
      EXPECT_NEAR(dots.pixel(x, y)[0], dots.pixel(x + 6, y)[0], 1e-5);
      EXPECT_NEAR(dots.pixel(x, y)[0], dots.pixel(x, y + 6)[0], 1e-5);
      EXPECT_NEAR(rows.pixel(x, y)[0], rows.pixel(x + 5, y)[0], 1e-5);  // lines run along x
      EXPECT_NEAR(columns.pixel(x, y)[0], columns.pixel(x, y + 5)[0], 1e-5);
    }
}

// CMYK: each ink darkens only its own component; with full under-colour
// removal a grey is printed in black alone and stays neutral.
TEST(Halftone, CMYKInksDarkenTheirOwnComponents) {
  const QVariantMap origin{{"inputCenter", QVariant::fromValue(ci::Vector{0, 0})}};
  const ci::PixelBuffer cyan = render(
      screened("CICMYKHalftone", solidImage(30, 30, {0, 1, 1, 1}), origin), QRectF(0, 0, 30, 30));
  for (int y = 0; y < 30; y += 3)
    for (int x = 0; x < 30; x += 3) {
      const RGBA p = pixelAt(cyan, x, y);
      EXPECT_NEAR(p.r, 0, 1e-6);
      EXPECT_NEAR(p.g, 1, 1e-6);
      EXPECT_NEAR(p.b, 1, 1e-6);
    }
  QVariantMap neutral = origin;
  neutral.insert("inputGCR", 1);
  neutral.insert("inputUCR", 1);
  const ci::PixelBuffer grey =
      render(screened("CICMYKHalftone", solidImage(30, 30, {0.5f, 0.5f, 0.5f, 1}), neutral),
             QRectF(0, 0, 30, 30));
  double sum = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      const RGBA p = pixelAt(grey, x, y);
      EXPECT_NEAR(p.r, p.g, 1e-6);
      EXPECT_NEAR(p.g, p.b, 1e-6);
      sum += p.r;
    }
  EXPECT_GT(sum / 900, 0.2);
  EXPECT_LT(sum / 900, 0.8);
}
