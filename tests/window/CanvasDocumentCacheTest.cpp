// A redraw asked for the overlays alone takes the document from the copy
// the canvas last composed; a document change in between must still show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QWindow>

#include "graphics/GraphicsContext.h"
#include "window/CanvasDocumentCache.h"
#include "window/IMView.h"

namespace {

// A document of one colour, and a count of the times it was drawn.
struct SolidDocument : IMViewDrawingDelegate, IMViewSizeDelegate {
  QColor colour = Qt::red;
  int drawn = 0;
  void viewDrawingRect(const QRectF& rect, bool, bool) override {
    ++drawn;
    gfx::GraphicsContext::current()->fillRect(rect, colour);
  }
  QRectF contentOriginalRectForView() override { return {0, 0, 120, 80}; }
  double zoom() override { return 1; }
};

struct ShownCanvas {
  SolidDocument document;
  IMView view{QRectF(0, 0, 120, 80)};
  ShownCanvas() {
    view.setDrawingDelegate(&document);
    view.setSizeDelegate(&document);
    view.resize(120, 80);
    view.show();
    settle();
  }
  void settle() {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 2000 && view.windowHandle() && !view.windowHandle()->isExposed())
      QCoreApplication::processEvents();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  QColor shownAt(int x, int y) {
    const QImage shown = view.screen()->grabWindow(view.winId()).toImage();
    return shown.pixelColor(x * shown.width() / view.width(), y * shown.height() / view.height());
  }
};

TEST(CanvasDocumentCache, OverlayRedrawsCopyTheDocumentYetShowItsChanges) {
  ShownCanvas canvas;
  ASSERT_EQ(canvas.shownAt(60, 40), QColor(Qt::red));
  const QRectF strip(10, 0, 4, 80);
  canvas.view.setNeedsDisplayOfOverlaysInRect(strip);  // composed and kept once
  canvas.settle();
  const int drawnBefore = canvas.document.drawn;
  canvas.view.setNeedsDisplayOfOverlaysInRect(strip);
  canvas.settle();
  EXPECT_EQ(canvas.document.drawn, drawnBefore) << "the kept document was not used";
  EXPECT_EQ(canvas.shownAt(11, 40), QColor(Qt::red));

  struct Change {
    const char* name;
    void (*ask)(IMView&, const QRectF&);
  };
  const Change changes[] = {
      {"part", [](IMView& v, const QRectF& r) { v.setNeedsDisplayInRect(r); }},
      {"whole", [](IMView& v, const QRectF&) { v.setNeedsDisplay(true); }},
      {"widget update", [](IMView& v, const QRectF&) { v.update(); }},
  };
  QColor colour = Qt::red;
  for (const Change& change : changes) {
    colour = colour == QColor(Qt::blue) ? QColor(Qt::green) : QColor(Qt::blue);
    canvas.document.colour = colour;
    // The document changes, then the outline ticks before anything is painted.
    change.ask(canvas.view, strip);
    canvas.view.setNeedsDisplayOfOverlaysInRect(strip);
    canvas.settle();
    canvas.view.setNeedsDisplayOfOverlaysInRect(strip);
    canvas.settle();
    EXPECT_EQ(canvas.shownAt(11, 40), colour) << change.name;
  }
}

// A pattern no two rows or columns share, so a row copied to the wrong
// place or a band left out shows.
QImage patterned(QSize size, int seed) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      image.setPixel(x, y,
                     qRgba((x * 7 + seed) & 0xff, (y * 3 + seed) & 0xff, (x ^ y) & 0xff, 255));
  return image;
}

TEST(CanvasDocumentCache, ANewSetupKeepsOnlyWhatWasComposedForIt) {
  const QSize size(700, 500);  // rows enough for several bands of the copy
  CanvasDocumentCache cache;
  CanvasDocumentCache::Setup zoomed, other;
  zoomed.transform = QTransform::fromScale(2, 2);
  other.transform = QTransform::fromScale(3, 3);
  const QImage first = patterned(size, 0), second = patterned(size, 91);
  cache.keep(zoomed, first, QRect(QPoint(), size));
  const QRect part(50, 30, 600, 400);
  cache.keep(other, second, part);

  EXPECT_FALSE(cache.covers(zoomed, part)) << "pixels of an earlier zoom offered";
  EXPECT_FALSE(cache.covers(other, QRect(QPoint(), size)))
      << "the earlier zoom's pixels around the part counted as kept";
  ASSERT_TRUE(cache.covers(other, part));
  QImage shown(size, QImage::Format_ARGB32_Premultiplied);
  shown.fill(Qt::black);
  cache.restore(shown, part);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x) {
      const QRgb expected = part.contains(x, y) ? second.pixel(x, y) : qRgb(0, 0, 0);
      ASSERT_EQ(shown.pixel(x, y), expected) << x << "," << y;
    }
}

}  // namespace
