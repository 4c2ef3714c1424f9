// Opening files: type identifiers, choosing the codec, PDF pages, errors
// for files that are missing or of no known type.
#include <gtest/gtest.h>

#include <QFile>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

TEST(TypeIdentifiers, NamesExtensionsAndLists) {
  struct Case {
    QString type;
    QString extension;
    QString description;
    QString mime;
  };
  const Case cases[] = {
      {io::TypePNG, "png", "PNG image", "image/png"},
      {io::TypeJPEG, "jpeg", "JPEG image", "image/jpeg"},
      {io::TypeTIFF, "tiff", "TIFF image", "image/tiff"},
      {io::TypeBMP, "bmp", "Windows bitmap image", "image/bmp"},
      {io::TypeGIF, "gif", "GIF image", "image/gif"},
      {io::TypeTGA, "tga", "Targa image", "image/x-tga"},
      {io::TypeJPEG2000, "jp2", "JPEG 2000 image", "image/jp2"},
      {io::TypeOpenEXR, "exr", "OpenEXR image", "image/x-exr"},
      {io::TypePDF, "pdf", "PDF document", "application/pdf"},
  };
  QStringList writable = io::ImageDestination::typeIdentifiers();
  QStringList readable = io::ImageSource::typeIdentifiers();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.toStdString());
    EXPECT_EQ(io::TypeIdentifiers::preferredFilenameExtension(c.type), c.extension);
    EXPECT_EQ(io::TypeIdentifiers::typeForFilenameExtension("." + c.extension.toUpper()), c.type);
    EXPECT_EQ(io::TypeIdentifiers::localizedDescription(c.type), c.description);
    EXPECT_EQ(io::TypeIdentifiers::typeForMIMEType(c.mime), c.type);
    EXPECT_TRUE(writable.contains(c.type));
    EXPECT_TRUE(readable.contains(c.type));
  }
  EXPECT_EQ(writable.size(), 9);
  for (const QString& readOnly : {io::TypePhotoshop, io::TypeRadianceHDR, io::TypePBM}) {
    EXPECT_TRUE(readable.contains(readOnly));
    EXPECT_FALSE(writable.contains(readOnly));
  }
  EXPECT_EQ(io::TypeIdentifiers::typeForFilenameExtension("jpg"), io::TypeJPEG);
  EXPECT_TRUE(io::TypeIdentifiers::typeForFilenameExtension("docx").isEmpty());
}

TEST(ImageSource, ContentDecidesTheTypeAndTheExtensionHelpsTarga) {
  QImage picture = iotest::testPicture(12, 9, true);
  // A PNG named .jpg is still a PNG.
  QString misnamed =
      iotest::writeTemp(iotest::encode(io::TypePNG, picture), "imageio-png-named.jpg");
  fnd::Error error;
  io::ImageSourcePtr source =
      io::ImageSource::createWithURL(QUrl::fromLocalFile(misnamed), {}, &error);
  ASSERT_TRUE(source) << error.localizedDescription().toStdString();
  EXPECT_EQ(source->type(), io::TypePNG);

  QByteArray targa = iotest::encode(io::TypeTGA, picture);
  source = io::ImageSource::createWithData(targa, {}, &error);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), io::TypeTGA);
  source = io::ImageSource::createWithURL(
      QUrl::fromLocalFile(iotest::writeTemp(targa, "imageio-hint.tga")));
  ASSERT_TRUE(source);
  EXPECT_EQ(iotest::compare(picture, source->createImageAtIndex(0)->qImage()).maxColor, 0);
}

TEST(ImageSource, ReportsWhyAFileCannotBeOpened) {
  struct Case {
    const char* name;
    QByteArray bytes;  // null: the file does not exist
    int code;
  };
  const Case cases[] = {
      {"missing.png", QByteArray(), fnd::FileReadNoSuchFileError},
      {"empty.png", QByteArray(""), fnd::FileReadCorruptFileError},
      {"words.txt", QByteArray("just some words, no picture"), fnd::FileReadCorruptFileError},
      {"words.png", QByteArray("just some words, no picture"), fnd::FileReadCorruptFileError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QString path = tst::tempPath(c.name);
    if (!c.bytes.isNull()) {
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(c.bytes);
    }
    fnd::Error error;
    EXPECT_FALSE(io::ImageSource::createWithURL(QUrl::fromLocalFile(path), {}, &error));
    EXPECT_EQ(error.code(), c.code);
    EXPECT_FALSE(error.localizedDescription().isEmpty());
  }
}

TEST(ImageSource, MultiPagePDFOpensWithPageSelection) {
  QByteArray pdf;
  io::ImageDestinationPtr destination = io::ImageDestination::createWithData(&pdf, io::TypePDF, 2);
  ASSERT_TRUE(destination);
  QImage red(144, 72, QImage::Format_RGBX8888), blue(100, 300, QImage::Format_RGBX8888);
  red.fill(Qt::red);
  blue.fill(Qt::blue);
  // At 144 DPI the red image makes a 72 × 36 pt page.
  destination->addImage(gfx::CGImage::make(red), {{io::PropertyDPIWidth, 144.0}});
  destination->addImage(gfx::CGImage::make(blue));
  ASSERT_TRUE(destination->finalize());
  tst::saveArtifactData(pdf, "imageio-two-pages.pdf");

  io::ImageSourcePtr source = io::ImageSource::createWithData(pdf);
  ASSERT_TRUE(source);
  ASSERT_EQ(source->count(), 2u);
  EXPECT_EQ(source->propertiesAtIndex(0).value(io::PropertyPixelWidth).toInt(), 72);
  EXPECT_EQ(source->propertiesAtIndex(1).value(io::PropertyPixelHeight).toInt(), 300);
  QImage second = source->createImageAtIndex(1)->qImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(second.pixel(50, 150), qRgb(0, 0, 255));

  gfx::PDFImageRepPtr rep = source->pdfImageRep();
  ASSERT_TRUE(rep);
  EXPECT_EQ(rep->pageCount(), 2);
  rep->setCurrentPage(1);
  EXPECT_EQ(rep->bounds().size(), QSizeF(100, 300));
  QImage page = rep->renderPage(10, 30)->qImage().convertToFormat(QImage::Format_RGB32);
  QRgb middle = page.pixel(5, 15);
  EXPECT_LE(qRed(middle), 1);
  EXPECT_GE(qBlue(middle), 254);

  io::ImageSourcePtr png = io::ImageSource::createWithData(iotest::encode(io::TypePNG, red));
  fnd::Error error;
  EXPECT_FALSE(png->pdfImageRep(&error));
}
