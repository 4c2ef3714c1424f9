// The document path through IMDocument on the ten 4000 × 3000 layers of the
// model benchmarks (same pixels, operations, opacities and rotations): a
// native Save As, reopening it with every layer decoded, and exporting the
// flattened image to PNG and to JPEG at quality 0.85 through the save-to
// road the export panel takes. An export row includes the decode: it is the
// reopening with every layer decoded plus the export from the decoded
// layers (that part alone is printed too, as `_from_decoded_layers`). Each
// time is printed beside memcpy of the bytes it moves on every core (the
// work is spread over the worker pool), in the same run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "BenchReport.h"
#include "ModelBenchmarkLayers.h"
#include "documents/IMDocument.h"
#include "foundation/OperationQueue.h"
#include "graphics/Image.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

constexpr int kWidth = bench::kModelWidth;
constexpr int kHeight = bench::kModelHeight;
constexpr int kLayers = bench::kModelLayers;
constexpr size_t kLayerBytes = size_t(kWidth) * kHeight * 4;

gfx::ImagePtr layerPixels(int seed) { return bench::modelLayerPixels(seed); }

QString pathOf(const QString& name) {
  // A folder of this run's own: other runs may be working at the same time.
  static QTemporaryDir folder;
  return folder.filePath(name);
}

void finishWork(IMDocument& document) {
  document.operationQueue()->waitUntilAllOperationsAreFinished();
  fnd::OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
}

std::unique_ptr<IMDocument> buildDocument() {
  auto document = std::make_unique<IMDocument>();
  fnd::Error error;
  if (!document->initWithType(IMNativeDocumentType, &error))
    qFatal("bench_documents: no document: %s", qPrintable(error.localizedDescription()));
  ComposedImage* image = document->composedImage();
  image->setSize(QSizeF(kWidth, kHeight));
  const int operations[kLayers] = {2, 14, 15, 16, 2, 17, 18, 2, 23, 2};
  QList<Layer*> layers = image->layersArray();
  for (int i = 0; i < kLayers; ++i) {
    Layer* layer = i < layers.size() ? layers[i]
                                     : Layer::createLayerWithComposedImage(
                                           image, document->managedObjectContext(), true);
    layer->image()->setNsImage(layerPixels(i));
    layer->setCompositingOperation(operations[i]);
    layer->setAlpha(0.5 + 0.05 * i);
    if (i == 3) layer->setRotationAngle(15);
    if (i == 7) layer->setRotationAngle(30);
  }
  finishWork(*document);
  return document;
}

