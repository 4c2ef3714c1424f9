// A scroll of the canvas moves what it already drew and draws only what the
// move uncovered. Whatever the zoom, interpolation, direction and amount,
// and with the grid and a selection's ants shown, the canvas's bitmap and
// the window's copy of it on screen must then equal a full redraw of the
// same view, pixel for pixel; and a layer changed about a scroll shows.
#include <gtest/gtest.h>

#include <QBackingStore>
#include <QCoreApplication>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "appkit/ClipView.h"
#include "appkit/ScrollView.h"
#include "documents/IMDocument.h"
#include "foundation/UserDefaults.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "tools/IMCropMarkerTool.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

ui::ClipView* clipOf(ToolWindow& w) { return w.canvas()->enclosingScrollView()->contentView(); }

// The window's pixels under the canvas, as last flushed to the screen.
QImage onScreen(IMView* canvas) {
  QBackingStore* store = canvas->window()->backingStore();
  if (!store || store->paintDevice()->devType() != QInternal::Image) return {};
  const auto* window = static_cast<const QImage*>(store->paintDevice());
  const QPoint at = canvas->mapTo(canvas->window(), QPoint(0, 0));
  return window->copy(QRect(at, canvas->size())).convertToFormat(QImage::Format_ARGB32);
}

// "" when every pixel is within `tolerance` levels, else how many are not,
// where and by how much.
std::string difference(const QImage& seen, const QImage& expected, int tolerance = 0) {
  if (seen.size() != expected.size()) return "sizes differ";
  int count = 0, worst = 0;
  QRect where;
  for (int y = 0; y < seen.height(); ++y)
    for (int x = 0; x < seen.width(); ++x) {
      const QRgb a = seen.pixel(x, y), b = expected.pixel(x, y);
      const int by = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                               std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
      if (by <= tolerance) continue;
      ++count, worst = std::max(worst, by);
      where |= QRect(x, y, 1, 1);
    }
  if (count == 0) return "";
  return std::to_string(count) + " pixels within " + std::to_string(where.x()) + "," +
         std::to_string(where.y()) + " " + std::to_string(where.width()) + "x" +
         std::to_string(where.height()) + ", by up to " + std::to_string(worst);
}

// Scrolls through `targets` (clip origins) from `from`, then checks the
// bitmap and the screen, as the paints the scrolls asked for leave them,
// against a full redraw of the same view, also after an overlay redraw.
// Done again from `from` when the
// ants crawled meanwhile, as a crawl repaints them all.
void expectScrollsAsFullRedraw(ToolWindow& w, const QPointF& from, std::vector<QPointF> targets,
                               int tolerance, const std::string& what) {
  SCOPED_TRACE(what);
  IMView* canvas = w.canvas();
  ui::ClipView* clip = clipOf(w);
  for (const QPointF& target : targets) ASSERT_EQ(clip->constrainScrollPoint(target), target);
  for (int attempt = 0; attempt < 5; ++attempt) {
    clip->scrollToPoint(from);
    tst::spinOnce();
    const qint64 tick = w.tools()->animationTime();
    for (const QPointF& target : targets) clip->scrollToPoint(target);
    tst::spinOnce();
    // An overlay redraw of it all, as the ants' crawl asks for its bands,
    // takes the document from the canvas's copy, which moved along.
    canvas->setNeedsDisplayOfOverlaysInRect(canvas->visibleRect());
    tst::spinOnce();
    const QImage* bitmap = canvas->backingBitmap();
    ASSERT_TRUE(bitmap);
    const QImage scrolled = bitmap->convertToFormat(QImage::Format_ARGB32);
    const QImage screen = onScreen(canvas);
    canvas->setNeedsDisplay(true);
    canvas->repaint();
    const QImage fresh = canvas->backingBitmap()->convertToFormat(QImage::Format_ARGB32);
    if (w.tools()->animationTime() != tick) continue;
    EXPECT_EQ(difference(scrolled, fresh, tolerance), "") << "bitmap";
    EXPECT_EQ(difference(screen, fresh, tolerance), "") << "screen";
    return;
  }
  ADD_FAILURE() << "the ants never held still";
}

QPointF origin(ToolWindow& w) { return clipOf(w)->bounds().topLeft(); }

