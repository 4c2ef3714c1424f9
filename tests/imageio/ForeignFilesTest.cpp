// Files written by other programs, in the variants our own writers never
// produce (progressive and CMYK JPEG, palette and interlaced PNG, tiled and
// 1-bit TIFF, palette BMP, RLE Targa, interlaced GIF), decoded and compared
// with ImageMagick's own decoding of the same file.
#include <gtest/gtest.h>

#include <QFile>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

TEST(ForeignFiles, DecodeLikeAnIndependentDecoder) {
  ASSERT_TRUE(tst::haveTool("convert"));
  struct Case {
    const char* name;
    QStringList options;  // between the generated picture and the output
    QString type;
    double meanTolerance;
  };
  const Case cases[] = {
      {"progressive.jpg", {"-interlace", "JPEG", "-quality", "90"}, io::TypeJPEG, 0.5},
      {"cmyk.jpg", {"-colorspace", "CMYK", "-quality", "95"}, io::TypeJPEG, 3.0},
      {"gray.jpg", {"-colorspace", "Gray"}, io::TypeJPEG, 0.5},
      {"palette.png", {"-colors", "16", "PNG8:"}, io::TypePNG, 0},
      {"interlaced.png", {"-interlace", "PNG"}, io::TypePNG, 0},
      {"gray16.png", {"-colorspace", "Gray", "-depth", "16"}, io::TypePNG, 0},
      {"tiled-lzw.tif",
       {"-compress", "LZW", "-define", "tiff:tile-geometry=16x16"},
       io::TypeTIFF,
       0},
      {"bilevel.tif", {"-monochrome", "-compress", "Group4"}, io::TypeTIFF, 0},
      {"ycbcr-jpeg.tif", {"-compress", "JPEG"}, io::TypeTIFF, 3.0},
      {"planar.tif", {"-interlace", "Plane"}, io::TypeTIFF, 0},
      {"palette.bmp", {"-colors", "16", "-type", "Palette", "BMP3:"}, io::TypeBMP, 0},
      // ImageMagick keeps a bottom-up Targa's rows in file order and calls
      // that an orientation; a top-down file is the same to both readers.
      {"rle.tga", {"-orient", "TopLeft", "-compress", "RLE"}, io::TypeTGA, 0},
      {"interlaced.gif", {"-interlace", "GIF"}, io::TypeGIF, 0},
      {"composite.psd", {}, io::TypePhotoshop, 0},
  };
  const QSize size(45, 31);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QString path = tst::tempPath(c.name);
    QStringList arguments{"-size",   "45x31", "gradient:#c03010-#20a0f0", "-fill",
                          "#208020", "-draw", "rectangle 5,5 20,15"};
    QStringList options = c.options;
    QString prefix =
        options.isEmpty() || !options.last().endsWith(':') ? QString() : options.takeLast();
    QString output;
    ASSERT_EQ(tst::runTool("convert", arguments + options + QStringList{prefix + path}, &output), 0)
        << output.toStdString();
    tst::saveArtifact(path, QStringLiteral("imageio-foreign-%1").arg(c.name));

    fnd::Error error;
    io::ImageSourcePtr source =
        io::ImageSource::createWithURL(QUrl::fromLocalFile(path), {}, &error);
    ASSERT_TRUE(source) << error.localizedDescription().toStdString();
    EXPECT_EQ(source->type(), c.type);
    gfx::CGImagePtr image = source->createImageAtIndex(0, &error);
    ASSERT_TRUE(image) << error.localizedDescription().toStdString();
    ASSERT_EQ(image->qImage().size(), size);
    iotest::Difference d = iotest::compare(iotest::referenceDecoding(path, size), image->qImage());
    // Sources ImageMagick made at 16 bits are rounded to 8 differently by
    // the two sides, hence one level everywhere.
    EXPECT_LE(d.meanColor, c.meanTolerance + 0.6);
    if (c.meanTolerance == 0) {
      EXPECT_LE(d.maxColor, 1);
    }
    EXPECT_EQ(d.maxAlpha, 0);
  }
}

namespace {

// The level of the first pixel's red of an OpenEXR file as an independent
// reader puts it on the sRGB curve for 8-bit output; -1 when it fails.
int imageMagickLevel(const QString& path) {
  QString raw = tst::tempPath("exr-level.rgb"), output;
  if (tst::runTool("convert", {path, "-depth", "8", "rgb:" + raw}, &output) != 0) {
    ADD_FAILURE() << output.toStdString();
    return -1;
  }
  QFile file(raw);
  const QByteArray first = file.open(QIODevice::ReadOnly) ? file.read(1) : QByteArray();
  return first.isEmpty() ? -1 : uchar(first[0]);
}

int vipsLevel(const QString& path) {
  QString converted = tst::tempPath("exr-level.v"), output;
  if (tst::runTool("vips", {"colourspace", path, converted, "srgb"}, &output) != 0 ||
      tst::runTool("vips", {"getpoint", converted, "0", "0"}, &output) != 0) {
    ADD_FAILURE() << output.toStdString();
    return -1;
  }
  return qRound(output.split(' ', Qt::SkipEmptyParts).value(0).toDouble());
}

// Our level of a file's pixel (5, 5), decoded in full and reduced for a
// thumbnail; both must agree.
int ourLevel(const QString& path) {
  io::ImageSourcePtr source = io::ImageSource::createWithURL(QUrl::fromLocalFile(path));
  gfx::CGImagePtr full = source ? source->createImageAtIndex(0) : nullptr;
  gfx::CGImagePtr reduced =
      source ? source->createThumbnailAtIndex(0, {{io::SourceThumbnailMaxPixelSize, 16}}) : nullptr;
  if (!full || !reduced || reduced->qImage().width() != 16) {
    ADD_FAILURE() << "no full and reduced decoding of " << path.toStdString();
    return -1;
  }
  const int level = full->toFormat(QImage::Format_RGBA8888).pixelColor(5, 5).red();
  EXPECT_NEAR(reduced->toFormat(QImage::Format_RGBA8888).pixelColor(5, 5).red(), level, 1);
  return level;
}

}  // namespace

