// Images and their representations: choosing a representation, drawing with
// source rectangles, lock/unlock focus, drawing handlers and their cache,
// TIFF encoding (checked with tiffinfo) and PDF pages.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QPdfWriter>
#include <QRegularExpression>

#include "TestSupport.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/DrawingHandlerImageRep.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"
#include "graphics/PDFImageRep.h"

using namespace gfx;

namespace {

CGImagePtr solid(int wide, int high, QColor color, QImage::Format format = QImage::Format_ARGB32) {
  QImage image(wide, high, format);
  image.fill(color);
  return CGImage::make(image);
}

// A 4×4 image: left half red, right half green, with its top-left pixel blue.
CGImagePtr quadrants() {
  QImage image(4, 4, QImage::Format_ARGB32);
  image.fill(Qt::red);
  for (int y = 0; y < 4; ++y)
    for (int x = 2; x < 4; ++x) image.setPixelColor(x, y, QColor(0, 255, 0, 200));
  image.setPixelColor(0, 0, Qt::blue);
  return CGImage::make(image);
}

QByteArray pdfWithPages(const QList<QSizeF>& pageSizes) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setPageMargins({0, 0, 0, 0});
    writer.setPageSize(QPageSize(pageSizes.first(), QPageSize::Point));
    auto context = GraphicsContext::forPDF(&writer);
    for (int i = 0; i < pageSizes.size(); ++i) {
      if (i > 0) {
        writer.setPageSize(QPageSize(pageSizes[i], QPageSize::Point));
        context->newPage();
      }
      // A red square in each page's bottom-left corner.
      context->fillRect({0, 0, 20, 20}, Qt::red);
    }
  }
  return bytes;
}

