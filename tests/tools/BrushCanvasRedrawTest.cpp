// A stroke's redraws start from the composition the canvas keeps below the
// painted layer. Whatever it keeps, the canvas must show the very bytes it
// shows when every redraw composes every layer.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "foundation/UndoManager.h"
#include "graphics/CGImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMPencilTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

using Layers = IMViewDrawingDelegate::Layers;

// The window's drawing, counting the redraws split at the painted layer;
// with `whole` set it hides the stroke, so every redraw composes every layer.
struct CountingDrawing : IMViewDrawingDelegate {
  IMViewDrawingDelegate* window = nullptr;
  bool whole = false;
  int below = 0, fromPainted = 0;
  void viewDrawingRect(const QRectF& rect, bool clean, bool noInterpolation) override {
    window->viewDrawingRect(rect, clean, noInterpolation);
  }
  void notTransformedViewDrawingInRect(const QRectF& rect) override {
    window->notTransformedViewDrawingInRect(rect);
  }
  const void* paintedLayer() const override { return whole ? nullptr : window->paintedLayer(); }
  void viewDrawingLayersInRect(const QRectF& rect, Layers layers, bool noInterpolation) override {
    (layers == Layers::BelowPainted ? below : fromPainted) += 1;
    window->viewDrawingLayersInRect(rect, layers, noInterpolation);
  }
};

// Pixels no two neighbours share, so a part drawn from the wrong place or
// sampled at another zoom shows.
gfx::ImagePtr patterned(int width, int height) {
  QImage pixels(width, height, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.setPixel(x, y, qRgba((x * 5) & 0xff, (y * 3) & 0xff, ((x + y) * 7) & 0xff, 255));
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

void paintPending() {
  for (int i = 0; i < 3; ++i) tst::spinOnce();
}

// A stroke over "Sun" under a multiplying "Bar", over a patterned "Ground"
// in difference mode, whose opacity changes halfway: the canvas as shown
// before the mouse goes up.
QImage strokeShown(ToolWindow& w) {
  Layer* ground = w.layerNamed("Ground");
  w.press({225, 160});
  paintPending();
  for (int i = 1; i <= 24; ++i) {
    if (i == 12) {
      ground->setAlpha(0.6);  // a change below the painted layer
      paintPending();
    }
    w.drag({225 + i * 4.0, 160 + i * 4.5});
    paintPending();
  }
  const QImage shown = w.canvas()->backingBitmap()->copy();
  w.release({321, 268});
  paintPending();
  w.undoManager()->undo();
  ground->setAlpha(1);
  w.canvas()->setNeedsDisplay(true);
  paintPending();
  return shown;
}

QString firstDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return "sizes differ";
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y))
        return QString("at %1,%2: %3 instead of %4")
            .arg(x)
            .arg(y)
            .arg(a.pixel(x, y), 8, 16)
            .arg(b.pixel(x, y), 8, 16);
  return {};
}

}  // namespace

TEST(BrushCanvasRedraw, StrokeOverKeptLowerLayersShowsTheBytesOfFullRedraws) {
  for (double zoom : {1.0, 0.25}) {
    SCOPED_TRACE(zoom);
    ToolWindow w(false);
    ASSERT_TRUE(w.isOpen());
    ASSERT_TRUE(w.tools()->selectToolOfClass<IMPencilTool>());
    w.window->settings()->setPencilSize(12);
    w.window->settings()->setColor1(QColor(250, 200, 20));
    Layer* bar = w.layerNamed("Bar");
    Layer* ground = w.layerNamed("Ground");
    bar->setOrigin({50, 200});  // across "Sun"
    bar->setCompositingOperation(14);
    ground->setCompositingOperation(23);
    ground->image()->setNsImage(patterned(400, 300));
    w.layers()->setSelectionIndex(1);
    w.window->setZoom(zoom);
    w.canvas()->setNeedsDisplay(true);
    paintPending();
    w.forgetUndo();

    CountingDrawing drawing;
    drawing.window = w.canvas()->drawingDelegate();
    w.canvas()->setDrawingDelegate(&drawing);
    const QImage kept = strokeShown(w);
    const int below = drawing.below, fromPainted = drawing.fromPainted;
    drawing.whole = true;
    const QImage full = strokeShown(w);
    w.canvas()->setDrawingDelegate(drawing.window);

    ASSERT_FALSE(kept.isNull());
    EXPECT_EQ(firstDifference(kept, full).toStdString(), "");
    // Most redraws took the lower layers from the kept copy.
    EXPECT_GE(fromPainted, 24);
    EXPECT_LT(below, fromPainted / 2);
    tst::saveArtifactImage(kept, QString("brush-over-kept-layers-zoom-%1.png").arg(zoom));
  }
}
