// A document of ten 4000 × 3000 layers (mixed compositing operations,
// opacity 0.5 to 1, two rotated): flattening it into an 8-bit image (with
// its peak memory), drawing a 1920 × 1080 view of it at zoom 1 and 0.5 as
// the canvas does, redrawing a 100 × 100 dirty rectangle of that view,
// saving it (first save, then after changing one layer), opening it to the
// first view, and saving and reopening it with every layer decoded. Each
// time is printed beside memcpy of the same number of bytes in the same run,
// the memory bandwidth floor, copied on as many threads as the work spreads
// over (every core for the whole document or view, one for the dirty
// rectangle), which the floor's line states.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <chrono>
#include <map>
#include <random>
#include <vector>

#include "BenchReport.h"
#include "ModelBenchmarkLayers.h"
#include "TenLayerDocument.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

constexpr int kViewWidth = 1920, kViewHeight = 1080;
// The view's origin in the document at each zoom (the part shown lies inside the canvas).
const QPointF kViewOrigin(1000, 900), kHalfZoomViewOrigin(80, 420);
// A dirty rectangle of the view at an odd offset, as a brush leaves one.
const QRectF kDirtyRect(733, 411, 100, 100);

QString storePath(const char* name) {
  // A folder of this run's own: other runs of this program may be working at the same time.
  static QTemporaryDir folder;
  return folder.filePath(QStringLiteral("bench-document-%1.zova").arg(name));
}

// The document the flatten and drawing benchmarks share; built once, closed
// after the last pass.
std::unique_ptr<Document>& drawingDocument() {
  static std::unique_ptr<Document> document;
  if (!document) document = buildDocument(storePath("drawing"));
  return document;
}

bench::Timings& timings() {
  static bench::Timings shared;
  return shared;
}

// A floor for work spread over the worker pool: memcpy on every core.
void parallelFloor(const std::string& name, size_t bytes) {
  timings().setFloor(name, bench::memcpyMilliseconds(bytes, bench::allCores()), bench::allCores());
}

template <typename Body>
void timed(benchmark::State& state, const std::string& name, Body body) {
  bench::timed(state, timings(), name, body);
}

// What the canvas does for a dirty rectangle of its view (in view pixels):
// fill it white, then composite the document part it shows (of the drawing
// document unless another is given).
void drawView(gfx::GraphicsContext* view, const QPointF& origin, double zoom, const QRectF& dirty,
              Document* document = nullptr) {
  gfx::CurrentContextScope scope(view);
  view->saveGState();
  view->clipToRect(dirty);
  view->fillRect(dirty, Qt::white, gfx::CompositingOperation::Copy);
  view->scaleCTM(zoom, zoom);
  view->translateCTM(-origin.x(), -origin.y());
  const QRectF documentRect(origin.x() + dirty.x() / zoom, origin.y() + dirty.y() / zoom,
                            dirty.width() / zoom, dirty.height() / zoom);
  if (!document) document = drawingDocument().get();
  document->composedImage()->compositeImageInRect(documentRect, false, false);
  view->restoreGState();
}

void BM_Flatten(benchmark::State& state) {
  ComposedImage* composedImage = drawingDocument()->composedImage();
  const double before = bench::residentBytes();
  bench::resetPeakMemory();
  timed(state, "document_flatten_10x4000x3000", [&] {
    gfx::ImagePtr flat = composedImage->finalImageKeepAlpha(false);
    benchmark::DoNotOptimize(flat.get());
  });
  // Beyond the layers, which were resident before.
  if (!bench::warmPass()) timings().set("flatten_peak", bench::peakMemoryBytes() - before);
  parallelFloor("flatten_floor", kLayerBytes * (kLayers + 1));
}

void BM_DrawView(benchmark::State& state) {
  const double zoom = state.range(0) == 1 ? 1.0 : 0.5;
  const QPointF origin = zoom == 1 ? kViewOrigin : kHalfZoomViewOrigin;
  auto view = gfx::GraphicsContext::bitmapContext(kViewWidth, kViewHeight);
  timed(state, zoom == 1 ? "document_draw_1920x1080_zoom1" : "document_draw_1920x1080_zoom0.5",
        [&] { drawView(view.get(), origin, zoom, QRectF(0, 0, kViewWidth, kViewHeight)); });
  setViewDrawingFloor(timings(), "view_floor", size_t(kViewWidth) * kViewHeight, bench::allCores());
}

void BM_RedrawDirtyRect(benchmark::State& state) {
  auto view = gfx::GraphicsContext::bitmapContext(kViewWidth, kViewHeight);
  drawView(view.get(), kViewOrigin, 1, QRectF(0, 0, kViewWidth, kViewHeight));
  timed(state, "document_redraw_100x100_dirty_rect",
        [&] { drawView(view.get(), kViewOrigin, 1, kDirtyRect); });
  setViewDrawingFloor(timings(), "dirty_floor", 100 * 100, 1);
}

