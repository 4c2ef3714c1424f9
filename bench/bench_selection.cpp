// The selection tools on the ten-layer document of the model benchmarks,
// opened in a document window as a user opens it:
// - one tick of the marching ants with a selection across a 1920 × 1080
//   view, from the timer's callback through the canvas's paint, with the
//   share of the view the paint covered;
// - the window's crop to a 3000 × 2000 selection, then one undo, checked
//   to bring every layer's placement back; and the crop of the ten layers'
//   pixels to the same rectangle, whose one undo must bring every pixel back.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QPaintEvent>
#include <QTemporaryDir>

#include "BenchReport.h"
#include "TenLayerDocument.h"
#include "appkit/Application.h"
#include "appkit/Window.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/UndoManager.h"
#include "tools/IMCropMarkerTool.h"
#include "tools/IMToolsController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

constexpr int kViewWidth = 1920, kViewHeight = 1080;
const QRectF kCrop(500, 500, 3000, 2000);

// Sums the area the canvas is asked to paint.
struct PaintedArea : QObject {
  double area = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      for (const QRect& part : static_cast<QPaintEvent*>(event)->region())
        area += double(part.width()) * part.height();
    return false;
  }
};

struct OpenWindow {
  QTemporaryDir folder;
  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
  IMToolsController* tools = nullptr;

  OpenWindow() {
    const QString path = folder.filePath("selection.zova");
    {
      std::unique_ptr<Document> made = buildDocument(path);
      made->save();
    }
    IMWindowController::installAsDocumentWindow();
    IMToolsController::installInDocumentWindows();
    bool done = false;
    controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true,
                                             [&](ui::Document* opened, bool, const fnd::Error*) {
                                               document = qobject_cast<IMDocument*>(opened);
                                               done = true;
                                             });
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    window = document ? dynamic_cast<IMWindowController*>(document->windowController()) : nullptr;
    tools = window ? dynamic_cast<IMToolsController*>(window->toolsController()) : nullptr;
    if (!tools) return;
    IMView* view = window->mainViewCanvas();
    window->window()->resize(2600, 1500);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    window->setZoom(1);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    // Every layer decoded, so the ticks measure drawing, not loading.
    view->repaint();
    QCoreApplication::processEvents();
    const QRectF visible = view->visibleRect();
    if (visible.width() < kViewWidth || visible.height() < kViewHeight) tools = nullptr;
  }
  ~OpenWindow() {
    if (document) document->close();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  }
  IMView* canvas() const { return window->mainViewCanvas(); }
  fnd::UndoManager* undo() const { return window->undoManager(); }
};

// Undo brings pixel versions back from the image cache on the document's
// queue; nothing is measured or compared before they are back and drawn.
void settle(OpenWindow& w) {
  auto back = [&] {
    for (Layer* layer : w.window->layersController()->arrangedLayers())
      if (layer->image() && !layer->image()->isCurrentVersionInMemory()) return false;
    return true;
  };
  while (!back()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  w.canvas()->repaint();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

OpenWindow& openWindow() {
  static std::unique_ptr<OpenWindow> shared;
  if (!shared) {
    shared = std::make_unique<OpenWindow>();
    bench::atProgramEnd([] { shared.reset(); });
  }
  return *shared;
}

void BM_MarchingAntsTick(benchmark::State& state) {
  OpenWindow& w = openWindow();
  if (!w.tools) return state.SkipWithError("no 1920 x 1080 document window");
  settle(w);
  IMView* canvas = w.canvas();
  const QRectF view = canvas->visibleRect();
  const QRectF shown(view.x(), view.y(), kViewWidth, kViewHeight);
  w.tools->setRectSelectedRect(canvas->transformRectFromViewToDocument(shown));
  w.tools->stopImmediatellyAnimation();  // the benchmark ticks instead
  canvas->repaint();
  QCoreApplication::processEvents();
  PaintedArea painted;
  canvas->installEventFilter(&painted);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    w.tools->animateSelections();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
  const double ms = bench::millisecondsSince(start) / double(state.iterations());
  canvas->removeEventFilter(&painted);
  bench::figure("selection_ants_tick_1920x1080", ms, "ms");
  bench::figure("selection_ants_tick_painted_share_of_view",
                painted.area / double(state.iterations()) / (kViewWidth * kViewHeight), "");
  w.tools->deselect();
  w.tools->startAnimation();
}

// Every layer's placement, and the canvas size.
QList<QPointF> placements(IMWindowController* window) {
  QList<QPointF> all;
  for (Layer* layer : window->layersController()->arrangedLayers()) all.append(layer->origin());
  all.append(QPointF(window->composedImage()->width(), window->composedImage()->height()));
  return all;
}

void BM_CropDocument(benchmark::State& state) {
  OpenWindow& w = openWindow();
  if (!w.tools) return state.SkipWithError("no document window");
  const QList<QPointF> before = placements(w.window);
  double total = 0;
  bool exact = true;
  for (auto _ : state) {
    w.tools->setRectSelectedRect(kCrop);
    const auto start = std::chrono::steady_clock::now();
    ui::Application::sharedApplication()->sendAction("crop:", w.window);
    QCoreApplication::processEvents();
    total += bench::millisecondsSince(start);
    w.undo()->undo();
    QCoreApplication::processEvents();
    exact = exact && placements(w.window) == before;
  }
  if (!exact) state.SkipWithError("one undo did not bring every layer back");
  bench::figure("selection_crop_document_10x4000x3000_to_3000x2000",
                total / double(state.iterations()), "ms");
}

// The layers' pixels, compared byte for byte.
QList<QByteArray> layerBytes(IMWindowController* window) {
  QList<QByteArray> all;
  for (Layer* layer : window->layersController()->arrangedLayers()) {
    gfx::ImagePtr image = layer->image() ? layer->image()->nsImage() : nullptr;
    gfx::CGImagePtr pixels = image ? image->CGImageForProposedRect(nullptr, nullptr) : nullptr;
    const QImage q = pixels ? pixels->qImage() : QImage();
    all.append(QByteArray(reinterpret_cast<const char*>(q.constBits()), q.sizeInBytes()));
  }
  return all;
}

void BM_CropLayers(benchmark::State& state) {
  OpenWindow& w = openWindow();
  if (!w.tools) return state.SkipWithError("no document window");
  settle(w);
  const QList<QByteArray> before = layerBytes(w.window);
  const QList<QPointF> placed = placements(w.window);
  double total = 0;
  bool exact = true;
  for (auto _ : state) {
    w.tools->setRectSelectedRect(kCrop);
    const auto start = std::chrono::steady_clock::now();
    w.tools->destructiveCropLayers(w.window->layersController()->arrangedLayers());
    QCoreApplication::processEvents();
    total += bench::millisecondsSince(start);
    w.undo()->undo();
    settle(w);
    exact = exact && placements(w.window) == placed && layerBytes(w.window) == before;
  }
  if (!exact) state.SkipWithError("one undo did not bring every pixel back");
  bench::figure("selection_crop_layers_10x4000x3000_to_3000x2000",
                total / double(state.iterations()), "ms");
}

}  // namespace

BENCHMARK(BM_MarchingAntsTick)->Iterations(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CropDocument)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CropLayers)->Iterations(2)->Unit(benchmark::kMillisecond);
