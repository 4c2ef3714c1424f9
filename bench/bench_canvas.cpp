// The canvas view on screen: a 1920 × 1080 view of the ten-layer document
// redrawn whole at zoom 1 and 0.5, and a 100 × 100 rectangle of it redrawn
// after a change, through the widget's paint (white, grid, layers, overlays,
// the copy to the window). Each time is printed beside memcpy of the view's
// floor of the same drawing as the model benchmarks' (TenLayerDocument.h)
// and beside the model drawing the same part straight into a bitmap in the
// same run, so the view's own share shows.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFrame>
#include <QTemporaryDir>

#include "BenchReport.h"
#include "TenLayerDocument.h"
#include "appkit/ScrollView.h"
#include "foundation/UserDefaults.h"
#include "graphics/GraphicsContext.h"
#include "window/IMCenterClipView.h"
#include "window/IMView.h"

namespace {

constexpr int kViewWidth = 1920, kViewHeight = 1080;
// The view's bottom-left in the document at each zoom, and a dirty rectangle
// of the view at an odd offset, as a brush leaves one.
const QPointF kViewOrigin(1000, 900), kHalfZoomViewOrigin(80, 420);
const QRectF kDirtyRect(733, 411, 100, 100);

// Draws and sizes the canvas through the model, as the document window does.
struct CanvasDelegate : IMViewDrawingDelegate, IMViewSizeDelegate {
  ComposedImage* composedImage = nullptr;
  double zoomFactor = 1;
  void viewDrawingRect(const QRectF& rect, bool clean, bool disableInterpolation) override {
    composedImage->compositeImageInRect(rect, clean, disableInterpolation);
  }
  QRectF contentOriginalRectForView() override { return composedImage->rect(); }
  double zoom() override { return zoomFactor; }
};

struct Canvas {
  QTemporaryDir folder;
  std::unique_ptr<Document> document;
  CanvasDelegate delegate;
  ui::ScrollView scroll;
  IMView* view = nullptr;
  Canvas() {
    document = buildDocument(folder.filePath("canvas.zova"));
    delegate.composedImage = document->composedImage();
    scroll.setFrameShape(QFrame::NoFrame);
    scroll.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll.resize(kViewWidth, kViewHeight);
    scroll.setContentView(new IMCenterClipView);
    view = new IMView;
    view->setDrawingDelegate(&delegate);
    view->setSizeDelegate(&delegate);
    scroll.setDocumentView(view);
    scroll.show();
  }
  ~Canvas() { document->finishWork(); }
  void showAt(double zoom, const QPointF& documentOrigin) {
    delegate.zoomFactor = zoom;
    view->updateFrame();
    scroll.contentView()->scrollToPoint(documentOrigin * zoom);
    QCoreApplication::processEvents();
  }
  void repaint(const QRectF& viewRect) {
    view->repaint(view->rectToWidget(viewRect).toAlignedRect());
  }
};

// Made on first use and ended before the application is: its document's
// queues finish their work on the main loop.
Canvas& canvas() {
  static std::unique_ptr<Canvas> shared;
  if (!shared) {
    shared = std::make_unique<Canvas>();
    bench::atProgramEnd([] { shared.reset(); });
  }
  return *shared;
}

// The mean milliseconds of `runs` runs of `work`, after one untimed run.
template <typename Work>
double meanMilliseconds(int runs, Work work) {
  work();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) work();
  return bench::millisecondsSince(start) / runs;
}

bench::Timings& timings() {
  static bench::Timings shared;
  return shared;
}

// The model's own drawing of the same view part into a bitmap, as the model
// benchmarks draw it.
void drawWithModel(gfx::GraphicsContext* bitmap, const QPointF& origin, double zoom,
                   const QRectF& dirty) {
  gfx::CurrentContextScope scope(bitmap);
  bitmap->saveGState();
  bitmap->clipToRect(dirty);
  bitmap->fillRect(dirty, Qt::white, gfx::CompositingOperation::Copy);
  bitmap->scaleCTM(zoom, zoom);
  bitmap->translateCTM(-origin.x(), -origin.y());
  const QRectF documentRect(origin.x() + dirty.x() / zoom, origin.y() + dirty.y() / zoom,
                            dirty.width() / zoom, dirty.height() / zoom);
  canvas().delegate.composedImage->compositeImageInRect(documentRect, false, false);
  bitmap->restoreGState();
}

void BM_CanvasFullView(benchmark::State& state) {
  const bool half = state.range(0) == 2;
  const double zoom = half ? 0.5 : 1;
  const QPointF origin = half ? kHalfZoomViewOrigin : kViewOrigin;
  const bool grid = state.range(1) == 1;
  const std::string name =
      std::string(half ? "canvas_draw_1920x1080_zoom0.5" : "canvas_draw_1920x1080_zoom1") +
      (grid ? "" : "_without_grid");
  fnd::UserDefaults::standardUserDefaults().setBool(grid, "IMShowDrawingGrid");
  Canvas& c = canvas();
  c.showAt(zoom, origin);
  const QRectF all = c.view->visibleRect();
  bench::timed(state, timings(), name, [&] { c.repaint(all); });
  auto bitmap = gfx::GraphicsContext::bitmapContext(kViewWidth, kViewHeight);
  timings().set(name + "_model", meanMilliseconds(int(state.iterations()), [&] {
                  drawWithModel(bitmap.get(), origin, zoom, QRectF(0, 0, kViewWidth, kViewHeight));
                }));
  setViewDrawingFloor(timings(), "view_floor", size_t(kViewWidth) * kViewHeight, bench::allCores());
  fnd::UserDefaults::standardUserDefaults().setBool(true, "IMShowDrawingGrid");
}

void BM_CanvasDirtyRect(benchmark::State& state) {
  Canvas& c = canvas();
  c.showAt(1, kViewOrigin);
  const QRectF all = c.view->visibleRect();
  c.repaint(all);
  const QRectF dirty = kDirtyRect.translated(all.x(), all.y());
  bench::timed(state, timings(), "canvas_redraw_100x100_dirty_rect", [&] { c.repaint(dirty); });
  auto bitmap = gfx::GraphicsContext::bitmapContext(kViewWidth, kViewHeight);
  timings().set("canvas_redraw_100x100_dirty_rect_model",
                meanMilliseconds(int(state.iterations()),
                                 [&] { drawWithModel(bitmap.get(), kViewOrigin, 1, kDirtyRect); }));
  setViewDrawingFloor(timings(), "dirty_floor", 100 * 100, 1);
}

void printBeside(const std::string& name, const std::string& floor) {
  bench::Timings& t = timings();
  t.printAgainstFloor(name, floor);
  if (t.has(name) && t.has(name + "_model") && t.get(name + "_model") > 0) {
    bench::figure(name + "_model_alone", t.get(name + "_model"), "ms");
    bench::ratio(name + "_vs_model_alone", t.get(name) / t.get(name + "_model"));
  }
}

const bool reported = bench::atPassEnd([] {
  printBeside("canvas_draw_1920x1080_zoom1", "view_floor");
  printBeside("canvas_draw_1920x1080_zoom0.5", "view_floor");
  // The same without the grid under the layers: the grid's share.
  printBeside("canvas_draw_1920x1080_zoom1_without_grid", "view_floor");
  printBeside("canvas_draw_1920x1080_zoom0.5_without_grid", "view_floor");
  printBeside("canvas_redraw_100x100_dirty_rect", "dirty_floor");
  timings().clear();
});

}  // namespace

BENCHMARK(BM_CanvasFullView)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_CanvasDirtyRect)->Unit(benchmark::kMillisecond)->Iterations(20);
