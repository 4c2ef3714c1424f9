// The distortion, halftone, stylize, tile and transition families as the
// filter browser and documents see them: names, categories, input keys in
// order, and the attribute kinds that decide how each input is edited.
#include <gtest/gtest.h>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;

namespace {

struct Listing {
  const char* name;
  QString category;
  QStringList keys;
};

const QStringList kCentreAngleWidth{"inputImage", "inputCenter", "inputAngle", "inputWidth"};
const QStringList kSkewed{"inputImage", "inputCenter", "inputAngle", "inputAcuteAngle",
                          "inputWidth"};
const QStringList kScreen{"inputImage", "inputCenter", "inputAngle", "inputWidth",
                          "inputSharpness"};

const Listing kListings[] = {
    {"CIBumpDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius", "inputScale"}},
    {"CIBumpDistortionLinear",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius", "inputAngle", "inputScale"}},
    {"CICircleSplashDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius"}},
    {"CICircularWrap",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius", "inputAngle"}},
    {"CIGlassLozenge",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputPoint0", "inputPoint1", "inputRadius", "inputRefraction"}},
    {"CIHoleDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius"}},
    {"CILightTunnel",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRotation", "inputRadius"}},
    {"CIPinchDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius", "inputScale"}},
    {"CIStretchCrop",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputSize", "inputCropAmount", "inputCenterStretchAmount"}},
    {"CITorusLensDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius", "inputWidth", "inputRefraction"}},
    {"CITwirlDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius", "inputAngle"}},
    {"CIVortexDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputCenter", "inputRadius", "inputAngle"}},
    {"CIDisplacementDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputDisplacementImage", "inputScale"}},
    {"CIGlassDistortion",
     ci::kCICategoryDistortionEffect,
     {"inputImage", "inputTexture", "inputCenter", "inputScale"}},
    {"CICircularScreen",
     ci::kCICategoryHalftoneEffect,
     {"inputImage", "inputCenter", "inputWidth", "inputSharpness"}},
    {"CICMYKHalftone",
     ci::kCICategoryHalftoneEffect,
     {"inputImage", "inputCenter", "inputWidth", "inputAngle", "inputSharpness", "inputGCR",
      "inputUCR"}},
    {"CIDotScreen", ci::kCICategoryHalftoneEffect, kScreen},
    {"CIHatchedScreen", ci::kCICategoryHalftoneEffect, kScreen},
    {"CILineScreen", ci::kCICategoryHalftoneEffect, kScreen},
    {"CIBlendWithAlphaMask",
     ci::kCICategoryStylize,
     {"inputImage", "inputBackgroundImage", "inputMaskImage"}},
    {"CIBlendWithMask",
     ci::kCICategoryStylize,
     {"inputImage", "inputBackgroundImage", "inputMaskImage"}},
    {"CIBloom", ci::kCICategoryStylize, {"inputImage", "inputRadius", "inputIntensity"}},
    {"CIComicEffect", ci::kCICategoryStylize, {"inputImage"}},
    {"CICrystallize", ci::kCICategoryStylize, {"inputImage", "inputRadius", "inputCenter"}},
    {"CIEdges", ci::kCICategoryStylize, {"inputImage", "inputIntensity"}},
    {"CIEdgeWork", ci::kCICategoryStylize, {"inputImage", "inputRadius"}},
    {"CIGloom", ci::kCICategoryStylize, {"inputImage", "inputRadius", "inputIntensity"}},
    {"CIHeightFieldFromMask", ci::kCICategoryStylize, {"inputImage", "inputRadius"}},
    {"CIHexagonalPixellate", ci::kCICategoryStylize, {"inputImage", "inputCenter", "inputScale"}},
    {"CIHighlightShadowAdjust",
     ci::kCICategoryStylize,
     {"inputImage", "inputRadius", "inputShadowAmount", "inputHighlightAmount"}},
    {"CILineOverlay",
     ci::kCICategoryStylize,
     {"inputImage", "inputNRNoiseLevel", "inputNRSharpness", "inputEdgeIntensity", "inputThreshold",
      "inputContrast"}},
    {"CIPixellate", ci::kCICategoryStylize, {"inputImage", "inputCenter", "inputScale"}},
    {"CIPointillize", ci::kCICategoryStylize, {"inputImage", "inputRadius", "inputCenter"}},
    {"CIShadedMaterial", ci::kCICategoryStylize, {"inputImage", "inputShadingImage", "inputScale"}},
    {"CISpotColor",
     ci::kCICategoryStylize,
     {"inputImage", "inputCenterColor1", "inputReplacementColor1", "inputCloseness1",
      "inputContrast1", "inputCenterColor2", "inputReplacementColor2", "inputCloseness2",
      "inputContrast2", "inputCenterColor3", "inputReplacementColor3", "inputCloseness3",
      "inputContrast3"}},
    {"CISpotLight",
     ci::kCICategoryStylize,
     {"inputImage", "inputLightPosition", "inputLightPointsAt", "inputBrightness",
      "inputConcentration", "inputColor"}},
    {"CIEightfoldReflectedTile", ci::kCICategoryTileEffect, kCentreAngleWidth},
    {"CIFourfoldReflectedTile", ci::kCICategoryTileEffect, kSkewed},
    {"CIFourfoldRotatedTile", ci::kCICategoryTileEffect, kCentreAngleWidth},
    {"CIFourfoldTranslatedTile", ci::kCICategoryTileEffect, kSkewed},
    {"CIGlideReflectedTile", ci::kCICategoryTileEffect, kCentreAngleWidth},
    {"CIKaleidoscope",
     ci::kCICategoryTileEffect,
     {"inputImage", "inputCount", "inputCenter", "inputAngle"}},
    {"CIOpTile",
     ci::kCICategoryTileEffect,
     {"inputImage", "inputCenter", "inputScale", "inputAngle", "inputWidth"}},
    {"CIParallelogramTile", ci::kCICategoryTileEffect, kSkewed},
    {"CIPerspectiveTile",
     ci::kCICategoryTileEffect,
     {"inputImage", "inputTopLeft", "inputTopRight", "inputBottomRight", "inputBottomLeft"}},
    {"CISixfoldReflectedTile", ci::kCICategoryTileEffect, kCentreAngleWidth},
    {"CISixfoldRotatedTile", ci::kCICategoryTileEffect, kCentreAngleWidth},
    {"CITriangleKaleidoscope",
     ci::kCICategoryTileEffect,
     {"inputImage", "inputPoint", "inputSize", "inputRotation", "inputDecay"}},
    {"CITriangleTile", ci::kCICategoryTileEffect, kCentreAngleWidth},
    {"CITwelvefoldReflectedTile", ci::kCICategoryTileEffect, kCentreAngleWidth},
    {"CIBarsSwipeTransition",
     ci::kCICategoryTransition,
     {"inputImage", "inputTargetImage", "inputAngle", "inputWidth", "inputBarOffset", "inputTime"}},
    {"CICopyMachineTransition",
     ci::kCICategoryTransition,
     {"inputImage", "inputTargetImage", "inputExtent", "inputColor", "inputTime", "inputAngle",
      "inputWidth", "inputOpacity"}},
    {"CIDisintegrateWithMaskTransition",
     ci::kCICategoryTransition,
     {"inputImage", "inputTargetImage", "inputMaskImage", "inputTime", "inputShadowRadius",
      "inputShadowDensity", "inputShadowOffset"}},
    {"CIDissolveTransition",
     ci::kCICategoryTransition,
     {"inputImage", "inputTargetImage", "inputTime"}},
    {"CIFlashTransition",
     ci::kCICategoryTransition,
     {"inputImage", "inputTargetImage", "inputCenter", "inputExtent", "inputColor", "inputTime",
      "inputMaxStriationRadius", "inputStriationStrength", "inputStriationContrast",
      "inputFadeThreshold"}},
    {"CIModTransition",
     ci::kCICategoryTransition,
     {"inputImage", "inputTargetImage", "inputCenter", "inputTime", "inputAngle", "inputRadius",
      "inputCompression"}},
    {"CIRippleTransition",
     ci::kCICategoryTransition,
     {"inputImage", "inputTargetImage", "inputShadingImage", "inputCenter", "inputExtent",
      "inputTime", "inputWidth", "inputScale"}},
    {"CISwipeTransition",
     ci::kCICategoryTransition,
     {"inputImage", "inputTargetImage", "inputExtent", "inputColor", "inputTime", "inputAngle",
      "inputWidth", "inputOpacity"}},
};

