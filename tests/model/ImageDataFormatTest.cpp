#include <gtest/gtest.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <random>

#include "ModelImageTestHelpers.h"
#include "TestSupport.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/PDFImageRep.h"
#include "model/IMImagesUtilities.h"
#include "model/ImageDataArchive.h"
#include "model/PDFImageCoding.h"

namespace {

gfx::ImagePtr patternImage(int w, int h) {
  QImage pixels(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pixels.setPixelColor(
          x, y, QColor(x * 7 % 256, y * 13 % 256, (x + y) % 256, (x * y) % 2 ? 255 : 90));
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// A PDF whose pages have different sizes, so the page shown can be told
// from the size alone.
QByteArray threePagePDF() {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(72);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setPageSize(QPageSize(QSizeF(100, 100), QPageSize::Point));
  QPainter painter(&writer);
  const int sides[] = {100, 150, 200};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      writer.setPageSize(QPageSize(QSizeF(sides[i], sides[i]), QPageSize::Point));
      writer.newPage();
    }
    painter.fillRect(QRect(0, 0, sides[i], sides[i]), QColor(i == 1 ? Qt::green : Qt::red));
  }
  painter.end();
  return bytes;
}

// The "$top" keys of a keyed archive, read by Python's own property-list
// reader so the blob is checked by something other than our archiver.
QStringList topKeysByPython(const QByteArray& blob) {
  const QString path = mht::writeTemp(blob, "blob.plist");
  QString output;
  const int code = tst::runTool("python3",
                                {"-c",
                                 "import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb')); "
                                 "print(d['$archiver'], ','.join(sorted(d['$top'].keys())))",
                                 path},
                                &output);
  if (code != 0) return {QStringLiteral("python failed: ") + output};
  return output.trimmed().split(' ');
}

QByteArray tiffOf(const QByteArray& blob) {
  auto coder = fnd::KeyedUnarchiver::create(blob);
  return coder ? coder->decodeDataForKey("tiffImage") : QByteArray();
}

TEST(ImageDataFormatTest, BitmapRoundTripKeepsEveryPixel) {
  const gfx::ImagePtr original = patternImage(37, 21);
  const QByteArray blob = ima_produceImageData(original);
  ASSERT_TRUE(blob.startsWith("bplist00"));
  tst::saveArtifactData(blob, "model-image-data-bitmap.plist");

  fnd::Error error;
  gfx::ImagePtr decoded = ima_imageWithImageData(blob, &error);
  ASSERT_TRUE(decoded) << error.localizedDescription().toStdString();
  EXPECT_EQ(decoded->size(), QSizeF(37, 21));
  const QImage before = mht::pixelsOf(original), after = mht::pixelsOf(decoded);
  ASSERT_EQ(after.size(), before.size());
  int worst = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 37; ++x) {
      const QColor a = before.pixelColor(x, y), b = after.pixelColor(x, y);
      worst = std::max({worst, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                        std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha())});
    }
  // Premultiplied storage may round a step at alpha 90.
  EXPECT_LE(worst, 2);

  if (tst::haveTool("python3")) {
    EXPECT_EQ(topKeysByPython(blob), (QStringList{"NSKeyedArchiver", "tiffImage"}));
  }
  const QByteArray tiff = tiffOf(blob);
  ASSERT_FALSE(tiff.isEmpty());
  tst::saveArtifactData(tiff, "model-image-data-bitmap.tiff");
  if (tst::haveTool("tiffinfo")) {
    const QString path = mht::writeTemp(tiff, "blob.tiff");
    QString info;
    ASSERT_EQ(tst::runTool("tiffinfo", {path}, &info), 0) << info.toStdString();
    EXPECT_TRUE(info.contains("Image Width: 37 Image Length: 21")) << info.toStdString();
    EXPECT_TRUE(info.contains("Compression Scheme: LZW")) << info.toStdString();
  }
}

