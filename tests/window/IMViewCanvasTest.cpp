// The canvas on screen: a three-layer document in a scroll view with the
// centring clip view, grabbed at zoom 0.25, 1 and 4 (grid on, interpolation
// off at 4) and compared with the model's own flattening at that scale; and
// the same drawing routine in clean mode into a bitmap and on a PDF page.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <cmath>

#include "CanvasTestDocument.h"
#include "TestSupport.h"
#include "appkit/ScrollView.h"
#include "foundation/UserDefaults.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "window/IMCenterClipView.h"
#include "window/IMView.h"

namespace {

// The flattening (top row first) averaged over the document pixels one
// view pixel covers, or the single pixel under it when zoomed in.
QRgb expectedAt(const QImage& flat, double zoom, int vx, int vy) {
  const int n = zoom < 1 ? int(std::lround(1 / zoom)) : 1;
  // Zoomed in, the document pixel under the view pixel's centre.
  const int dx = zoom < 1 ? vx * n : int(std::floor((vx + 0.5) / zoom));
  const int dy = zoom < 1 ? vy * n : int(std::floor((vy + 0.5) / zoom));  // y up
  int sum[4] = {0, 0, 0, 0};
  for (int y = dy; y < dy + n; ++y)
    for (int x = dx; x < dx + n; ++x) {
      const QRgb p = flat.pixel(x, flat.height() - 1 - y);
      sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p), sum[3] += qAlpha(p);
    }
  const int count = n * n;
  return qRgba((sum[0] + count / 2) / count, (sum[1] + count / 2) / count,
               (sum[2] + count / 2) / count, (sum[3] + count / 2) / count);
}

