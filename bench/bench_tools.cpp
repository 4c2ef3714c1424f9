// From a mouse drag to the tool: a Qt mouse-move event with the left button
// held, sent to the canvas of a document window at zoom 2, through the
// event translation, the canvas's forwarding, the tools controller and the
// tool's state machine to its drag hook with the location in document
// coordinates. Each event is timed alone; the 50th and 99th percentiles
// are printed in microseconds.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>
#include <chrono>
#include <vector>

#include "BenchReport.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/Error.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

using Clock = std::chrono::steady_clock;

// A tool that notes when its drag hook is reached.
struct TimingTool : IMTool {
  using IMTool::IMTool;
  bool isAnEditTool() const override { return false; }
  void mouseDraggedAtLocation(const QPointF& location) override {
    reached = Clock::now();
    last = location;
    ++calls;
  }
  Clock::time_point reached;
  QPointF last;
  int calls = 0;
};

struct TimingToolsController : IMToolsController {
  void makeTools() override {
    IMToolsController::makeTools();
    replaceToolAtIndex(1, IMTool::toolWithToolsController<TimingTool>(this));
  }
};

void send(QWidget* canvas, QEvent::Type type, const QPointF& at, Qt::MouseButtons buttons) {
  QMouseEvent event(type, at, canvas->mapToGlobal(at),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(canvas, &event);
}

void BM_DragEventToToolHandler(benchmark::State& state) {
  IMWindowController::installAsDocumentWindow();
  IMWindowController::setToolsControllerFactory(
      [] { return std::make_unique<TimingToolsController>(); });
  static IMDocumentController controller;
  fnd::Error error;
  auto* document =
      qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
  auto* window =
      document ? dynamic_cast<IMWindowController*>(document->windowController()) : nullptr;
  auto* tools = window ? dynamic_cast<IMToolsController*>(window->toolsController()) : nullptr;
  if (!tools) {
    state.SkipWithError("no document window");
    return;
  }
  window->window()->resize(1000, 700);
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  window->setZoom(2);
  tools->trySetSelectedToolIndex(1);
  auto* tool = tools->toolForClass<TimingTool>();
  IMView* canvas = window->mainViewCanvas();
  const QPointF start(100, 100);
  send(canvas, QEvent::MouseButtonPress, start, Qt::LeftButton);
  std::vector<double> micros;
  micros.reserve(size_t(state.max_iterations));
  int step = 1;  // the first event moves off the mouse-down point
  for (auto _ : state) {
    const QPointF at = start + QPointF(step % 200, (step / 200) % 100);
    ++step;
    const Clock::time_point sent = Clock::now();
    send(canvas, QEvent::MouseMove, at, Qt::LeftButton);
    micros.push_back(std::chrono::duration<double, std::micro>(tool->reached - sent).count());
  }
  send(canvas, QEvent::MouseButtonRelease, start, Qt::NoButton);
  // Every event moved the pointer, so every one must have reached the hook.
  if (tool->calls != int(micros.size())) state.SkipWithError("a drag did not reach the tool");
  std::sort(micros.begin(), micros.end());
  if (!micros.empty()) {
    bench::figure("tool_drag_event_to_handler_p50", micros[micros.size() / 2], "us");
    bench::figure("tool_drag_event_to_handler_p99", micros[micros.size() * 99 / 100], "us");
  }
  document->close();
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  IMWindowController::setToolsControllerFactory(nullptr);
}

}  // namespace

BENCHMARK(BM_DragEventToToolHandler)->Iterations(20000)->Unit(benchmark::kMicrosecond);
