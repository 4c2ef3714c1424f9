// The preview generator on the document of the model benchmarks (ten
// 4000 × 3000 layers, mixed compositing operations, opacity 0.5 to 1, two
// rotated), stored: the 256-pixel thumbnail a file manager asks for and the
// 1024 × 768 preview, each from opening the store to the image data handed
// over. Each is printed beside memcpy of the store's bytes on every core in
// the same run (the generator decodes the layers in parallel, and no
// thumbnail of the file can touch fewer bytes), with the peak memory of the
// thumbnail; reading the store's bytes from the file is a figure of its own,
// not a floor (it times the file system, not the generator).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>
#include <random>

#include "BenchReport.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/ModelVariant.h"
#include "quicklook/QuickLookGeneratorPlugin.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kLayers = 10;

// The pixels of layer `seed`: smooth areas with some grain.
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

// The store, written once per run by the program's model.
QString storePath() {
  static QTemporaryDir folder;
  static const QString path = [] {
    const QString file = folder.filePath("bench-quicklook.zova");
    ModelVariant::setCurrent(ModelVariant::Application);
    cd::PersistentStoreCoordinator coordinator(IMManagedObject::managedObjectModel());
    fnd::Error error;
    if (!coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {}, QUrl::fromLocalFile(file),
                                                {}, &error))
      qFatal("bench_quicklook: %s", qPrintable(error.localizedDescription()));
    fnd::OperationQueue queue;
    IMAManagedObjectContext context;
    context.setPersistentStoreCoordinator(&coordinator);
    context.setLoadingAndSavingOperationQueue(&queue);
    const int operations[kLayers] = {2, 14, 15, 16, 2, 17, 18, 2, 23, 2};
    auto* root = context.insertNewObject<ComposedImage>("ComposedImage");
    root->setSize(QSizeF(kWidth, kHeight));
    for (int i = 0; i < kLayers; ++i) {
      Layer* layer = Layer::createLayerWithComposedImage(root, &context, true);
      layer->image()->setNsImage(layerPixels(i));
      layer->setCompositingOperation(operations[i]);
      layer->setAlpha(0.5 + 0.05 * i);
      if (i == 3) layer->setRotationAngle(15);
      if (i == 7) layer->setRotationAngle(30);
    }
    if (!context.save(&error))
      qFatal("bench_quicklook: save failed: %s", qPrintable(error.localizedDescription()));
    queue.waitUntilAllOperationsAreFinished();
    context.setLoadingAndSavingOperationQueue(nullptr);
    Image::removeImagesCacheDirectory();
    return file;
  }();
  return path;
}

bench::Timings& timings() {
  static bench::Timings shared;
  return shared;
}

void receiveThumbnail(void* context, const void*, size_t length, const QLPreviewProperties*) {
  *static_cast<size_t*>(context) = length;
}

void receivePreview(void* context, const void*, size_t length, const char*,
                    const QLPreviewProperties*) {
  *static_cast<size_t*>(context) = length;
}

void BM_Thumbnail(benchmark::State& state) {
  const QByteArray url = QUrl::fromLocalFile(storePath()).toEncoded();
  const bool preview = state.range(0) == 0;
  const std::string name =
      preview ? "quicklook_preview_1024x768_10x4000x3000" : "quicklook_thumbnail_256_10x4000x3000";
  const double before = bench::residentBytes();
  bench::resetPeakMemory();
  bench::timed(state, timings(), name, [&] {
    size_t handedOver = 0;
    if (preview) {
      __QLPreviewRequest request{&handedOver, receivePreview};
      GeneratePreviewForURL(nullptr, &request, url.constData(), "com.brenwick.tessaly", nullptr);
    } else {
      __QLThumbnailRequest request{&handedOver, receiveThumbnail};
      GenerateThumbnailForURL(nullptr, &request, url.constData(), "com.brenwick.tessaly", nullptr,
                              QLSize{256, 256});
    }
    if (handedOver == 0) qFatal("bench_quicklook: %s handed nothing over", name.c_str());
  });
  // Beyond what the program held before: the store's bytes and the layers'
  // pixels while they are composited.
  if (!preview && !bench::warmPass())
    bench::figure("quicklook_thumbnail_256_peak_memory", (bench::peakMemoryBytes() - before) / 1e6,
                  "MB");
}

void BM_ReadFile(benchmark::State& state) {
  const QString path = storePath();
  bench::timed(state, timings(), "quicklook_read_store_bytes", [&] {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) qFatal("bench_quicklook: cannot read the store");
    benchmark::DoNotOptimize(file.readAll().size());
  });
  bench::figure("quicklook_store_size", double(QFile(path).size()) / 1e6, "MB");
  timings().set("quicklook_store_bytes_memcpy",
                bench::memcpyMilliseconds(size_t(QFile(path).size()), bench::allCores()));
}

void printAgainstFloor(const std::string& name) {
  bench::Timings& t = timings();
  if (!t.has(name)) return;
  bench::figure(name, t.get(name), "ms");
  const double floor = t.get("quicklook_store_bytes_memcpy");
  bench::figure(name + "_memcpy_floor", floor, "ms");
  bench::figure(name + "_memcpy_floor_threads", bench::allCores(), "threads");
  if (floor > 0) bench::ratio(name + "_vs_memcpy", t.get(name) / floor);
}

const bool reported = bench::atPassEnd([] {
  printAgainstFloor("quicklook_thumbnail_256_10x4000x3000");
  printAgainstFloor("quicklook_preview_1024x768_10x4000x3000");
  if (timings().has("quicklook_read_store_bytes"))
    bench::figure("quicklook_read_store_bytes", timings().get("quicklook_read_store_bytes"), "ms");
  timings().clear();
});

}  // namespace

BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Thumbnail)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);
