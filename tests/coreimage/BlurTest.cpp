#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Image;

namespace {

// One opaque white pixel at the origin: the blur's response is its kernel.
Image impulse() {
  return functionImage(1, 1, [](int, int) { return RGBA{1, 1, 1, 1}; });
}

struct Moments {
  double sum = 0, varianceX = 0, varianceY = 0, meanX = 0, meanY = 0;
};

Moments momentsOf(const ci::PixelBuffer& out) {
  Moments m;
  const ci::IRect& r = out.rect();
  for (int y = r.y; y < r.top(); ++y)
    for (int x = r.x; x < r.right(); ++x) {
      const double a = out.pixel(x, y)[3];
      m.sum += a, m.meanX += a * x, m.meanY += a * y;
      m.varianceX += a * x * x, m.varianceY += a * y * y;
    }
  m.meanX /= m.sum, m.meanY /= m.sum;
  m.varianceX = m.varianceX / m.sum - m.meanX * m.meanX;
  m.varianceY = m.varianceY / m.sum - m.meanY * m.meanY;
  return m;
}

}  // namespace

TEST(GaussianBlur, RadiusIsTheStandardDeviation) {
  const double radii[] = {1.5, 4, 10};
  for (double sigma : radii) {
    SCOPED_TRACE(sigma);
    const Image blurred =
        impulse().imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", sigma}});
    const int reach = int(std::ceil(3 * sigma));
    EXPECT_EQ(blurred.extent(), QRectF(-reach, -reach, 1 + 2 * reach, 1 + 2 * reach));
    const ci::PixelBuffer out = render(blurred, blurred.extent());
    const Moments m = momentsOf(out);
    EXPECT_NEAR(m.sum, 1.0, 1e-4);  // energy preserved
    EXPECT_NEAR(m.meanX, 0.0, 1e-5);
    EXPECT_NEAR(m.meanY, 0.0, 1e-5);
    // The variance of exp(−k²/2σ²) sampled at whole pixels and cut at 3σ
    // (for large σ about 97.3 % of σ²).
    double weight = 0, moment = 0;
    for (int k = -reach; k <= reach; ++k) {
      const double w = std::exp(-k * k / (2 * sigma * sigma));
      weight += w, moment += w * k * k;
    }
    EXPECT_NEAR(m.varianceX, moment / weight, 1e-3 * sigma * sigma);
    EXPECT_NEAR(m.varianceY, moment / weight, 1e-3 * sigma * sigma);
    EXPECT_NEAR(m.varianceX, sigma * sigma, 0.05 * sigma * sigma);
    // The profile falls off as exp(−d²/2σ²) and is the same in every direction.
    const float centre = out.pixel(0, 0)[3];
    for (int d = 1; d <= reach; ++d) {
      const float expected = centre * float(std::exp(-d * d / (2 * sigma * sigma)));
      ASSERT_NEAR(out.pixel(d, 0)[3], expected, 1e-6f + 1e-4f * expected) << d;
      ASSERT_FLOAT_EQ(out.pixel(-d, 0)[3], out.pixel(d, 0)[3]);
      ASSERT_FLOAT_EQ(out.pixel(0, d)[3], out.pixel(d, 0)[3]);
      ASSERT_FLOAT_EQ(out.pixel(0, -d)[3], out.pixel(d, 0)[3]);
    }
  }
  saveRendered(impulse()
                   .imageByApplyingTransform(QTransform::fromScale(20, 20), ci::Sampling::Nearest)
                   .imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 6}}),
               QRectF(-20, -20, 60, 60), "square20-gaussianblur6");
}

TEST(GaussianBlur, FlatAreasStayFlatAndZeroRadiusIsIdentity) {
  const Image grey = solidImage(80, 80, {0.4f, 0.4f, 0.4f, 1});
  const Image blurred = grey.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 5}});
  const ci::PixelBuffer out = render(blurred, QRectF(30, 30, 20, 20));
  for (int y = 30; y < 50; ++y)
    for (int x = 30; x < 50; ++x) ASSERT_NEAR(out.pixel(x, y)[0], 0.4f / 1.0f * 1.0f, 2.0f / 255);
  EXPECT_EQ(grey.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 0}}).node(), grey.node());
}

TEST(DiscBlur, AveragesOverTheDisc) {
  const double radii[] = {3, 8, 5.5};
  for (double radius : radii) {
    SCOPED_TRACE(radius);
    const Image blurred = impulse().imageByApplyingFilter("CIDiscBlur", {{"inputRadius", radius}});
    const ci::PixelBuffer out = render(blurred, blurred.extent());
    int inside = 0;
    const int reach = int(radius) + 1;
    for (int dy = -reach; dy <= reach; ++dy)
      for (int dx = -reach; dx <= reach; ++dx) inside += dx * dx + dy * dy <= radius * radius;
    for (int y = out.rect().y; y < out.rect().top(); ++y)
      for (int x = out.rect().x; x < out.rect().right(); ++x) {
        const float expected = x * x + y * y <= radius * radius ? 1.0f / inside : 0.0f;
        ASSERT_NEAR(out.pixel(x, y)[3], expected, 1e-6f) << x << "," << y;
      }
    EXPECT_NEAR(momentsOf(out).sum, 1.0, 1e-4);
  }
}