// Wider than the window even at a third, the layers moved to its middle,
// and the view on them with room to scroll every way.
const QPointF kMiddle(1000, 800);
void enlarge(ToolWindow& w) {
  w.document->composedImage()->setSize(QSizeF(3000, 2400));
  for (Layer* layer : w.arrangedLayers()) layer->setOrigin(layer->origin() + kMiddle);
  w.window->setZoom(1);
  w.scrollToShow(QRectF(kMiddle + QPointF(200, 150), QSizeF(1, 1)));
}

}  // namespace

TEST(CanvasScroll, AScrolledCanvasEqualsAFullRedrawOfTheSameView) {
  fnd::UserDefaults::standardUserDefaults().setBool(true, "IMShowDrawingGrid");
  ToolWindow w(false);
  ASSERT_TRUE(w.isOpen());
  enlarge(w);
  // A selection across the layers, made as a user drags it.
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMCropMarkerTool>());
  const QRectF selection(kMiddle + QPointF(40, 10), QSizeF(260, 200));
  w.press(selection.topLeft());
  w.drag(selection.bottomRight());
  w.release(selection.bottomRight());
  ASSERT_EQ(w.tools()->selectedRect(), selection);

  const struct {
    double zoom;
    bool interpolation;
    // Between document pixels the resampling rounds a level differently
    // with where the view starts; on whole pixels it must not.
    int tolerance;
  } cases[] = {{1, false, 0}, {0.33, true, 1}, {0.33, false, 1}, {2, true, 0}, {2, false, 0}};
  // View points, y up: each direction, odd amounts, and one a pixel short
  // of a third of the view.
  const QPointF scrolls[] = {{0, 37}, {0, -53}, {41, 0}, {-29, 0}, {17, -23}, {-101, 99}};
  for (const auto& c : cases) {
    const std::string name =
        "zoom " + std::to_string(c.zoom) + (c.interpolation ? " smooth" : " sharp");
    fnd::UserDefaults::standardUserDefaults().setBool(c.interpolation, "ImageInterpolationPrefKey");
    w.window->setZoom(c.zoom);
    w.canvas()->setNeedsDisplay(true);
    w.scrollToShow(QRectF(kMiddle + QPointF(150, 100), QSizeF(1, 1)));
    for (const QPointF& by : scrolls) {
      const QPointF from = origin(w);
      expectScrollsAsFullRedraw(
          w, from, {from + by}, c.tolerance,
          name + " by " + std::to_string(by.x()) + "," + std::to_string(by.y()));
    }
    // Two scrolls before the canvas paints.
    const QPointF from = origin(w);
    expectScrollsAsFullRedraw(w, from, {from + QPointF(13, 31), from + QPointF(6, -14)},
                              c.tolerance, name + " twice unpainted");
  }
  tst::saveArtifactImage(w.window->window()->grab().toImage(), "canvas-scrolled.png");
}

TEST(CanvasScroll, ALayerChangedAboutAScrollShows) {
  fnd::UserDefaults::standardUserDefaults().setBool(true, "IMShowDrawingGrid");
  ToolWindow w(false);
  ASSERT_TRUE(w.isOpen());
  enlarge(w);
  Layer* sun = w.layerNamed("Sun");
  ASSERT_TRUE(sun);
  IMView* canvas = w.canvas();
  tst::spinOnce();
  const QImage before = canvas->backingBitmap()->copy();
  const QPointF from = origin(w);

  // Changed, then scrolled before the canvas paints the change...
  sun->setRotationAngle(30);
  // The canvas told (the window's turn comes) before the scroll's.
  QCoreApplication::sendPostedEvents();
  expectScrollsAsFullRedraw(w, from, {from + QPointF(0, 21)}, 0, "changed, then scrolled");
  // ...and scrolled, then changed before the scroll is painted.
  clipOf(w)->scrollToPoint(from);
  sun->setRotationAngle(0);
  expectScrollsAsFullRedraw(w, from, {}, 0, "scrolled back, then changed back");
  EXPECT_EQ(difference(canvas->backingBitmap()->copy(), before), "");
  sun->setAlpha(0.25);
  expectScrollsAsFullRedraw(w, from, {from + QPointF(-33, 0), from}, 0, "faded, scrolled");
  EXPECT_NE(difference(canvas->backingBitmap()->copy(), before), "") << "the fade shows";
}