// Milliseconds `work` takes.
template <typename Work>
double clock(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return bench::millisecondsSince(start);
}

// One document's life: its first save, a save after changing one layer,
// opening it to the first view, and reopening it with every layer decoded.
struct SaveAndOpenTimes {
  double firstSave = 0, saveOneChanged = 0, close = 0, openToView = 0, openAllDecoded = 0;
  // Peak memory added while the document opens with every layer decoded.
  double openPeakBytes = 0;
  double storeBytes = 0;                          // the store's file after the save of one change
  double firstSaveBytes = 0, oneChangeBytes = 0;  // the bytes each save added to the file
  double firstSaveFloor = 0, oneChangeFloor = 0;  // writing and syncing as many bytes
};

// The disk floor of a save: writing `bytes` to a new file in the store's
// folder and syncing it, as a save must before it can say it is done.
double writeAndSyncMilliseconds(const QString& folder, size_t bytes) {
  static std::vector<char> data;
  if (data.size() < bytes) {
    data.resize(bytes);
    std::mt19937 random(7);  // not all zeros: no file system shortcut for them
    for (size_t i = 0; i < bytes; i += 64) data[i] = char(random());
  }
  const QString path = folder + "/bench-document-floor.bin";
  const auto start = std::chrono::steady_clock::now();
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
    qFatal("bench_document: the write floor failed");
  // In pieces of 1 MiB, the fastest way through the page cache here (one
  // write of the whole took up to three times as long).
  constexpr size_t kPiece = size_t(1) << 20;
  for (size_t at = 0; at < bytes; at += kPiece) {
    const qint64 piece = qint64(std::min(kPiece, bytes - at));
    if (file.write(data.data() + at, piece) != piece)
      qFatal("bench_document: the write floor failed");
  }
  if (::fdatasync(file.handle()) != 0) qFatal("bench_document: the write floor failed");
  file.close();
  const double elapsed = bench::millisecondsSince(start);
  QFile::remove(path);
  return elapsed;
}

SaveAndOpenTimes saveAndOpen() {
  SaveAndOpenTimes times;
  const QString path = storePath("saved");
  std::unique_ptr<Document> document = buildDocument(path);
  times.firstSave = clock([&] {
    document->save();
    document->finishWork();
  });
  times.firstSaveBytes = double(QFileInfo(path).size());
  document->composedImage()->layersArray().first()->image()->setNsImage(layerPixels(kLayers));
  document->finishWork();
  times.saveOneChanged = clock([&] {
    document->save();
    document->finishWork();
  });
  times.close = clock([&] { document.reset(); });
  times.storeBytes = double(QFileInfo(path).size());
  // The new blob lies in pages the first save left free, or at the end.
  times.oneChangeBytes = times.firstSaveBytes / kLayers;
  auto view = gfx::GraphicsContext::bitmapContext(kViewWidth, kViewHeight);
  times.openToView = clock([&] {
    document = std::make_unique<Document>(path);
    drawView(view.get(), kViewOrigin, 1, QRectF(0, 0, kViewWidth, kViewHeight), document.get());
  });
  document.reset();
  const double residentBefore = bench::residentBytes();
  bench::resetPeakMemory();
  times.openAllDecoded = clock([&] {
    Document reopened(path);
    for (Layer* layer : reopened.composedImage()->layersArray())
      benchmark::DoNotOptimize(layer->image()->nsImage().get());
    // What stays while the document is open: its queues' work done too.
    reopened.finishWork();
    times.openPeakBytes = bench::peakMemoryBytes() - residentBefore;
  });
  QFile::remove(path);
  return times;
}

void BM_SaveAndOpen(benchmark::State& state) {
  if (bench::warmPass()) saveAndOpen();
  SaveAndOpenTimes sum;
  for (auto _ : state) {
    const SaveAndOpenTimes times = saveAndOpen();
    sum.firstSave += times.firstSave, sum.saveOneChanged += times.saveOneChanged;
    sum.close += times.close, sum.openToView += times.openToView;
    sum.openAllDecoded += times.openAllDecoded;
    sum.openPeakBytes = std::max(sum.openPeakBytes, times.openPeakBytes);
    sum.storeBytes = times.storeBytes;
    const QString folder = QFileInfo(storePath("saved")).absolutePath();
    sum.firstSaveFloor += writeAndSyncMilliseconds(folder, size_t(times.firstSaveBytes));
    sum.oneChangeFloor += writeAndSyncMilliseconds(folder, size_t(times.oneChangeBytes));
  }
  timings().set("store_bytes", sum.storeBytes);
  const double n = double(state.iterations());
  timings().set("document_first_save_10x4000x3000", sum.firstSave / n);
  timings().set("document_save_one_layer_changed_10x4000x3000", sum.saveOneChanged / n);
  timings().set("first_save_disk_floor", sum.firstSaveFloor / n);
  timings().set("one_change_disk_floor", sum.oneChangeFloor / n);
  timings().set("document_open_to_first_view_10x4000x3000", sum.openToView / n);
  timings().set("document_open_all_decoded_10x4000x3000", sum.openAllDecoded / n);
  timings().set("open_peak", sum.openPeakBytes);
  timings().set("document_save_reopen_10x4000x3000",
                (sum.firstSave + sum.close + sum.openAllDecoded) / n);
  parallelFloor("layers_floor", kLayerBytes * kLayers);
  parallelFloor("layer_floor", kLayerBytes);
  parallelFloor("save_reopen_floor", kLayerBytes * kLayers * 2);
}