// A valid little-endian TIFF whose header then claims `wide` × `high` pixels.
QByteArray tiffClaimingSize(quint32 wide, quint32 high) {
  QByteArray tiff = BitmapImageRep::make(solid(1, 1, Qt::red))->TIFFRepresentation();
  auto u16 = [&](int at) { return quint16(uchar(tiff[at]) | uchar(tiff[at + 1]) << 8); };
  auto u32 = [&](int at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
  int ifd = int(u32(4));
  for (int i = 0, count = u16(ifd); i < count; ++i) {
    int entry = ifd + 2 + 12 * i;
    quint16 tag = u16(entry);
    if (tag != 256 && tag != 257) continue;
    quint32 value = tag == 256 ? wide : high;
    tiff[entry + 2] = 4;  // LONG
    tiff[entry + 3] = 0;
    for (int b = 0; b < 4; ++b) tiff[entry + 8 + b] = char((value >> (8 * b)) & 0xff);
  }
  return tiff;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

TEST(Image, RepresentationChoiceFollowsResolution) {
  auto image = Image::make({10, 10});
  auto low = BitmapImageRep::make(solid(10, 10, Qt::red));
  auto high = BitmapImageRep::make(solid(20, 20, Qt::blue));
  high->setSize({10, 10});
  image->addRepresentation(low);
  image->addRepresentation(high);
  EXPECT_EQ(image->representations().size(), 2);
  EXPECT_EQ(image->firstRepresentationOfClass<BitmapImageRep>(), low);
  EXPECT_EQ(image->firstRepresentationOfClass<PDFImageRep>(), nullptr);

  const struct {
    double scale;
    QColor seen;
  } table[] = {{1, Qt::red}, {2, Qt::blue}, {3, Qt::blue}};  // 3×: the largest
  for (const auto& row : table) {
    int pixels = int(10 * row.scale);
    auto context = GraphicsContext::bitmapContext(pixels, pixels);
    context->scaleCTM(row.scale, row.scale);
    CurrentContextScope scope(context.get());
    ASSERT_TRUE(image->drawInRect({0, 0, 10, 10}));
    EXPECT_EQ(context->pixelColor(pixels / 2, pixels / 2), row.seen) << row.scale;
    QRectF rect(0, 0, 10, 10);
    EXPECT_EQ(image->CGImageForProposedRect(&rect, context.get())->width(),
              row.scale > 1 ? 20u : 10u);
  }
  image->removeRepresentation(high);
  EXPECT_EQ(image->representations().size(), 1);
}

TEST(Image, DrawsSourceRectanglesInPoints) {
  // 4×4 pixels shown as 8×8 points; the source rect is y-up in points.
  auto image = Image::imageWithCGImage(quadrants(), {8, 8});
  EXPECT_EQ(image->size(), QSizeF(8, 8));
  auto context = GraphicsContext::bitmapContext(8, 8);
  context->setImageInterpolation(false);
  CurrentContextScope scope(context.get());
  const struct {
    QRectF source;
    QColor seen;
  } table[] = {
      {{0, 6, 2, 2}, Qt::blue},                // top-left point square: the blue pixel
      {{0, 0, 2, 2}, Qt::red},                 // bottom-left
      {{4, 0, 4, 8}, QColor(0, 255, 0, 200)},  // right half
  };
  for (const auto& row : table) {
    context->clearRect({0, 0, 8, 8});
    ASSERT_TRUE(image->drawInRect({0, 0, 8, 8}, row.source, CompositingOperation::Copy, 1.0));
    QColor c = context->pixelColor(4, 4);
    EXPECT_EQ(c.rgb(), row.seen.rgb()) << row.source.x() << "," << row.source.y();
    EXPECT_NEAR(c.alpha(), row.seen.alpha(), 1);
  }
  // drawAtPoint draws at the image's size; a fraction halves alpha.
  context->clearRect({0, 0, 8, 8});
  image->drawAtPoint({4, 4}, QRectF(0, 0, 2, 2), CompositingOperation::SourceOver, 0.5);
  EXPECT_NEAR(context->pixelColor(5, 5).alpha(), 128, 1);
  EXPECT_EQ(context->pixelColor(3, 3).alpha(), 0);
  EXPECT_EQ(context->pixelColor(6, 6).alpha(), 0);
}

TEST(Image, LockFocusDrawsIntoTheImage) {
  auto image = Image::imageWithCGImage(solid(10, 10, Qt::white));
  ASSERT_TRUE(image->lockFocus());
  EXPECT_EQ(GraphicsContext::current(), image->focusContext());
  GraphicsContext::current()->fillRect({0, 0, 5, 10}, Qt::black);
  image->unlockFocus();
  EXPECT_EQ(GraphicsContext::current(), nullptr);
  ASSERT_EQ(image->representations().size(), 1);
  auto rep = image->firstRepresentationOfClass<BitmapImageRep>();
  ASSERT_TRUE(rep);
  EXPECT_EQ(rep->colorAtX(2, 5), QColor(Qt::black));  // stored pixels: x from the left
  EXPECT_EQ(rep->colorAtX(7, 5), QColor(Qt::white));  // kept from before

  auto copy = image->copy();
  ASSERT_TRUE(copy->lockFocus());
  GraphicsContext::current()->fillRect({0, 0, 10, 10}, Qt::green);
  copy->unlockFocus();
  EXPECT_EQ(rep->colorAtX(7, 5), QColor(Qt::white));  // the original is untouched

  EXPECT_FALSE(Image::make({0, 0})->lockFocus());
}

TEST(Image, DrawingHandlerRendersPerPixelSizeAndRecaches) {
  int calls = 0;
  auto image = Image::imageWithSize({10, 10}, false, [&](const QRectF& rect) {
    ++calls;
    EXPECT_EQ(rect, QRectF(0, 0, 10, 10));
    GraphicsContext::current()->fillRect({0, 5, 10, 5}, Qt::red);  // top half
    return true;
  });
  auto flipped = Image::imageWithSize({10, 10}, true, [&](const QRectF&) {
    GraphicsContext::current()->fillRect({0, 5, 10, 5}, Qt::red);  // y-down: bottom half
    return true;
  });
  auto rep = image->firstRepresentationOfClass<DrawingHandlerImageRep>();
  ASSERT_TRUE(rep);
  for (double scale : {1.0, 1.0, 2.0, 2.0}) {
    auto context = GraphicsContext::bitmapContext(int(20 * scale), int(10 * scale));
    context->scaleCTM(scale, scale);
    CurrentContextScope scope(context.get());
    ASSERT_TRUE(image->drawInRect({0, 0, 10, 10}));
    ASSERT_TRUE(flipped->drawInRect({10, 0, 10, 10}));
    EXPECT_EQ(context->pixelColor(int(5 * scale), int(8 * scale)), QColor(Qt::red));
    EXPECT_EQ(context->pixelColor(int(5 * scale), int(2 * scale)).alpha(), 0);
    EXPECT_EQ(context->pixelColor(int(15 * scale), int(2 * scale)), QColor(Qt::red));
    EXPECT_EQ(context->pixelColor(int(15 * scale), int(8 * scale)).alpha(), 0);
  }
  EXPECT_EQ(calls, 2);  // once at 10×10, once at 20×20
  EXPECT_EQ(rep->cachedRenderingCount(), 2);
  image->recache();
  EXPECT_EQ(rep->cachedRenderingCount(), 0);
  EXPECT_TRUE(image->CGImageForProposedRect(nullptr, nullptr));
  EXPECT_EQ(calls, 3);

  auto failing = Image::imageWithSize({4, 4}, false, [](const QRectF&) { return false; });
  auto context = GraphicsContext::bitmapContext(4, 4);
  CurrentContextScope scope(context.get());
  EXPECT_FALSE(failing->drawInRect({0, 0, 4, 4}));
}

TEST(Image, DecodesDataAndReportsBadData) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImage pixels(3, 2, QImage::Format_ARGB32);
  pixels.fill(QColor(10, 20, 30, 40));
  pixels.save(&buffer, "PNG");
  auto image = Image::imageWithData(png);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), QSizeF(3, 2));
  auto rep = image->firstRepresentationOfClass<BitmapImageRep>();
  EXPECT_EQ(rep->samplesPerPixel(), 4);
  EXPECT_EQ(rep->bitsPerSample(), 8);
  EXPECT_TRUE(rep->hasAlpha());

  const QByteArray bad[] = {QByteArray(),
                            QByteArray("not an image at all"),
                            png.left(png.size() / 2),
                            QByteArray("II*\0\x08\0\0\0garbage", 15),
                            QByteArray("%PDF-1.4\n%%EOF"),
                            tiffClaimingSize(200000, 200000),
                            tiffClaimingSize(0, 5)};
  for (const QByteArray& data : bad) {
    fnd::Error error;
    EXPECT_FALSE(Image::imageWithData(data, &error)) << data.left(10).toStdString();
    EXPECT_EQ(error.code(), fnd::FileReadCorruptFileError) << data.left(10).toStdString();
  }
  fnd::Error missing;
  EXPECT_FALSE(Image::imageWithContentsOfFile("/nonexistent/picture.png", &missing));
  EXPECT_EQ(missing.code(), fnd::FileReadNoSuchFileError);
}

