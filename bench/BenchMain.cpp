// Main of every benchmark program: a Qt application on the offscreen
// platform, then Google Benchmark's own runner, once cold and once warm
// (BenchReport.h).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QTemporaryFile>
#include <climits>

#include "BenchReport.h"

namespace {

void runPass() {
  // A reporter of its own per pass: the library's default one serves one run only.
  benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_None);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const auto& report : bench::passReports()) report();
}

// From here on freed memory stays with the allocator and large blocks come
// from its heap instead of fresh mappings, so a buffer freed by one run is
// the one the next run gets, its pages already in place.
void keepFreedMemory() {
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
}

// The offscreen platform's one screen is 800 × 600 and windows are kept
// within it; the window benchmarks measure 1920 × 1080 views, so they get a
// 4K screen. Another platform named in the environment is left as it is.
void useLargeOffscreenScreen(QTemporaryFile& config) {
  if (qgetenv("QT_QPA_PLATFORM") != "offscreen" || !config.open()) return;
  config.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 3840, )"
               R"("height": 2160, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  config.flush();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
}

}  // namespace

// In the cold pass every large block is a fresh mapping: glibc would
// otherwise raise its mapping threshold to the size of the first such block
// freed (up to 32 MB), and the next blocks of that size would come from its
// heap, already in place: a view-sized buffer would be cold once only.
void mapLargeBlocksFresh() { mallopt(M_MMAP_THRESHOLD, 128 * 1024); }

int main(int argc, char** argv) {
  mapLargeBlocksFresh();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryFile screenConfig;
  useLargeOffscreenScreen(screenConfig);
  QApplication app(argc, argv);  // widgets too: the canvas benchmark draws views
  benchmark::Initialize(&argc, argv);
  std::printf("-- cold: as the program runs, fresh memory for large buffers\n");
  std::fflush(stdout);
  runPass();
  keepFreedMemory();
  bench::warmPass() = true;
  std::printf("-- warm: freed memory reused\n");
  std::fflush(stdout);
  runPass();
  for (const auto& work : bench::programEndWork()) work();
  benchmark::Shutdown();
  return 0;
}
