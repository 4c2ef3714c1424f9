// Resizing the ten-layer 4000 × 3000 document by one half, as the resize
// popover's Apply does, and undoing it in one step. The time is printed
// beside the half-second budget a user waits for at most; a run whose undo
// does not give back every layer's scale and place, and the canvas size,
// fails.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "BenchReport.h"
#include "TenLayerDocument.h"
#include "foundation/UndoManager.h"

namespace {

constexpr double kBudgetMs = 500;

struct Place {
  double zoom;
  QPointF origin;
  bool operator==(const Place&) const = default;
};

QList<Place> places(ComposedImage* image) {
  QList<Place> list;
  for (Layer* layer : image->layersArray()) list.append({layer->zoom(), layer->origin()});
  return list;
}

double resizeMs = 0, undoMs = 0;

void BM_ResizeByHalf(benchmark::State& state) {
  QTemporaryDir folder;
  auto document = buildDocument(folder.filePath("resize.zova"));
  ComposedImage* image = document->composedImage();
  fnd::UndoManager* undo = document->context->undoManager();
  // Building the document is not a step to undo.
  document->context->processPendingChanges();
  undo->closeAutomaticGroup();
  undo->removeAllActions();
  const QList<Place> before = places(image);
  double resized = 0, undone = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    // One pass of the event loop, as the popover's Apply runs in.
    image->resizeWithZoom(0.5);
    document->context->processPendingChanges();
    undo->closeAutomaticGroup();
    auto middle = std::chrono::steady_clock::now();
    undo->undo();
    document->context->processPendingChanges();
    auto end = std::chrono::steady_clock::now();
    resized += std::chrono::duration<double, std::milli>(middle - start).count();
    undone += std::chrono::duration<double, std::milli>(end - middle).count();
    if (places(image) != before || image->size() != QSizeF(kWidth, kHeight))
      qFatal("resize: one undo did not restore the document");
  }
  resizeMs = resized / double(state.iterations());
  undoMs = undone / double(state.iterations());
}

const bool reported = bench::atPassEnd([] {
  bench::figure("resize_10x4000x3000_by_half", resizeMs, "ms");
  bench::figure("resize_10x4000x3000_undo", undoMs, "ms");
  bench::ratio("resize_10x4000x3000_by_half_vs_500ms_budget", resizeMs / kBudgetMs);
});

}  // namespace

BENCHMARK(BM_ResizeByHalf)->Unit(benchmark::kMillisecond)->Iterations(5);
