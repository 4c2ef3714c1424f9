// Bringing a document of the first model version up to date: a store of 50
// layers of 2000 × 1500 pixels is backed up, migrated, checked and put back
// in place, beside memcpy of the store's bytes twice (the backup and the
// migrated store each write them once), and, as a figure only, the time of
// copying the same file (a file system's work, no floor).
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "BenchReport.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "documents/IMAMigrationHelper.h"
#include "graphics/Image.h"
#include "model/IMImagesUtilities.h"

namespace {

constexpr int kLayers = 50, kWidth = 2000, kHeight = 1500;

QByteArray layerData() {
  static QByteArray data;
  if (data.isEmpty()) {
    QImage pixels(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
      for (int x = 0; x < kWidth; ++x) row[x] = qRgba(x / 8, y / 6, (x + y) / 16, 255);
    }
    data = ima_produceImageData(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
  }
  return data;
}

void writeOldStore(const QString& path) {
  auto model = cd::ManagedObjectModel::mergedModelFromFolder(IMAMigrationHelper::modelBundle() +
                                                             "/TessalyV1");
  cd::PersistentStoreCoordinator coordinator(model);
  coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path), {});
  cd::ManagedObjectContext context;
  context.setPersistentStoreCoordinator(&coordinator);
  cd::ManagedObject* root = context.insertNewObjectForEntityForName("ComposedImage");
  root->setValue(kWidth, "width");
  root->setValue(kHeight, "height");
  cd::ObjectList layers;
  for (int i = 0; i < kLayers; ++i) {
    cd::ManagedObject* layer = context.insertNewObjectForEntityForName("Layer");
    layer->setValue(kLayers - i, "index");
    layer->setValue(QStringLiteral("layer %1").arg(i), "name");
    layer->setValue(layerData(), "imageData");
    layers.append(layer);
  }
  root->setValue(QVariant::fromValue(layers), "layers");
  context.save();
}

bench::Timings& timings() {
  static bench::Timings shared;
  return shared;
}

void BM_Migrate(benchmark::State& state) {
  QTemporaryDir folder;
  IMAMigrationHelper::setOldVersionsFolder(folder.filePath("Old Versions"));
  const QString store = folder.filePath("old.zova");
  double migrate = 0, copy = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QFile::remove(store);
    QDir(folder.filePath("Old Versions")).removeRecursively();
    writeOldStore(store);
    QFile::remove(store + ".copy");
    auto start = std::chrono::steady_clock::now();
    QFile::copy(store, store + ".copy");
    copy += bench::millisecondsSince(start);
    state.ResumeTiming();
    start = std::chrono::steady_clock::now();
    if (!IMAMigrationHelper::migrateIfNeededURL(QUrl::fromLocalFile(store),
                                                IMAMigrationHelper::modelBundle(), nullptr))
      state.SkipWithError("the migration failed");
    migrate += bench::millisecondsSince(start);
  }
  timings().set("migration_50x2000x1500", migrate / double(state.iterations()));
  timings().set("migration_file_copy", copy / double(state.iterations()));
  bench::figure("migration_store_size", double(QFile(store).size()) / 1e6, "MB");
  timings().set("migration_memcpy_floor",
                bench::memcpyMilliseconds(size_t(QFile(store).size()) * 2));
  IMAMigrationHelper::setOldVersionsFolder({});
}

BENCHMARK(BM_Migrate)->Unit(benchmark::kMillisecond)->Iterations(1);

const bool reported = bench::atPassEnd([] {
  bench::Timings& t = timings();
  if (!t.has("migration_50x2000x1500")) return;
  t.printFigures();
  if (t.get("migration_memcpy_floor") > 0) {
    bench::figure("migration_memcpy_floor_threads", 1, "threads");
    bench::ratio("migration_50x2000x1500_vs_memcpy",
                 t.get("migration_50x2000x1500") / t.get("migration_memcpy_floor"));
  }
  t.clear();
});

}  // namespace
