// Drawing contexts: targets, the y-up frame with upright images, graphics
// state, clipping, gradients and the per-thread current context.
#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPixmap>
#include <QPrinter>
#include <QRegularExpression>
#include <thread>

#include "TestSupport.h"
#include "graphics/AttributedString.h"
#include "graphics/BezierPath.h"
#include "graphics/GraphicsContext.h"
#include "graphics/PDFImageRep.h"

using namespace gfx;

namespace {

// A 2×3 image: top row red, middle green, bottom blue; left column opaque,
// right column half transparent.
CGImagePtr stripes() {
  QImage image(2, 3, QImage::Format_ARGB32);
  const QColor rows[3] = {Qt::red, Qt::green, Qt::blue};
  for (int y = 0; y < 3; ++y) {
    image.setPixelColor(0, y, rows[y]);
    QColor half = rows[y];
    half.setAlpha(128);
    image.setPixelColor(1, y, half);
  }
  return CGImage::make(image);
}

bool near(const QColor& a, const QColor& b, int tolerance = 1) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

}  // namespace

TEST(GraphicsContext, ImagesAreUprightInYUpSpace) {
  auto context = GraphicsContext::bitmapContext(20, 30);
  context->setImageInterpolation(false);
  context->drawImage(stripes(), {0, 0, 20, 30});
  // y-up: the image's top row (red) is at the top of the context.
  EXPECT_EQ(context->pixelColor(5, 25), QColor(Qt::red));
  EXPECT_EQ(context->pixelColor(5, 15), QColor(Qt::green));
  EXPECT_EQ(context->pixelColor(5, 5), QColor(Qt::blue));
  EXPECT_TRUE(near(context->pixelColor(15, 25), QColor(255, 0, 0, 128)));
  // Stored rows of the bitmap are top first, as in files.
  EXPECT_EQ(context->makeImage()->qImage().pixelColor(5, 0), QColor(Qt::red));

  // A source rectangle in the image's pixel grid (top-left origin).
  auto part = GraphicsContext::bitmapContext(4, 4);
  part->setImageInterpolation(false);
  part->drawImage(stripes(), {0, 0, 4, 4}, QRectF(0, 2, 1, 1));
  EXPECT_EQ(part->pixelColor(2, 2), QColor(Qt::blue));
}

TEST(GraphicsContext, ImagesStayUprightUnderTransforms) {
  const struct {
    const char* what;
    double sx, sy;
    QPoint redAt;  // where the top row lands, y-up pixel coordinates
    QColor red;    // the opaque column, or the half-transparent one when mirrored
  } table[] = {
      {"identity", 1, 1, {5, 25}, QColor(255, 0, 0)},
      {"flipped by the CTM shows it upside down", 1, -1, {5, 5}, QColor(255, 0, 0)},
      {"mirrored horizontally keeps it upright", -1, 1, {5, 25}, QColor(255, 0, 0, 128)},
  };
  for (const auto& row : table) {
    auto context = GraphicsContext::bitmapContext(20, 30);
    context->setImageInterpolation(false);
    context->translateCTM(row.sx < 0 ? 20 : 0, row.sy < 0 ? 30 : 0);
    context->scaleCTM(row.sx, row.sy);
    context->drawImage(stripes(), {0, 0, 20, 30});
    EXPECT_TRUE(near(context->pixelColor(row.redAt.x(), row.redAt.y()), row.red)) << row.what;
  }
}