TEST(ImageDataFormatTest, PixelBlobsAreTheGeneralArchiveReadInPlaceOnlyInTheirOwnLayout) {
  const gfx::ImagePtr original = patternImage(300, 200);
  const QByteArray blob = ima_produceImageData(original);
  const QByteArray tiff = tiffOf(blob);
  ASSERT_FALSE(tiff.isEmpty());
  // The general archiver's blob of the same TIFF is the same property list
  // to Python, though laid out otherwise.
  fnd::KeyedArchiver archiver;
  archiver.encodeData(tiff, "tiffImage");
  const QByteArray general = archiver.encodedData();
  ASSERT_NE(general, blob);
  if (tst::haveTool("python3")) {
    QString output;
    EXPECT_EQ(tst::runTool(
                  "python3",
                  {"-c",
                   "import plistlib,sys; a,b=[plistlib.load(open(p,'rb')) for p in "
                   "sys.argv[1:]]; print(a==b)",
                   mht::writeTemp(blob, "direct.plist"), mht::writeTemp(general, "general.plist")},
                  &output),
              0);
    EXPECT_EQ(output.trimmed(), "True") << output.toStdString();
  }
  // The TIFF is read where it lies in our own layout, and only there.
  const QByteArray inPlace = ImageDataArchive::tiffIn(blob);
  EXPECT_EQ(inPlace, tiff);
  EXPECT_TRUE(inPlace.constData() >= blob.constData() &&
              inPlace.constData() < blob.constData() + blob.size());
  EXPECT_TRUE(ImageDataArchive::tiffIn(general).isNull());
  QByteArray renamed = blob;
  renamed.replace(renamed.lastIndexOf("tiffImage"), 9, "tiffImagf");
  EXPECT_TRUE(ImageDataArchive::tiffIn(renamed).isNull());
  EXPECT_TRUE(ImageDataArchive::tiffIn(blob.left(blob.size() - 1)).isNull());

  const gfx::ImagePtr direct = ima_imageWithImageData(blob);
  const gfx::ImagePtr throughArchiver = ima_imageWithImageData(general);
  ASSERT_TRUE(direct && throughArchiver);
  EXPECT_EQ(mht::pixelsOf(direct), mht::pixelsOf(throughArchiver));
  // Decoded in the layout drawing samples, the premultiplied pixels the
  // layer held, exactly.
  const gfx::CGImagePtr decoded = ima_bitmapRepresentation(direct)->cgImage();
  EXPECT_EQ(decoded->qImage().format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_TRUE(decoded->qImage() ==
              mht::pixelsOf(original).convertToFormat(QImage::Format_ARGB32_Premultiplied));
  fnd::Error error;
  EXPECT_FALSE(ima_imageWithImageData(renamed, &error));
  EXPECT_FALSE(error.isNull());
}

// Layers stored today are the same bytes from run to run: cache files are
// compared by content, and documents are diffed by their owners. Layers
// stored before their TIFF had the horizontal predictor (the same LZW
// strips without it, rewritten here by libtiff's own tiffcp) still read
// back as the same pixels. The images cover the strip writer's cases:
// several strips, three and four samples, 16 bits, and noise the LZW
// coding makes larger than the pixels.
TEST(ImageDataFormatTest, StoredBytesStayTheSame) {
  QImage opaque(520, 300, QImage::Format_RGB32);
  QImage deep(130, 260, QImage::Format_RGBA64);
  QImage noise(400, 290, QImage::Format_ARGB32_Premultiplied);
  std::mt19937 random(11);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 520; ++x) {
      opaque.setPixel(x, y, qRgb(x / 3, y % 200, (x * y) % 97));
      if (x < 130 && y < 260)
        deep.setPixelColor(x, y,
                           QColor::fromRgba64(quint16(x * 500), quint16(y * 250), quint16(x * y),
                                              quint16(65535 - x * 97)));
      if (x < 400 && y < 290) noise.setPixel(x, y, qPremultiply(quint32(random())));
    }
  const auto image = [](const QImage& pixels) {
    return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
  };
  const struct {
    const char* name;
    gfx::ImagePtr image;
    const char* sha256;
  } cases[] = {
      {"pattern", patternImage(300, 700),
       "694f4ee0b4337c8af66a8df2a8a6696882542e956eb721a9e7729a288723cb85"},
      {"opaque", image(opaque), "46a82761a429a659e59d1c273464ad6962226cdc1a57cd3fa4dfbd400854a608"},
      {"deep", image(deep), "4ec08c8da3bf529a2075a9759793d42553457acdd24b9b25867fa3424065c9d1"},
      {"noise", image(noise), "178c9ef3aa7f92d984677daa6c37ceee9e31975b122386017b75883a7cce39ed"},
  };
  for (const auto& c : cases) {
    const QByteArray blob = ima_produceImageData(c.image);
    const QByteArray tiff = ima_bitmapRepresentation(c.image)->TIFFRepresentationUsingCompression(
        gfx::TIFFCompression::LZW, 1.0f);
    EXPECT_EQ(QCryptographicHash::hash(blob, QCryptographicHash::Sha256).toHex().toStdString(),
              c.sha256)
        << c.name;
    EXPECT_EQ(ImageDataArchive::tiffIn(blob), tiff) << c.name;
    if (!tst::haveTool("tiffcp")) continue;
    const QString folder = QDir::tempPath();
    const QString now = folder + QStringLiteral("/image-data-now-%1.tif").arg(c.name);
    const QString before = folder + QStringLiteral("/image-data-before-%1.tif").arg(c.name);
    QFile out(now);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(tiff) == tiff.size());
    out.close();
    ASSERT_EQ(tst::runTool("tiffcp", {"-c", "lzw:1", now, before}), 0) << c.name;
    QFile older(before);
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    fnd::KeyedArchiver archiver;
    archiver.encodeData(older.readAll(), "tiffImage");
    const gfx::ImagePtr fromOlder = ima_imageWithImageData(archiver.encodedData());
    ASSERT_TRUE(fromOlder) << c.name;
    EXPECT_TRUE(mht::pixelsOf(fromOlder) == mht::pixelsOf(ima_imageWithImageData(blob))) << c.name;
    QFile::remove(now);
    QFile::remove(before);
  }
}

