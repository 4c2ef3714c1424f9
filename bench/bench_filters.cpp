// The whole filter catalogue at its defaults on one 2000 × 1500 picture,
// each filter's output rendered to 8-bit RGBA in memory over the picture's
// area (over its own extent when smaller, as reductions are); best of three
// renders each. Printed slowest last, each beside the memcpy of the
// picture's 8-bit bytes on every core (the engine renders tiles over the
// worker pool), plus the slowest filter's time and how many took
// longer than a second.
#include <benchmark/benchmark.h>

#include <QImage>
#include <algorithm>
#include <random>

#include "BenchReport.h"
#include "coreimage/Context.h"
#include "coreimage/Filter.h"

namespace {

constexpr int kWidth = 2000, kHeight = 1500;
constexpr int kRuns = 3;

// Smooth colour gradients with noise on top: neither flat nor random.
ci::Image picture(unsigned seed) {
  std::mt19937 random(seed);
  QImage pixels(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < kHeight; ++y) {
    uchar* p = pixels.scanLine(y);
    for (int x = 0; x < kWidth; ++x, p += 4) {
      const int noise = int(random() % 32);
      p[0] = uchar(std::min(255, x * 200 / kWidth + noise));
      p[1] = uchar(std::min(255, y * 200 / kHeight + noise));
      p[2] = uchar(std::min(255, (x + y) * 100 / (kWidth + kHeight) + 100 + noise));
      p[3] = 255;
    }
  }
  return ci::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

ci::Image filtered(const QString& name, const ci::Image& first, const ci::Image& second) {
  auto filter = ci::Filter::filterWithName(name);
  if (!filter) return {};
  const QVariantMap attributes = filter->attributes();
  for (const QString& key : filter->inputKeys()) {
    if (attributes.value(key).toMap().value(ci::kCIAttributeClass).toString() != ci::kClassCIImage)
      continue;
    filter->setValue(QVariant::fromValue(key == ci::kCIInputImageKey ? first : second), key);
  }
  return filter->outputImage();
}

QRectF renderedRect(const ci::Image& output) {
  const QRectF area(0, 0, kWidth, kHeight);
  const QRectF extent = output.extent();
  if (ci::isInfinite(extent) || extent.width() * extent.height() >= double(kWidth) * kHeight)
    return area;
  return extent;
}

void Catalogue(benchmark::State& state) {
  const ci::Image first = picture(1), second = picture(2);
  ci::Context context;
  std::vector<std::pair<double, std::string>> times;
  for (auto _ : state) {
    times.clear();
    for (const QString& name : ci::Filter::filterNamesInCategory(ci::kCICategoryBuiltIn)) {
      const ci::Image output = filtered(name, first, second);
      if (output.isNull() || ci::isEmpty(output.extent())) continue;
      const QRectF rect = renderedRect(output);
      double best = 1e300;
      for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        gfx::CGImagePtr pixels = context.createCGImage(output, rect, ci::kCIFormatRGBA8);
        benchmark::DoNotOptimize(pixels);
        best = std::min(best, bench::millisecondsSince(start));
      }
      times.emplace_back(best, name.toStdString());
    }
  }
  std::sort(times.begin(), times.end());
  const double floor = bench::memcpyMilliseconds(size_t(kWidth) * kHeight * 4, bench::allCores());
  bench::figure("filters_memcpy_floor_2000x1500", floor, "ms");
  bench::figure("filters_memcpy_floor_threads", bench::allCores(), "threads");
  int overASecond = 0;
  for (const auto& [ms, name] : times) {
    bench::figure("filter_" + name + "_2000x1500", ms, "ms");
    bench::ratio("filter_" + name + "_vs_memcpy", ms / floor);
    overASecond += ms > 1000;
  }
  if (times.empty()) return;
  bench::figure("filters_count", double(times.size()), "filters");
  bench::figure("filters_slowest_2000x1500", times.back().first, "ms");
  bench::ratio("filters_slowest_vs_memcpy", times.back().first / floor);
  bench::figure("filters_over_1s", overASecond, "filters");
}

}  // namespace

BENCHMARK(Catalogue)->Unit(benchmark::kMillisecond)->Iterations(1);
