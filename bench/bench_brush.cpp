// The brush on the 4000 × 3000 ten-layer document of the model benchmarks,
// in a document window at 1000 × 700, through Qt mouse events sent to the
// canvas:
// - a stroke of 2,000 dabs 100 pixels across, each drag event's dirty
//   rectangle drawn into the canvas's bitmap before the next event, as dabs
//   per second and beside the same dabs stamped into an accumulator alone,
//   with the time the canvas spent drawing and the main thread's processor
//   time (wall time well above it is time spent waiting). A mouse reports
//   at most about 1,000 times a second, so a stroke at 15,000 dabs a second
//   brings 15 dabs an event; the dense row sends 3 an event, five times the
//   redraws a real stroke asks for;
// - from a drag event to its dirty rectangle drawn, at zoom 1 and 0.25, the
//   50th and 99th percentiles in milliseconds;
// - the bake of the 2,000-dab stroke at mouse-up, and whether one undo
//   brings back the layer's pixels exactly;
// - a layer's thumbnail, from its 8-bit pixels and as the float recipe.
// Each timed part starts once the work the document left running (cache
// files of the laid layers and of the last bake, reduced copies for the
// canvas, the layers' thumbnails) is done, so the stroke and the
// accumulator alone meet the same quiet machine instead of the stroke
// sharing it with that work.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QThreadPool>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

#include "BenchReport.h"
#include "CanvasMouse.h"
#include "ModelDocumentLayers.h"
#include "coreimage/ImageAccumulator.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/Error.h"
#include "foundation/OperationQueue.h"
#include "foundation/UndoManager.h"
#include "foundation/WorkerPool.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMPencilTool.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDabs = 2000;
constexpr double kBrushSize = 50;  // the radius: dabs 100 pixels across
// A stroke of 15,000 dabs a second seen by a mouse reporting 1,000 times a second.
constexpr int kDabsPerEvent = 15;
// A layer's thumbnail is redrawn this long after its last change (and then some).
constexpr int kThumbnailDelayMs = 700;

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// The processor time of the calling thread.
double threadCpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The brush, noting where it stamps.
struct CountingBrush : IMPencilTool {
  using IMPencilTool::IMPencilTool;
  ci::Image imageWithPoint(const QPointF& point, double pressure,
                           const ci::Image& background) override {
    points.push_back(point);
    return IMPencilTool::imageWithPoint(point, pressure, background);
  }
  std::vector<QPointF> points;
};

struct CountingToolsController : IMToolsController {
  void makeTools() override {
    IMToolsController::makeTools();
    replaceToolAtIndex(1, IMTool::toolWithToolsController<CountingBrush>(this));
  }
};

struct BrushWindow {
  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
  IMToolsController* tools = nullptr;
  CountingBrush* brush = nullptr;
  IMView* canvas = nullptr;
  Layer* layer = nullptr;

  BrushWindow() {
    IMWindowController::installAsDocumentWindow();
    IMWindowController::setToolsControllerFactory(
        [] { return std::make_unique<CountingToolsController>(); });
    fnd::Error error;
    document = qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    window = document ? dynamic_cast<IMWindowController*>(document->windowController()) : nullptr;
    tools = window ? dynamic_cast<IMToolsController*>(window->toolsController()) : nullptr;
    if (!tools) return;
    bench::layModelLayers(document->composedImage(), document->managedObjectContext());
    window->window()->resize(1000, 700);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    tools->selectToolOfClass<CountingBrush>();
    brush = tools->toolForClass<CountingBrush>();
    canvas = window->mainViewCanvas();
    window->layersController()->setSelectionIndex(0);
    layer = tools->workingLayer();
    window->settings()->setPencilSize(kBrushSize);
    window->settings()->setColor1(QColor(200, 30, 90));
  }
  ~BrushWindow() {
    if (document) document->close();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    IMWindowController::setToolsControllerFactory(nullptr);
  }
  bool isOpen() const { return brush && layer && canvas; }
  // Waits for the background work the document started to finish, the
  // layers' thumbnails included: a change asks for one half a second later,
  // and rendering a whole 4000 × 3000 layer keeps every worker busy.
  void settle() {
    auto* context = dynamic_cast<IMAManagedObjectContext*>(document->managedObjectContext());
    fnd::OperationQueue* saving = context ? context->loadingAndSavingOperationQueue() : nullptr;
    fnd::OperationQueue* thumbnails = context ? context->cancellableOperationQueue() : nullptr;
    const Clock::time_point asked = Clock::now();
    while (Clock::now() - asked < std::chrono::milliseconds(kThumbnailDelayMs))
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::processEvents();
      if (saving) saving->waitUntilAllOperationsAreFinished();
      if (thumbnails) thumbnails->waitUntilAllOperationsAreFinished();
      fnd::OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
      fnd::WorkerPool::shared()->waitForDone();
    }
  }

  void send(QEvent::Type type, const QPointF& document) { sendCanvasMouse(canvas, type, document); }
  // Draws what the last step of the brush asked to redraw, now.
  void drawDirtyRect() {
    const QRectF view = canvas->transformRectFromDocumentToView(brush->refreshRect());
    canvas->repaint(canvas->rectToWidget(view.intersected(canvas->visibleRect())).toAlignedRect());
  }
  // A zigzag over the middle of the visible part, `step` document units per event.
  std::vector<QPointF> path(double step, size_t events) const {
    const QRectF shown = window->visibleRect().adjusted(150, 150, -150, -150);
    std::vector<QPointF> points;
    QPointF p = shown.topLeft();
    double direction = 1;
    while (points.size() < events) {
      points.push_back(p);
      p.rx() += direction * step;
      if (p.x() > shown.right() || p.x() < shown.left()) {
        direction = -direction;
        p.rx() += 2 * direction * step;
        p.ry() += 30;
        if (p.y() > shown.bottom()) p.setY(shown.top());
      }
    }
    return points;
  }
};

