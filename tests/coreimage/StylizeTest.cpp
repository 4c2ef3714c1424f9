#include <gtest/gtest.h>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;

TEST(BlendWithMask, MaskGreenSelectsTheImage) {
  const Image red = solidImage(20, 10, {1, 0, 0, 1});
  const Image blue = solidImage(20, 10, {0, 0, 1, 1});
  // Mask green: 1 in columns 0–4, 0.25 in 5–9, 0 beyond; extent 10 wide.
  const Image mask = functionImage(10, 10, [](int x, int) {
    const float g = x < 5 ? 1.0f : 0.25f;
    return RGBA{g, g, g, 1};
  });
  auto filter = Filter::filterWithName("CIBlendWithMask");
  filter->setValue(QVariant::fromValue(red), "inputImage");
  filter->setValue(QVariant::fromValue(blue), "inputBackgroundImage");
  filter->setValue(QVariant::fromValue(mask), "inputMaskImage");
  const Image out = filter->outputImage();
  EXPECT_EQ(out.extent(), QRectF(0, 0, 20, 10));
  const ci::PixelBuffer pixels = render(out, out.extent());
  const struct {
    int x;
    float red, blue;
  } cases[] = {{2, 1, 0}, {7, 0.25f, 0.75f}, {15, 0, 1}};
  for (const auto& c : cases) {
    const RGBA p = pixelAt(pixels, c.x, 5);
    EXPECT_NEAR(p.r, c.red, 1e-6);
    EXPECT_NEAR(p.b, c.blue, 1e-6);
    EXPECT_NEAR(p.a, 1, 1e-6);
  }
  saveRendered(out, out.extent(), "red-over-blue-blendwithmask");
}

TEST(Pixellate, CellsTakeTheMeanOfTheirPixels) {
  const Image noise = Image::imageWithCGImage(gfx::CGImage::make(noiseQImage(64, 64, 7)));
  const ci::PixelBuffer source = render(noise, noise.extent());
  const struct {
    double scale;
    QPointF center;
  } cases[] = {{8, {150, 150}}, {5, {0, 0}}, {10.5, {3.25, 7}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scale);
    auto filter = Filter::filterWithName(
        "CIPixellate",
        {{"inputImage", QVariant::fromValue(noise)},
         {"inputScale", c.scale},
         {"inputCenter", QVariant::fromValue(ci::Vector::vectorWithCGPoint(c.center))}});
    const ci::PixelBuffer out = render(filter->outputImage(), noise.extent());
    // The cell holding pixel (20, 30): pixels whose centres share its cell index.
    auto cell = [&](double origin, int p) { return std::floor((p + 0.5 - origin) / c.scale); };
    double sum = 0;
    int count = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (cell(c.center.x(), x) == cell(c.center.x(), 20) &&
            cell(c.center.y(), y) == cell(c.center.y(), 30)) {
          sum += source.pixel(x, y)[0], ++count;
          ASSERT_FLOAT_EQ(out.pixel(x, y)[0], out.pixel(20, 30)[0]);
        }
    EXPECT_NEAR(out.pixel(20, 30)[0], sum / count, 1e-5);
  }
  saveRendered(noise.imageByApplyingFilter("CIPixellate"), noise.extent(), "noise-pixellate8");
}

TEST(Convolution, WeightsReadTopRowFirst) {
  const Image ramp = functionImage(32, 32, [](int x, int y) {
    return RGBA{x / 32.0f, y / 32.0f, 0, 1};
  });
  // A single weight at the top-left picks the neighbour up and to the left.
  const struct {
    const char* name;
    ci::Vector weights;
    int dx, dy;
  } cases[] = {
      {"CIConvolution3X3", ci::Vector{1, 0, 0, 0, 0, 0, 0, 0, 0}, -1, 1},
      {"CIConvolution3X3", ci::Vector{0, 0, 0, 0, 0, 0, 0, 0, 1}, 1, -1},
      {"CIConvolution9Horizontal", ci::Vector{0, 0, 0, 0, 0, 0, 0, 0, 1}, 4, 0},
      {"CIConvolution9Vertical", ci::Vector{1, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 4},
  };
  for (const auto& c : cases) {
    auto filter = Filter::filterWithName(c.name);
    filter->setValue(QVariant::fromValue(ramp), "inputImage");
    filter->setValue(QVariant::fromValue(c.weights), "inputWeights");
    filter->setValue(0.125, "inputBias");
    const ci::PixelBuffer out = render(filter->outputImage(), QRectF(10, 10, 8, 8));
    EXPECT_NEAR(out.pixel(12, 13)[0], (12 + c.dx) / 32.0f + 0.125f, 1e-6) << c.name;
    EXPECT_NEAR(out.pixel(12, 13)[1], (13 + c.dy) / 32.0f + 0.125f, 1e-6) << c.name;
  }
  // Weights summing to one keep a flat image flat; the wrong count gives no image.
  auto sharpen = Filter::filterWithName("CIConvolution5X5");
  sharpen->setValue(QVariant::fromValue(ci::Vector{1, 2, 3}), "inputWeights");
  sharpen->setValue(QVariant::fromValue(ramp), "inputImage");
  EXPECT_TRUE(sharpen->outputImage().isNull());
}
