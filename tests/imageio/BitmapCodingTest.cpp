// Bitmap representations decode and write TIFF through the image-file
// layer's codecs (one decoding path): every kind of file decodes to the same
// pixels both ways, TIFF forms round-trip and show in tiffinfo, tiled and
// deep TIFFs with unassociated alpha read exactly, and TIFFs whose strips are
// compressed in parallel read the same in tiffinfo and Python's PIL.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <QFile>
#include <QRegularExpression>
#include <functional>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/Image.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

using gfx::BitmapImageRep;
using gfx::TIFFCompression;

namespace {

// The layout of a file libtiff writes for a test: interleaved samples,
// the last of them unassociated alpha.
struct Samples {
  int width, height, bits, count;
  uint16_t photometric;
};

// A TIFF written by libtiff itself, one directory: `fields` adds to the
// layout, `pixels` writes the samples.
QByteArray libtiffFile(const Samples& samples, const std::function<void(TIFF*)>& fields,
                       const std::function<void(TIFF*)>& pixels) {
  QString path = tst::tempPath("libtiff-made.tif");
  TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), "w");
  if (!tiff) return {};
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, samples.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, samples.height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, samples.bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples.count);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, samples.photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  uint16_t kind = EXTRASAMPLE_UNASSALPHA;
  TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &kind);
  fields(tiff);
  pixels(tiff);
  TIFFClose(tiff);
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 8-bit RGBA with unassociated alpha in 16×16 tiles; alpha runs down to 1,
// where a premultiplying reader loses the colour.
QByteArray tiledStraightRGBA(int width, int height, QImage* expected) {
  *expected = QImage(width, height, QImage::Format_RGBA8888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uchar* p = expected->scanLine(y) + x * 4;
      p[0] = uchar(x * 37 + y), p[1] = uchar(200 - y * 3), p[2] = uchar(x * y),
      p[3] = uchar(1 + (x + y * width) % 40);
    }
  return libtiffFile(
      {width, height, 8, 4, PHOTOMETRIC_RGB},
      [&](TIFF* t) {
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
      },
      [&](TIFF* t) {
        std::vector<uchar> tile(16 * 16 * 4);
        for (int ty = 0; ty < height; ty += 16)
          for (int tx = 0; tx < width; tx += 16) {
            std::fill(tile.begin(), tile.end(), 0);
            for (int y = ty; y < std::min(ty + 16, height); ++y)
              for (int x = tx; x < std::min(tx + 16, width); ++x)
                std::memcpy(&tile[size_t(((y - ty) * 16 + (x - tx)) * 4)],
                            expected->constScanLine(y) + x * 4, 4);
            TIFFWriteTile(t, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0);
          }
      });
}

// 16-bit grey with unassociated alpha 0.5 (32768), stored in strips.
QByteArray deepGrayHalfAlpha(int width, int height) {
  return libtiffFile(
      {width, height, 16, 2, PHOTOMETRIC_MINISBLACK},
      [&](TIFF* t) { TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 2); },
      [&](TIFF* t) {
        std::vector<uint16_t> row(size_t(width) * 2);
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x)
            row[size_t(x) * 2] = uint16_t(x * 1000 + y), row[size_t(x) * 2 + 1] = 32768;
          TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
        }
      });
}

// The Python that has PIL: the distribution's, which scripts/install-deps
// equips, ahead of any other on the PATH.
QString pythonWithPIL() {
  return QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3")
                                           : QStringLiteral("python3");
}

