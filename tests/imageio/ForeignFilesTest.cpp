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