// Gives every image input of the filter an image: `image` for the input
// image, `other` for the rest.
void setImages(Filter& filter, const Image& image, const Image& other) {
  for (const QString& key : filter.inputKeys()) {
    const QVariantMap a = filter.attributes().value(key).toMap();
    if (a.value(ci::kCIAttributeClass).toString() == ci::kClassCIImage)
      filter.setValue(QVariant::fromValue(key == "inputImage" ? image : other), key);
  }
}

}  // namespace

TEST(EffectFamilies, EveryNameIsListedWithItsCategoriesKeysAndInputKinds) {
  for (const Listing& l : kListings) {
    SCOPED_TRACE(l.name);
    auto filter = Filter::filterWithName(l.name);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->inputKeys(), l.keys);
    const QVariantMap attributes = filter->attributes();
    const QStringList categories =
        attributes.value(ci::kCIAttributeFilterCategories).toStringList();
    for (const QString& c : {l.category, ci::kCICategoryStillImage, ci::kCICategoryBuiltIn})
      EXPECT_TRUE(categories.contains(c)) << c.toStdString();
    EXPECT_TRUE(
        Filter::filterNamesInCategories({l.category, ci::kCICategoryStillImage}).contains(l.name));
    EXPECT_FALSE(attributes.value(ci::kCIAttributeFilterDisplayName).toString().isEmpty());
    for (const QString& key : l.keys) {
      SCOPED_TRACE(key.toStdString());
      const QVariantMap a = attributes.value(key).toMap();
      const QString cls = a.value(ci::kCIAttributeClass).toString();
      const QString type = a.value(ci::kCIAttributeType).toString();
      if (key.endsWith("Image") || key == "inputTexture") {
        EXPECT_EQ(cls, ci::kClassCIImage);
      }
      if (key.startsWith("inputPoint") || key == "inputCenter" || key.startsWith("inputTop") ||
          key.startsWith("inputBottom")) {
        EXPECT_EQ(cls, ci::kClassCIVector);
        EXPECT_EQ(type, ci::kCIAttributeTypePosition);
      }
      if (key.contains("Color")) {
        EXPECT_EQ(cls, ci::kClassCIColor);
      }
      if (cls == ci::kClassNSNumber) {
        // Every number the browser shows gets a slider with a range that
        // holds its default.
        const double lo = a.value(ci::kCIAttributeSliderMin).toDouble();
        const double hi = a.value(ci::kCIAttributeSliderMax).toDouble();
        EXPECT_TRUE(a.contains(ci::kCIAttributeSliderMin));
        EXPECT_LT(lo, hi);
        EXPECT_TRUE(a.contains(ci::kCIAttributeDefault));
        EXPECT_GE(a.value(ci::kCIAttributeDefault).toDouble(), lo);
        EXPECT_LE(a.value(ci::kCIAttributeDefault).toDouble(), hi);
      }
    }
  }
  // Names that read as words in the browser.
  EXPECT_EQ(Filter::localizedNameForFilterName("CICMYKHalftone"), "CMYK Halftone");
  EXPECT_EQ(Filter::filterWithName("CILineOverlay")
                ->attributes()
                .value("inputNRNoiseLevel")
                .toMap()
                .value(ci::kCIAttributeDisplayName)
                .toString(),
            "NR Noise Level");
}

