// The distortions' geometry: each output pixel of a filter applied to an
// image that encodes its own coordinates tells which point it read, and
// that point must be the one the filter's profile names.
#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;
using ci::Vector;

namespace {

QVariant point(double x, double y) { return QVariant::fromValue(Vector{x, y}); }

}  // namespace

TEST(Distortion, EachPixelReadsWhereItsProfileSays) {
  const Image coordinates = coordinateImage(256, 256);
  const double c = 128.5;            // every centre sits on a pixel centre
  const double s = std::sqrt(0.75);  // a glass's height halfway out from its ridge
  const double glass = 1 - 0.5 * s;  // what a refraction of 2 leaves of an offset there
  const QPointF clear(-1, -1);       // the pixel is transparent
  const struct {
    const char* name;
    QVariantMap inputs;
    QPointF at;        // an output pixel centre
    QPointF expected;  // the point it reads
  } cases[] = {
      // Bump: the distance shrinks by 1 − scale·(1 − d/r)²; nothing moves outside.
      {"CIBumpDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 100}, {"inputScale", 0.5}},
       {c + 50, c},
       {c + 50 * 0.875, c}},
      {"CIBumpDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 100}, {"inputScale", 0.5}},
       {c, 20.5},
       {c, 20.5}},
      {"CIBumpDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 100}, {"inputScale", -1}},
       {c, c - 30},
       {c, c - 30 * 1.49}},
      // The same across a line: only the distance from the line changes.
      {"CIBumpDistortionLinear",
       {{"inputCenter", point(c, c)}, {"inputRadius", 50}, {"inputAngle", 0}, {"inputScale", 0.5}},
       {100.5, c + 20},
       {100.5, c + 20 * (1 - 0.5 * 0.36)}},
      {"CIBumpDistortionLinear",
       {{"inputCenter", point(c, c)},
        {"inputRadius", 50},
        {"inputAngle", M_PI / 2},
        {"inputScale", 0.5}},
       {c + 20, 30.5},
       {c + 20 * (1 - 0.5 * 0.36), 30.5}},
      // Pinch: distance r·(d/r)^(1/(1 + scale)).
      {"CIPinchDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 100}, {"inputScale", 1}},
       {c, c + 25},
       {c, c + 50}},
      // Hole: √(d² − r²) outside, nothing inside.
      {"CIHoleDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 40}},
       {c + 60, c},
       {c + std::sqrt(60.0 * 60 - 40 * 40), c}},
      {"CIHoleDistortion", {{"inputCenter", point(c, c)}, {"inputRadius", 40}}, {c + 2, c}, clear},
      {"CIHoleDistortion", {{"inputCenter", point(c, c)}, {"inputRadius", 0}}, {c, c}, {c, c}},
      // Splash and tunnel: the circle's edge on the pixel's ray, turned by
      // the tunnel's rotation per e-fold of distance.
      {"CICircleSplashDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 30}},
       {c, c + 80},
       {c, c + 30}},
      {"CICircleSplashDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 30}},
       {c + 10, c},
       {c + 10, c}},
      {"CILightTunnel",
       {{"inputCenter", point(c, c)},
        {"inputRadius", 30},
        {"inputRotation", 1 / std::log(80.0 / 30)}},
       {c + 80, c},
       {c + 30 * std::cos(1.0), c + 30 * std::sin(1.0)}},
      // Twirl and vortex: rotation by angle·(1 − d/r)² and angle·(1 − d/r)³.
      {"CITwirlDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 100}, {"inputAngle", M_PI / 2}},
       {c + 50, c},
       {c + 50 * std::cos(M_PI / 8), c + 50 * std::sin(M_PI / 8)}},
      {"CIVortexDistortion",
       {{"inputCenter", point(c, c)}, {"inputRadius", 100}, {"inputAngle", 4}},
       {c + 50, c},
       {c + 50 * std::cos(0.5), c + 50 * std::sin(0.5)}},
      // Glass over a capsule and a ring.
      {"CIGlassLozenge",
       {{"inputPoint0", point(100.5, c)},
        {"inputPoint1", point(160.5, c)},
        {"inputRadius", 40},
        {"inputRefraction", 2}},
       {130.5, c + 20},
       {130.5, c + 20 * glass}},
      {"CIGlassLozenge",
       {{"inputPoint0", point(100.5, c)},
        {"inputPoint1", point(160.5, c)},
        {"inputRadius", 40},
        {"inputRefraction", 2}},
       {80.5, c},
       {100.5 - 20 * glass, c}},
      {"CITorusLensDistortion",
       {{"inputCenter", point(c, c)},
        {"inputRadius", 60},
        {"inputWidth", 40},
        {"inputRefraction", 2}},
       {c, c + 70},
       {c, c + 60 + 10 * glass}},
      // Circular wrap: the angle from inputAngle becomes arc length along x
      // from the image's middle, the distance beyond the radius height above
      // its bottom; inside the circle nothing.
      {"CICircularWrap",
       {{"inputCenter", point(c, c)}, {"inputRadius", 30}, {"inputAngle", 0}},
       {c + 50, c},
       {128, 20}},
      {"CICircularWrap",
       {{"inputCenter", point(c, c)}, {"inputRadius", 30}, {"inputAngle", 0}},
       {c, c + 40},
       {128 - M_PI / 2 * 30, 10}},
      {"CICircularWrap",
       {{"inputCenter", point(c, c)}, {"inputRadius", 30}, {"inputAngle", 0}},
       {c, c + 10},
       clear},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(
        QStringLiteral("%1 at %2,%3").arg(k.name).arg(k.at.x()).arg(k.at.y()).toStdString());
    auto filter = Filter::filterWithName(k.name, k.inputs);
    filter->setValue(QVariant::fromValue(coordinates), "inputImage");
    const int x = int(std::floor(k.at.x())), y = int(std::floor(k.at.y()));
    const ci::PixelBuffer out = render(filter->outputImage(), QRectF(x - 2, y - 2, 5, 5));
    if (k.expected == clear) {
      EXPECT_EQ(pixelAt(out, x, y).a, 0);
      continue;
    }
    EXPECT_NEAR(pixelAt(out, x, y).a, 1, 1e-6);
    const QPointF read = pointRead(out, x, y);
    EXPECT_NEAR(read.x(), k.expected.x(), 2e-3);
    EXPECT_NEAR(read.y(), k.expected.y(), 2e-3);
  }
}

