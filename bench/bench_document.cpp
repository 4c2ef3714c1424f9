// A document of ten 4000 × 3000 layers (mixed compositing operations,
// opacity 0.5 to 1, two rotated): flattening it into an 8-bit image, saving
// it to a store and reopening it with every layer decoded, and drawing a
// 1920 × 1080 part of it at zoom 1 as the canvas does. Each time is printed
// beside memcpy of the same number of bytes in the same run, the memory
// bandwidth floor.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "BenchReport.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kLayers = 10;
constexpr double kLayerBytes = double(kWidth) * kHeight * 4;
const QRectF kCanvasPart(1000, 900, 1920, 1080);

struct Document {
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<fnd::OperationQueue> queue;
  std::unique_ptr<IMAManagedObjectContext> context;
  explicit Document(const QString& path) {
    coordinator =
        std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
    coordinator->addPersistentStoreWithType(cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path), {});
    queue = std::make_unique<fnd::OperationQueue>();
    context = std::make_unique<IMAManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator.get());
    context->setLoadingAndSavingOperationQueue(queue.get());
  }
  ~Document() {
    queue->waitUntilAllOperationsAreFinished();
    fnd::OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
    context.reset();
  }
};

gfx::ImagePtr layerPixels(int seed) {
  QImage pixels(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  std::mt19937 random(seed);
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<quint32*>(pixels.scanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      const int grain = int(random() % 8);
      row[x] = qRgba((x / 16 + grain + seed * 20) & 255, (y / 12 + grain) & 255,
                     ((x + y) / 32 + seed) & 255, 255);
    }
  }
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

QString storePath() { return QDir::tempPath() + "/bench-document.zova"; }

ComposedImage* buildDocument(Document& document) {
  const int operations[kLayers] = {2, 14, 15, 16, 2, 17, 18, 2, 23, 2};
  auto* composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
  composedImage->setSize(QSizeF(kWidth, kHeight));
  for (int i = 0; i < kLayers; ++i) {
    Layer* layer = Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    layer->image()->setNsImage(layerPixels(i));
    layer->setCompositingOperation(operations[i]);
    layer->setAlpha(0.5 + 0.05 * i);
    if (i == 3) layer->setRotationAngle(15);
    if (i == 7) layer->setRotationAngle(30);
  }
  document.queue->waitUntilAllOperationsAreFinished();
  return composedImage;
}

std::map<std::string, double>& timings() {
  static std::map<std::string, double> shared;
  return shared;
}

template <class Work>
void measure(benchmark::State& state, const std::string& name, Work work) {
  QElapsedTimer clock;
  clock.start();
  for (auto _ : state) work();
  if (state.iterations() > 0)
    timings()[name] = double(clock.nsecsElapsed()) / 1e6 / double(state.iterations());
}

// memcpy of `bytes`, read once and written once.
double memcpyMilliseconds(double bytes) {
  const size_t count = size_t(bytes);
  std::vector<char> from(count, 1), to(count);
  std::memcpy(to.data(), from.data(), to.size());  // fault the pages in first
  QElapsedTimer clock;
  clock.start();
  std::memcpy(to.data(), from.data(), to.size());
  benchmark::DoNotOptimize(to.data());
  return double(clock.nsecsElapsed()) / 1e6;
}

void BM_Flatten(benchmark::State& state) {
  QFile::remove(storePath());
  Document document(storePath());
  ComposedImage* composedImage = buildDocument(document);
  measure(state, "flatten", [&] {
    gfx::ImagePtr flat = composedImage->finalImageKeepAlpha(false);
    benchmark::DoNotOptimize(flat.get());
  });
  timings()["flatten_floor"] = memcpyMilliseconds(kLayerBytes * (kLayers + 1));
}

void BM_SaveAndReopen(benchmark::State& state) {
  measure(state, "save_reopen", [&] {
    state.PauseTiming();
    QFile::remove(storePath());
    auto document = std::make_unique<Document>(storePath());
    buildDocument(*document);
    state.ResumeTiming();
    document->context->save();
    document.reset();
    Document reopened(storePath());
    ComposedImage* composedImage =
        ComposedImage::composedImageForManagedObjectContext(reopened.context.get());
    for (Layer* layer : composedImage->layersArray())
      benchmark::DoNotOptimize(layer->image()->nsImage().get());
  });
  timings()["save_reopen_floor"] = memcpyMilliseconds(kLayerBytes * kLayers * 2);
}

void BM_DrawCanvasPart(benchmark::State& state) {
  QFile::remove(storePath());
  Document document(storePath());
  ComposedImage* composedImage = buildDocument(document);
  auto canvas =
      gfx::GraphicsContext::bitmapContext(int(kCanvasPart.width()), int(kCanvasPart.height()));
  measure(state, "canvas_part", [&] {
    gfx::CurrentContextScope scope(canvas.get());
    canvas->saveGState();
    canvas->translateCTM(-kCanvasPart.x(), -kCanvasPart.y());
    composedImage->compositeImageInRect(kCanvasPart, false, false);
    canvas->restoreGState();
  });
  timings()["canvas_part_floor"] =
      memcpyMilliseconds(kCanvasPart.width() * kCanvasPart.height() * 4 * (kLayers + 1));
}

void BM_Report(benchmark::State& state) {
  for (auto _ : state) {
  }
  const std::pair<const char*, const char*> rows[] = {
      {"flatten", "document_flatten_10x4000x3000"},
      {"save_reopen", "document_save_reopen_10x4000x3000"},
      {"canvas_part", "document_draw_1920x1080_zoom1"},
  };
  for (const auto& [key, name] : rows) {
    if (!timings().count(key)) continue;
    const double floor = timings()[std::string(key) + "_floor"];
    bench::figure(name, timings()[key], "ms");
    bench::figure(std::string(name) + "_memcpy_floor", floor, "ms");
    if (floor > 0) bench::ratio(std::string(name) + "_vs_memcpy", timings()[key] / floor);
  }
  QFile::remove(storePath());
  Image::removeImagesCacheDirectory();
}

}  // namespace

BENCHMARK(BM_Flatten)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SaveAndReopen)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DrawCanvasPart)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Report)->Iterations(1);