// PIL's decoding of image 0 of `path`, as straight RGBA.
QImage decodedByPIL(const QString& path) {
  const QString raw = tst::tempPath("pil.rgba");
  const QString script = QStringLiteral(
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "open(sys.argv[2], 'wb').write(im.convert('RGBA').tobytes())\n"
      "print(im.size[0], im.size[1])\n");
  QString output;
  if (tst::runTool(pythonWithPIL(), {"-c", script, path, raw}, &output) != 0) {
    ADD_FAILURE() << "PIL failed: " << output.toStdString();
    return {};
  }
  const QStringList size = output.trimmed().split(' ');
  QFile file(raw);
  if (size.size() != 2 || !file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  QImage image(size[0].toInt(), size[1].toInt(), QImage::Format_RGBA8888);
  if (bytes.size() != image.sizeInBytes()) return {};
  std::memcpy(image.bits(), bytes.constData(), size_t(bytes.size()));
  return image;
}

int maxDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 256;
  QImage x = a.convertToFormat(QImage::Format_RGBA8888);
  QImage y = b.convertToFormat(QImage::Format_RGBA8888);
  int worst = 0;
  for (int row = 0; row < x.height(); ++row)
    for (int i = 0; i < x.width() * 4; ++i)
      worst = std::max(worst, std::abs(x.constScanLine(row)[i] - y.constScanLine(row)[i]));
  return worst;
}

QString tiffinfo(const QString& path, const QStringList& options = {}) {
  QString output;
  EXPECT_EQ(tst::runTool("tiffinfo", options + QStringList{path}, &output), 0)
      << output.toStdString();
  return output;
}

}  // namespace

TEST(BitmapCoding, GraphicsDecodesEveryFileAsTheImageSourceDoes) {
  QImage tiled;
  const QImage picture = iotest::testPicture(61, 47, true);
  const QImage deep = iotest::deepTestPicture(29, 17, true);
  const struct {
    const char* name;
    QByteArray bytes;
  } files[] = {
      {"png", iotest::encode(io::TypePNG, picture)},
      {"png-16", iotest::encode(io::TypePNG, deep)},
      {"jpeg-rotated", iotest::encode(io::TypeJPEG, picture, {{io::PropertyOrientation, 6}})},
      {"tiff-lzw", iotest::encode(io::TypeTIFF, picture,
                                  {{io::PropertyTIFFDictionary,
                                    QVariantMap{{io::PropertyTIFFCompression, 5}}}})},
      {"tiff-16", iotest::encode(io::TypeTIFF, deep)},
      {"tiff-tiled-unassociated", tiledStraightRGBA(37, 21, &tiled)},
      {"tiff-16-gray-half-alpha", deepGrayHalfAlpha(7, 5)},
      {"tiff-two-pages", BitmapImageRep::TIFFRepresentationOfImageRepsInArray(
                             {BitmapImageRep::make(gfx::CGImage::make(picture)),
                              BitmapImageRep::make(gfx::CGImage::make(deep))},
                             TIFFCompression::LZW)},
      {"gif", iotest::encode(io::TypeGIF, picture)},
      {"bmp", iotest::encode(io::TypeBMP, picture)},
      {"tga", iotest::encode(io::TypeTGA, picture)},
      {"jpeg-2000", iotest::encode(io::TypeJPEG2000, picture)},
      {"openexr", iotest::encode(io::TypeOpenEXR, deep)},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    ASSERT_FALSE(file.bytes.isEmpty());
    fnd::Error error;
    io::ImageSourcePtr source = io::ImageSource::createWithData(file.bytes, {}, &error);
    ASSERT_TRUE(source) << error.localizedDescription().toStdString();
    const auto reps = BitmapImageRep::imageRepsWithData(file.bytes, &error);
    const size_t pages = source->type() == io::TypeTIFF ? source->count() : 1;
    ASSERT_EQ(size_t(reps.size()), pages) << error.localizedDescription().toStdString();
    for (size_t page = 0; page < pages; ++page) {
      const QImage stored = source->createImageAtIndex(page)->qImage();
      const int orientation = io::codec::orientation(source->propertiesAtIndex(page));
      const QImage& graphics = reps[qsizetype(page)]->cgImage()->qImage();
      EXPECT_EQ(graphics.format(), stored.format());
      EXPECT_TRUE(graphics == io::codec::applyOrientation(stored, orientation)) << page;
    }
  }
  // What each path once decoded wrongly: alpha 0.5 of a 16-bit grey TIFF,
  // and colour under low unassociated alpha in tiles.
  const auto gray = BitmapImageRep::imageRepWithData(deepGrayHalfAlpha(7, 5));
  ASSERT_TRUE(gray && gray->hasAlpha());
  const QImage grayPixels = gray->cgImage()->toFormat(QImage::Format_RGBA64);
  const QRgba64 sample = reinterpret_cast<const QRgba64*>(grayPixels.constScanLine(4))[6];
  EXPECT_EQ(sample.alpha(), 32768);
  EXPECT_EQ(sample.red(), 6004);
  const auto tiles = BitmapImageRep::imageRepWithData(files[5].bytes);
  ASSERT_TRUE(tiles);
  EXPECT_EQ(maxDifference(tiles->cgImage()->qImage(), tiled), 0);
}