TEST(GraphicsContext, SaveAndRestoreState) {
  auto context = GraphicsContext::bitmapContext(20, 20);
  context->saveGState();
  context->translateCTM(10, 10);
  context->setAlpha(0.5);
  context->setCompositingOperation(CompositingOperation::Copy);
  context->clipToRect({0, 0, 5, 5});
  EXPECT_EQ(context->CTM().transformPoint({0, 0}), QPointF(10, 10));
  context->restoreGState();
  EXPECT_TRUE(context->CTM().isIdentity());
  EXPECT_EQ(context->alpha(), 1.0);
  EXPECT_EQ(context->compositingOperation(), CompositingOperation::SourceOver);
  EXPECT_FALSE(context->hasClip());
  context->restoreGState();  // unbalanced: harmless
  context->fillRect({0, 0, 20, 20}, Qt::red);
  EXPECT_EQ(context->pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(context->pixelColor(19, 19), QColor(Qt::red));
}

TEST(GraphicsContext, ClippingLimitsEveryOperation) {
  const CompositingOperation ops[] = {CompositingOperation::SourceOver, CompositingOperation::Copy,
                                      CompositingOperation::Clear, CompositingOperation::Hue};
  for (CompositingOperation op : ops) {
    const QColor background(60, 120, 200);
    auto context = GraphicsContext::bitmapContext(20, 20);
    context->fillRect({0, 0, 20, 20}, background);
    context->saveGState();
    context->clipToPath(BezierPath::bezierPathWithOvalInRect({0, 0, 20, 20}));
    context->clipToRect({0, 0, 10, 20});  // intersects: the left half of the disc
    context->fillRect({0, 0, 20, 20}, QColor(200, 0, 0), op);
    context->restoreGState();
    QString what = nameOfCompositingOperation(op);
    EXPECT_NE(context->pixelColor(5, 10), QColor(background)) << what.toStdString();
    EXPECT_EQ(context->pixelColor(15, 10), QColor(background)) << what.toStdString();
    EXPECT_EQ(context->pixelColor(1, 1), QColor(background)) << what.toStdString();  // outside disc
  }
}

TEST(GraphicsContext, ClipSurvivesLaterTransforms) {
  auto context = GraphicsContext::bitmapContext(20, 20);
  context->clipToRect({0, 0, 10, 10});
  context->scaleCTM(2, 2);  // the clip stays where it was set
  context->fillRect({0, 0, 10, 10}, Qt::black);
  EXPECT_EQ(context->pixelColor(5, 5).alpha(), 255);
  EXPECT_EQ(context->pixelColor(15, 15).alpha(), 0);
  EXPECT_EQ(context->clipBoundingBox(), QRectF(0, 0, 5, 5));
}

TEST(GraphicsContext, Gradients) {
  const QVector<GradientStop> redToBlue = {{0, QColor(255, 0, 0)}, {1, QColor(0, 0, 255)}};
  auto context = GraphicsContext::bitmapContext(101, 10);
  context->drawLinearGradient(redToBlue, {0, 0}, {100, 0});
  const struct {
    int x;
    int red, blue;
  } linear[] = {{0, 255, 0}, {25, 191, 64}, {50, 128, 128}, {100, 0, 255}};
  for (const auto& row : linear) {
    QColor c = context->pixelColor(row.x, 5);
    EXPECT_NEAR(c.red(), row.red, 3) << row.x;
    EXPECT_NEAR(c.blue(), row.blue, 3) << row.x;
  }

  // Without extension, nothing is painted beyond the ends.
  auto bounded = GraphicsContext::bitmapContext(100, 10);
  bounded->drawLinearGradient(redToBlue, {20, 0}, {80, 0}, 0);
  EXPECT_EQ(bounded->pixelColor(10, 5).alpha(), 0);
  EXPECT_EQ(bounded->pixelColor(90, 5).alpha(), 0);
  EXPECT_EQ(bounded->pixelColor(50, 5).alpha(), 255);

  auto radial = GraphicsContext::bitmapContext(100, 100);
  radial->drawRadialGradient(redToBlue, {50, 50}, 0, {50, 50}, 40,
                             GradientDrawsBeforeStartLocation);
  EXPECT_NEAR(radial->pixelColor(50, 50).red(), 255, 8);
  EXPECT_NEAR(radial->pixelColor(70, 50).red(), 128, 8);
  EXPECT_EQ(radial->pixelColor(95, 95).alpha(), 0);  // beyond the end circle
}

TEST(GraphicsContext, BitmapTargetsAndSnapshots) {
  const struct {
    int bits;
    ImageAlphaInfo alpha;
    ImageAlphaInfo reported;
  } formats[] = {
      {8, ImageAlphaInfo::PremultipliedFirst, ImageAlphaInfo::PremultipliedFirst},
      {8, ImageAlphaInfo::PremultipliedLast, ImageAlphaInfo::PremultipliedLast},
      {8, ImageAlphaInfo::NoneSkipFirst, ImageAlphaInfo::NoneSkipFirst},
      {8, ImageAlphaInfo::NoneSkipLast, ImageAlphaInfo::NoneSkipLast},
      {16, ImageAlphaInfo::PremultipliedLast, ImageAlphaInfo::PremultipliedLast},
      {32, ImageAlphaInfo::PremultipliedLast, ImageAlphaInfo::PremultipliedLast},
  };
  for (const auto& row : formats) {
    auto context = GraphicsContext::bitmapContext(3, 2, row.bits, row.alpha);
    ASSERT_TRUE(context);
    EXPECT_EQ(context->alphaInfo(), row.reported);
    EXPECT_GE(context->bytesPerRow(), size_t(3 * row.bits / 8 * 3));
    context->fillRect({0, 0, 3, 2}, Qt::red);
    CGImagePtr snapshot = context->makeImage();
    context->fillRect({0, 0, 3, 2}, Qt::blue);  // later drawing leaves the snapshot alone
    EXPECT_EQ(snapshot->bitsPerComponent(), size_t(row.bits));
    EXPECT_EQ(snapshot->qImage().pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(context->pixelColor(1, 1), QColor(Qt::blue));
  }
  EXPECT_FALSE(GraphicsContext::bitmapContext(0, 10));
  EXPECT_FALSE(GraphicsContext::bitmapContext(-5, 10));
  EXPECT_FALSE(GraphicsContext::bitmapContext(1 << 20, 1 << 20));
  EXPECT_FALSE(GraphicsContext::bitmapContext(10, 10, 12, ImageAlphaInfo::PremultipliedLast));
}

TEST(GraphicsContext, CurrentContextIsPerThread) {
  EXPECT_EQ(GraphicsContext::current(), nullptr);
  auto outer = GraphicsContext::bitmapContext(1, 1);
  auto inner = GraphicsContext::bitmapContext(1, 1);
  {
    CurrentContextScope a(outer.get());
    {
      CurrentContextScope b(inner.get());
      EXPECT_EQ(GraphicsContext::current(), inner.get());
      GraphicsContext* seenByOtherThread = inner.get();
      std::thread([&] { seenByOtherThread = GraphicsContext::current(); }).join();
      EXPECT_EQ(seenByOtherThread, nullptr);
    }
    EXPECT_EQ(GraphicsContext::current(), outer.get());
    GraphicsContext::saveGraphicsState();
    outer->setAlpha(0.25);
    GraphicsContext::restoreGraphicsState();
    EXPECT_EQ(outer->alpha(), 1.0);
  }
  EXPECT_EQ(GraphicsContext::current(), nullptr);
}

TEST(GraphicsContext, PainterOnAnImageUsesEveryOperation) {
  // A widget-like target: a painter already active, with its own transform
  // (the context covers the right half at 2× density).
  QImage target(40, 20, QImage::Format_ARGB32_Premultiplied);
  target.fill(Qt::white);
  QPainter painter(&target);
  painter.translate(20, 0);
  painter.scale(2, 2);
  {
    auto context = GraphicsContext::forPainter(&painter, {10, 10});
    ASSERT_TRUE(context);
    EXPECT_EQ(context->deviceScale(), QSizeF(2, 2));
    context->fillRect({0, 0, 5, 5}, QColor(255, 0, 0));  // bottom-left of the half
    context->fillRect({5, 5, 5, 5}, QColor(0, 0, 255), CompositingOperation::Multiply);
  }
  painter.end();
  EXPECT_EQ(target.pixelColor(25, 15), QColor(255, 0, 0));  // y-down image: bottom is high y
  EXPECT_EQ(target.pixelColor(35, 5), QColor(0, 0, 255));   // blue × white
  EXPECT_EQ(target.pixelColor(5, 5), QColor(Qt::white));    // left half untouched
}

TEST(GraphicsContext, PDFPagesComeOutUpright) {
  QString path = tst::tempPath("drawing.pdf");
  {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
    writer.setPageMargins({0, 0, 0, 0});
    writer.setResolution(144);
    auto context = GraphicsContext::forPDF(&writer);
    ASSERT_TRUE(context);
    EXPECT_NEAR(context->size().width(), 200, 0.5);
    EXPECT_NEAR(context->size().height(), 100, 0.5);
    context->fillRect({0, 0, 100, 50}, Qt::red);  // bottom-left quarter
    // A "T" from the top of the top-left quarter.
    context->drawAttributedString(AttributedString("T", Font("DejaVu Sans", 40)), {10, 50, 90, 50});
    ASSERT_TRUE(context->newPage());
    context->fillRect({100, 50, 100, 50}, Qt::blue);  // top-right quarter
  }
  tst::saveArtifact(path, "graphics-two-page-drawing.pdf");
  QString info;
  if (tst::haveTool("pdfinfo")) {
    ASSERT_EQ(tst::runTool("pdfinfo", {path}, &info), 0) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+2"))) << info.toStdString();
  }
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  auto pdf = PDFImageRep::imageRepWithData(file.readAll());
  ASSERT_TRUE(pdf);
  CGImagePtr first = pdf->renderPage(200, 100);
  EXPECT_TRUE(near(first->qImage().pixelColor(20, 80), QColor(Qt::red), 2));  // y-down raster
  EXPECT_TRUE(near(first->qImage().pixelColor(180, 20), QColor(Qt::white), 2));
  // The T is upright: its bar (the widest dark row) is near the top of the page.
  int widestRow = -1, widest = 0, inkTop = -1;
  for (int y = 0; y < 50; ++y) {
    int dark = 0;
    for (int x = 0; x < 100; ++x) dark += first->qImage().pixelColor(x, y).lightness() < 80;
    if (dark && inkTop < 0) inkTop = y;
    if (dark > widest) widest = dark, widestRow = y;
  }
  Font font("DejaVu Sans", 40);
  EXPECT_NEAR(inkTop, font.ascender() - font.capHeight(), 2.5);
  EXPECT_LE(widestRow, inkTop + 5);
  EXPECT_GT(widest, 15);
  pdf->setCurrentPage(1);
  CGImagePtr second = pdf->renderPage(200, 100);
  EXPECT_TRUE(near(second->qImage().pixelColor(180, 20), QColor(Qt::blue), 2));
}

TEST(GraphicsContext, AntialiasingAndInterpolationSwitches) {
  const struct {
    bool on;
    bool partialEdge;  // a half-covered pixel comes out half transparent
    bool blended;      // a scaled-up image shows mixed colours between its pixels
  } table[] = {{true, true, true}, {false, false, false}};
  QImage twoPixels(2, 1, QImage::Format_ARGB32);
  twoPixels.setPixelColor(0, 0, Qt::black);
  twoPixels.setPixelColor(1, 0, Qt::white);
  for (const auto& row : table) {
    auto context = GraphicsContext::bitmapContext(20, 4);
    context->setShouldAntialias(row.on);
    context->setImageInterpolation(row.on);
    EXPECT_EQ(context->shouldAntialias(), row.on);
    EXPECT_EQ(context->imageInterpolation(), row.on);
    context->fillRect({0.5, 0, 5, 1}, Qt::black);
    int edge = context->pixelColor(0, 0).alpha();
    EXPECT_EQ(edge > 0 && edge < 255, row.partialEdge) << edge;
    context->drawImage(CGImage::make(twoPixels), {0, 2, 20, 2});
    int middle = context->pixelColor(9, 3).red();
    EXPECT_EQ(middle > 10 && middle < 245, row.blended) << middle;
  }
}

TEST(GraphicsContext, PrinterPagesThroughAPainter) {
  QString path = tst::tempPath("printed.pdf");
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QSizeF(300, 200), QPageSize::Point));
    printer.setPageMargins({0, 0, 0, 0}, QPageLayout::Point);
    QPainter painter;
    ASSERT_TRUE(painter.begin(&printer));
    // The painter's transform maps points onto the printer's device units.
    double scale = printer.resolution() / 72.0;
    painter.scale(scale, scale);
    auto context = GraphicsContext::forPainter(&painter, {300, 200});
    ASSERT_TRUE(context);
    EXPECT_NEAR(context->deviceScale().width(), scale, 1e-9);
    context->fillRect({0, 0, 30, 30}, Qt::red);  // bottom-left corner
    context.reset();
    painter.end();
  }
  tst::saveArtifact(path, "graphics-printed-page.pdf");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  auto pdf = PDFImageRep::imageRepWithData(file.readAll());
  ASSERT_TRUE(pdf);
  EXPECT_NEAR(pdf->bounds().width(), 300, 0.5);
  CGImagePtr page = pdf->renderPage(300, 200);
  EXPECT_TRUE(near(page->qImage().pixelColor(10, 190), QColor(Qt::red), 2));
  EXPECT_TRUE(near(page->qImage().pixelColor(10, 10), QColor(Qt::white), 2));
}