TEST(BitmapImageRep, TIFFCompressionsRoundTripAndShowInTiffinfo) {
  // Smooth content so JPEG stays close; alpha varies across the image.
  QImage pixels(33, 17, QImage::Format_ARGB32);
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x)
      pixels.setPixelColor(x, y, QColor(x * 7, y * 15, 128, 255 - x * 3));
  auto rep = BitmapImageRep::make(CGImage::make(pixels));
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
    QByteArray tiff = rep->TIFFRepresentationUsingCompression(row.compression, 0.9f);
    ASSERT_FALSE(tiff.isEmpty()) << row.tiffinfoName;
    QString path = tst::tempPath(QStringLiteral("rep-%1.tiff").arg(row.tiffinfoName));
    ASSERT_TRUE(writeFile(path, tiff));
    tst::saveArtifact(path, QStringLiteral("graphics-bitmaprep-%1.tiff").arg(row.tiffinfoName));
    if (tst::haveTool("tiffinfo")) {
      QString info;
      ASSERT_EQ(tst::runTool("tiffinfo", {path}, &info), 0) << info.toStdString();
      EXPECT_TRUE(info.contains(
          QRegularExpression(QStringLiteral("Compression Scheme: %1\\b").arg(row.tiffinfoName))))
          << info.toStdString();
      EXPECT_TRUE(info.contains("Image Width: 33 Image Length: 17")) << info.toStdString();
      EXPECT_TRUE(info.contains("Samples/Pixel: 4")) << info.toStdString();
      EXPECT_TRUE(info.contains("Resolution: 144, 144 pixels/inch")) << info.toStdString();
    }
    auto decoded = BitmapImageRep::imageRepWithData(tiff);
    ASSERT_TRUE(decoded) << row.tiffinfoName;
    EXPECT_EQ(decoded->pixelsWide(), 33);
    EXPECT_NEAR(decoded->size().width(), 16.5, 1e-4);
    EXPECT_NEAR(decoded->size().height(), 8.5, 1e-4);
    EXPECT_TRUE(decoded->hasAlpha());
    int worst = 0;
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 33; ++x) {
        // Compare premultiplied values: what a reader composites with.
        QRgb a = qPremultiply(pixels.pixel(x, y));
        QRgb b = decoded->cgImage()->toFormat(QImage::Format_ARGB32_Premultiplied).pixel(x, y);
        worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                          std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
      }
    EXPECT_LE(worst, std::max(row.tolerance, 1)) << row.tiffinfoName;
  }
  // JPEG quality changes the size.
  EXPECT_LT(rep->TIFFRepresentationUsingCompression(TIFFCompression::JPEG, 0.1f).size(),
            rep->TIFFRepresentationUsingCompression(TIFFCompression::JPEG, 1.0f).size());
}