TEST(EffectFamilies, IdentityValuesGiveTheInputBack) {
  const Image input = functionImage(48, 40, [](int x, int y) {
    const float a = (x + y) % 7 == 0 ? 0.5f : 1.0f;
    return RGBA{a * x / 48.0f, a * y / 40.0f, a * 0.3f, a};
  });
  const Image other = solidImage(48, 40, {0.2f, 0.9f, 0.1f, 1});
  const ci::PixelBuffer expected = render(input, input.extent());
  int checked = 0;
  for (const Listing& l : kListings) {
    auto filter = Filter::filterWithName(l.name);
    const QVariantMap attributes = filter->attributes();
    bool adjustable = false;
    for (const QString& key : l.keys) {
      const QVariantMap a = attributes.value(key).toMap();
      if (!a.contains(ci::kCIAttributeIdentity) || key == "inputWeights") continue;
      filter->setValue(a.value(ci::kCIAttributeIdentity), key);
      adjustable = true;
    }
    if (!adjustable) continue;
    SCOPED_TRACE(l.name);
    setImages(*filter, input, other);
    const Image out = filter->outputImage();
    ASSERT_FALSE(out.isNull());
    EXPECT_LE(maxDifference(render(out, input.extent()), expected), 2e-5f);
    ++checked;
  }
  // Every distortion with a strength and the hole, the glows, tone
  // adjustment and pixellation, and all transitions.
  EXPECT_GE(checked, 10 + 4 + 8);
}