BrushWindow& brushWindow() {
  static std::unique_ptr<BrushWindow> shared;
  if (!shared) {
    shared = std::make_unique<BrushWindow>();
    bench::atProgramEnd([] { shared.reset(); });
  }
  return *shared;
}

QImage layerImage(Layer* layer) {
  gfx::BitmapImageRepPtr rep = ima_bitmapRepresentation(layer->image()->nsImage());
  return rep ? rep->cgImage()->qImage() : QImage();
}

// The same dabs stamped straight into an accumulator over the same area.
double accumulatorAloneMilliseconds(BrushWindow& w, const QRectF& extent) {
  const std::vector<QPointF> points = w.brush->points;
  std::vector<ci::Image> dabs;
  dabs.reserve(points.size());
  for (const QPointF& p : points)
    dabs.push_back(w.brush->imageWithPoint(p, 1.0, ima_emptyImage())
                       .imageByCroppingToRect(w.brush->toolRectWithPoint(p)));
  ci::ImageAccumulator accumulator(extent, ci::kCIFormatRGBAf);
  const Clock::time_point start = Clock::now();
  for (size_t i = 0; i < dabs.size(); ++i)
    accumulator.setImage(dabs[i].imageByCompositingOverImage(accumulator.image()),
                         w.brush->toolRectWithPoint(points[i]));
  return millisecondsBetween(start, Clock::now());
}

// `dabsPerEvent` dabs a quarter of the brush size apart come with each event.
void brushStroke(benchmark::State& state, int dabsPerEvent, const std::string& prefix) {
  BrushWindow& w = brushWindow();
  if (!w.isOpen()) {
    state.SkipWithError("no document window");
    return;
  }
  w.window->setZoom(1);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  // The stamps stop short of the event's point: one step more than the dabs.
  const std::vector<QPointF> points = w.path((dabsPerEvent + 1) * kBrushSize / 4, kDabs);
  w.settle();
  for (auto _ : state) {
    const QImage before = layerImage(w.layer);
    w.brush->points.clear();
    w.send(QEvent::MouseButtonPress, points.front());
    const QRectF extent = w.layer->CIImageAccumulator()->extent();
    QCoreApplication::processEvents();
    w.settle();
    w.brush->points.clear();
    const Clock::time_point start = Clock::now();
    const double startCpu = threadCpuMilliseconds();
    size_t i = 1;
    double drawing = 0, drawingCpu = 0;
    for (; i < points.size() && w.brush->points.size() < kDabs; ++i) {
      w.send(QEvent::MouseMove, points[i]);
      const Clock::time_point drawn = Clock::now();
      const double drawnCpu = threadCpuMilliseconds();
      w.drawDirtyRect();
      drawing += millisecondsBetween(drawn, Clock::now());
      drawingCpu += threadCpuMilliseconds() - drawnCpu;
    }
    const double stroke = millisecondsBetween(start, Clock::now());
    const double strokeCpu = threadCpuMilliseconds() - startCpu;
    const size_t dabs = w.brush->points.size();
    const Clock::time_point up = Clock::now();
    const double upCpu = threadCpuMilliseconds();
    w.send(QEvent::MouseButtonRelease, points[i - 1]);
    const double bake = millisecondsBetween(up, Clock::now());
    const double bakeCpu = threadCpuMilliseconds() - upCpu;
    w.settle();
    bench::figure(prefix + "_2000_dabs_drawing_share", drawing, "ms");
    bench::figure(prefix + "_2000_dabs_drawing_share_main_thread_cpu", drawingCpu, "ms");
    bench::figure(prefix + "_2000_dabs_wall", stroke, "ms");
    bench::figure(prefix + "_2000_dabs_main_thread_cpu", strokeCpu, "ms");
    bench::figure(prefix + "_dabs_per_second", double(dabs) / stroke * 1000, "dabs/s");
    bench::ratio(prefix + "_vs_accumulator_alone",
                 stroke / accumulatorAloneMilliseconds(w, extent));
    // One undo gives back the pixels from before the stroke.
    w.document->managedObjectContext()->undoManager()->undo();
    Image* image = w.layer->image();
    while (image->localImageDate() != image->versionToken())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (dabsPerEvent != kDabsPerEvent) continue;
    bench::figure("tool_brush_bake_2000_dabs", bake, "ms");
    bench::figure("tool_brush_bake_2000_dabs_main_thread_cpu", bakeCpu, "ms");
    bench::figure("tool_brush_undo_restores_pixels", layerImage(w.layer) == before ? 1 : 0, "bool");
  }
}