// Stretch-crop fills the requested size: cropping takes the share of the
// change of aspect it is given, stretching the rest, spent on the centre
// as much as centerStretchAmount asks.
TEST(Distortion, StretchCropSplitsTheChangeOfAspect) {
  const Image coordinates = coordinateImage(256, 256);
  const double u = 2 * 384.5 / 512 - 1;  // from the middle, in half-widths
  const struct {
    double crop, centre;
    QPointF at, expected;
  } cases[] = {
      // Stretched evenly to twice the width.
      {0, 0, {384.5, 100.5}, {384.5 / 2, 100.5}},
      // Cropped to 256 × 128 about the middle, then scaled by two.
      {1, 0, {384.5, 100.5}, {384.5 / 2, 64 + 100.5 / 2}},
      // Half of each: cropped to an aspect of 1.5, stretched 2 × 1.5.
      {0.5, 0, {256.5, 128.5}, {256.5 / 2, 128 - 256 / 3.0 + 128.5 / 1.5}},
      // All the stretch on the centre: the half-width u reads u².
      {0, 1, {384.5, 128.5}, {(u * u + 1) / 2 * 256, 128.5}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.crop * 10 + k.centre);
    auto filter =
        Filter::filterWithName("CIStretchCrop", {{"inputImage", QVariant::fromValue(coordinates)},
                                                 {"inputSize", point(512, 256)},
                                                 {"inputCropAmount", k.crop},
                                                 {"inputCenterStretchAmount", k.centre}});
    const Image out = filter->outputImage();
    EXPECT_EQ(out.extent(), QRectF(0, 0, 512, 256));
    const int x = int(std::floor(k.at.x())), y = int(std::floor(k.at.y()));
    const QPointF read = pointRead(render(out, QRectF(x, y, 1, 1)), x, y);
    EXPECT_NEAR(read.x(), k.expected.x(), 2e-3);
    EXPECT_NEAR(read.y(), k.expected.y(), 2e-3);
  }
}

// Glass distortion moves each pixel by scale × the slope of the texture's
// brightness; the texture repeats around inputCenter.
TEST(Distortion, GlassFollowsTheTexturesSlope) {
  const Image coordinates = coordinateImage(256, 256);
  // Brightness rising by 1/128 a pixel along x: a slope of 1/128.
  const Image texture = functionImage(64, 64, [](int x, int) {
    const float v = (x + 0.5f) / 128;
    return RGBA{v, v, v, 1};
  });
  auto filter =
      Filter::filterWithName("CIGlassDistortion", {{"inputImage", QVariant::fromValue(coordinates)},
                                                   {"inputTexture", QVariant::fromValue(texture)},
                                                   {"inputCenter", point(128, 128)},
                                                   {"inputScale", 256}});
  const ci::PixelBuffer out = render(filter->outputImage(), QRectF(120, 120, 16, 16));
  // The copy centred on (128, 128) spans 96…160: inside it every pixel
  // reads two pixels to the right.
  for (int x = 120; x < 136; ++x) {
    const QPointF read = pointRead(out, x, 125);
    EXPECT_NEAR(read.x(), x + 0.5 + 2, 1e-3);
    EXPECT_NEAR(read.y(), 125.5, 1e-3);
  }
}

// Offsets no image reaches (from huge or broken values in a displacement
// image) read transparency instead of overflowing the sampler's pixel maths.
TEST(Distortion, PointsNoImageReachesReadTransparency) {
  const Image displacement = functionImage(4, 1, [](int x, int) {
    const float values[] = {0.5f, 1e20f, -1e20f, std::nanf("")};
    return RGBA{values[x], 0.5f, 0, 1};
  });
  auto filter =
      Filter::filterWithName("CIDisplacementDistortion",
                             {{"inputImage", QVariant::fromValue(solidImage(4, 1, {1, 1, 1, 1}))},
                              {"inputDisplacementImage", QVariant::fromValue(displacement)},
                              {"inputScale", 100}});
  const ci::PixelBuffer out = render(filter->outputImage(), QRectF(0, 0, 4, 1));
  EXPECT_NEAR(pixelAt(out, 0, 0).a, 1, 1e-6);
  for (int x = 1; x < 4; ++x) EXPECT_EQ(pixelAt(out, x, 0).a, 0) << x;
}