int channelDifference(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

TEST(IMViewCanvas, GrabsAtThreeZoomsMatchTheModelsFlattening) {
  fnd::UserDefaults::standardUserDefaults().setBool(true, "IMShowDrawingGrid");
  fnd::UserDefaults::standardUserDefaults().setBool(false, "ImageInterpolationPrefKey");
  CanvasTestDocument document;
  const QImage flat = document.flattenedOverGrid();
  struct Case {
    double zoom;
    QPointF scrollTo;  // view coordinates, before constraining
    int tolerance;
    const char* name;
  };
  // A quarter: each view pixel averages 4 × 4 document pixels in the
  // expectation while the canvas resamples each layer, hence a level more.
  const Case cases[] = {{0.25, {0, 0}, 2, "canvas-zoom-0.25.png"},
                        {1, {0, 0}, 1, "canvas-zoom-1.png"},
                        {4, {301, 157}, 1, "canvas-zoom-4.png"}};
  for (const Case& c : cases) {
    ui::ScrollView scroll;
    scroll.resize(360, 280);
    auto* clip = new IMCenterClipView;
    scroll.setContentView(clip);
    auto* canvas = new IMView;
    canvas->setDrawingDelegate(&document);
    canvas->setSizeDelegate(&document);
    document.zoomFactor = c.zoom;
    scroll.setDocumentView(canvas);
    canvas->updateFrame();
    clip->setIsReadyForShadow(true);
    scroll.show();
    clip->scrollToPoint(c.scrollTo);
    tst::spinOnce();
    const QImage grab = scroll.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QByteArray png;
    {
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      grab.save(&buffer, "PNG");
    }
    tst::saveArtifactData(png, c.name);

    // The widget never exceeds the clip view, whatever the zoomed size.
    const QRectF frame = canvas->frame();
    EXPECT_EQ(frame, QRectF(0, 0, 200 * c.zoom, 160 * c.zoom));
    EXPECT_LE(canvas->width(), clip->width());
    EXPECT_LE(canvas->height(), clip->height());
    const QRectF shown = canvas->visibleRect();
    ASSERT_FALSE(shown.isEmpty());
    const QPoint at = canvas->mapTo(&scroll, QPoint(0, 0));
    int worst = 0, compared = 0;
    QPoint worstAt;
    for (int wy = 0; wy < canvas->height(); ++wy)
      for (int wx = 0; wx < canvas->width(); ++wx) {
        // The view pixel under widget pixel (wx, wy), counted from the bottom-left.
        const int vx = int(shown.x()) + wx;
        const int vy = int(shown.y() + shown.height()) - 1 - wy;
        const QRgb seen = grab.pixel(at.x() + wx, at.y() + wy);
        const int difference = channelDifference(seen, expectedAt(flat, c.zoom, vx, vy));
        if (difference > worst) worst = difference, worstAt = QPoint(vx, vy);
        ++compared;
      }
    EXPECT_GT(compared, 1500) << c.zoom;
    EXPECT_LE(worst, c.tolerance) << "zoom " << c.zoom << " at view pixel " << worstAt.x() << ","
                                  << worstAt.y();

    if (c.zoom < 1) {
      // Centred: (360-ish − 50) / 2 on each side, the clip origin negative.
      EXPECT_LT(clip->boundsOrigin().x(), 0);
      EXPECT_LT(clip->boundsOrigin().y(), 0);
      EXPECT_NEAR(at.x(), (clip->width() - 50) / 2.0, 1);
      EXPECT_NEAR(at.y(), (clip->height() - 40) / 2.0, 1);
      // Around the canvas: the clip view's grey, darkened by the shadow
      // below and to the right, untouched far away.
      const QRgb far = grab.pixel(3, 3);
      EXPECT_EQ(qRed(far), 128);
      const QRgb belowRight = grab.pixel(at.x() + 50 + 2, at.y() + 40 + 2);
      EXPECT_LT(qRed(belowRight), 120);
    }
  }
}

// The largest channel difference between the canvas of `document` at `zoom`,
// scrolled to `scrollTo`, as grabbed, and `flat` magnified pixel for pixel.
int worstDifferenceFromMagnified(CanvasTestDocument& document, const QImage& flat, double zoom,
                                 const QPointF& scrollTo) {
  ui::ScrollView scroll;
  scroll.resize(300, 220);
  auto* clip = new IMCenterClipView;
  scroll.setContentView(clip);
  auto* canvas = new IMView;
  canvas->setDrawingDelegate(&document);
  canvas->setSizeDelegate(&document);
  document.zoomFactor = zoom;
  scroll.setDocumentView(canvas);
  canvas->updateFrame();
  scroll.show();
  clip->scrollToPoint(scrollTo);
  tst::spinOnce();
  const QImage grab = canvas->grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRectF shown = canvas->visibleRect();
  if (grab.isNull() || shown.width() < 200 || shown.height() < 150) return 256;
  int worst = 0;
  for (int wy = 0; wy < grab.height(); ++wy)
    for (int wx = 0; wx < grab.width(); ++wx) {
      const int vx = int(shown.x()) + wx;
      const int vy = int(shown.y() + shown.height()) - 1 - wy;
      worst =
          std::max(worst, channelDifference(grab.pixel(wx, wy), expectedAt(flat, zoom, vx, vy)));
    }
  return worst;
}

TEST(IMViewCanvas, MagnifiedShowsEachDocumentPixelAsABlock) {
  fnd::UserDefaults::standardUserDefaults().setBool(true, "IMShowDrawingGrid");
  fnd::UserDefaults::standardUserDefaults().setBool(false, "ImageInterpolationPrefKey");
  CanvasTestDocument document;
  // A rotated layer as well: magnified, it shows the pixels it flattens to.
  document.composedImage->layersArray()[1]->setRotationAngle(20);
  const QImage flat = document.flattenedOverGrid();
  struct Case {
    double zoom;
    QPointF scrollTo;
  };
  const Case cases[] = {{2, {0, 0}}, {3, {131, 77}}, {8, {703, 517}}, {16, {1203, 911}}};
  // The canvas blends the layers over the background, the expectation lays
  // their flattening over it: 8-bit rounding at different steps, a few levels.
  for (const Case& c : cases)
    EXPECT_LE(worstDifferenceFromMagnified(document, flat, c.zoom, c.scrollTo), 3)
        << "zoom " << c.zoom;
}

TEST(IMViewCanvas, CleanModeDrawsTheSameIntoABitmapAndOnAPDFPage) {
  CanvasTestDocument document;
  IMView canvas(QRectF(0, 0, CanvasTestDocument::kWidth, CanvasTestDocument::kHeight));
  canvas.setDrawingDelegate(&document);
  canvas.setForceCleanDrawing(true);
  const QRectF all = canvas.bounds();

  // Clear background: the flattening itself, transparent where no layer is.
  const QImage flat = document.flattened();
  const QImage clear = canvas.imageOfRect(all)->toFormat(QImage::Format_ARGB32_Premultiplied);
  int worst = 0;
  for (int y = 0; y < flat.height(); ++y)
    for (int x = 0; x < flat.width(); ++x)
      worst = std::max(worst, channelDifference(clear.pixel(x, y), flat.pixel(x, y)));
  EXPECT_LE(worst, 1);
  EXPECT_EQ(qAlpha(clear.pixel(199, 0)), 0);  // top right: bare canvas

  canvas.setNoAlphaWhenForceCleanDrawing(true);
  const QImage white = canvas.imageOfRect(all)->toFormat(QImage::Format_ARGB32);
  EXPECT_EQ(white.pixel(199, 0), qRgb(255, 255, 255));

  // A part at an odd offset lands at the image's origin.
  const QImage part = canvas.imageOfRect(QRectF(37, 21, 50, 30))->toFormat(QImage::Format_ARGB32);
  EXPECT_LE(channelDifference(part.pixel(0, 29), white.pixel(37, 159 - 21)), 1);
  EXPECT_LE(channelDifference(part.pixel(49, 0), white.pixel(86, 159 - 50)), 1);

  // The PDF page, rendered by poppler at one pixel per point: the same
  // picture on white, outside the multiplying layer (a PDF page has no
  // pixels to multiply with, so that layer is drawn over instead).
  const QByteArray pdf = canvas.dataWithPDFInsideRect(all);
  tst::saveArtifactData(pdf, "canvas-clean.pdf");
  if (!tst::haveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm missing";
  const QString pdfPath = tst::tempPath("canvas-clean.pdf");
  QFile file(pdfPath);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(pdf);
  file.close();
  const QString prefix = tst::tempPath("canvas-clean-page");
  ASSERT_EQ(tst::runTool("pdftoppm", {"-r", "72", "-png", "-singlefile", pdfPath, prefix}), 0);
  const QImage page = QImage(prefix + ".png").convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(page.size(), QSize(200, 160));
  const QRect multiplying(32, 160 - 40 - 80, 96, 80);  // y down
  worst = 0;
  QPoint worstAt;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 200; ++x)
      if (!multiplying.adjusted(-1, -1, 1, 1).contains(x, y))
        if (channelDifference(page.pixel(x, y), white.pixel(x, y)) > worst)
          worst = channelDifference(page.pixel(x, y), white.pixel(x, y)), worstAt = QPoint(x, y);
  EXPECT_LE(worst, 3) << "at " << worstAt.x() << "," << worstAt.y();
}

}  // namespace
