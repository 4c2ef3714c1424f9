// The blur, colour, composite, geometry, sharpen, generator, gradient and
// reduction filters as the registry lists them: names, categories, input
// keys in order and the attributes the filter browser and the parameters
// read (classes and types by kind of value, defaults, slider ranges).
#include <gtest/gtest.h>

#include "coreimage/Filter.h"

using ci::Filter;

namespace {

struct Entry {
  const char* name;
  QString category;
  QStringList keys;
};

const QStringList kImage{"inputImage"};
const QStringList kComposite{"inputImage", "inputBackgroundImage"};
const QStringList kReduction{"inputImage", "inputExtent"};

const Entry kCatalogue[] = {
    {"CIBoxBlur", ci::kCICategoryBlur, {"inputImage", "inputRadius"}},
    {"CIDiscBlur", ci::kCICategoryBlur, {"inputImage", "inputRadius"}},
    {"CIGaussianBlur", ci::kCICategoryBlur, {"inputImage", "inputRadius"}},
    {"CIMedianFilter", ci::kCICategoryBlur, kImage},
    {"CIMotionBlur", ci::kCICategoryBlur, {"inputImage", "inputRadius", "inputAngle"}},
    {"CINoiseReduction", ci::kCICategoryBlur, {"inputImage", "inputNoiseLevel", "inputSharpness"}},
    {"CIZoomBlur", ci::kCICategoryBlur, {"inputImage", "inputCenter", "inputAmount"}},
    {"CIColorControls",
     ci::kCICategoryColorAdjustment,
     {"inputImage", "inputSaturation", "inputBrightness", "inputContrast"}},
    {"CIExposureAdjust", ci::kCICategoryColorAdjustment, {"inputImage", "inputEV"}},
    {"CIGammaAdjust", ci::kCICategoryColorAdjustment, {"inputImage", "inputPower"}},
    {"CIHueAdjust", ci::kCICategoryColorAdjustment, {"inputImage", "inputAngle"}},
    {"CITemperatureAndTint",
     ci::kCICategoryColorAdjustment,
     {"inputImage", "inputNeutral", "inputTargetNeutral"}},
    {"CIVibrance", ci::kCICategoryColorAdjustment, {"inputImage", "inputAmount"}},
    {"CIWhitePointAdjust", ci::kCICategoryColorAdjustment, {"inputImage", "inputColor"}},
    {"CILinearToSRGBToneCurve", ci::kCICategoryColorAdjustment, kImage},
    {"CISRGBToneCurveToLinear", ci::kCICategoryColorAdjustment, kImage},
    {"CIColorMatrix",
     ci::kCICategoryColorAdjustment,
     {"inputImage", "inputRVector", "inputGVector", "inputBVector", "inputAVector",
      "inputBiasVector"}},
    {"CIColorClamp",
     ci::kCICategoryColorAdjustment,
     {"inputImage", "inputMinComponents", "inputMaxComponents"}},
    {"CIColorPolynomial",
     ci::kCICategoryColorAdjustment,
     {"inputImage", "inputRedCoefficients", "inputGreenCoefficients", "inputBlueCoefficients",
      "inputAlphaCoefficients"}},
    {"CIToneCurve",
     ci::kCICategoryColorAdjustment,
     {"inputImage", "inputPoint0", "inputPoint1", "inputPoint2", "inputPoint3", "inputPoint4"}},
    {"CIColorInvert", ci::kCICategoryColorEffect, kImage},
    {"CIColorMap", ci::kCICategoryColorEffect, {"inputImage", "inputGradientImage"}},
    {"CIColorMonochrome",
     ci::kCICategoryColorEffect,
     {"inputImage", "inputColor", "inputIntensity"}},
    {"CIColorPosterize", ci::kCICategoryColorEffect, {"inputImage", "inputLevels"}},
    {"CIFalseColor", ci::kCICategoryColorEffect, {"inputImage", "inputColor0", "inputColor1"}},
    {"CIMaskToAlpha", ci::kCICategoryColorEffect, kImage},
    {"CIMaximumComponent", ci::kCICategoryColorEffect, kImage},
    {"CIMinimumComponent", ci::kCICategoryColorEffect, kImage},
    {"CISepiaTone", ci::kCICategoryColorEffect, {"inputImage", "inputIntensity"}},
    {"CIVignette", ci::kCICategoryColorEffect, {"inputImage", "inputIntensity", "inputRadius"}},
    {"CIAdditionCompositing", ci::kCICategoryCompositeOperation, kComposite},
    {"CIMultiplyCompositing", ci::kCICategoryCompositeOperation, kComposite},
    {"CIMinimumCompositing", ci::kCICategoryCompositeOperation, kComposite},
    {"CIMaximumCompositing", ci::kCICategoryCompositeOperation, kComposite},
    {"CISourceAtopCompositing", ci::kCICategoryCompositeOperation, kComposite},
    {"CISourceInCompositing", ci::kCICategoryCompositeOperation, kComposite},
    {"CISourceOutCompositing", ci::kCICategoryCompositeOperation, kComposite},
    {"CISourceOverCompositing", ci::kCICategoryCompositeOperation, kComposite},
    {"CIMultiplyBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIScreenBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIOverlayBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIDarkenBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CILightenBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIColorDodgeBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIColorBurnBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CISoftLightBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIHardLightBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIDifferenceBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIExclusionBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIHueBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CISaturationBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CIColorBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CILuminosityBlendMode", ci::kCICategoryCompositeOperation, kComposite},
    {"CILanczosScaleTransform",
     ci::kCICategoryGeometryAdjustment,
     {"inputImage", "inputScale", "inputAspectRatio"}},
    {"CIPerspectiveTransform",
     ci::kCICategoryGeometryAdjustment,
     {"inputImage", "inputTopLeft", "inputTopRight", "inputBottomRight", "inputBottomLeft"}},
    {"CIStraightenFilter", ci::kCICategoryGeometryAdjustment, {"inputImage", "inputAngle"}},
    {"CISharpenLuminance", ci::kCICategorySharpen, {"inputImage", "inputSharpness", "inputRadius"}},
    {"CIUnsharpMask", ci::kCICategorySharpen, {"inputImage", "inputRadius", "inputIntensity"}},
    {"CIRandomGenerator", ci::kCICategoryGenerator, {}},
    {"CIStripesGenerator",
     ci::kCICategoryGenerator,
     {"inputCenter", "inputColor0", "inputColor1", "inputWidth", "inputSharpness"}},
    {"CIStarShineGenerator",
     ci::kCICategoryGenerator,
     {"inputCenter", "inputColor", "inputRadius", "inputCrossScale", "inputCrossAngle",
      "inputCrossOpacity", "inputCrossWidth", "inputEpsilon"}},
    {"CISunbeamsGenerator",
     ci::kCICategoryGenerator,
     {"inputCenter", "inputColor", "inputSunRadius", "inputMaxStriationRadius",
      "inputStriationStrength", "inputStriationContrast", "inputTime"}},
    {"CILenticularHaloGenerator",
     ci::kCICategoryGenerator,
     {"inputCenter", "inputColor", "inputHaloRadius", "inputHaloWidth", "inputHaloOverlap",
      "inputStriationStrength", "inputStriationContrast", "inputTime"}},
    {"CIGaussianGradient",
     ci::kCICategoryGradient,
     {"inputCenter", "inputColor0", "inputColor1", "inputRadius"}},
    {"CIAreaAverage", ci::kCICategoryReduction, kReduction},
    {"CIAreaMaximum", ci::kCICategoryReduction, kReduction},
    {"CIAreaMinimum", ci::kCICategoryReduction, kReduction},
    {"CIRowAverage", ci::kCICategoryReduction, kReduction},
    {"CIColumnAverage", ci::kCICategoryReduction, kReduction},
};

// The class and type an input of this key must declare.
void expectKind(const QString& key, const QVariantMap& input) {
  const QString cls = input.value(ci::kCIAttributeClass).toString();
  const QString type = input.value(ci::kCIAttributeType).toString();
  static const QStringList images{"inputImage",       "inputBackgroundImage", "inputMaskImage",
                                  "inputTargetImage", "inputGradientImage",   "inputTexture",
                                  "inputShadingImage"};
  if (images.contains(key)) {
    EXPECT_EQ(cls, ci::kClassCIImage);
    return;
  }
  EXPECT_TRUE(input.contains(ci::kCIAttributeDefault)) << "a parameter needs a default";
  if (type == ci::kCIAttributeTypePosition) {
    EXPECT_EQ(cls, ci::kClassCIVector);
  } else if (key.startsWith("inputColor") && !key.endsWith("Space")) {
    EXPECT_EQ(cls, ci::kClassCIColor);
  } else if (cls == ci::kClassNSNumber && type != ci::kCIAttributeTypeBoolean) {
    // A slider the browser can show: a range with the default inside it.
    const double lo = input.value(ci::kCIAttributeSliderMin).toDouble();
    const double hi = input.value(ci::kCIAttributeSliderMax).toDouble();
    const double value = input.value(ci::kCIAttributeDefault).toDouble();
    EXPECT_TRUE(input.contains(ci::kCIAttributeSliderMin));
    EXPECT_LT(lo, hi);
    EXPECT_GE(value, lo);
    EXPECT_LE(value, hi);
  }
}

}  // namespace