TEST(BitmapCoding, RefusesBadDataWithAReason) {
  QByteArray tiff = BitmapImageRep::make(gfx::CGImage::make(iotest::testPicture(3, 2, true)))
                        ->TIFFRepresentation();
  auto claiming = [&](quint32 wide, quint32 high) {
    // The same file whose header claims another size.
    QByteArray bytes = tiff;
    auto u16 = [&](int at) { return quint16(uchar(bytes[at]) | uchar(bytes[at + 1]) << 8); };
    int ifd = int(u16(4) | u16(6) << 16);
    for (int i = 0, count = u16(ifd); i < count; ++i) {
      int entry = ifd + 2 + 12 * i;
      quint16 tag = u16(entry);
      if (tag != 256 && tag != 257) continue;
      quint32 value = tag == 256 ? wide : high;
      bytes[entry + 2] = 4;  // LONG
      bytes[entry + 3] = 0;
      for (int b = 0; b < 4; ++b) bytes[entry + 8 + b] = char((value >> (8 * b)) & 0xff);
    }
    return bytes;
  };
  const QByteArray png = iotest::encode(io::TypePNG, iotest::testPicture(3, 2, true));
  const struct {
    QByteArray data;
    int code;
  } table[] = {
      {QByteArray(), fnd::FileReadCorruptFileError},
      {QByteArray("not an image at all"), fnd::FileReadCorruptFileError},
      {png.left(png.size() / 2), fnd::FileReadCorruptFileError},
      {QByteArray("II*\0\x08\0\0\0garbage", 15), fnd::FileReadCorruptFileError},
      {QByteArray("%PDF-1.4\n%%EOF"), fnd::FileReadCorruptFileError},
      {claiming(200000, 200000), fnd::FileReadTooLargeError},
      {claiming(0, 5), fnd::FileReadCorruptFileError},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.data.left(10).toStdString());
    fnd::Error error;
    EXPECT_FALSE(gfx::Image::imageWithData(row.data, &error));
    EXPECT_EQ(error.code(), row.code);
    EXPECT_FALSE(error.localizedDescription().isEmpty());
  }
  fnd::Error missing;
  EXPECT_FALSE(gfx::Image::imageWithContentsOfFile("/nonexistent/picture.png", &missing));
  EXPECT_EQ(missing.code(), fnd::FileReadNoSuchFileError);
  auto image = gfx::Image::imageWithData(png);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), QSizeF(3, 2));
}

