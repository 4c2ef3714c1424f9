// Files written by the destinations, checked by tools that share no code
// with them: each format's reference utility (or ImageMagick for BMP and
// Targa) must accept the file and report the size and channels written.
#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>
#include <cmath>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace {

struct ReaderCase {
  QString type;
  QString tool;
  QStringList arguments;       // the file's path is appended
  QStringList expectedOutput;  // every line fragment must appear
};

double srgbToLinear(double v) {
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double linearToSrgb(double v) {
  return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

}  // namespace

TEST(IndependentReaders, ImageMagickSeesOpenEXRColoursAsLinearLight) {
  // ImageMagick takes OpenEXR samples as linear light and encodes them with
  // the sRGB curve for 8- and 16-bit output, as every EXR reader would. It
  // takes the colour as unassociated, though, so under partial alpha the
  // premultiplication the file holds is undone here, in linear light.
  const QRgb colours[] = {qRgb(220, 128, 30), qRgb(128, 30, 220), qRgb(30, 220, 128),
                          qRgb(255, 0, 5)};
  QImage source(4, 2, QImage::Format_RGBA8888);
  for (int x = 0; x < 4; ++x) {
    source.setPixelColor(x, 0, QColor::fromRgb(colours[x]));
    QColor half = QColor::fromRgb(colours[x]);
    half.setAlpha(128);
    source.setPixelColor(x, 1, half);
  }
  QString path =
      iotest::writeTemp(iotest::encode(io::TypeOpenEXR, source), "imageio-exr-known-colours.exr");
  QString raw = tst::tempPath("imageio-exr-known-colours.rgba");
  QString output;
  ASSERT_EQ(
      tst::runTool("convert", {path, "-depth", "16", "-endian", "LSB", "rgba:" + raw}, &output), 0)
      << output.toStdString();
  QFile file(raw);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray bytes = file.readAll();
  ASSERT_EQ(bytes.size(), 4 * 2 * 4 * 2);
  auto sample = [&](int i) {
    return qFromLittleEndian<quint16>(bytes.constData() + 2 * i) / 65535.0;
  };
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
      const uchar* expected = source.constScanLine(y) + 4 * x;
      int first = (y * 4 + x) * 4;
      double alpha = sample(first + 3);
      EXPECT_NEAR(alpha * 255, expected[3], 1.0);
      for (int c = 0; c < 3; ++c) {
        double straight = linearToSrgb(srgbToLinear(sample(first + c)) / alpha);
        EXPECT_NEAR(straight * 255, expected[c], 1.0) << "channel " << c;
      }
    }
  }
}

TEST(IndependentReaders, AcceptEveryWrittenFormat) {
  const ReaderCase cases[] = {
      {io::TypePNG, "pngcheck", {"-v"}, {"333 x 77 image, 32-bit RGB+alpha", "No errors detected"}},
      {io::TypeJPEG,
       "djpeg",
       {"-verbose", "-outfile", "/dev/null"},
       {"width=333, height=77, components=3"}},
      {io::TypeTIFF,
       "tiffinfo",
       {},
       {"Image Width: 333 Image Length: 77", "Extra Samples: 1<unassoc-alpha>",
        "Samples/Pixel: 4"}},
      {io::TypeGIF,
       "giftext",
       {},
       {"Screen Size - Width = 333, Height = 77", "Transparency on: yes"}},
      {io::TypeJPEG2000, "opj_dump", {"-i"}, {"x1=333, y1=77", "numcomps=4"}},
      {io::TypeOpenEXR,
       "exrheader",
       {},
       {"dataWindow (type box2i): (0 0) - (332 76)", "A, 16-bit floating-point"}},
      {io::TypePDF, "pdfinfo", {}, {"Pages:           1", "Page size:       333 x 77 pts"}},
      {io::TypeBMP, "identify", {"-format", "%m %w %h %A"}, {"BMP 333 77 True"}},
      {io::TypeTGA, "identify", {"-format", "%m %w %h %A"}, {"TGA 333 77 True"}},
  };
  for (const ReaderCase& c : cases) {
    SCOPED_TRACE(c.type.toStdString());
    ASSERT_TRUE(tst::haveTool(c.tool))
        << c.tool.toStdString() << " is installed by scripts/install-deps";
    QByteArray bytes = iotest::encode(c.type, iotest::testPicture(333, 77, true));
    QString extension = io::TypeIdentifiers::preferredFilenameExtension(c.type);
    QString path =
        iotest::writeTemp(bytes, QStringLiteral("imageio-independent-reader.%1").arg(extension));
    QString output;
    EXPECT_EQ(tst::runTool(c.tool, c.arguments + QStringList{path}, &output), 0)
        << output.toStdString();
    for (const QString& expected : c.expectedOutput)
      EXPECT_TRUE(output.contains(expected)) << "missing \"" << expected.toStdString() << "\" in\n"
                                             << output.toStdString();
  }
}