TEST(FilterCatalogue, NamesCategoriesAndInputs) {
  const QStringList builtIn = Filter::filterNamesInCategory(ci::kCICategoryBuiltIn);
  for (const Entry& e : kCatalogue) {
    SCOPED_TRACE(e.name);
    auto filter = Filter::filterWithName(e.name);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->inputKeys(), e.keys);
    const QVariantMap attributes = filter->attributes();
    const QStringList categories =
        attributes.value(ci::kCIAttributeFilterCategories).toStringList();
    for (const QString& c : {e.category, ci::kCICategoryStillImage, ci::kCICategoryBuiltIn})
      EXPECT_TRUE(categories.contains(c)) << c.toStdString();
    EXPECT_TRUE(builtIn.contains(e.name));
    EXPECT_TRUE(
        Filter::filterNamesInCategories({e.category, ci::kCICategoryStillImage}).contains(e.name));
    EXPECT_FALSE(attributes.value(ci::kCIAttributeFilterDisplayName).toString().isEmpty());
    EXPECT_FALSE(Filter::localizedDescriptionForFilterName(e.name).isEmpty());
    for (const QString& key : e.keys) {
      SCOPED_TRACE(key.toStdString());
      const QVariantMap input = attributes.value(key).toMap();
      ASSERT_FALSE(input.isEmpty());
      EXPECT_FALSE(input.value(ci::kCIAttributeDisplayName).toString().isEmpty());
      expectKind(key, input);
    }
  }
  // The browser hides generators, gradients and reductions through their categories.
  EXPECT_EQ(Filter::filterNamesInCategories({ci::kCICategoryReduction}),
            (QStringList{"CIAreaAverage", "CIAreaMaximum", "CIAreaMinimum", "CIColumnAverage",
                         "CIRowAverage"}));
  EXPECT_FALSE(Filter::filterNamesInCategory(ci::kCICategoryGenerator).contains("CIBoxBlur"));
  EXPECT_TRUE(Filter::filterNamesInCategory(ci::kCICategorySharpen).contains("CIUnsharpMask"));
}

// Display names as the filter browser lists them.
TEST(FilterCatalogue, DisplayNames) {
  const struct {
    const char* name;
    const char* display;
  } cases[] = {{"CIColorDodgeBlendMode", "Color Dodge Blend Mode"},
               {"CISRGBToneCurveToLinear", "sRGB Tone Curve to Linear"},
               {"CILanczosScaleTransform", "Lanczos Scale Transform"},
               {"CIUnsharpMask", "Unsharp Mask"},
               {"CIStraightenFilter", "Straighten"},
               {"CIMedianFilter", "Median"},
               {"CITemperatureAndTint", "Temperature and Tint"},
               {"CIMaskToAlpha", "Mask to Alpha"}};
  for (const auto& c : cases)
    EXPECT_EQ(Filter::localizedNameForFilterName(c.name), c.display) << c.name;
  auto controls = Filter::filterWithName("CIColorControls");
  EXPECT_EQ(
      controls->attributes().value("inputSaturation").toMap().value(ci::kCIAttributeDisplayName),
      "Saturation");
}
