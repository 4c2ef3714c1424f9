// The gradient and colour-picker tools on a 4000 × 3000 document, driven
// by Qt mouse events sent to a document window's canvas: one radial
// gradient drag event over the whole layer (the gradient rendered and the
// layer's image replaced), the same drag fitted in a 1920 × 1080 view with
// each event's repaint, and one colour-picker click once the flattened
// image is kept (a pixel read). Figures in milliseconds, the median of the
// runs.
#include <benchmark/benchmark.h>

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

#include "BenchReport.h"
#include "appkit/ScrollView.h"
#include "coreimage/Context.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/Error.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Settings.h"
#include "tools/IMAPipetteTool.h"
#include "tools/IMGradientTool.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BigWindow {
  BigWindow() {
    IMWindowController::installAsDocumentWindow();
    IMToolsController::installInDocumentWindows();
    fnd::Error error;
    document = qobject_cast<IMDocument*>(controller().openUntitledDocumentAndDisplay(true, &error));
    window = document ? dynamic_cast<IMWindowController*>(document->windowController()) : nullptr;
    tools = window ? dynamic_cast<IMToolsController*>(window->toolsController()) : nullptr;
    if (!tools) return;
    window->window()->resize(1000, 700);
    window->composedImage()->setSize({4000, 3000});
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    window->setZoom(0.25);
    canvas = window->mainViewCanvas();
  }
  ~BigWindow() {
    if (document) document->close();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  }
  static IMDocumentController& controller() {
    static IMDocumentController made;
    return made;
  }
  void send(QEvent::Type type, const QPointF& documentPoint, Qt::MouseButtons buttons) {
    const QPointF at =
        canvas->pointToWidget(canvas->transformation().transformPoint(documentPoint));
    QMouseEvent event(type, at, canvas->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &event);
  }
  double timed(QEvent::Type type, const QPointF& p, Qt::MouseButtons buttons) {
    const Clock::time_point start = Clock::now();
    send(type, p, buttons);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
  IMToolsController* tools = nullptr;
  IMView* canvas = nullptr;
};

