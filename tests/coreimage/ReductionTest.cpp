#include <gtest/gtest.h>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Image;

// Every reduction against the same sums taken directly over the rendered
// input, for a region partly outside the image (which counts as clear).
TEST(Reductions, MatchDirectSumsOverTheRegion) {
  const Image noise = Image::imageWithCGImage(gfx::CGImage::make(noiseQImage(50, 40, 3)));
  const ci::PixelBuffer in = render(noise, QRectF(-10, 0, 70, 40));
  const QRectF region(-10, 5, 40, 30);
  const QVariantMap inputs{
      {"inputExtent", QVariant::fromValue(ci::Vector::vectorWithCGRect(region))}};
  auto output = [&](const char* name) {
    auto filter = ci::Filter::filterWithName(name, inputs);
    filter->setValue(QVariant::fromValue(noise), "inputImage");
    return filter->outputImage();
  };
  double sum[4] = {}, lo[4] = {1, 1, 1, 1}, hi[4] = {};
  for (int y = 5; y < 35; ++y)
    for (int x = -10; x < 30; ++x)
      for (int c = 0; c < 4; ++c) {
        const double v = in.pixel(x, y)[c];
        sum[c] += v, lo[c] = std::min(lo[c], v), hi[c] = std::max(hi[c], v);
      }
  const Image average = output("CIAreaAverage"), maximum = output("CIAreaMaximum"),
              minimum = output("CIAreaMinimum");
  EXPECT_EQ(average.extent(), QRectF(-10, 5, 1, 1));
  for (int c = 0; c < 4; ++c) {
    EXPECT_NEAR(render(average, average.extent()).pixel(-10, 5)[c], sum[c] / 1200, 1e-5);
    EXPECT_NEAR(render(maximum, maximum.extent()).pixel(-10, 5)[c], hi[c], 1e-6);
    EXPECT_NEAR(render(minimum, minimum.extent()).pixel(-10, 5)[c], lo[c], 1e-6);
  }
  EXPECT_EQ(lo[3], 0.0);  // the part outside the image
  const Image rows = output("CIRowAverage"), columns = output("CIColumnAverage");
  EXPECT_EQ(rows.extent(), QRectF(-10, 5, 1, 30));
  EXPECT_EQ(columns.extent(), QRectF(-10, 5, 40, 1));
  const ci::PixelBuffer rowOut = render(rows, rows.extent());
  const ci::PixelBuffer columnOut = render(columns, columns.extent());
  for (int y : {5, 17, 34}) {
    double s = 0;
    for (int x = -10; x < 30; ++x) s += in.pixel(x, y)[1];
    EXPECT_NEAR(rowOut.pixel(-10, y)[1], s / 40, 1e-5) << y;
  }
  for (int x : {-10, 0, 12, 29}) {
    double s = 0;
    for (int y = 5; y < 35; ++y) s += in.pixel(x, y)[2];
    EXPECT_NEAR(columnOut.pixel(x, 5)[2], s / 30, 1e-5) << x;
  }
}