TEST(GraphicsContext, PathClipsAddAndReplace) {
  QImage target(20, 20, QImage::Format_ARGB32_Premultiplied);
  target.fill(Qt::transparent);
  QPainter painter(&target);
  painter.setClipRect(0, 0, 15, 20);  // the target only allows x < 15
  auto context = GraphicsContext::forPainter(&painter, {20, 20});
  CurrentContextScope scope(context.get());
  BezierPath::bezierPathWithRect({0, 0, 10, 10}).addClip();
  BezierPath::bezierPathWithRect({5, 5, 15, 15}).setClip();  // replaces the 10×10 clip
  context->fillRect({0, 0, 20, 20}, Qt::black);
  const struct {
    QPoint at;  // y-up
    bool painted;
  } table[] = {{{7, 7}, true}, {{2, 2}, false}, {{12, 17}, true}, {{17, 17}, false}};
  painter.end();
  for (const auto& row : table)
    EXPECT_EQ(target.pixelColor(row.at.x(), 19 - row.at.y()).alpha() == 255, row.painted)
        << row.at.x() << "," << row.at.y();
}

// Drawings QPainter cannot composite go through layers a band of rows at a
// time, several bands at once; a pixel must come out the same whichever band
// holds it: the whole drawing is compared with the same drawing made tile by
// tile under clips, each tile one band. (Unsmoothed transformed images are
// left out: QPainter picks their nearest pixels differently under a clip.)
TEST(GraphicsContext, LayeredDrawingsDoNotDependOnTheirBands) {
  QImage photo(300, 200, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < photo.height(); ++y)
    for (int x = 0; x < photo.width(); ++x)
      photo.setPixel(x, y, qRgba((x * 5) & 0xff, (y * 9) & 0xff, (x * y) & 0xff, 255));
  const CGImagePtr image = CGImage::make(photo);
  struct Drawing {
    const char* name;
    void (*draw)(GraphicsContext&, const CGImagePtr&);
  };
  const Drawing drawings[] = {
      {"rotated image, smoothed, difference",
       [](GraphicsContext& c, const CGImagePtr& i) {
         c.drawImage(i, {60, 40, 420, 300}, {}, CompositingOperation::Difference, 1.0);
       }},
      {"rotated fill, colour burn",
       [](GraphicsContext& c, const CGImagePtr&) {
         c.fillRect({80, 30, 380, 330}, QColor(40, 120, 200, 180), CompositingOperation::ColorBurn);
       }},
  };
  const int width = 640, height = 480, tile = 40;
  for (const Drawing& drawing : drawings) {
    auto drawInto = [&](GraphicsContext& context, const QRectF& clip) {
      context.saveGState();
      if (!clip.isEmpty()) context.clipToRect(clip);
      context.translateCTM(width / 2.0, height / 2.0);
      context.rotateCTM(0.3);
      context.translateCTM(-width / 2.0, -height / 2.0);
      drawing.draw(context, image);
      context.restoreGState();
    };
    auto whole = GraphicsContext::bitmapContext(width, height);
    auto tiled = GraphicsContext::bitmapContext(width, height);
    ASSERT_TRUE(whole && tiled);
    for (GraphicsContext* context : {whole.get(), tiled.get()})
      context->fillRect({0, 0, double(width), double(height)}, QColor(200, 180, 90),
                        CompositingOperation::Copy);
    drawInto(*whole, {});
    for (int y = 0; y < height; y += tile)
      for (int x = 0; x < width; x += tile) drawInto(*tiled, QRectF(x, y, tile, tile));
    const QImage a = *whole->bitmap(), b = *tiled->bitmap();
    int differing = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) differing += a.pixel(x, y) != b.pixel(x, y);
    EXPECT_EQ(differing, 0) << drawing.name;
  }
}