// A save that fails ends the run: the figures after it would mean nothing.
void save(IMDocument& document, const QString& path, const QString& type,
          ui::SaveOperationType op) {
  bool done = false;
  document.saveToURL(QUrl::fromLocalFile(path), type, op, [&](const fnd::Error* error) {
    if (error)
      qFatal("bench_documents: saving %s failed: %s", qPrintable(path),
             qPrintable(error->localizedDescription()));
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bench::Timings& timings() {
  static bench::Timings shared;
  return shared;
}

template <typename Work>
double clock(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return bench::millisecondsSince(start);
}

void BM_SaveReopenExport(benchmark::State& state) {
  double saveAs = 0, reopen = 0, png = 0, jpeg = 0;
  for (auto _ : state) {
    const QString store = pathOf("bench-documents.zova");
    QFile::remove(store);
    std::unique_ptr<IMDocument> document = buildDocument();
    saveAs += clock([&] {
      save(*document, store, IMNativeDocumentType, ui::SaveAsOperation);
      finishWork(*document);
    });
    document.reset();
    reopen += clock([&] {
      document = std::make_unique<IMDocument>();
      fnd::Error error;
      if (!document->initWithContentsOfURL(QUrl::fromLocalFile(store), IMNativeDocumentType,
                                           &error))
        qFatal("bench_documents: reopening failed: %s", qPrintable(error.localizedDescription()));
      for (Layer* layer : document->composedImage()->layersArray())
        benchmark::DoNotOptimize(layer->image()->nsImage().get());
    });
    png += clock(
        [&] { save(*document, pathOf("bench-documents.png"), "public.png", ui::SaveToOperation); });
    jpeg += clock([&] {
      save(*document, pathOf("bench-documents.jpeg"), "public.jpeg", ui::SaveToOperation);
    });
    finishWork(*document);
    document.reset();
  }
  const double n = double(state.iterations());
  timings().set("documents_native_save_as_10x4000x3000", saveAs / n);
  timings().set("documents_reopen_all_decoded_10x4000x3000", reopen / n);
  timings().set("documents_export_png_10x4000x3000", (reopen + png) / n);
  timings().set("documents_export_jpeg_q085_10x4000x3000", (reopen + jpeg) / n);
  timings().set("documents_export_png_from_decoded_layers_10x4000x3000", png / n);
  timings().set("documents_export_jpeg_q085_from_decoded_layers_10x4000x3000", jpeg / n);
  const int cores = bench::allCores();
  const double layersFloor = bench::memcpyMilliseconds(kLayerBytes * kLayers, cores);
  timings().setFloor("layers_floor", layersFloor, cores);
  // An export reads every layer once and writes the flattened canvas; with
  // its decode, the decoded layers are written once first.
  const double exportFloor = bench::memcpyMilliseconds(kLayerBytes * (kLayers + 1), cores);
  timings().setFloor("export_floor", exportFloor, cores);
  timings().setFloor("decode_and_export_floor", layersFloor + exportFloor, cores);
}

// What starting a file-size estimate costs the main thread (the export
// panel starts one per change of its controls), on three 4000 x 3000
// layers, beside the flattening and PDF drawing it no longer does there.
std::unique_ptr<IMDocument> threeLayerDocument() {
  auto document = std::make_unique<IMDocument>();
  if (!document->initWithType(IMNativeDocumentType, nullptr))
    qFatal("bench_documents: no document");
  ComposedImage* image = document->composedImage();
  image->setSize(QSizeF(kWidth, kHeight));
  while (image->layersArray().size() < 3)
    Layer::createLayerWithComposedImage(image, document->managedObjectContext(), true);
  for (int i = 0; i < 3; ++i) {
    Layer* layer = image->layersArray()[i];
    layer->image()->setNsImage(layerPixels(i));
    layer->setAlpha(0.6 + 0.2 * i);
  }
  finishWork(*document);
  return document;
}

double estimateStart(IMDocument& document, const QString& type) {
  document.setSaveType(type);
  const double started = clock([&] { benchmark::DoNotOptimize(document.fileSizeTriger()); });
  while (document.isCalculatingFileSize())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  if (document.estimatedFileSize() <= 0) qFatal("bench_documents: the estimate failed");
  return started;
}

void BM_EstimateStart(benchmark::State& state) {
  double png = 0, pdf = 0, flatten = 0, page = 0;
  for (auto _ : state) {
    std::unique_ptr<IMDocument> document = threeLayerDocument();
    png += estimateStart(*document, "public.png");
    pdf += estimateStart(*document, "com.adobe.pdf");
    flatten += clock(
        [&] { benchmark::DoNotOptimize(document->composedImage()->finalImageKeepAlpha(true)); });
    page += clock([&] { benchmark::DoNotOptimize(document->PDFRepresentationOfFinalImage(true)); });
    finishWork(*document);
  }
  const double n = double(state.iterations());
  bench::figure("documents_estimate_start_main_png_3x4000x3000", png / n, "ms");
  bench::figure("documents_estimate_start_main_pdf_3x4000x3000", pdf / n, "ms");
  bench::figure("documents_flatten_main_3x4000x3000", flatten / n, "ms");
  bench::figure("documents_pdf_page_main_3x4000x3000", page / n, "ms");
}

const bool reported = bench::atPassEnd([] {
  bench::Timings& t = timings();
  t.printAgainstFloor("documents_native_save_as_10x4000x3000", "layers_floor");
  t.printAgainstFloor("documents_reopen_all_decoded_10x4000x3000", "layers_floor");
  t.printAgainstFloor("documents_export_png_10x4000x3000", "decode_and_export_floor");
  t.printAgainstFloor("documents_export_jpeg_q085_10x4000x3000", "decode_and_export_floor");
  t.printAgainstFloor("documents_export_png_from_decoded_layers_10x4000x3000", "export_floor");
  t.printAgainstFloor("documents_export_jpeg_q085_from_decoded_layers_10x4000x3000",
                      "export_floor");
  t.clear();
  if (bench::warmPass()) Image::removeImagesCacheDirectory();
});

}  // namespace

BENCHMARK(BM_SaveReopenExport)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_EstimateStart)->Unit(benchmark::kMillisecond)->Iterations(1);
