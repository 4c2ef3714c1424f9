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

TEST(BoxBlur, ImpulseSpreadsOverTheSquareWithFractionalEdges) {
  const struct {
    double radius;
    float inner, edge;  // one-axis weights of the whole taps and the outermost
    int reach;
  } cases[] = {{2, 1 / 5.0f, 0, 2}, {2.5, 1 / 6.0f, 0.5f / 6, 3}, {10, 1 / 21.0f, 0, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.radius);
    const Image blurred = impulse().imageByApplyingFilter("CIBoxBlur", {{"inputRadius", c.radius}});
    EXPECT_EQ(blurred.extent(), QRectF(-c.reach, -c.reach, 1 + 2 * c.reach, 1 + 2 * c.reach));
    const ci::PixelBuffer out = render(blurred, blurred.extent().adjusted(-2, -2, 2, 2));
    const int whole = int(c.radius);
    auto weight = [&](int d) {
      return std::abs(d) <= whole ? c.inner : std::abs(d) == c.reach ? c.edge : 0.0f;
    };
    for (int y = -c.reach - 2; y <= c.reach + 2; ++y)
      for (int x = -c.reach - 2; x <= c.reach + 2; ++x)
        ASSERT_NEAR(out.pixel(x, y)[3], weight(x) * weight(y), 1e-6f) << x << "," << y;
    EXPECT_NEAR(momentsOf(out).sum, 1.0, 1e-4);
  }
}

TEST(MedianFilter, RemovesSpecksAndKeepsEdges) {
  // Left half dark, right half light, with one light speck in the dark half
  // and one dark speck in the light half.
  const Image picture = functionImage(12, 8, [](int x, int y) {
    float v = x < 6 ? 0.2f : 0.8f;
    if (x == 2 && y == 4) v = 1;
    if (x == 9 && y == 3) v = 0;
    return RGBA{v, v, v, 1};
  });
  const ci::PixelBuffer out =
      render(picture.imageByApplyingFilter("CIMedianFilter"), QRectF(1, 1, 10, 6));
  for (int y = 1; y < 7; ++y)
    for (int x = 1; x < 11; ++x) ASSERT_FLOAT_EQ(out.pixel(x, y)[0], x < 6 ? 0.2f : 0.8f) << x;
}

TEST(MotionBlur, ImpulseBecomesALineAlongTheAngle) {
  const struct {
    double angle;
    int dx, dy;
  } cases[] = {{0, 1, 0}, {M_PI / 2, 0, 1}, {M_PI, -1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    const Image blurred = impulse().imageByApplyingFilter(
        "CIMotionBlur", {{"inputRadius", 3}, {"inputAngle", c.angle}});
    const ci::PixelBuffer out = render(blurred, QRectF(-6, -6, 13, 13));
    for (int y = -6; y <= 6; ++y)
      for (int x = -6; x <= 6; ++x) {
        const bool onLine = (c.dx == 0 ? x == 0 && std::abs(y) <= 3 : y == 0 && std::abs(x) <= 3);
        ASSERT_NEAR(out.pixel(x, y)[3], onLine ? 1 / 7.0f : 0.0f, 1e-5f) << x << "," << y;
      }
  }
}

TEST(ZoomBlur, AveragesTowardsTheCentre) {
  // A horizontal ramp: along the row through the centre, the mean over the
  // segment towards the centre is the ramp halfway along it.
  const Image ramp = functionImage(200, 100, [](int x, int) {
    const float v = (x + 0.5f) / 200;
    return RGBA{v, v, v, 1};
  });
  const double cx = 50, cy = 50.5, amount = 20;
  const Image zoomed = ramp.imageByApplyingFilter(
      "CIZoomBlur",
      {{"inputCenter", QVariant::fromValue(ci::Vector{cx, cy})}, {"inputAmount", amount}});
  const ci::PixelBuffer out = render(zoomed, QRectF(0, 50, 200, 1));
  for (int x : {60, 100, 150, 190}) {
    const double d = x + 0.5 - cx;
    const double expected = (x + 0.5 - d * amount / 200) / 200;
    EXPECT_NEAR(out.pixel(x, 50)[0], expected, 2e-3) << x;
  }
}

TEST(NoiseReduction, SmoothsNoiseAndSharpensEdges) {
  // Faint noise on flat grey left of x = 16, a strong step to light grey right of it.
  const Image noisy = functionImage(32, 16, [](int x, int y) {
    const float noise = ((x * 7 + y * 13) % 5 - 2) * 0.004f;
    const float v = (x < 16 ? 0.3f : 0.7f) + noise;
    return RGBA{v, v, v, 1};
  });
  const ci::PixelBuffer in = render(noisy, QRectF(0, 0, 32, 16));
  const ci::PixelBuffer out =
      render(noisy.imageByApplyingFilter("CINoiseReduction",
                                         {{"inputNoiseLevel", 0.02}, {"inputSharpness", 1}}),
             QRectF(0, 0, 32, 16));
  auto spread = [](const ci::PixelBuffer& b) {
    float lo = 1, hi = 0;
    for (int y = 2; y < 14; ++y)
      for (int x = 2; x < 13; ++x)
        lo = std::min(lo, b.pixel(x, y)[0]), hi = std::max(hi, b.pixel(x, y)[0]);
    return hi - lo;
  };
  EXPECT_LT(spread(out), spread(in) / 2);
  // Across the step the dark side darkens and the light side brightens.
  EXPECT_LT(out.pixel(15, 8)[0], in.pixel(15, 8)[0] - 0.05f);
  EXPECT_GT(out.pixel(16, 8)[0], in.pixel(16, 8)[0] + 0.05f);
}
