// Two promises every adjustable or sampling filter of the catalogue keeps:
// its identity values give the input back, and rendering a small region of
// a large image reads only the input that region needs, once.
#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;

namespace {

// Noise with partial coverage, premultiplied, values away from 0 and 1 so
// clamping would show.
Image translucentNoise(int width, int height) {
  return functionImage(width, height, [](int x, int y) {
    const unsigned h = unsigned(x * 73856093) ^ unsigned(y * 19349663);
    const float a = 0.3f + 0.6f * float(h % 97) / 97;
    return RGBA{a * float(h % 89) / 89 * 0.9f + 0.05f * a, a * float(h % 83) / 83 * 0.9f,
                a * float(h % 79) / 79 * 0.9f, a};
  });
}

}  // namespace

TEST(FilterCatalogue, IdentityValuesGiveTheInputBack) {
  const Image input = translucentNoise(24, 16);
  const ci::PixelBuffer original = render(input, input.extent());
  QStringList names;
  for (const QString& category :
       {ci::kCICategoryBlur, ci::kCICategoryColorAdjustment, ci::kCICategoryColorEffect,
        ci::kCICategorySharpen, ci::kCICategoryGeometryAdjustment})
    names << Filter::filterNamesInCategory(category);
  names.removeDuplicates();
  int tested = 0;
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    auto filter = Filter::filterWithName(name);
    const QVariantMap attributes = filter->attributes();
    bool adjustable = false;
    for (const QString& key : filter->inputKeys()) {
      const QVariant identity = attributes.value(key).toMap().value(ci::kCIAttributeIdentity);
      if (!identity.isValid()) continue;
      filter->setValue(identity, key);
      adjustable = true;
    }
    if (!adjustable || !filter->inputKeys().contains("inputImage")) continue;
    ++tested;
    filter->setValue(QVariant::fromValue(input), "inputImage");
    const Image output = filter->outputImage();
    ASSERT_FALSE(output.isNull());
    EXPECT_EQ(output.extent(), input.extent());
    EXPECT_LE(maxDifference(render(output, input.extent()), original), 2e-5f);
  }
  // Every blur, colour adjustment, the monochrome, sepia and vignette
  // effects, both sharpeners, scaling and straightening.
  EXPECT_GE(tested, 25);
}

