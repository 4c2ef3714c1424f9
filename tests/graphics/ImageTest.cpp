// Images and their representations: choosing a representation, drawing with
// source rectangles, lock/unlock focus, drawing handlers and their cache,
// and PDF pages. Decoding and TIFF encoding go through the image-file layer's
// coder and are tested with it (tests/imageio/BitmapCodingTest.cpp).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QPdfWriter>

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

TEST(Image, DecodingWaitsForTheImageFileLayer) {
  // This program does not link the image-file layer, so no coder is
  // installed: bitmaps are neither decoded nor encoded by a reader of our own.
  ASSERT_EQ(BitmapCoder::installed(), nullptr);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImage(2, 2, QImage::Format_ARGB32).save(&buffer, "PNG");
  fnd::Error error;
  EXPECT_FALSE(Image::imageWithData(png, &error));
  EXPECT_EQ(error.code(), fnd::FileReadCorruptFileError);
  EXPECT_TRUE(BitmapImageRep::make(solid(2, 2, Qt::red))->TIFFRepresentation().isEmpty());
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

  auto copy = std::dynamic_pointer_cast<PDFImageRep>(rep->copy());
  EXPECT_EQ(copy->currentPage(), 1);
}
