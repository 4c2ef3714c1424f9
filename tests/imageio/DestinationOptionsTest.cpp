// What the destination options do to the written file: quality, DPI,
// orientation, dropping alpha, multi-image files and refusals.
#include <gtest/gtest.h>

#include <QFile>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

TEST(DestinationOptions, LossyQualityChangesSizeAndError) {
  QImage picture = iotest::testPicture(400, 300, false);
  for (const QString& type : {io::TypeJPEG, io::TypeJPEG2000}) {
    SCOPED_TRACE(type.toStdString());
    qsizetype previousSize = 0;
    double previousError = 1e9;
    for (double quality : {0.1, 0.5, 0.9}) {
      QByteArray bytes =
          iotest::encode(type, picture, {{io::DestinationLossyCompressionQuality, quality}});
      gfx::CGImagePtr back = iotest::decode(bytes);
      ASSERT_TRUE(back);
      double error = iotest::compare(picture, back->qImage()).meanColor;
      EXPECT_GT(bytes.size(), previousSize * 1.2) << "quality " << quality;
      EXPECT_LT(error, previousError) << "quality " << quality;
      previousSize = bytes.size();
      previousError = error;
    }
  }
}

TEST(DestinationOptions, DPIAndOrientationAreStoredAndReported) {
  struct Case {
    QString type;
    bool keepsDPI;
    bool keepsOrientation;
  };
  const Case cases[] = {{io::TypePNG, true, true},
                        {io::TypeJPEG, true, true},
                        {io::TypeTIFF, true, true},
                        {io::TypeBMP, true, false},
                        {io::TypeGIF, false, false}};
  QImage picture = iotest::testPicture(30, 20, false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.toStdString());
    QByteArray bytes = iotest::encode(c.type, picture,
                                      {{io::PropertyDPIWidth, 300.0},
                                       {io::PropertyDPIHeight, 150.0},
                                       {io::PropertyOrientation, 6}});
    io::ImageSourcePtr source = io::ImageSource::createWithData(bytes);
    ASSERT_TRUE(source);
    QVariantMap properties = source->propertiesAtIndex(0);
    if (c.keepsDPI) {
      EXPECT_NEAR(properties.value(io::PropertyDPIWidth).toDouble(), 300.0, 0.05);
      EXPECT_NEAR(properties.value(io::PropertyDPIHeight).toDouble(), 150.0, 0.05);
    }
    EXPECT_EQ(properties.value(io::PropertyOrientation).toInt(), c.keepsOrientation ? 6 : 1);
    if (c.type == io::TypeJPEG || c.type == io::TypePNG) {
      QVariantMap exif = properties.value(io::PropertyExifDictionary).toMap();
      EXPECT_EQ(exif.value(io::PropertyExifPixelXDimension).toInt(), 30);
      EXPECT_EQ(exif.value(io::PropertyExifPixelYDimension).toInt(), 20);
      EXPECT_EQ(exif.value(io::PropertyExifColorSpace).toInt(), 1);
    }
    // The stored pixels stay as written: orientation is not applied.
    EXPECT_EQ(source->createImageAtIndex(0)->qImage().size(), QSize(30, 20));
  }
}

TEST(DestinationOptions, ExtremeResolutionsReadBackUnchanged) {
  // Near the most PNG and BMP hold (2³¹ − 1 pixels a metre): reading such
  // a file once overflowed an int while rounding.
  const double dpi = 54000000;
  for (const QString& type : {io::TypePNG, io::TypeBMP}) {
    SCOPED_TRACE(type.toStdString());
    QByteArray bytes =
        iotest::encode(type, iotest::testPicture(4, 4, false), {{io::PropertyDPIWidth, dpi}});
    io::ImageSourcePtr source = io::ImageSource::createWithData(bytes);
    ASSERT_TRUE(source);
    QVariantMap properties = source->propertiesAtIndex(0);
    EXPECT_NEAR(properties.value(io::PropertyDPIWidth).toDouble(), dpi, 0.05);
    EXPECT_NEAR(properties.value(io::PropertyDPIHeight).toDouble(), dpi, 0.05);
  }
}

TEST(DestinationOptions, ThumbnailHonoursMaximumSizeAndTransform) {
  QByteArray bytes = iotest::encode(io::TypeJPEG, iotest::testPicture(800, 200, false),
                                    {{io::PropertyOrientation, 6}});
  io::ImageSourcePtr source = io::ImageSource::createWithData(bytes);
  ASSERT_TRUE(source);
  struct Case {
    int maxSize;
    bool transform;
    QSize expected;
  };
  const Case cases[] = {{100, false, {100, 25}},
                        {100, true, {25, 100}},
                        {0, false, {800, 200}},
                        {5000, true, {200, 800}}};
  for (const Case& c : cases) {
    QVariantMap options{{io::SourceThumbnailMaxPixelSize, c.maxSize},
                        {io::SourceCreateThumbnailWithTransform, c.transform}};
    gfx::CGImagePtr thumbnail = source->createThumbnailAtIndex(0, options);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->qImage().size(), c.expected)
        << c.maxSize << (c.transform ? " upright" : "");
  }
}