TEST(EffectFamilies, DefaultsRenderEvenOverEmptyAndInfiniteImages) {
  const Image small = functionImage(32, 24, [](int x, int y) {
    return RGBA{x / 32.0f, y / 24.0f, 0.5f, 1};
  });
  const Image infinite = Image::imageWithColor(ci::Color(0.25, 0.5, 0.75, 1));
  for (const Listing& l : kListings) {
    SCOPED_TRACE(l.name);
    for (const Image& image : {small, infinite, Image::emptyImage()}) {
      auto filter = Filter::filterWithName(l.name);
      setImages(*filter, image, small);
      const Image out = filter->outputImage();
      ASSERT_FALSE(out.isNull());
      // A finite window of any output renders, whatever the input's extent.
      const ci::PixelBuffer pixels = render(out, QRectF(-5, -5, 40, 30));
      ASSERT_FALSE(pixels.isNull());
      for (int y = -5; y < 25; ++y)
        for (int x = -5; x < 35; ++x) {
          const RGBA p = pixelAt(pixels, x, y);
          ASSERT_TRUE(std::isfinite(p.r) && std::isfinite(p.a)) << x << "," << y;
          ASSERT_LE(p.r, p.a + 1e-4f);
        }
    }
  }
}

// A 32-pixel square in the middle of a 4000-pixel image reads only the
// input its filter's geometry needs: around the square, or the cell, disc
// or strip the filter draws from.
TEST(EffectFamilies, SmallRegionsReadOnlyWhatTheirGeometryNeeds) {
  const QRectF region(2000, 2000, 32, 32);
  auto at = [](double x, double y) { return QVariant::fromValue(ci::Vector{x, y}); };
  const QVariant helper = QVariant::fromValue(solidImage(64, 64, {0.5f, 0.5f, 0.5f, 1}));
  const struct {
    const char* name;
    QVariantMap inputs;
    QRectF rendered, mostRead;
  } cases[] = {
      {"CIBumpDistortion", {{"inputCenter", at(2500, 2500)}, {"inputRadius", 100}}, region, region},
      {"CIBumpDistortion",
       {{"inputCenter", at(2016, 2016)}, {"inputRadius", 50}},
       region,
       {1965, 1965, 102, 102}},
      {"CITwirlDistortion", {{"inputCenter", at(2016, 2016)}}, region, {1715, 1715, 602, 602}},
      {"CIHoleDistortion",
       {{"inputCenter", at(2016, 2016)}, {"inputRadius", 40}},
       region,
       {1959, 1959, 114, 114}},
      // Far from the hole a point reads r² / d nearer it; far from the lenses'
      // glass and the bump's line nothing moves.
      {"CIHoleDistortion", {}, region, {1990, 1990, 52, 52}},
      {"CIGlassLozenge", {}, region, region},
      {"CITorusLensDistortion", {}, region, region},
      {"CIBumpDistortionLinear", {}, region, region},
      // At their defaults, the circle (centre 150, 150) far below the
      // region: the short arc its directions meet.
      {"CICircleSplashDistortion", {}, region, {251, 251, 10, 10}},
      {"CILightTunnel", {}, region, {216, 216, 10, 10}},
      {"CILightTunnel", {{"inputRotation", 1}}, region, {84, 66, 10, 10}},
      // Its directions give the columns, its distances the rows; around the
      // centre every column.
      {"CICircularWrap", {}, region, {1879, 2465, 7, 49}},
      {"CICircularWrap",
       {{"inputCenter", at(2016, 2016)}, {"inputRadius", 10}},
       region,
       {1967, 0, 66, 15}},
      {"CIDisplacementDistortion",
       {{"inputDisplacementImage", helper}},
       region,
       {1974, 1974, 84, 84}},
      {"CIGlassDistortion", {{"inputTexture", helper}}, region, {1799, 1799, 434, 434}},
      {"CIStretchCrop",
       {{"inputSize", at(8000, 4000)}, {"inputCropAmount", 0}, {"inputCenterStretchAmount", 0}},
       {4000, 2000, 32, 32},
       {1999, 1999, 18, 34}},
      {"CIDotScreen", {}, region, region},
      {"CICMYKHalftone", {}, region, region},
      {"CISixfoldRotatedTile",
       {{"inputCenter", at(100, 100)}, {"inputWidth", 100}},
       region,
       {0, 0, 302, 302}},
      {"CIFourfoldReflectedTile",
       {{"inputCenter", at(100, 100)}, {"inputWidth", 100}},
       region,
       {0, 0, 302, 302}},
      // Folded into one half sector: the region's mirror image far off, or
      // the slice of the sector it covers.
      {"CIKaleidoscope", {}, region, {2673, 807, 52, 52}},
      {"CIKaleidoscope", {{"inputCenter", at(2000, 2000)}}, region, {1996, 1996, 52, 26}},
      // The region's perspective image (4.5 times larger), moved into the tile.
      {"CIPerspectiveTile", {}, region, {2861, 1198, 149, 90}},
      {"CITriangleKaleidoscope",
       {{"inputPoint", at(300, 300)}, {"inputSize", 200}},
       region,
       {98, 98, 404, 404}},
      // Folded into the triangle by reflections: a box no wider than the
      // region's diagonal, wherever it lands.
      {"CITriangleKaleidoscope", {}, region, {241, 319, 53, 53}},
      {"CIOpTile", {{"inputWidth", 65}}, region, {1935, 1935, 162, 162}},
      {"CICrystallize", {}, region, {1960, 1960, 112, 112}},
      {"CIPointillize", {}, region, {1960, 1960, 112, 112}},
      {"CIHexagonalPixellate", {}, region, {1984, 1984, 64, 64}},
      {"CIEdges", {}, region, {1999, 1999, 34, 34}},
      {"CILineOverlay", {}, region, {1990, 1990, 52, 52}},
      {"CIShadedMaterial", {{"inputShadingImage", helper}}, region, {1999, 1999, 34, 34}},
      {"CISpotLight", {}, region, region},
      {"CIDissolveTransition", {{"inputTargetImage", helper}}, region, region},
      {"CIRippleTransition",
       {{"inputTargetImage", helper}, {"inputShadingImage", helper}},
       region,
       {1949, 1949, 134, 134}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto source = std::make_shared<RecordingNode>(QRectF(0, 0, 4000, 4000));
    auto filter = Filter::filterWithName(c.name, c.inputs);
    filter->setValue(QVariant::fromValue(Image(source)), "inputImage");
    ASSERT_FALSE(render(filter->outputImage(), c.rendered).isNull());
    ASSERT_FALSE(source->rects().empty());
    const ci::IRect limit = ci::IRect::covering(c.mostRead);
    for (const ci::IRect& r : source->rects())
      EXPECT_TRUE(limit.contains(r)) << r.x << "," << r.y << " " << r.w << "x" << r.h;
  }
}

// Rendered in small tiles every filter gives what it gives in one piece:
// nothing a row or tile computes from where it starts (a screen's phase, a
// band's position) may show at the tiles' borders, and no tile's region of
// interest may miss what its pixels read, at the defaults or at settings
// that fold, wrap or turn the plane.
TEST(EffectFamilies, SmallTilesMatchOneWholeRender) {
  const Image picture = Image::imageWithCGImage(gfx::CGImage::make(noiseQImage(300, 200, 3)));
  const Image other = Image::imageWithCGImage(gfx::CGImage::make(noiseQImage(300, 200, 4)));
  const QRectF area(-20, -10, 340, 220);
  auto at = [](double x, double y) { return QVariant::fromValue(ci::Vector{x, y}); };
  std::vector<std::pair<QString, QVariantMap>> settings;
  for (const Listing& l : kListings) settings.push_back({l.name, {}});
  settings.insert(
      settings.end(),
      {{"CIKaleidoscope",
        {{"inputCenter", at(150.3, 100.7)}, {"inputCount", 5}, {"inputAngle", 1.1}}},
       {"CILightTunnel",
        {{"inputCenter", at(150, 100)}, {"inputRotation", 6.2}, {"inputRadius", 40}}},
       {"CICircularWrap",
        {{"inputCenter", at(150, 100)}, {"inputRadius", 20}, {"inputAngle", -M_PI}}},
       {"CIHoleDistortion", {{"inputCenter", at(150.5, 100.5)}, {"inputRadius", 0}}},
       {"CITriangleKaleidoscope",
        {{"inputPoint", at(150, 100)}, {"inputSize", 60}, {"inputRotation", 1}}},
       {"CIPerspectiveTile",
        {{"inputTopLeft", at(100, 160)},
         {"inputTopRight", at(230, 150)},
         {"inputBottomRight", at(250, 30)},
         {"inputBottomLeft", at(60, 40)}}},
       {"CIAffineTile",
        {{"inputTransform", QVariant::fromValue(QTransform(0.7, 0.2, -0.3, 0.6, 13, 7))}}}});
  for (const auto& [name, inputs] : settings) {
    SCOPED_TRACE(name.toStdString());
    auto filter = Filter::filterWithName(name, inputs);
    setImages(*filter, picture, other);
    if (filter->inputKeys().contains("inputTime")) filter->setValue(0.5, "inputTime");
    const Image out = filter->outputImage();
    EXPECT_LE(maxDifference(render(out, area, 37), render(out, area, 4096)), 1e-5f);
  }
}
