// Each writer states which properties its files keep; what it states must
// read back, and camera fields must be visible to an independent reader.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"

namespace {

// Properties a camera JPEG could carry, with a value for every key any
// writer states it keeps.
QVariantMap cameraProperties() {
  return {{io::PropertyDPIWidth, 300.0},
          {io::PropertyDPIHeight, 300.0},
          {io::PropertyOrientation, 6},
          {io::PropertyTIFFDictionary, QVariantMap{{"Make", "Brenwick Optics"},
                                                   {"Model", "BX-100"},
                                                   {"Software", "Firmware 1.2"},
                                                   {"DateTime", "2024:05:06 07:08:09"},
                                                   {"Artist", "A. Photographer"},
                                                   {"Copyright", "(c) A. Photographer"},
                                                   {"ImageDescription", "A test card"},
                                                   {io::PropertyTIFFCompression, 5}}},
          {io::PropertyExifDictionary, QVariantMap{{"ExposureTime", 0.004},
                                                   {"FNumber", 2.8},
                                                   {"ISOSpeedRatings", QVariantList{400}},
                                                   {"DateTimeOriginal", "2024:05:06 07:08:09"},
                                                   {"DateTimeDigitized", "2024:05:06 07:08:10"},
                                                   {"FocalLength", 35.0},
                                                   {"BodySerialNumber", "SN123"},
                                                   {"LensMake", "Brenwick"},
                                                   {"LensModel", "35mm f/2.8"}}},
          {io::PropertyGIFDictionary, QVariantMap{{"DelayTime", 0.5}, {"LoopCount", 2}}}};
}

QVariant valueAt(const QVariantMap& properties, const QString& key) {
  int dot = key.indexOf('.');
  if (dot < 0) return properties.value(key);
  return properties.value(key.left(dot)).toMap().value(key.mid(dot + 1));
}

bool sameValue(const QVariant& expected, const QVariant& actual) {
  if (expected.metaType().id() == QMetaType::QVariantList)
    return sameValue(expected.toList().first(), actual);
  if (expected.metaType().id() == QMetaType::QString) return expected == actual.toString();
  return std::abs(expected.toDouble() - actual.toDouble()) <
         1e-3 * (1 + std::abs(expected.toDouble()));
}

}  // namespace

TEST(EmbeddedProperties, EveryStatedPropertyReadsBack) {
  // Keys that steer the encoding but that no file records as such.
  const QStringList notRecorded{io::DestinationLossyCompressionQuality, io::PropertyHasAlpha};
  const QVariantMap given = cameraProperties();
  QImage picture = iotest::testPicture(24, 16, false);
  for (const QString& type : io::ImageDestination::typeIdentifiers()) {
    SCOPED_TRACE(type.toStdString());
    const QStringList stated = io::ImageDestination::embeddedProperties(type);
    QByteArray bytes = iotest::encode(type, picture, given);
    io::ImageSourcePtr source = io::ImageSource::createWithData(bytes);
    ASSERT_TRUE(source);
    QVariantMap read = source->propertiesAtIndex(0);
    read.insert(source->properties());
    for (const QString& key : stated) {
      if (notRecorded.contains(key)) continue;
      EXPECT_TRUE(sameValue(valueAt(given, key), valueAt(read, key)))
          << key.toStdString() << " reads back as " << valueAt(read, key).toString().toStdString();
    }
  }
}

TEST(EmbeddedProperties, CameraFieldsWithoutOrientationReachAnIndependentReader) {
  if (!tst::haveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  QVariantMap properties = cameraProperties();
  properties.remove(io::PropertyOrientation);
  for (const QString& type : {io::TypeJPEG, io::TypePNG, io::TypeTIFF}) {
    SCOPED_TRACE(type.toStdString());
    QByteArray bytes = iotest::encode(type, iotest::testPicture(24, 16, false), properties);
    QString path = iotest::writeTemp(
        bytes, "imageio-camera-fields." + io::TypeIdentifiers::preferredFilenameExtension(type));
    QString output;
    ASSERT_EQ(tst::runTool("exiftool", {"-s", "-n", path}, &output), 0) << output.toStdString();
    for (const char* expected : {"Make                            : Brenwick Optics",
                                 "Model                           : BX-100",
                                 "Artist                          : A. Photographer"})
      EXPECT_TRUE(output.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << output.toStdString();
    if (type != io::TypeTIFF) {
      EXPECT_TRUE(output.contains("FNumber                         : 2.8"));
      EXPECT_TRUE(output.contains("ExposureTime                    : 0.004"));
      EXPECT_TRUE(output.contains("LensModel                       : 35mm f/2.8"));
    }
    EXPECT_FALSE(output.contains("Orientation")) << output.toStdString();
  }
}