TEST(DestinationOptions, DroppingAlphaWritesOpaqueFiles) {
  QImage picture = iotest::testPicture(40, 30, true);
  for (const QString& type :
       {io::TypePNG, io::TypeTIFF, io::TypeBMP, io::TypeTGA, io::TypeOpenEXR, io::TypeJPEG2000}) {
    SCOPED_TRACE(type.toStdString());
    for (const QVariantMap& options : {QVariantMap{{io::PropertyHasAlpha, false}},
                                       QVariantMap{{io::DestinationKeepAlpha, false}}}) {
      io::ImageSourcePtr source =
          io::ImageSource::createWithData(iotest::encode(type, picture, options));
      ASSERT_TRUE(source);
      EXPECT_FALSE(source->propertiesAtIndex(0).value(io::PropertyHasAlpha).toBool());
      EXPECT_FALSE(source->createImageAtIndex(0)->hasAlpha());
    }
  }
}

TEST(DestinationOptions, MultiImageFilesKeepEveryImage) {
  const QSize sizes[] = {{40, 30}, {17, 50}, {64, 8}};
  for (const QString& type : {io::TypeTIFF, io::TypeGIF, io::TypePDF}) {
    SCOPED_TRACE(type.toStdString());
    QByteArray bytes;
    io::ImageDestinationPtr destination = io::ImageDestination::createWithData(&bytes, type, 3);
    ASSERT_TRUE(destination);
    destination->setProperties(
        {{io::PropertyGIFDictionary, QVariantMap{{io::PropertyGIFLoopCount, 3}}}});
    for (int i = 0; i < 3; ++i)
      destination->addImage(
          gfx::CGImage::make(iotest::testPicture(sizes[i].width(), sizes[i].height(), false)),
          {{io::PropertyGIFDictionary, QVariantMap{{io::PropertyGIFDelayTime, 0.25 * (i + 1)}}}});
    fnd::Error error;
    ASSERT_TRUE(destination->finalize(&error)) << error.localizedDescription().toStdString();
    tst::saveArtifactData(
        bytes, "imageio-three-images." + io::TypeIdentifiers::preferredFilenameExtension(type));

    io::ImageSourcePtr source = io::ImageSource::createWithData(bytes);
    ASSERT_TRUE(source);
    ASSERT_EQ(source->count(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      gfx::CGImagePtr image = source->createImageAtIndex(i, &error);
      ASSERT_TRUE(image) << error.localizedDescription().toStdString();
      // A GIF's frames share the logical screen, the largest frame's size.
      QSize expected = type == io::TypeGIF ? QSize(64, 50) : sizes[i];
      EXPECT_EQ(image->qImage().size(), expected) << "image " << i;
      if (type == io::TypeGIF) {
        QVariantMap gif = source->propertiesAtIndex(i).value(io::PropertyGIFDictionary).toMap();
        EXPECT_DOUBLE_EQ(gif.value(io::PropertyGIFDelayTime).toDouble(), 0.25 * double(i + 1));
      }
    }
    EXPECT_FALSE(source->createImageAtIndex(3, &error));
    if (type == io::TypeGIF) {
      QVariantMap gif = source->properties().value(io::PropertyGIFDictionary).toMap();
      EXPECT_EQ(gif.value(io::PropertyGIFLoopCount).toInt(), 3);
    }
  }
}

TEST(DestinationOptions, RefusesWhatTheFormatCannotHold) {
  fnd::Error error;
  QByteArray bytes;
  EXPECT_FALSE(io::ImageDestination::createWithData(&bytes, io::TypePNG, 2, {}, &error));
  EXPECT_EQ(error.code(), fnd::FileWriteUnknownError);
  EXPECT_FALSE(io::ImageDestination::createWithData(&bytes, io::TypePhotoshop, 1, {}, &error));
  EXPECT_FALSE(io::ImageDestination::createWithData(&bytes, "public.nothing", 1, {}, &error));

  io::ImageDestinationPtr destination =
      io::ImageDestination::createWithData(&bytes, io::TypeTIFF, 2);
  ASSERT_TRUE(destination);
  destination->addImage(gfx::CGImage::make(iotest::testPicture(4, 4, false)));
  EXPECT_FALSE(destination->finalize(&error));  // one image short
  EXPECT_TRUE(bytes.isEmpty());
}

TEST(DestinationOptions, FailedWriteLeavesTheOldFile) {
  QString path = tst::tempPath("kept.tiff");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("old contents");
  file.close();
  io::ImageDestinationPtr destination =
      io::ImageDestination::createWithURL(QUrl::fromLocalFile(path), io::TypeTIFF, 1);
  ASSERT_TRUE(destination);
  destination->addImage(
      gfx::CGImage::make(iotest::testPicture(4, 4, false)),
      {{io::PropertyTIFFDictionary, QVariantMap{{io::PropertyTIFFCompression, 99}}}});
  fnd::Error error;
  EXPECT_FALSE(destination->finalize(&error));
  EXPECT_TRUE(error.localizedDescription().contains("compression 99"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("old contents"));
}
