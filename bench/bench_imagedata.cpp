// The image data blob every layer image is stored in: encoding a 4000 × 3000
// layer (LZW TIFF inside a keyed archive), the LZW TIFF alone (on all cores
// and on one), decoding it back (the blob, and the TIFF alone), and drawing
// one into the offscreen canvas, on a photograph-like layer (PhotoLikePicture.h).
// The floor is copying the same bytes with memcpy (read and written once) in
// the same run, on every core for the steps that spread over the worker pool
// and on one for the one-thread row (each floor line states its threads), so
// the ratios say how many memory passes each step costs; the blob's ratios to the TIFF alone say
// what the archive adds to the LZW coding. Each row is timed warm (buffers reused, the mean of the
// iterations) and cold (the first call of the run), with the cores it used (processor time over
// wall time): strips spread over every core only as far as the machine has cores to spare.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QThreadPool>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

#include "BenchReport.h"
#include "PhotoLikePicture.h"
#include "foundation/WorkerPool.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

gfx::ImagePtr layerImage() {
  static gfx::ImagePtr image = gfx::Image::imageWithCGImage(gfx::CGImage::make(
      bench::photoLikePicture(kWidth, kHeight, 7, QImage::Format_ARGB32_Premultiplied)));
  return image;
}

bench::Timings& timings() {
  static bench::Timings shared;
  return shared;
}

std::map<std::string, double>& coldTimings() {
  static std::map<std::string, double> shared;
  return shared;
}

// Processor time of the whole process (every thread), per warm iteration:
// beside the wall time it says how many cores the work really had, which a
// loaded machine decides.
std::map<std::string, double>& processorTimings() {
  static std::map<std::string, double> shared;
  return shared;
}

double processorMilliseconds() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

// The blob's time over the TIFF's, per pair of calls made back to back: the
// median of these is what a machine whose load comes and goes leaves of
// the archive's share (the ratio of the mean times takes in every swing).
std::vector<double>& pairedRatios() {
  static std::vector<double> shared;
  return shared;
}