TEST(BitmapImageRep, TIFFKeepsSixteenBitsAndPages) {
  QImage deep(5, 3, QImage::Format_RGBX64);
  deep.fill(QColor::fromRgba64(qRgba64(1000, 30000, 65000, 65535)));
  auto sixteen = BitmapImageRep::make(CGImage::make(deep));
  auto opaque = BitmapImageRep::make(solid(2, 2, Qt::yellow, QImage::Format_RGB32));
  QByteArray tiff = BitmapImageRep::TIFFRepresentationOfImageRepsInArray({sixteen, opaque});
  tst::saveArtifactData(tiff, "graphics-bitmaprep-two-pages.tiff");
  if (tst::haveTool("tiffinfo")) {
    QString path = tst::tempPath("pages.tiff");
    ASSERT_TRUE(writeFile(path, tiff));
    QString info;
    ASSERT_EQ(tst::runTool("tiffinfo", {path}, &info), 0);
    EXPECT_TRUE(info.contains("Bits/Sample: 16")) << info.toStdString();
    EXPECT_TRUE(info.contains("Samples/Pixel: 3")) << info.toStdString();
    EXPECT_EQ(info.count("TIFF Directory"), 2) << info.toStdString();
  }
  auto image = Image::imageWithData(tiff);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->representations().size(), 2);
  auto second = std::dynamic_pointer_cast<BitmapImageRep>(image->representations()[1]);
  EXPECT_FALSE(second->hasAlpha());
  EXPECT_EQ(second->samplesPerPixel(), 3);
  EXPECT_EQ(second->colorAtX(1, 1), QColor(Qt::yellow));
  EXPECT_EQ(Image::imageWithCGImage(solid(3, 3, Qt::red))->TIFFRepresentation().left(2), "II");
}

TEST(PDFImageRep, PagesBoundsAndDrawing) {
  QByteArray pdf = pdfWithPages({{200, 100}, {50, 80}, {300, 300}});
  tst::saveArtifactData(pdf, "graphics-pdfrep-three-pages.pdf");
  auto rep = PDFImageRep::imageRepWithData(pdf);
  ASSERT_TRUE(rep);
  EXPECT_EQ(rep->pageCount(), 3);
  EXPECT_EQ(rep->PDFRepresentation(), pdf);
  const struct {
    int page;
    QSizeF size;
  } table[] = {{0, {200, 100}}, {1, {50, 80}}, {2, {300, 300}}, {7, {300, 300}}};
  for (const auto& row : table) {
    rep->setCurrentPage(row.page);
    EXPECT_EQ(rep->currentPage(), std::min(row.page, 2));
    EXPECT_NEAR(rep->bounds().width(), row.size.width(), 0.5);
    EXPECT_NEAR(rep->bounds().height(), row.size.height(), 0.5);
    EXPECT_EQ(rep->bounds().topLeft(), QPointF(0, 0));
    EXPECT_NEAR(rep->size().width(), row.size.width(), 0.5);
  }
  // Page 2 (50×80 points) drawn at 2×: the red square is bottom-left, 40 px wide.
  rep->setCurrentPage(1);
  auto image = Image::imageWithData(pdf);
  ASSERT_TRUE(image);
  auto imagePDF = image->firstRepresentationOfClass<PDFImageRep>();
  imagePDF->setCurrentPage(1);
  image->setSize(imagePDF->size());
  auto context = GraphicsContext::bitmapContext(100, 160);
  context->scaleCTM(2, 2);
  CurrentContextScope scope(context.get());
  ASSERT_TRUE(image->drawInRect({0, 0, 50, 80}));
  EXPECT_EQ(context->pixelColor(20, 20), QColor(Qt::red));
  EXPECT_EQ(context->pixelColor(60, 20), QColor(Qt::white));
  EXPECT_EQ(context->pixelColor(20, 60), QColor(Qt::white));
  QRectF rect(0, 0, 50, 80);
  CGImagePtr rendered = image->CGImageForProposedRect(&rect, context.get());
  ASSERT_TRUE(rendered);
  EXPECT_EQ(rendered->width(), 100u);
  EXPECT_EQ(rendered->height(), 160u);

  // An image with only a PDF page still has a TIFF form: the page rendered.
  auto fromTIFF = Image::imageWithData(image->TIFFRepresentation());
  ASSERT_TRUE(fromTIFF);
  EXPECT_EQ(fromTIFF->size(), QSizeF(50, 80));

  auto copy = std::dynamic_pointer_cast<PDFImageRep>(rep->copy());
  EXPECT_EQ(copy->currentPage(), 1);
}
