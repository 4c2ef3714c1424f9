// Every writable format, written and read back at three sizes with and
// without alpha, judged by pixels within the format's own precision.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace {

enum class Fidelity { Exact, HalfFloat, Lossy, Palette, Page };

struct FormatCase {
  QString type;
  bool keepsAlpha;
  Fidelity fidelity;
};

const FormatCase kFormats[] = {
    {io::TypePNG, true, Fidelity::Exact},      {io::TypeTIFF, true, Fidelity::Exact},
    {io::TypeBMP, true, Fidelity::Exact},      {io::TypeTGA, true, Fidelity::Exact},
    {io::TypeJPEG2000, true, Fidelity::Exact}, {io::TypeOpenEXR, true, Fidelity::HalfFloat},
    {io::TypeJPEG, false, Fidelity::Lossy},    {io::TypeGIF, true, Fidelity::Palette},
    {io::TypePDF, false, Fidelity::Page},
};

const QSize kSizes[] = {{1, 1}, {1000, 700}, {333, 77}};

// What the file should give back: alpha made binary for GIF, dropped for
// JPEG, the page's white paper showing through for PDF.
QImage expectedFrom(const QImage& source, const FormatCase& format) {
  QImage expected = source.convertToFormat(QImage::Format_RGBA8888);
  if (format.fidelity == Fidelity::Page) return iotest::overWhite(expected);
  for (int y = 0; y < expected.height(); ++y) {
    uchar* row = expected.scanLine(y);
    for (int x = 0; x < expected.width(); ++x) {
      uchar& alpha = row[x * 4 + 3];
      if (format.fidelity == Fidelity::Lossy) alpha = 255;
      if (format.fidelity == Fidelity::Palette) alpha = alpha < 128 ? 0 : 255;
    }
  }
  return expected;
}

void expectClose(const iotest::Difference& d, const FormatCase& format, const QString& label) {
  SCOPED_TRACE(label.toStdString());
  switch (format.fidelity) {
    case Fidelity::Exact:
      EXPECT_EQ(d.maxColor, 0);
      EXPECT_EQ(d.maxAlpha, 0);
      break;
    case Fidelity::HalfFloat:
      EXPECT_LE(d.maxColor, 1);
      EXPECT_LE(d.maxAlpha, 1);
      break;
    case Fidelity::Lossy:
      EXPECT_LT(d.meanColor, 6.0);
      EXPECT_EQ(d.maxAlpha, 0);
      break;
    case Fidelity::Palette:
      EXPECT_LT(d.meanColor, 8.0);
      EXPECT_EQ(d.maxAlpha, 0);
      break;
    case Fidelity::Page:
      // Pages come back rendered by poppler, whose smoothing softens the
      // test picture's hard edges a little even at one pixel per point.
      EXPECT_LT(d.meanColor, 6.0);
      EXPECT_EQ(d.maxAlpha, 0);
      break;
  }
}

}  // namespace

TEST(ImageRoundTrip, EveryFormatEverySizeWithAndWithoutAlpha) {
  for (const FormatCase& format : kFormats) {
    for (QSize size : kSizes) {
      for (bool alpha : {false, true}) {
        QString label = QStringLiteral("%1 %2x%3 %4")
                            .arg(format.type)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(alpha ? "alpha" : "opaque");
        SCOPED_TRACE(label.toStdString());
        QImage source = iotest::testPicture(size.width(), size.height(), alpha);
        QByteArray bytes = iotest::encode(format.type, source);
        ASSERT_FALSE(bytes.isEmpty());
        if (size == QSize(333, 77) && alpha) {
          QString extension = io::TypeIdentifiers::preferredFilenameExtension(format.type);
          tst::saveArtifactData(bytes,
                                QStringLiteral("imageio-roundtrip-333x77-alpha.%1").arg(extension));
        }

        fnd::Error error;
        io::ImageSourcePtr reader = io::ImageSource::createWithData(bytes, {}, &error);
        ASSERT_TRUE(reader) << error.localizedDescription().toStdString();
        EXPECT_EQ(reader->type(), format.type);
        ASSERT_EQ(reader->count(), 1u);
        QVariantMap properties = reader->propertiesAtIndex(0);
        EXPECT_EQ(properties.value(io::PropertyPixelWidth).toInt(), size.width());
        EXPECT_EQ(properties.value(io::PropertyPixelHeight).toInt(), size.height());
        // GIF reports alpha for every file: its frames may leave holes.
        if (format.type != io::TypeGIF) {
          EXPECT_EQ(properties.value(io::PropertyHasAlpha).toBool(), alpha && format.keepsAlpha);
        }

        gfx::CGImagePtr image = reader->createImageAtIndex(0, &error);
        ASSERT_TRUE(image) << error.localizedDescription().toStdString();
        ASSERT_EQ(image->qImage().size(), size);
        expectClose(iotest::compare(expectedFrom(source, format), image->qImage()), format, label);
      }
    }
  }
}

