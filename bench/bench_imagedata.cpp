// The image data blob every layer image is stored in: encoding a 4000 × 3000
// layer (LZW TIFF inside a keyed archive), decoding it back, and drawing one
// into the offscreen canvas. The floor is copying the same bytes with memcpy
// (read and written once) in the same run, so the ratios say how many
// memory passes each step costs.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QImage>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "BenchReport.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A layer with smooth areas and some grain, as paintings and photos have.
gfx::ImagePtr layerImage() {
  static gfx::ImagePtr image = [] {
    QImage pixels(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 random(7);
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<quint32*>(pixels.scanLine(y));
      for (int x = 0; x < kWidth; ++x) {
        const int grain = int(random() % 8);
        row[x] = qRgba((x / 16 + grain) & 255, (y / 12 + grain) & 255, ((x + y) / 32) & 255, 255);
      }
    }
    return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
  }();
  return image;
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

void BM_MemcpyFloor(benchmark::State& state) {
  const size_t bytes = size_t(kWidth) * kHeight * 4;
  std::vector<char> from(bytes, 1), to(bytes);
  measure(state, "memcpy", [&] {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  });
}

void BM_ProduceImageData(benchmark::State& state) {
  const gfx::ImagePtr image = layerImage();
  measure(state, "produce", [&] { benchmark::DoNotOptimize(ima_produceImageData(image)); });
}

// The LZW TIFF alone, so the archive's own share of producing shows.
void BM_TIFFOnly(benchmark::State& state) {
  const auto bitmap = ima_bitmapRepresentation(layerImage());
  measure(state, "tiff", [&] {
    benchmark::DoNotOptimize(
        bitmap->TIFFRepresentationUsingCompression(gfx::TIFFCompression::LZW, 1.0f));
  });
}

void BM_ImageWithImageData(benchmark::State& state) {
  const QByteArray blob = ima_produceImageData(layerImage());
  timings()["blob"] = double(blob.size()) / 1e6;
  measure(state, "read", [&] {
    gfx::ImagePtr image = ima_imageWithImageData(blob);
    benchmark::DoNotOptimize(image->representations().size());
  });
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
  const double floor = timings()["memcpy"];
  const std::pair<const char*, const char*> rows[] = {
      {"produce", "imagedata_produce_4000x3000"},
      {"tiff", "imagedata_lzw_tiff_only_4000x3000"},
      {"read", "imagedata_read_4000x3000"},
      {"canvas", "imagedata_canvas_draw_4000x3000"},
  };
  bench::figure("imagedata_memcpy_4000x3000", floor, "ms");
  if (timings().count("blob"))
    bench::figure("imagedata_blob_size_4000x3000", timings()["blob"], "MB");
  for (const auto& [key, name] : rows) {
    if (!timings().count(key)) continue;  // left out by a filter
    bench::figure(name, timings()[key], "ms");
    if (floor > 0) bench::ratio(std::string(name) + "_vs_memcpy", timings()[key] / floor);
  }
}

}  // namespace

BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProduceImageData)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TIFFOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImageWithImageData)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CanvasDraw)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Report)->Iterations(1);