TEST(IndependentReaders, TiffinfoSeesTheRequestedCompression) {
  struct Case {
    int compression;
    QString scheme;
  };
  const Case cases[] = {{io::TIFFCompressionNone, "None"},
                        {io::TIFFCompressionLZW, "LZW"},
                        {io::TIFFCompressionPackBits, "PackBits"}};
  QImage picture = iotest::testPicture(200, 120, true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scheme.toStdString());
    QVariantMap options{
        {io::PropertyTIFFDictionary, QVariantMap{{io::PropertyTIFFCompression, c.compression}}}};
    QByteArray bytes = iotest::encode(io::TypeTIFF, picture, options);
    QString path =
        iotest::writeTemp(bytes, QStringLiteral("imageio-tiff-%1.tiff").arg(c.scheme.toLower()));
    QString output;
    ASSERT_EQ(tst::runTool("tiffinfo", {path}, &output), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("Compression Scheme: " + c.scheme)) << output.toStdString();

    io::ImageSourcePtr source = io::ImageSource::createWithData(bytes);
    ASSERT_TRUE(source);
    QVariantMap tiff = source->propertiesAtIndex(0).value(io::PropertyTIFFDictionary).toMap();
    EXPECT_EQ(tiff.value(io::PropertyTIFFCompression).toInt(), c.compression);
    iotest::Difference d = iotest::compare(picture, source->createImageAtIndex(0)->qImage());
    EXPECT_EQ(d.maxColor, 0);
    EXPECT_EQ(d.maxAlpha, 0);
  }
}

TEST(IndependentReaders, SeeTheExifWeWrite) {
  // ImageMagick 6 reads EXIF from JPEG only; for PNG, pngcheck validates
  // the eXIf chunk (its contents are checked by our own reader elsewhere).
  const ReaderCase cases[] = {
      {io::TypeJPEG,
       "identify",
       {"-verbose"},
       {"Orientation: LeftBottom", "exif:PixelXDimension: 30", "exif:PixelYDimension: 20"}},
      {io::TypePNG, "pngcheck", {"-v"}, {"chunk eXIf", "No errors detected"}},
  };
  for (const ReaderCase& c : cases) {
    SCOPED_TRACE(c.type.toStdString());
    QByteArray bytes =
        iotest::encode(c.type, iotest::testPicture(30, 20, false), {{io::PropertyOrientation, 8}});
    QString extension = io::TypeIdentifiers::preferredFilenameExtension(c.type);
    QString path = iotest::writeTemp(bytes, "imageio-exif-orientation-8." + extension);
    QString output;
    ASSERT_EQ(tst::runTool(c.tool, c.arguments + QStringList{path}, &output), 0)
        << output.toStdString();
    for (const QString& expected : c.expectedOutput)
      EXPECT_TRUE(output.contains(expected)) << "missing \"" << expected.toStdString() << "\"";
  }
}