TEST(ImageRoundTrip, DeepFormatsKeepSixteenBitsAndFloats) {
  struct Case {
    QString type;
    bool alpha;
    int maxError;  // in 1/65535
  };
  const Case cases[] = {{io::TypePNG, true, 0},      {io::TypePNG, false, 0},
                        {io::TypeTIFF, true, 0},     {io::TypeTIFF, false, 0},
                        {io::TypeJPEG2000, true, 0}, {io::TypeJPEG2000, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.toStdString() + (c.alpha ? " alpha" : " opaque"));
    QImage source = iotest::deepTestPicture(61, 37, c.alpha);
    gfx::CGImagePtr image = iotest::decode(iotest::encode(c.type, source));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitsPerComponent(), 16u);
    QImage back = image->toFormat(source.format());
    int worst = 0;
    for (int y = 0; y < source.height(); ++y) {
      auto* a = reinterpret_cast<const quint16*>(source.constScanLine(y));
      auto* b = reinterpret_cast<const quint16*>(back.constScanLine(y));
      for (int i = 0; i < source.width() * 4; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    }
    EXPECT_LE(worst, c.maxError);
  }
}

TEST(ImageRoundTrip, FloatValuesSurviveWithinTheirPrecision) {
  // Values outside 0…1 matter for HDR work; half floats hold 11 significant
  // bits, TIFF stores 32-bit floats exactly. OpenEXR holds linear light, so
  // its value is rounded to a half once in the file and once more when read
  // back onto the sRGB curve.
  QImage source(17, 9, QImage::Format_RGBA32FPx4);
  for (int y = 0; y < source.height(); ++y) {
    auto* p = reinterpret_cast<float*>(source.scanLine(y));
    for (int x = 0; x < source.width(); ++x) {
      p[x * 4 + 0] = 0.001f * float(x * y + 1);
      p[x * 4 + 1] = 4.0f + 0.37f * float(x);
      p[x * 4 + 2] = 0.5f / float(y + 1);
      p[x * 4 + 3] = 1.0f;
    }
  }
  struct Case {
    QString type;
    double relativeTolerance;
  };
  for (const Case& c : {Case{io::TypeOpenEXR, 2.0 / 2048}, Case{io::TypeTIFF, 0.0}}) {
    SCOPED_TRACE(c.type.toStdString());
    gfx::CGImagePtr image = iotest::decode(iotest::encode(c.type, source));
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->isFloat());
    QImage back = image->toFormat(QImage::Format_RGBA32FPx4);
    for (int y = 0; y < source.height(); ++y) {
      auto* a = reinterpret_cast<const float*>(source.constScanLine(y));
      auto* b = reinterpret_cast<const float*>(back.constScanLine(y));
      for (int i = 0; i < source.width() * 4; ++i)
        ASSERT_NEAR(b[i], a[i], std::abs(a[i]) * c.relativeTolerance + 1e-7)
            << "sample " << i << " row " << y;
    }
  }
}