// Processor time of every thread of the process, in milliseconds: the
// background work a drag leaves behind (version files, reduced copies)
// counts as well as the event's own.
double processCpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void BM_RadialGradientDrag(benchmark::State& state) {
  BigWindow w;
  if (!w.tools) return state.SkipWithError("no document window");
  w.tools->toolForClass<IMGradientTool>()->setRadialMode();
  const QPointF centre(2000, 1500);
  const double cpuStart = processCpuMilliseconds();
  w.send(QEvent::MouseButtonPress, centre, Qt::LeftButton);
  std::vector<double> ms;
  int step = 0;
  for (auto _ : state)
    ms.push_back(
        w.timed(QEvent::MouseMove, centre + QPointF(500 + (++step % 50), 300), Qt::LeftButton));
  w.send(QEvent::MouseButtonRelease, centre + QPointF(500, 300), Qt::NoButton);
  // Until the last version file is written: what the drag cost in all.
  while (Image::pendingCacheWrites() > 0) {
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  const double cpuPerEvent = (processCpuMilliseconds() - cpuStart) / double(ms.size());
  bench::figure("tools_radial_gradient_drag_4000x3000", median(ms), "ms");
  bench::figure("tools_radial_gradient_drag_cpu_per_event_4000x3000", cpuPerEvent, "ms");
}

// The window grown until its canvas shows `view`, the 4000 × 3000 image
// fitted into it.
void fitIntoView(BigWindow& w, const QSize& view) {
  w.window->window()->resize(view + QSize(480, 320));
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  auto* scroll = w.canvas->enclosingScrollView();
  const QSize shown = scroll ? scroll->viewport()->size() : view;
  w.window->window()->resize(w.window->window()->size() + (view - shown));
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  w.window->setZoom(std::min(view.width() / 4000.0, view.height() / 3000.0));
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
}

// The window's redraw requests go through the main queue; the repaint they
// ask for is then delivered, as the event loop does between two events.
void drainRedraws() {
  for (int i = 0; i < 3; ++i) {
    fnd::OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// The same drag as the user sees it: the whole 4000 × 3000 layer fitted in
// a 1920 × 1080 view, each event timed until the canvas has repainted.
void BM_RadialGradientDragFitView(benchmark::State& state) {
  BigWindow w;
  if (!w.tools) return state.SkipWithError("no document window");
  fitIntoView(w, QSize(1920, 1080));
  w.tools->toolForClass<IMGradientTool>()->setRadialMode();
  const QPointF centre(2000, 1500);
  const double cpuStart = processCpuMilliseconds();
  w.send(QEvent::MouseButtonPress, centre, Qt::LeftButton);
  drainRedraws();
  std::vector<double> ms;
  int step = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    w.send(QEvent::MouseMove, centre + QPointF(500 + 7 * (++step % 50), 300), Qt::LeftButton);
    drainRedraws();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  w.send(QEvent::MouseButtonRelease, centre + QPointF(500, 300), Qt::NoButton);
  while (Image::pendingCacheWrites() > 0) {
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  const double cpuPerEvent = (processCpuMilliseconds() - cpuStart) / double(ms.size());
  auto* scroll = w.canvas->enclosingScrollView();
  bench::figure("tools_radial_gradient_drag_fit_view_width",
                scroll ? scroll->viewport()->width() : 0, "px");
  bench::figure("tools_radial_gradient_drag_fit_1920x1080_with_redraw", median(ms), "ms");
  bench::figure("tools_radial_gradient_drag_fit_1920x1080_cpu_per_event", cpuPerEvent, "ms");
}

void BM_ColorPickerClick(benchmark::State& state) {
  BigWindow w;
  if (!w.tools) return state.SkipWithError("no document window");
  w.tools->selectToolOfClass<IMAPipetteTool>();
  // The first click flattens the document; later ones read the kept image.
  w.send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
  w.send(QEvent::MouseButtonRelease, {10, 10}, Qt::NoButton);
  std::vector<double> ms;
  int step = 0;
  for (auto _ : state) {
    const QPointF at(100 + (++step % 3000), 1000);
    ms.push_back(w.timed(QEvent::MouseButtonPress, at, Qt::LeftButton) +
                 w.timed(QEvent::MouseButtonRelease, at, Qt::NoButton));
  }
  bench::figure("tools_color_picker_click_4000x3000", median(ms), "ms");
}

// The drag's own rendering, apart from the canvas and the layer's version
// file: the tool's radial gradient over 4000 × 3000 to the layer's bytes,
// beside the memcpy of those bytes.
void BM_RadialGradientRender(benchmark::State& state) {
  BigWindow w;
  if (!w.tools) return state.SkipWithError("no document window");
  IMGradientTool* tool = w.tools->toolForClass<IMGradientTool>();
  tool->setRadialMode();
  w.send(QEvent::MouseButtonPress, {2000, 1500}, Qt::LeftButton);
  const ci::Image gradient =
      tool->gradientImageAtLocation({2500, 1800}).imageByCroppingToRect(QRectF(0, 0, 4000, 3000));
  w.send(QEvent::MouseButtonRelease, {2000, 1500}, Qt::NoButton);
  const ci::Context context;
  bench::Timings timings;
  timings.set("memcpy", bench::memcpyMilliseconds(size_t(4000) * 3000 * 4));
  bench::timed(state, timings, "tools_radial_gradient_render_4000x3000", [&] {
    benchmark::DoNotOptimize(context.createCGImage(gradient, QRectF(0, 0, 4000, 3000)));
  });
  timings.printAgainstFloor("tools_radial_gradient_render_4000x3000", "memcpy");
}

}  // namespace

BENCHMARK(BM_RadialGradientRender)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialGradientDrag)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialGradientDragFitView)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorPickerClick)->Iterations(200)->Unit(benchmark::kMillisecond);
