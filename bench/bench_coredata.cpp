// The object store: insert and save 10,000 objects carrying 1 KB blobs, then
// open the file again and fetch them back (reading every blob). The floor is
// the same rows written and read through SQLite's C interface directly, so
// the ratios are the cost of the object layer on top of SQLite.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUrl>

#include "BenchReport.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/ModelLoader.h"
#include "coredata/PersistentStoreCoordinator.h"

namespace {

constexpr int kObjects = 10000;
constexpr int kBlobBytes = 1024;

const char* kModel = R"({"entities": [{"name": "Sample", "properties": [
  {"name": "index", "type": "int32"},
  {"name": "label", "type": "string"},
  {"name": "payload", "type": "binary"}]}]})";

cd::ManagedObjectModelPtr model() {
  static cd::ManagedObjectModelPtr shared = [] {
    cd::ModelLoader loader;
    loader.addJson(kModel, "bench");
    return loader.build();
  }();
  return shared;
}

QByteArray payload(int index) { return QByteArray(kBlobBytes, char('a' + index % 26)); }

QTemporaryDir& folder() {
  static QTemporaryDir dir;
  return dir;
}

struct Stack {
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<cd::ManagedObjectContext> context;
};

Stack openStack(const QString& path) {
  Stack stack{std::make_unique<cd::PersistentStoreCoordinator>(model()),
              std::make_unique<cd::ManagedObjectContext>()};
  fnd::Error error;
  if (!stack.coordinator->addPersistentStoreWithType(cd::SQLiteStoreType, {},
                                                     QUrl::fromLocalFile(path), {}, &error))
    qFatal("bench_coredata: %s", qPrintable(error.localizedDescription()));
  stack.context->setPersistentStoreCoordinator(stack.coordinator.get());
  // Undo is not what is measured here.
  stack.context->setUndoManager(nullptr);
  return stack;
}

void insertAndSave(const QString& path) {
  Stack stack = openStack(path);
  for (int i = 0; i < kObjects; ++i) {
    cd::ManagedObject* sample = stack.context->insertNewObjectForEntityForName("Sample");
    sample->setValue(i, "index");
    sample->setValue(QStringLiteral("sample %1").arg(i), "label");
    sample->setValue(payload(i), "payload");
  }
  if (!stack.context->save()) qFatal("bench_coredata: save failed");
}

// Blobs load lazily, one read each, so fetching with and without touching
// them are measured apart.
qint64 fetchAll(const QString& path, bool readBlobs) {
  Stack stack = openStack(path);
  cd::ObjectList samples = stack.context->executeFetchRequest(cd::FetchRequest("Sample"));
  qint64 bytes = 0;
  for (cd::ManagedObject* sample : samples)
    bytes += readBlobs ? sample->valueForKey("payload").toByteArray().size()
                       : sample->valueForKey("label").toString().size();
  if (samples.size() != kObjects || (readBlobs && bytes != qint64(kObjects) * kBlobBytes))
    qFatal("bench_coredata: fetched %d objects", int(samples.size()));
  return bytes;
}

void rawInsert(const QString& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.toUtf8().constData(), &db);
  sqlite3_exec(db,
               "CREATE TABLE ZSAMPLE (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
               "ZINDEX INTEGER, ZLABEL VARCHAR, ZPAYLOAD BLOB); BEGIN",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO ZSAMPLE VALUES (?, 1, 1, ?, ?, ?)", -1, &insert, nullptr);
  for (int i = 0; i < kObjects; ++i) {
    QByteArray label = QStringLiteral("sample %1").arg(i).toUtf8();
    QByteArray blob = payload(i);
    sqlite3_bind_int64(insert, 1, i + 1);
    sqlite3_bind_int(insert, 2, i);
    sqlite3_bind_text(insert, 3, label.constData(), int(label.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 4, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

qint64 rawFetch(const QString& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.toUtf8().constData(), &db);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT Z_PK, ZINDEX, ZLABEL, ZPAYLOAD FROM ZSAMPLE", -1, &select,
                     nullptr);
  qint64 bytes = 0;
  while (sqlite3_step(select) == SQLITE_ROW) {
    QString label =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(select, 2)));
    QByteArray blob(static_cast<const char*>(sqlite3_column_blob(select, 3)),
                    sqlite3_column_bytes(select, 3));
    bytes += blob.size();
    benchmark::DoNotOptimize(label);
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  return bytes;
}

QString freshPath(const char* stem) {
  static int counter = 0;
  return folder().filePath(QStringLiteral("%1-%2.sqlite").arg(stem).arg(++counter));
}

// Seconds per object of the timed part, averaged over the iterations.
struct Timing {
  double total = 0;
  int runs = 0;
  double perObject() const { return runs ? total / runs / kObjects : 0; }
};

Timing rawInsertTiming, rawFetchTiming;

template <class Setup, class Work>
Timing measure(benchmark::State& state, Setup setup, Work work) {
  Timing timing;
  for (auto _ : state) {
    state.PauseTiming();
    QString path = setup();
    state.ResumeTiming();
    QElapsedTimer clock;
    clock.start();
    work(path);
    timing.total += clock.nsecsElapsed() / 1e9;
    ++timing.runs;
  }
  state.counters["us_per_object"] = timing.perObject() * 1e6;
  return timing;
}

QString sharedStore() {
  static QString path = [] {
    QString file = freshPath("fetch");
    insertAndSave(file);
    return file;
  }();
  return path;
}

QString sharedRawStore() {
  static QString path = [] {
    QString file = freshPath("raw-fetch");
    rawInsert(file);
    return file;
  }();
  return path;
}

void BM_RawSQLiteInsert(benchmark::State& state) {
  rawInsertTiming = measure(
      state, [] { return freshPath("raw"); }, rawInsert);
}

void BM_RawSQLiteFetch(benchmark::State& state) {
  rawFetchTiming = measure(state, sharedRawStore, [](const QString& p) { rawFetch(p); });
}

void BM_InsertAndSave(benchmark::State& state) {
  Timing timing = measure(
      state, [] { return freshPath("insert"); }, insertAndSave);
  bench::figure("coredata_insert_save_per_object", timing.perObject() * 1e6, "us");
  if (rawInsertTiming.runs)
    bench::ratio("coredata_insert_save_vs_raw_sqlite",
                 timing.perObject() / rawInsertTiming.perObject());
}

void BM_FetchWithoutBlobs(benchmark::State& state) {
  Timing timing = measure(state, sharedStore, [](const QString& p) { fetchAll(p, false); });
  bench::figure("coredata_fetch_without_blobs_per_object", timing.perObject() * 1e6, "us");
}

void BM_FetchWithBlobs(benchmark::State& state) {
  Timing timing = measure(state, sharedStore, [](const QString& p) { fetchAll(p, true); });
  bench::figure("coredata_fetch_per_object", timing.perObject() * 1e6, "us");
  if (rawFetchTiming.runs)
    bench::ratio("coredata_fetch_vs_raw_sqlite", timing.perObject() / rawFetchTiming.perObject());
}

// Fixed iteration counts: each function runs once, so its figures print once.
BENCHMARK(BM_RawSQLiteInsert)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSQLiteFetch)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertAndSave)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchWithoutBlobs)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchWithBlobs)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
