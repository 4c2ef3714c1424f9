// Keys of the property dictionaries an ImageSource reports and an
// ImageDestination accepts, spelled as the platform's image property
// dictionaries spell them, plus the source and destination option keys.
#pragma once

#include <QString>

namespace io {

// Per-image properties.
inline const QString PropertyPixelWidth = QStringLiteral("PixelWidth");
inline const QString PropertyPixelHeight = QStringLiteral("PixelHeight");
inline const QString PropertyDPIWidth = QStringLiteral("DPIWidth");
inline const QString PropertyDPIHeight = QStringLiteral("DPIHeight");
inline const QString PropertyOrientation = QStringLiteral("Orientation");
inline const QString PropertyHasAlpha = QStringLiteral("HasAlpha");
inline const QString PropertyColorModel = QStringLiteral("ColorModel");
inline const QString PropertyDepth = QStringLiteral("Depth");
inline const QString PropertyIsFloat = QStringLiteral("IsFloat");
inline const QString PropertyIsIndexed = QStringLiteral("IsIndexed");
inline const QString PropertyFileSize = QStringLiteral("FileSize");

// Values of PropertyColorModel.
inline const QString ColorModelRGB = QStringLiteral("RGB");
inline const QString ColorModelGray = QStringLiteral("Gray");
inline const QString ColorModelCMYK = QStringLiteral("CMYK");
inline const QString ColorModelLab = QStringLiteral("Lab");

// Format dictionaries.
inline const QString PropertyTIFFDictionary = QStringLiteral("{TIFF}");
inline const QString PropertyExifDictionary = QStringLiteral("{Exif}");
inline const QString PropertyPNGDictionary = QStringLiteral("{PNG}");
inline const QString PropertyJFIFDictionary = QStringLiteral("{JFIF}");
inline const QString PropertyJPEGDictionary = QStringLiteral("{JPEG}");
inline const QString PropertyGIFDictionary = QStringLiteral("{GIF}");
inline const QString PropertyOpenEXRDictionary = QStringLiteral("{OpenEXR}");
inline const QString PropertyJPEG2000Dictionary = QStringLiteral("{JPEG2000}");

// {TIFF}
inline const QString PropertyTIFFCompression = QStringLiteral("Compression");
inline const QString PropertyTIFFPhotometricInterpretation =
    QStringLiteral("PhotometricInterpretation");
inline const QString PropertyTIFFOrientation = QStringLiteral("Orientation");
inline const QString PropertyTIFFXResolution = QStringLiteral("XResolution");
inline const QString PropertyTIFFYResolution = QStringLiteral("YResolution");
inline const QString PropertyTIFFResolutionUnit = QStringLiteral("ResolutionUnit");
inline const QString PropertyTIFFSoftware = QStringLiteral("Software");

// Values of PropertyTIFFCompression a destination writes.
enum TIFFCompressionValue {
  TIFFCompressionNone = 1,
  TIFFCompressionLZW = 5,
  TIFFCompressionPackBits = 32773
};

// {Exif}
inline const QString PropertyExifPixelXDimension = QStringLiteral("PixelXDimension");
inline const QString PropertyExifPixelYDimension = QStringLiteral("PixelYDimension");
inline const QString PropertyExifColorSpace = QStringLiteral("ColorSpace");

// {PNG}
inline const QString PropertyPNGInterlaceType = QStringLiteral("InterlaceType");
inline const QString PropertyPNGXPixelsPerMeter = QStringLiteral("XPixelsPerMeter");
inline const QString PropertyPNGYPixelsPerMeter = QStringLiteral("YPixelsPerMeter");
inline const QString PropertyPNGGamma = QStringLiteral("Gamma");
inline const QString PropertyPNGsRGBIntent = QStringLiteral("sRGBIntent");

// {JFIF} / {JPEG}
inline const QString PropertyJFIFXDensity = QStringLiteral("XDensity");
inline const QString PropertyJFIFYDensity = QStringLiteral("YDensity");
inline const QString PropertyJFIFDensityUnit = QStringLiteral("DensityUnit");
inline const QString PropertyJFIFIsProgressive = QStringLiteral("IsProgressive");

// {GIF}
inline const QString PropertyGIFDelayTime = QStringLiteral("DelayTime");
inline const QString PropertyGIFUnclampedDelayTime = QStringLiteral("UnclampedDelayTime");
inline const QString PropertyGIFLoopCount = QStringLiteral("LoopCount");
inline const QString PropertyGIFHasGlobalColorMap = QStringLiteral("HasGlobalColorMap");

// {OpenEXR} / {JPEG2000}
inline const QString PropertyOpenEXRCompression = QStringLiteral("Compression");
inline const QString PropertyJPEG2000IsCodestream = QStringLiteral("IsCodestream");

// Source options.
inline const QString SourceTypeIdentifierHint = QStringLiteral("kCGImageSourceTypeIdentifierHint");
inline const QString SourceCreateThumbnailWithTransform =
    QStringLiteral("kCGImageSourceCreateThumbnailWithTransform");
inline const QString SourceThumbnailMaxPixelSize =
    QStringLiteral("kCGImageSourceThumbnailMaxPixelSize");
inline const QString SourceCreateThumbnailFromImageAlways =
    QStringLiteral("kCGImageSourceCreateThumbnailFromImageAlways");

// Destination options, given per image or for the whole file. Quality runs
// from 0.0 (smallest) to 1.0 (lossless where the format can be).
inline const QString DestinationLossyCompressionQuality =
    QStringLiteral("kCGImageDestinationLossyCompressionQuality");
inline const QString DestinationBackgroundColor =
    QStringLiteral("kCGImageDestinationBackgroundColor");
// Tessaly's own: when false, the colour channels are written without alpha
// (the same as giving HasAlpha = false).
inline const QString DestinationKeepAlpha = QStringLiteral("TessalyImageDestinationKeepAlpha");

}  // namespace io