// A view's margins fill large translucent rectangles through narrow clips,
// painted straight onto a device no bitmap path reads: they must come out as
// QPainter fills them whole, in every pixel, at every fractional edge.
TEST(GraphicsContext, RectanglesThroughNarrowClipsFillAsQPainterDoes) {
  struct Case {
    double scale;
    QRectF clip;  // user space, y up
    CompositingOperation op;
  };
  const Case cases[] = {
      {1, {0, 0, 17, 300}, CompositingOperation::SourceOver},
      {1, {183.5, 10, 16.25, 290}, CompositingOperation::SourceOver},
      {2, {0, 0, 9, 150}, CompositingOperation::SourceOver},
      {1.5, {0.5, 4, 12, 190}, CompositingOperation::SourceOver},
      {1, {0, 293, 200, 7}, CompositingOperation::SourceOver},
      {1, {3, 0, 120, 300}, CompositingOperation::Copy},
  };
  const QSize pixels(200, 300);
  for (const Case& c : cases) {
    for (double offset : {0.0, 0.13, 0.3, 0.5, 0.77, 0.91}) {
      QPixmap drawn(pixels), expected(pixels);
      drawn.fill(QColor(90, 90, 90));
      expected.fill(QColor(90, 90, 90));
      // Shadow-like nested rectangles, each reaching past the clip.
      auto rectangle = [&](int i) {
        return QTransform::fromScale(1 / c.scale, 1 / c.scale)
            .mapRect(QRectF(12.6 + offset - i, -5.5 + offset - i, 160 + 2 * i, 280 + 2 * i));
      };
      const QColor color = QColor::fromRgbF(0, 0, 0, 0.035);
      {
        QPainter painter(&drawn);
        auto context = GraphicsContext::forPainter(&painter, QSizeF(pixels));
        context->scaleCTM(c.scale, c.scale);
        context->clipToRect(c.clip);
        for (int i = 10; i >= 1; --i) context->fillRect(rectangle(i), color, c.op);
      }
      {
        QPainter painter(&expected);
        const QTransform toDevice =
            QTransform::fromScale(c.scale, c.scale) * QTransform(1, 0, 0, -1, 0, pixels.height());
        QPainterPath clip;
        clip.addRect(c.clip);
        painter.setClipPath(toDevice.map(clip));
        painter.setTransform(toDevice);
        painter.setRenderHint(QPainter::Antialiasing);
        if (c.op == CompositingOperation::Copy)
          painter.setCompositionMode(QPainter::CompositionMode_Source);
        for (int i = 10; i >= 1; --i) {
          QPainterPath path;
          path.addRect(rectangle(i));
          painter.fillPath(path, color);
        }
      }
      EXPECT_EQ(drawn.toImage(), expected.toImage())
          << "scale " << c.scale << " clip " << c.clip.x() << "," << c.clip.y() << " offset "
          << offset;
    }
  }
}