// The same saves right after the pixels change, while their versions are
// still being encoded for the cache: the save's own encoding is timed too.
void BM_SaveWhileEncoding(benchmark::State& state) {
  const QString path = storePath("saved-encoding");
  for (int i = 0; i <= kLayers; ++i) layerPixels(i);
  double firstSave = 0, saveOneChanged = 0;
  for (auto _ : state) {
    std::unique_ptr<Document> document = buildDocument(path, false);
    firstSave += clock([&] { document->save(); });
    document->finishWork();
    document->composedImage()->layersArray().first()->image()->setNsImage(layerPixels(kLayers));
    saveOneChanged += clock([&] { document->save(); });
    document.reset();
    QFile::remove(path);
  }
  const double n = double(state.iterations());
  timings().set("document_first_save_encoding_included_10x4000x3000", firstSave / n);
  timings().set("document_save_one_layer_changed_encoding_included", saveOneChanged / n);
  parallelFloor("layers_floor", kLayerBytes * kLayers);
  parallelFloor("layer_floor", kLayerBytes);
}

const bool reported = bench::atPassEnd([] {
  bench::Timings& t = timings();
  t.printAgainstFloor("document_flatten_10x4000x3000", "flatten_floor");
  if (t.has("flatten_peak")) {
    bench::figure("document_flatten_peak_memory_beyond_layers", t.get("flatten_peak") / 1e6, "MB");
    bench::figure("document_flatten_peak_memory_beyond_layers_in_8bit_canvases",
                  t.get("flatten_peak") / double(kLayerBytes), "canvases");
  }
  t.printAgainstFloor("document_draw_1920x1080_zoom1", "view_floor");
  t.printAgainstFloor("document_draw_1920x1080_zoom0.5", "view_floor");
  t.printAgainstFloor("document_redraw_100x100_dirty_rect", "dirty_floor");
  t.printAgainstFloor("document_first_save_10x4000x3000", "layers_floor");
  t.printAgainstFloor("document_save_one_layer_changed_10x4000x3000", "layer_floor");
  // Beside writing and syncing the bytes each save adds, to the same folder.
  for (const auto& [row, floor] :
       {std::pair{"document_first_save_10x4000x3000", "first_save_disk_floor"},
        std::pair{"document_save_one_layer_changed_10x4000x3000", "one_change_disk_floor"}}) {
    if (!t.has(row) || !t.has(floor) || t.get(floor) <= 0) continue;
    bench::figure(std::string(row) + "_write_sync_floor", t.get(floor), "ms");
    bench::ratio(std::string(row) + "_vs_write_sync", t.get(row) / t.get(floor));
  }
  t.printAgainstFloor("document_first_save_encoding_included_10x4000x3000", "layers_floor");
  t.printAgainstFloor("document_save_one_layer_changed_encoding_included", "layer_floor");
  t.printAgainstFloor("document_open_to_first_view_10x4000x3000", "view_floor");
  t.printAgainstFloor("document_save_reopen_10x4000x3000", "save_reopen_floor");
  t.printAgainstFloor("document_open_all_decoded_10x4000x3000", "layers_floor");
  // Beyond what the process held before: 1 is the layers' own pixels.
  if (t.has("open_peak"))
    bench::figure("document_open_peak_memory_in_layer_pixels",
                  t.get("open_peak") / double(kLayerBytes * kLayers), "x");
  // The store on disk beside the layers' own pixel bytes.
  if (t.has("store_bytes"))
    bench::figure("document_store_size_in_layer_pixels",
                  t.get("store_bytes") / double(kLayerBytes * kLayers), "x");
  t.clear();
  if (bench::warmPass()) {
    drawingDocument().reset();
    QFile::remove(storePath("drawing"));
    Image::removeImagesCacheDirectory();
  }
});

}  // namespace

BENCHMARK(BM_Flatten)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DrawView)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RedrawDirtyRect)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_SaveAndOpen)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SaveWhileEncoding)->Unit(benchmark::kMillisecond)->Iterations(1);