TEST(ImageDataFormatTest, PDFImageRoundTripKeepsItsPage) {
  const QByteArray pdf = threePagePDF();
  gfx::ImagePtr image = gfx::Image::imageWithData(pdf);
  ASSERT_TRUE(image);
  auto rep = image->firstRepresentationOfClass<gfx::PDFImageRep>();
  ASSERT_TRUE(rep);
  ASSERT_EQ(rep->pageCount(), 3);
  rep->setCurrentPage(1);
  image->setSize(QSizeF(150, 150));

  const QByteArray blob = ima_produceImageData(image);
  tst::saveArtifactData(blob, "model-image-data-pdf-page2.plist");
  if (tst::haveTool("python3")) {
    EXPECT_EQ(topKeysByPython(blob),
              (QStringList{"NSKeyedArchiver", "currentPage,image,tiffImage"}));
  }
  auto coder = fnd::KeyedUnarchiver::create(blob);
  ASSERT_TRUE(coder);
  EXPECT_EQ(coder->decodeInt64ForKey("currentPage"), 1);
  // The TIFF beside it holds the page shown: green, 150 points square.
  gfx::ImagePtr tiffOnly = gfx::Image::imageWithData(tiffOf(blob));
  ASSERT_TRUE(tiffOnly);
  EXPECT_EQ(tiffOnly->size(), QSizeF(150, 150));
  EXPECT_TRUE(mht::near(mht::pixelAt(mht::pixelsOf(tiffOnly), 75, 75), Qt::green, 2));

  gfx::ImagePtr decoded = ima_imageWithImageData(blob);
  ASSERT_TRUE(decoded);
  auto decodedRep = decoded->firstRepresentationOfClass<gfx::PDFImageRep>();
  ASSERT_TRUE(decodedRep) << "the PDF is read back, not only its pixels";
  EXPECT_EQ(decodedRep->pageCount(), 3);
  EXPECT_EQ(decodedRep->currentPage(), 1);
  EXPECT_EQ(decoded->size(), QSizeF(150, 150));
  const ci::Image page = ima_ciImage(decoded);
  ASSERT_FALSE(page.isNull());
  EXPECT_EQ(page.extent(), QRectF(0, 0, 150, 150));
}

// The archived size is what the page is drawn at; one no canvas could hold
// is damage, and the page keeps its own size.
TEST(ImageDataFormatTest, PDFSizesBeyondTheImageLimitsKeepThePagesSize) {
  const QByteArray pdf = threePagePDF();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    QSizeF stored;
    QSizeF expected;
  } cases[] = {
      {{150, 120}, {150, 120}},     {{1e300, 1e300}, {100, 100}}, {{70000, 10}, {100, 100}},
      {{20000, 20000}, {100, 100}}, {{inf, 10}, {100, 100}},      {{-1e300, 10}, {100, 100}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.width());
    fnd::KeyedArchiver archiver;
    archiver.encodeInt64(0, "currentPage");
    archiver.encodeObject(
        QVariant::fromValue(fnd::CodingPtr(std::make_shared<PDFImageCoding>(pdf, c.stored))),
        "image");
    gfx::ImagePtr decoded = ima_imageWithImageData(archiver.encodedData());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), c.expected);
  }
}