TEST(ForeignFiles, OpenEXRGreysKeepTheirLevelBothWays) {
  // OpenEXR files hold linear light: ImageMagick and libvips both read them
  // so. libvips is exact; ImageMagick reads dark linear samples low (level
  // 30 as 28, 10 as 0), so it is asked about the lighter greys only.
  ASSERT_TRUE(tst::haveTool("convert"));
  ASSERT_TRUE(tst::haveTool("vips"));
  for (int level : {10, 30, 127, 200}) {
    SCOPED_TRACE("level " + std::to_string(level));
    // Theirs in ours. ImageMagick writes the samples it holds as they
    // stand, so its sRGB grey is made linear first.
    QString theirs = tst::tempPath("their-grey.exr"), output;
    const QString colour = QStringLiteral("xc:rgb(%1,%1,%1)").arg(level);
    ASSERT_EQ(
        tst::runTool("convert", {"-size", "64x64", colour, "-colorspace", "RGB", theirs}, &output),
        0)
        << output.toStdString();
    EXPECT_NEAR(vipsLevel(theirs), level, 1);
    EXPECT_NEAR(ourLevel(theirs), level, 1);

    // Ours in theirs.
    QImage grey(64, 64, QImage::Format_RGBX8888);
    grey.fill(QColor(level, level, level));
    QString ours = iotest::writeTemp(iotest::encode(io::TypeOpenEXR, grey), "imageio-grey.exr");
    EXPECT_NEAR(vipsLevel(ours), level, 1);
    if (level >= 64) {
      EXPECT_NEAR(imageMagickLevel(ours), level, 1);
    }
    EXPECT_NEAR(ourLevel(ours), level, 1);
  }
  // Mid-grey samples written as they stand are linear 0.498: lighter, the
  // same to all three readers.
  QString asTheyStand = tst::tempPath("grey-as-it-stands.exr"), output;
  ASSERT_EQ(
      tst::runTool("convert", {"-size", "64x64", "xc:rgb(127,127,127)", asTheyStand}, &output), 0);
  EXPECT_NEAR(imageMagickLevel(asTheyStand), 187, 1);
  EXPECT_NEAR(vipsLevel(asTheyStand), 187, 1);
  EXPECT_NEAR(ourLevel(asTheyStand), 187, 1);
}

TEST(ForeignFiles, ReadOnlyFormatsOpen) {
  // Radiance RGBE: mantissas 128, 64, 32 with exponent 129 are 1, 0.5, 0.25.
  QByteArray hdr("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 3\n");
  for (int i = 0; i < 6; ++i) hdr += QByteArray("\x80\x40\x20\x81", 4);
  // 16-bit PPM, big-endian samples.
  QByteArray ppm("P6\n2 1\n65535\n");
  ppm += QByteArray("\x12\x34\xab\xcd\xff\xff\x00\x01\x00\x00\x80\x00", 12);

  io::ImageSourcePtr source = io::ImageSource::createWithData(hdr);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), io::TypeRadianceHDR);
  gfx::CGImagePtr image = source->createImageAtIndex(0);
  ASSERT_TRUE(image);
  ASSERT_TRUE(image->isFloat());
  QImage floatPixels = image->toFormat(QImage::Format_RGBA32FPx4);
  auto* floats = reinterpret_cast<const float*>(floatPixels.constScanLine(1));
  EXPECT_FLOAT_EQ(floats[8], 1.0f);
  EXPECT_FLOAT_EQ(floats[9], 0.5f);
  EXPECT_FLOAT_EQ(floats[10], 0.25f);

  source = io::ImageSource::createWithData(ppm);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), io::TypePBM);
  EXPECT_EQ(source->propertiesAtIndex(0).value(io::PropertyDepth).toInt(), 16);
  image = source->createImageAtIndex(0);
  ASSERT_TRUE(image);
  QImage deepPixels = image->toFormat(QImage::Format_RGBX64);
  auto* samples = reinterpret_cast<const quint16*>(deepPixels.constScanLine(0));
  EXPECT_EQ(samples[0], 0x1234);
  EXPECT_EQ(samples[1], 0xabcd);
  EXPECT_EQ(samples[4], 0x0001);
  EXPECT_EQ(samples[6], 0x8000);
}
