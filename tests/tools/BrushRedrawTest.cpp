// What the brush asks the canvas to redraw after each drag: every pixel the
// drag's stamps changed, and no more than the squares of those stamps.
#include <gtest/gtest.h>

#include "ToolWindow.h"
#include "coreimage/Context.h"
#include "coreimage/PixelBuffer.h"
#include "coreimage/Rect.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMPencilTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

namespace {

ci::PixelBuffer accumulatorPixels(Layer* layer) {
  const std::shared_ptr<ci::ImageAccumulator> accumulator = layer->CIImageAccumulator();
  ci::PixelBuffer pixels(ci::IRect::covering(accumulator->extent()));
  ci::Context().render(accumulator->image(), pixels);
  return pixels;
}

// The rectangle around every pixel that differs between `a` and `b`.
QRectF changedArea(const ci::PixelBuffer& a, const ci::PixelBuffer& b) {
  QRectF changed;
  const ci::IRect& r = a.rect();
  for (int y = r.y; y < r.top(); ++y)
    for (int x = r.x; x < r.right(); ++x)
      if (!std::equal(a.pixel(x, y), a.pixel(x, y) + 4, b.pixel(x, y)))
        changed = changed.united(QRectF(x, y, 1, 1));
  return changed;
}

}  // namespace

// Drags of one, several and no whole steps, across, down and aslant.
TEST(BrushRedraw, EachDragRedrawsWhatItsStampsChanged) {
  ToolWindow w(false);
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMPencilTool>());
  auto* brush = w.tools()->toolForClass<IMPencilTool>();
  w.window->settings()->setPencilSize(8);  // stamps 2 apart, 16 across
  w.window->settings()->setColor1(QColor(30, 140, 220));
  w.layers()->setSelectionIndexes(fnd::IndexSet());

  w.press({100, 100});
  Layer* layer = w.tools()->workingLayer();
  ASSERT_TRUE(layer && layer->CIImageAccumulator());
  const struct {
    QPointF to;
    int stamps;  // whole steps short of the end
  } drags[] = {{{111, 100}, 5}, {{111, 109}, 4}, {{118, 116}, 4}, {{119, 116}, 1}, {{111, 108}, 5}};
  QPointF from(100, 100);
  for (const auto& drag : drags) {
    SCOPED_TRACE(drag.to.x());
    const ci::PixelBuffer before = accumulatorPixels(layer);
    w.drag(drag.to);
    const QRectF changed = changedArea(before, accumulatorPixels(layer));
    const QRectF redrawn = brush->refreshRect();
    ASSERT_FALSE(changed.isEmpty());
    // The canvas redraws every pixel the rectangle reaches into.
    EXPECT_TRUE(QRectF(redrawn.toAlignedRect()).contains(changed))
        << "changed pixels left out of the redraw";
    // The ends' squares, which the old request covered, are not all redrawn.
    const QRectF ends = brush->toolRectWithPoint(from).united(brush->toolRectWithPoint(drag.to));
    EXPECT_LT(redrawn.width() * redrawn.height(), ends.width() * ends.height());
    EXPECT_LE(redrawn.width(), 16 + 2 * (drag.stamps - 1) + 1);
    from = drag.to;
  }
  w.release(from);
}