TEST(BitmapCoding, TIFFCompressionsRoundTripAndShowInTiffinfo) {
  ASSERT_TRUE(tst::haveTool("tiffinfo"));
  // Smooth content so JPEG stays close; alpha varies across the image.
  QImage pixels(33, 17, QImage::Format_ARGB32);
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x)
      pixels.setPixelColor(x, y, QColor(x * 7, y * 15, 128, 255 - x * 3));
  auto rep = BitmapImageRep::make(gfx::CGImage::make(pixels));
  rep->setSize({16.5, 8.5});  // 144 dpi

  const struct {
    TIFFCompression compression;
    const char* tiffinfoName;
    int tolerance;
  } table[] = {
      {TIFFCompression::None, "None", 0},
      {TIFFCompression::LZW, "LZW", 0},
      {TIFFCompression::PackBits, "PackBits", 0},
      {TIFFCompression::JPEG, "JPEG", 12},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.tiffinfoName);
    QByteArray tiff = rep->TIFFRepresentationUsingCompression(row.compression, 0.9f);
    ASSERT_FALSE(tiff.isEmpty());
    QString info = tiffinfo(
        iotest::writeTemp(tiff, QStringLiteral("imageio-bitmaprep-%1.tiff").arg(row.tiffinfoName)));
    EXPECT_TRUE(info.contains(
        QRegularExpression(QStringLiteral("Compression Scheme: %1\\b").arg(row.tiffinfoName))))
        << info.toStdString();
    EXPECT_TRUE(info.contains("Image Width: 33 Image Length: 17")) << info.toStdString();
    EXPECT_TRUE(info.contains("Samples/Pixel: 4")) << info.toStdString();
    EXPECT_TRUE(info.contains("Resolution: 144, 144 pixels/inch")) << info.toStdString();
    // LZW codes sample differences, which every reader undoes.
    EXPECT_EQ(info.contains("Predictor: horizontal differencing"),
              row.compression == TIFFCompression::LZW)
        << info.toStdString();
    auto decoded = BitmapImageRep::imageRepWithData(tiff);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelsWide(), 33);
    EXPECT_NEAR(decoded->size().width(), 16.5, 1e-4);
    EXPECT_NEAR(decoded->size().height(), 8.5, 1e-4);
    EXPECT_TRUE(decoded->hasAlpha());
    // Compare premultiplied values: what a reader composites with.
    QImage a = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage b = decoded->cgImage()->toFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_LE(maxDifference(a, b), std::max(row.tolerance, 1));
  }
  // JPEG quality changes the size.
  EXPECT_LT(rep->TIFFRepresentationUsingCompression(TIFFCompression::JPEG, 0.1f).size(),
            rep->TIFFRepresentationUsingCompression(TIFFCompression::JPEG, 1.0f).size());
}

TEST(BitmapCoding, TIFFKeepsSixteenBitsAndPages) {
  QImage deep(5, 3, QImage::Format_RGBX64);
  deep.fill(QColor::fromRgba64(qRgba64(1000, 30000, 65000, 65535)));
  QImage yellow(2, 2, QImage::Format_RGB32);
  yellow.fill(Qt::yellow);
  auto sixteen = BitmapImageRep::make(gfx::CGImage::make(deep));
  auto opaque = BitmapImageRep::make(gfx::CGImage::make(yellow));
  QByteArray tiff = BitmapImageRep::TIFFRepresentationOfImageRepsInArray({sixteen, opaque});
  QString info = tiffinfo(iotest::writeTemp(tiff, "imageio-bitmaprep-two-pages.tiff"));
  EXPECT_TRUE(info.contains("Bits/Sample: 16")) << info.toStdString();
  EXPECT_TRUE(info.contains("Samples/Pixel: 3")) << info.toStdString();
  EXPECT_EQ(info.count("TIFF Directory"), 2) << info.toStdString();
  auto image = gfx::Image::imageWithData(tiff);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->representations().size(), 2);
  auto first = std::dynamic_pointer_cast<BitmapImageRep>(image->representations()[0]);
  EXPECT_EQ(first->bitsPerSample(), 16);
  EXPECT_EQ(first->cgImage()->qImage().pixelColor(4, 2).rgba64(),
            qRgba64(1000, 30000, 65000, 65535));
  auto second = std::dynamic_pointer_cast<BitmapImageRep>(image->representations()[1]);
  EXPECT_FALSE(second->hasAlpha());
  EXPECT_EQ(second->samplesPerPixel(), 3);
  EXPECT_EQ(second->colorAtX(1, 1), QColor(Qt::yellow));
  EXPECT_EQ(gfx::Image::imageWithCGImage(gfx::CGImage::make(yellow))->TIFFRepresentation().left(2),
            "II");
}

