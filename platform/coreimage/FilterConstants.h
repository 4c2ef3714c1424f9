// The names filters are described with, as strings: categories, attribute
// keys and types, common input keys and the classes of input values. Code
// and saved settings compare them letter for letter.
#pragma once

#include <QString>
#include <QStringList>

namespace ci {

// Categories of the filter catalogue.
inline const QString kCICategoryDistortionEffect = QStringLiteral("CICategoryDistortionEffect");
inline const QString kCICategoryGeometryAdjustment = QStringLiteral("CICategoryGeometryAdjustment");
inline const QString kCICategoryCompositeOperation = QStringLiteral("CICategoryCompositeOperation");
inline const QString kCICategoryHalftoneEffect = QStringLiteral("CICategoryHalftoneEffect");
inline const QString kCICategoryColorAdjustment = QStringLiteral("CICategoryColorAdjustment");
inline const QString kCICategoryColorEffect = QStringLiteral("CICategoryColorEffect");
inline const QString kCICategoryTransition = QStringLiteral("CICategoryTransition");
inline const QString kCICategoryTileEffect = QStringLiteral("CICategoryTileEffect");
inline const QString kCICategoryGenerator = QStringLiteral("CICategoryGenerator");
inline const QString kCICategoryReduction = QStringLiteral("CICategoryReduction");
inline const QString kCICategoryGradient = QStringLiteral("CICategoryGradient");
inline const QString kCICategoryStylize = QStringLiteral("CICategoryStylize");
inline const QString kCICategorySharpen = QStringLiteral("CICategorySharpen");
inline const QString kCICategoryBlur = QStringLiteral("CICategoryBlur");
inline const QString kCICategoryVideo = QStringLiteral("CICategoryVideo");
inline const QString kCICategoryStillImage = QStringLiteral("CICategoryStillImage");
inline const QString kCICategoryInterlaced = QStringLiteral("CICategoryInterlaced");
inline const QString kCICategoryNonSquarePixels = QStringLiteral("CICategoryNonSquarePixels");
inline const QString kCICategoryHighDynamicRange = QStringLiteral("CICategoryHighDynamicRange");
inline const QString kCICategoryBuiltIn = QStringLiteral("CICategoryBuiltIn");
inline const QString kCICategoryFilterGenerator = QStringLiteral("CICategoryFilterGenerator");
// Every category above, in catalogue order.
QStringList allFilterCategories();

// Keys of attributes(): per filter, and per input.
inline const QString kCIAttributeClass = QStringLiteral("CIAttributeClass");
inline const QString kCIAttributeType = QStringLiteral("CIAttributeType");
inline const QString kCIAttributeDefault = QStringLiteral("CIAttributeDefault");
inline const QString kCIAttributeMin = QStringLiteral("CIAttributeMin");
inline const QString kCIAttributeMax = QStringLiteral("CIAttributeMax");
inline const QString kCIAttributeSliderMin = QStringLiteral("CIAttributeSliderMin");
inline const QString kCIAttributeSliderMax = QStringLiteral("CIAttributeSliderMax");
inline const QString kCIAttributeIdentity = QStringLiteral("CIAttributeIdentity");
inline const QString kCIAttributeDisplayName = QStringLiteral("CIAttributeDisplayName");
inline const QString kCIAttributeDescription = QStringLiteral("CIAttributeDescription");
inline const QString kCIAttributeFilterName = QStringLiteral("CIAttributeFilterName");
inline const QString kCIAttributeFilterDisplayName = QStringLiteral("CIAttributeFilterDisplayName");
inline const QString kCIAttributeFilterCategories = QStringLiteral("CIAttributeFilterCategories");
inline const QString kCIAttributeReferenceDocumentation =
    QStringLiteral("CIAttributeReferenceDocumentation");

// Values of kCIAttributeType.
inline const QString kCIAttributeTypeScalar = QStringLiteral("CIAttributeTypeScalar");
inline const QString kCIAttributeTypeDistance = QStringLiteral("CIAttributeTypeDistance");
inline const QString kCIAttributeTypeAngle = QStringLiteral("CIAttributeTypeAngle");
inline const QString kCIAttributeTypeBoolean = QStringLiteral("CIAttributeTypeBoolean");
inline const QString kCIAttributeTypeInteger = QStringLiteral("CIAttributeTypeInteger");
inline const QString kCIAttributeTypeCount = QStringLiteral("CIAttributeTypeCount");
inline const QString kCIAttributeTypePosition = QStringLiteral("CIAttributeTypePosition");
inline const QString kCIAttributeTypeOffset = QStringLiteral("CIAttributeTypeOffset");
inline const QString kCIAttributeTypeRectangle = QStringLiteral("CIAttributeTypeRectangle");
inline const QString kCIAttributeTypeColor = QStringLiteral("CIAttributeTypeColor");
inline const QString kCIAttributeTypeOpaqueColor = QStringLiteral("CIAttributeTypeOpaqueColor");
inline const QString kCIAttributeTypeImage = QStringLiteral("CIAttributeTypeImage");
inline const QString kCIAttributeTypeTransform = QStringLiteral("CIAttributeTypeTransform");
inline const QString kCIAttributeTypePosition3 = QStringLiteral("CIAttributeTypePosition3");
inline const QString kCIAttributeTypeTime = QStringLiteral("CIAttributeTypeTime");

// Input and output keys most filters share.
inline const QString kCIInputImageKey = QStringLiteral("inputImage");
inline const QString kCIInputBackgroundImageKey = QStringLiteral("inputBackgroundImage");
inline const QString kCIInputMaskImageKey = QStringLiteral("inputMaskImage");
inline const QString kCIInputRadiusKey = QStringLiteral("inputRadius");
inline const QString kCIInputCenterKey = QStringLiteral("inputCenter");
inline const QString kCIInputScaleKey = QStringLiteral("inputScale");
inline const QString kCIInputWidthKey = QStringLiteral("inputWidth");
inline const QString kCIInputSharpnessKey = QStringLiteral("inputSharpness");
inline const QString kCIInputColorKey = QStringLiteral("inputColor");
inline const QString kCIInputTransformKey = QStringLiteral("inputTransform");
inline const QString kCIInputAngleKey = QStringLiteral("inputAngle");
inline const QString kCIInputIntensityKey = QStringLiteral("inputIntensity");
inline const QString kCIInputExtentKey = QStringLiteral("inputExtent");
inline const QString kCIInputWeightsKey = QStringLiteral("inputWeights");
inline const QString kCIInputBiasKey = QStringLiteral("inputBias");
inline const QString kCIOutputImageKey = QStringLiteral("outputImage");

// Values of kCIAttributeClass: what kind of value an input takes.
inline const QString kClassNSNumber = QStringLiteral("NSNumber");
inline const QString kClassCIVector = QStringLiteral("CIVector");
inline const QString kClassCIColor = QStringLiteral("CIColor");
inline const QString kClassCIImage = QStringLiteral("CIImage");
inline const QString kClassNSAffineTransform = QStringLiteral("NSAffineTransform");
inline const QString kClassNSData = QStringLiteral("NSData");
inline const QString kClassNSString = QStringLiteral("NSString");
inline const QString kClassNSValue = QStringLiteral("NSValue");

}  // namespace ci