TEST(ImageDataFormatTest, DamagedOrForeignDataGivesNothing) {
  const QByteArray good = ima_produceImageData(patternImage(8, 8));
  fnd::KeyedArchiver pngInside;
  QImage png(4, 4, QImage::Format_ARGB32);
  png.fill(Qt::red);
  QByteArray pngBytes;
  {
    QBuffer buffer(&pngBytes);
    buffer.open(QIODevice::WriteOnly);
    png.save(&buffer, "PNG");
  }
  pngInside.encodeData(pngBytes, "tiffImage");
  fnd::KeyedArchiver noPicture;
  noPicture.encodeInt64(3, "currentPage");
  fnd::KeyedArchiver wrongKind;
  wrongKind.encodeString("not data", "tiffImage");
  fnd::KeyedArchiver wrongImage;
  wrongImage.encodeInt64(0, "currentPage");
  wrongImage.encodeObject(QString("not an image"), "image");
  fnd::KeyedArchiver brokenTIFF;
  brokenTIFF.encodeData(tiffOf(good).left(60), "tiffImage");

  struct Case {
    const char* name;
    QByteArray data;
  };
  const Case cases[] = {
      {"empty", QByteArray()},
      {"garbage", QByteArray("this is not an archive at all")},
      {"truncated", good.left(good.size() / 2)},
      {"plain plist", QByteArray("bplist00\x08\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00"
                                 "\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                 "\x00\x00\x00\x00\x09",
                                 41)},
      {"png under tiffImage", pngInside.encodedData()},
      {"no picture", noPicture.encodedData()},
      {"string under tiffImage", wrongKind.encodedData()},
      {"truncated tiff", brokenTIFF.encodedData()},
      {"string under image", wrongImage.encodedData()},
  };
  for (const Case& c : cases) {
    fnd::Error error;
    EXPECT_EQ(ima_imageWithImageData(c.data, &error), nullptr) << c.name;
    EXPECT_FALSE(error.isNull()) << c.name;
  }
  // Every single-byte corruption of a real blob is survived.
  for (int i = 0; i < good.size(); i += 7) {
    QByteArray damaged = good;
    damaged[i] = char(damaged[i] ^ 0x5a);
    ima_imageWithImageData(damaged);
  }
}

TEST(ImageDataFormatTest, DamagedPDFPartFallsBackToThePagePixels) {
  gfx::ImagePtr image = gfx::Image::imageWithData(threePagePDF());
  ASSERT_TRUE(image);
  const QByteArray blob = ima_produceImageData(image);
  // The same blob with the PDF bytes spoilt (the archive stays well formed).
  const QByteArray pdfMagic("%PDF-");
  const qsizetype at = blob.indexOf(pdfMagic);
  ASSERT_GE(at, 0);
  QByteArray damaged = blob;
  for (qsizetype i = at; i < at + 200 && i < damaged.size(); ++i) damaged[i] = 'x';
  gfx::ImagePtr decoded = ima_imageWithImageData(damaged);
  ASSERT_TRUE(decoded);
  EXPECT_FALSE(decoded->firstRepresentationOfClass<gfx::PDFImageRep>());
  EXPECT_EQ(decoded->size(), QSizeF(100, 100));
  EXPECT_TRUE(mht::near(mht::pixelAt(mht::pixelsOf(decoded), 50, 50), Qt::red, 2));
}

TEST(ImageDataFormatTest, NothingToDrawMakesNoPicture) {
  EXPECT_TRUE(ima_produceImageData(nullptr).isEmpty());
  const QByteArray blob = ima_produceImageData(gfx::Image::make(QSizeF(0, 0)));
  auto coder = fnd::KeyedUnarchiver::create(blob);
  ASSERT_TRUE(coder) << "still a well-formed archive";
  EXPECT_FALSE(coder->containsValueForKey("tiffImage"));
  EXPECT_EQ(ima_imageWithImageData(blob), nullptr);
}

}  // namespace