TEST(TIFFCodec, TiledUnassociatedAlphaReadsExactlyAsPIL) {
  const struct { int width, height; } sizes[] = {{16, 16}, {37, 21}, {100, 3}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(size.width);
    QImage expected;
    const QByteArray bytes = tiledStraightRGBA(size.width, size.height, &expected);
    const QString path = iotest::writeTemp(
        bytes,
        QStringLiteral("imageio-tiled-unassociated-%1x%2.tif").arg(size.width).arg(size.height));
    const QImage pil = decodedByPIL(path);
    EXPECT_EQ(maxDifference(pil, expected), 0);
    gfx::CGImagePtr ours = iotest::decode(bytes);
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->qImage().format(), QImage::Format_RGBA8888);
    EXPECT_EQ(maxDifference(ours->qImage(), pil), 0);
  }
}

TEST(TIFFCodec, ParallelStripsReadTheSameInTiffinfoPILAndEveryLayout) {
  ASSERT_TRUE(tst::haveTool("tiffinfo") && tst::haveTool("tiffcp"));
  // 700 rows: several strips of 128 rows and a short last one.
  const QImage picture = iotest::testPicture(333, 700, true);
  const struct {
    const char* name;
    QByteArray bytes;
    const char* predictor;
  } written[] = {
      {"image-data",
       BitmapImageRep::make(gfx::CGImage::make(picture))
           ->TIFFRepresentationUsingCompression(TIFFCompression::LZW, 1),
       "Predictor: horizontal differencing"},
      {"destination",
       iotest::encode(
           io::TypeTIFF, picture,
           {{io::PropertyTIFFDictionary, QVariantMap{{io::PropertyTIFFCompression, 5}}}}),
       "Predictor: horizontal differencing"},
  };
  for (const auto& file : written) {
    SCOPED_TRACE(file.name);
    const QString path = iotest::writeTemp(
        file.bytes, QStringLiteral("imageio-parallel-strips-%1.tif").arg(file.name));
    const QString info = tiffinfo(path, {"-D"});
    EXPECT_TRUE(info.contains("Compression Scheme: LZW")) << info.toStdString();
    EXPECT_TRUE(info.contains("Rows/Strip: 128")) << info.toStdString();
    EXPECT_EQ(info.contains("Predictor"), file.predictor != nullptr) << info.toStdString();
    if (file.predictor) {
      EXPECT_TRUE(info.contains(file.predictor)) << info.toStdString();
    }
    EXPECT_FALSE(info.contains("rror")) << info.toStdString();
    EXPECT_EQ(maxDifference(decodedByPIL(path), picture), 0);

    // The same pixels in the layouts other writers choose.
    const QStringList layouts[] = {
        {"-r", "1"},    {"-r", "700"},      {"-t", "-w", "64", "-l", "32"},
        {"-c", "none"}, {"-c", "packbits"}, {"-c", "lzw:2"}};
    for (const QStringList& options : layouts) {
      SCOPED_TRACE(options.join(' ').toStdString());
      const QString copy = tst::tempPath("restriped.tif");
      QFile::remove(copy);
      QString output;
      ASSERT_EQ(tst::runTool("tiffcp", options + QStringList{path, copy}, &output), 0)
          << output.toStdString();
      QFile restriped(copy);
      ASSERT_TRUE(restriped.open(QIODevice::ReadOnly));
      gfx::CGImagePtr decoded = iotest::decode(restriped.readAll());
      ASSERT_TRUE(decoded);
      EXPECT_EQ(maxDifference(decoded->qImage(), picture), 0);
    }
  }
}