// The first call alone (cold), then Google Benchmark's loop (warm).
template <class Work>
void measure(benchmark::State& state, const std::string& name, Work work) {
  if (!coldTimings().count(name)) {
    const auto start = std::chrono::steady_clock::now();
    work();
    coldTimings()[name] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  const double processor = processorMilliseconds();
  bench::timed(state, timings(), name, work);
  if (state.iterations() > 0)
    processorTimings()[name] = (processorMilliseconds() - processor) / double(state.iterations());
}

void BM_MemcpyFloor(benchmark::State& state) {
  const size_t bytes = size_t(kWidth) * kHeight * 4;
  std::vector<char> from(bytes, 1), to(bytes);
  bench::timed(state, timings(), "memcpy", [&] {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  });
  timings().set("memcpy_all_cores", bench::memcpyMilliseconds(bytes, bench::allCores()));
}

// Producing the blob and the LZW TIFF alone, measured the same way in one
// loop, taking turns (and turns at going first), so a loaded machine, a
// warmer cache or memory the other freed favours neither. The program's
// first call is the blob's: it also starts the workers and their buffers.
void BM_ProduceAndTIFFOnly(benchmark::State& state) {
  const gfx::ImagePtr image = layerImage();
  const auto bitmap = ima_bitmapRepresentation(image);
  struct Row {
    const char* name;
    std::function<void()> work;
    double wall = 0, processor = 0;
  };
  Row rows[] = {
      {"produce", [&] { benchmark::DoNotOptimize(ima_produceImageData(image)); }},
      {"tiff",
       [&] {
         benchmark::DoNotOptimize(
             bitmap->TIFFRepresentationUsingCompression(gfx::TIFFCompression::LZW, 1.0f));
       }},
  };
  for (Row& row : rows) {
    if (coldTimings().count(row.name)) continue;
    const auto start = std::chrono::steady_clock::now();
    row.work();
    coldTimings()[row.name] = bench::millisecondsSince(start);
  }
  if (bench::warmPass())
    for (Row& row : rows) row.work();
  pairedRatios().clear();
  int turn = 0;
  for (auto _ : state) {
    double wall[2] = {};
    for (int i = 0; i < 2; ++i) {
      const int which = (turn + i) % 2;
      Row& row = rows[which];
      const double processor = processorMilliseconds();
      const auto start = std::chrono::steady_clock::now();
      row.work();
      wall[which] = bench::millisecondsSince(start);
      row.wall += wall[which];
      row.processor += processorMilliseconds() - processor;
    }
    pairedRatios().push_back(wall[0] / wall[1]);
    ++turn;
  }
  if (state.iterations() == 0) return;
  for (const Row& row : rows) {
    timings().record(row.name, row.wall / double(state.iterations()), state.iterations());
    processorTimings()[row.name] = row.processor / double(state.iterations());
  }
}

// The same on one worker: what spreading the strips over the cores gains.
void BM_TIFFOneThread(benchmark::State& state) {
  const auto bitmap = ima_bitmapRepresentation(layerImage());
  QThreadPool* pool = fnd::WorkerPool::shared();
  const int threads = pool->maxThreadCount();
  pool->setMaxThreadCount(1);
  measure(state, "tiff_one_thread", [&] {
    benchmark::DoNotOptimize(
        bitmap->TIFFRepresentationUsingCompression(gfx::TIFFCompression::LZW, 1.0f));
  });
  pool->setMaxThreadCount(threads);
}

void BM_ImageWithImageData(benchmark::State& state) {
  const QByteArray blob = ima_produceImageData(layerImage());
  measure(state, "read", [&] {
    gfx::ImagePtr image = ima_imageWithImageData(blob);
    benchmark::DoNotOptimize(image->representations().size());
  });
}

void BM_TIFFDecodeOnly(benchmark::State& state) {
  const QByteArray tiff = ima_bitmapRepresentation(layerImage())
                              ->TIFFRepresentationUsingCompression(gfx::TIFFCompression::LZW, 1.0f);
  measure(state, "tiff_decode",
          [&] { benchmark::DoNotOptimize(gfx::BitmapImageRep::imageRepWithData(tiff)); });
}

void BM_CanvasDraw(benchmark::State& state) {
  const gfx::ImagePtr image = layerImage();
  measure(state, "canvas", [&] {
    gfx::ImagePtr drawn = ima_imageWithPixelSize(
        QSizeF(kWidth, kHeight), [&](const QRectF& rect) { return image->drawInRect(rect); });
    benchmark::DoNotOptimize(drawn.get());
  });
}

void BM_Report(benchmark::State& state) {
  for (auto _ : state) {
  }
  const double floor = timings().get("memcpy"), parallelFloor = timings().get("memcpy_all_cores");
  const std::pair<const char*, const char*> rows[] = {
      {"produce", "imagedata_produce_4000x3000"},
      {"tiff", "imagedata_lzw_tiff_only_4000x3000"},
      {"tiff_one_thread", "imagedata_lzw_tiff_one_thread_4000x3000"},
      {"read", "imagedata_read_4000x3000"},
      {"tiff_decode", "imagedata_tiff_decode_only_4000x3000"},
      {"canvas", "imagedata_canvas_draw_4000x3000"},
  };
  bench::figure("imagedata_memcpy_4000x3000", floor, "ms");
  bench::figure("imagedata_memcpy_all_cores_4000x3000", parallelFloor, "ms");
  bench::figure("imagedata_blob_size_4000x3000",
                double(ima_produceImageData(layerImage()).size()) / 1e6, "MB");
  for (const auto& [key, name] : rows) {
    const double warm = timings().get(key);
    if (warm <= 0) continue;  // left out by a filter
    bench::figure(name, warm, "ms");
    // The program's first call, which only the first pass makes.
    if (!bench::warmPass()) bench::figure(std::string(name) + "_cold", coldTimings()[key], "ms");
    bench::figure(std::string(name) + "_cores_used", processorTimings()[key] / warm, "cores");
    const bool oneThread = std::string(key) == "tiff_one_thread";
    const double rowFloor = oneThread ? floor : parallelFloor;
    bench::figure(std::string(name) + "_memcpy_floor", rowFloor, "ms");
    bench::figure(std::string(name) + "_memcpy_floor_threads", oneThread ? 1 : bench::allCores(),
                  "threads");
    if (rowFloor > 0) bench::ratio(std::string(name) + "_vs_memcpy", warm / rowFloor);
  }
  // What the archive adds to the LZW coding, both ways.
  const auto share = [](const char* whole, const char* part, const char* name) {
    if (timings().get(whole) > 0 && timings().get(part) > 0)
      bench::ratio(name, timings().get(whole) / timings().get(part));
  };
  if (!pairedRatios().empty()) {
    std::vector<double> sorted = pairedRatios();
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    bench::ratio("imagedata_produce_vs_lzw_tiff_4000x3000",
                 n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2);
    share("produce", "tiff", "imagedata_produce_vs_lzw_tiff_mean_4000x3000");
  }
  share("read", "tiff_decode", "imagedata_read_vs_tiff_decode_4000x3000");
  share("tiff", "tiff_one_thread", "imagedata_lzw_tiff_all_cores_vs_one_4000x3000");
}

}  // namespace

BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProduceAndTIFFOnly)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_TIFFOneThread)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImageWithImageData)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TIFFDecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CanvasDraw)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Report)->Iterations(1);