void BM_BrushStroke(benchmark::State& state) {
  brushStroke(state, kDabsPerEvent, "tool_brush_stroke");
}
void BM_BrushStrokeDense(benchmark::State& state) {
  brushStroke(state, 3, "tool_brush_stroke_dense");
}

void dragToDrawn(benchmark::State& state, double zoom, const char* name) {
  BrushWindow& w = brushWindow();
  if (!w.isOpen()) {
    state.SkipWithError("no document window");
    return;
  }
  w.window->setZoom(zoom);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  const std::vector<QPointF> points = w.path(5 / zoom, 2001);
  std::vector<double> times;
  w.settle();
  for (auto _ : state) {
    times.clear();
    w.send(QEvent::MouseButtonPress, points.front());
    QCoreApplication::processEvents();
    for (size_t i = 1; i < points.size(); ++i) {
      const Clock::time_point sent = Clock::now();
      w.send(QEvent::MouseMove, points[i]);
      w.drawDirtyRect();
      times.push_back(millisecondsBetween(sent, Clock::now()));
    }
    w.send(QEvent::MouseButtonRelease, points.back());
    w.document->managedObjectContext()->undoManager()->undo();
    QCoreApplication::processEvents();
  }
  std::sort(times.begin(), times.end());
  if (times.empty()) return;
  const std::string prefix = std::string("tool_brush_drag_to_drawn_") + name;
  bench::figure(prefix + "_p50", times[times.size() / 2], "ms");
  bench::figure(prefix + "_p99", times[times.size() * 99 / 100], "ms");
}

void BM_BrushDragToDrawnZoom1(benchmark::State& state) { dragToDrawn(state, 1, "zoom1"); }
void BM_BrushDragToDrawnZoomQuarter(benchmark::State& state) {
  dragToDrawn(state, 0.25, "zoom0.25");
}

// A layer's thumbnail for the layers panel, from its 8-bit pixels as the
// layer asks for it, beside the float rendering of its recipe it replaces.
void BM_LayerThumbnail(benchmark::State& state) {
  BrushWindow& w = brushWindow();
  if (!w.isOpen()) {
    state.SkipWithError("no document window");
    return;
  }
  gfx::BitmapImageRepPtr rep = ima_bitmapRepresentation(w.layer->image()->nsImage());
  if (!rep || !rep->cgImage()) {
    state.SkipWithError("no layer pixels");
    return;
  }
  const gfx::CGImagePtr pixels = rep->cgImage();
  const ci::Image recipe = ci::Image::imageWithCGImage(pixels);
  const QSizeF size(137, 96);
  w.settle();
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    const gfx::ImagePtr fast = ima_previewImageWithPixelSize(pixels, size, Qt::gray);
    const double eightBit = millisecondsBetween(start, Clock::now());
    start = Clock::now();
    const gfx::ImagePtr rendered = ima_previewImageWithPixelSize(recipe, size, Qt::gray);
    const double asRecipe = millisecondsBetween(start, Clock::now());
    if (!fast || !rendered) state.SkipWithError("no thumbnail");
    bench::figure("layer_thumbnail_4000x3000", eightBit, "ms");
    bench::figure("layer_thumbnail_4000x3000_float_recipe", asRecipe, "ms");
    bench::ratio("layer_thumbnail_vs_float_recipe", eightBit / asRecipe);
  }
}

}  // namespace

BENCHMARK(BM_BrushStroke)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrushStrokeDense)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrushDragToDrawnZoom1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrushDragToDrawnZoomQuarter)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerThumbnail)->Iterations(1)->Unit(benchmark::kMillisecond);