TEST(TIFFCodec, DecodesWithinOneOutputAndThumbnailsNeverHoldTheFullImage) {
  ASSERT_TRUE(tst::haveTool("tiffcp") && tst::haveTool("convert"));
  const QImage picture = iotest::testPicture(1024, 768, true);
  const QString source = iotest::writeTemp(
      iotest::encode(io::TypeTIFF, picture,
                     {{io::PropertyTIFFDictionary, QVariantMap{{io::PropertyTIFFCompression, 5}}}}),
      "imageio-budget-source.tif");
  const struct {
    const char* name;
    QString tool;
    QStringList options;  // between the source and the output path
    bool opaque;          // the picture's colours without its alpha
    bool exact;           // the full decode is the picture
  } files[] = {
      {"strips", "tiffcp", {}, false, true},
      {"one-strip", "tiffcp", {"-r", "768"}, false, true},
      {"tiles", "tiffcp", {"-t", "-w", "64", "-l", "48"}, false, true},
      {"opaque-rgb", "convert", {"-alpha", "off"}, true, true},
      {"deep", "convert", {"-depth", "16"}, false, true},
      {"palette", "convert", {"-alpha", "off", "-colors", "64", "-type", "Palette"}, true, false},
  };
  QImage opaquePicture = picture;
  for (int y = 0; y < opaquePicture.height(); ++y)
    for (int x = 0; x < opaquePicture.width(); ++x) opaquePicture.scanLine(y)[x * 4 + 3] = 255;
  constexpr uint64_t kAllowance = uint64_t(2) << 20;
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const QString path = tst::tempPath(QStringLiteral("budget-%1.tif").arg(file.name));
    QFile::remove(path);
    QString output;
    const QStringList arguments =
        file.tool == "tiffcp" ? file.options + QStringList{source, path}
                              : QStringList{source} + file.options + QStringList{"TIFF:" + path};
    ASSERT_EQ(tst::runTool(file.tool, arguments, &output), 0) << output.toStdString();
    QFile read(path);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray bytes = read.readAll();
    auto decode = [&](int minimumLongerSide, uint64_t* peak) {
      io::DecodeBudget budget;
      io::DecodeRequest request;
      request.minimumLongerSide = minimumLongerSide;
      request.budget = &budget;
      fnd::Error error;
      gfx::CGImagePtr image =
          io::ImageCodec::forType(io::TypeTIFF)->readImage(bytes, request, &error);
      EXPECT_TRUE(image) << error.localizedDescription().toStdString();
      *peak = budget.peak();
      return image ? image->qImage() : QImage();
    };
    uint64_t fullPeak = 0, reducedPeak = 0;
    const QImage full = decode(0, &fullPeak);
    ASSERT_EQ(full.size(), picture.size());
    if (file.exact) {
      EXPECT_EQ(maxDifference(full, file.opaque ? opaquePicture : picture), 0);
    }
    EXPECT_GE(fullPeak, uint64_t(full.sizeInBytes()));
    EXPECT_LE(fullPeak, uint64_t(full.sizeInBytes()) + kAllowance);

    // An eighth-size thumbnail: each pixel the average of an 8×8 block.
    const QImage thumbnail = decode(128, &reducedPeak);
    ASSERT_EQ(thumbnail.size(), QSize(128, 96));
    EXPECT_LE(reducedPeak, uint64_t(full.sizeInBytes()) / 4);
    const QImage premultiplied = full.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QImage reduced = thumbnail.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    int worst = 0;
    for (int y = 0; y < 96; ++y)
      for (int x = 0; x < 128; ++x)
        for (int c = 0; c < 4; ++c) {
          int sum = 0;
          for (int dy = 0; dy < 8; ++dy)
            for (int dx = 0; dx < 8; ++dx)
              sum += premultiplied.constScanLine(y * 8 + dy)[(x * 8 + dx) * 4 + c];
          worst = std::max(worst, std::abs((sum + 32) / 64 - reduced.constScanLine(y)[x * 4 + c]));
        }
    EXPECT_LE(worst, 1);
  }
}