TEST(FilterCatalogue, SmallRegionsReadOnlyTheirNeighbourhoodOnce) {
  constexpr int kSize = 4000, kAt = 2000, kRegion = 32;
  const struct {
    const char* name;
    QVariantMap inputs;
    int reach;  // how far beyond the region the filter may read
  } cases[] = {
      {"CIBoxBlur", {}, 11},
      {"CIDiscBlur", {}, 9},
      {"CIGaussianBlur", {}, 31},
      {"CIMedianFilter", {}, 1},
      {"CIMotionBlur", {{"inputAngle", 0.7}}, 22},
      {"CINoiseReduction", {}, 1},
      {"CIZoomBlur", {{"inputCenter", QVariant::fromValue(ci::Vector{1900, 1950})}}, 40},
      {"CISharpenLuminance", {}, 6},
      {"CIUnsharpMask", {}, 9},
      {"CIStraightenFilter", {{"inputAngle", 0.2}}, 1200},
      {"CIColorControls", {{"inputContrast", 2}}, 0},
      {"CIVignette", {{"inputIntensity", 1}}, 0},
      {"CIPerspectiveTransform",
       {{"inputBottomLeft", QVariant::fromValue(ci::Vector{0, 0})},
        {"inputBottomRight", QVariant::fromValue(ci::Vector{4000, 0})},
        {"inputTopRight", QVariant::fromValue(ci::Vector{3800, 4000})},
        {"inputTopLeft", QVariant::fromValue(ci::Vector{200, 4000})}},
       40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto source = std::make_shared<RecordingNode>(QRectF(0, 0, kSize, kSize));
    auto filter = Filter::filterWithName(c.name, c.inputs);
    filter->setValue(QVariant::fromValue(Image(source)), "inputImage");
    const ci::PixelBuffer out = render(filter->outputImage(), QRectF(kAt, kAt, kRegion, kRegion));
    ASSERT_FALSE(out.isNull());
    long long area = 0;
    ci::IRect bounds = source->rects().front();
    for (const ci::IRect& r : source->rects()) area += r.area(), bounds = bounds.united(r);
    const long long side = kRegion + 2 * c.reach + 2;
    EXPECT_LE(area, side * side);
    // Read once: the rectangles do not overlap.
    EXPECT_LE(area, bounds.area());
    std::vector<char> seen(size_t(bounds.area()), 0);
    for (const ci::IRect& r : source->rects())
      for (int y = r.y; y < r.top(); ++y)
        for (int x = r.x; x < r.right(); ++x) {
          char& s = seen[size_t(y - bounds.y) * size_t(bounds.w) + size_t(x - bounds.x)];
          ASSERT_EQ(s, 0) << x << "," << y;
          s = 1;
        }
  }
}

// Lanczos scaling reads a margin of three source pixels, times the
// reduction when it shrinks; reductions read their region and nothing else.
TEST(FilterCatalogue, ScalingAndReductionsReadWhatTheyCover) {
  const struct {
    const char* name;
    QVariantMap inputs;
    QRectF rendered;
    QRectF mostRead;
  } cases[] = {
      {"CILanczosScaleTransform",
       {{"inputScale", 0.5}},
       {1000, 1000, 32, 32},
       {1986, 1986, 92, 92}},
      {"CILanczosScaleTransform", {{"inputScale", 2}}, {4000, 4000, 32, 32}, {1994, 1994, 28, 28}},
      {"CIAreaAverage",
       {{"inputExtent", QVariant::fromValue(ci::Vector{100, 200, 50, 60})}},
       {100, 200, 1, 1},
       {100, 200, 50, 60}},
      {"CIRowAverage",
       {{"inputExtent", QVariant::fromValue(ci::Vector{100, 200, 50, 60})}},
       {100, 210, 1, 5},
       {100, 210, 50, 5}},
      {"CIColumnAverage",
       {{"inputExtent", QVariant::fromValue(ci::Vector{100, 200, 50, 60})}},
       {110, 200, 5, 1},
       {110, 200, 5, 60}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto source = std::make_shared<RecordingNode>(QRectF(0, 0, 4000, 4000));
    auto filter = Filter::filterWithName(c.name, c.inputs);
    filter->setValue(QVariant::fromValue(Image(source)), "inputImage");
    ASSERT_FALSE(render(filter->outputImage(), c.rendered).isNull());
    const ci::IRect limit = ci::IRect::covering(c.mostRead);
    for (const ci::IRect& r : source->rects())
      EXPECT_TRUE(limit.contains(r)) << r.x << "," << r.y << " " << r.w << "x" << r.h;
  }
}

// Inputs without bounds (generators) and empty inputs: every filter still
// answers an image, renders a small region to finite values, and an empty
// input gives nothing visible.
TEST(FilterCatalogue, InfiniteAndEmptyInputsBehave) {
  QStringList names;
  for (const QString& category :
       {ci::kCICategoryBlur, ci::kCICategoryColorAdjustment, ci::kCICategoryColorEffect,
        ci::kCICategorySharpen, ci::kCICategoryGeometryAdjustment,
        ci::kCICategoryCompositeOperation, ci::kCICategoryReduction})
    names << Filter::filterNamesInCategory(category);
  names.removeDuplicates();
  const Image infinite = Image::imageWithColor(ci::Color(0.5, 0.25, 0.75, 0.8));
  const QRectF probe(-3, 7, 5, 4);
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    for (const Image& input : {infinite, Image::emptyImage()}) {
      auto filter = Filter::filterWithName(name);
      for (const QString& key : filter->inputKeys())
        if (filter->attributes().value(key).toMap().value(ci::kCIAttributeClass) ==
            ci::kClassCIImage)
          filter->setValue(QVariant::fromValue(input), key);
      const Image output = filter->outputImage();
      if (name == "CIColorMap" || name.endsWith("Average") || name.startsWith("CIArea"))
        if (output.isNull()) continue;  // nothing to read the map or region from
      ASSERT_FALSE(output.isNull());
      if (ci::isEmpty(output.extent())) continue;
      const ci::PixelBuffer pixels = render(output, probe);
      ASSERT_FALSE(pixels.isNull());
      for (int y = 7; y < 11; ++y)
        for (int x = -3; x < 2; ++x)
          for (int c = 0; c < 4; ++c) {
            const float v = pixels.pixel(x, y)[c];
            ASSERT_TRUE(std::isfinite(v));
            if (input.extent().isEmpty()) {
              ASSERT_NEAR(v, 0, 1e-6) << x << "," << y;
            }
          }
    }
  }
}
