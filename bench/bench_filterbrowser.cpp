// The filter browser's preview of each catalogue filter at its defaults on a
// 512 × 512 thumbnail (the preview square shows it at half size): the
// slowest filter's time per selection, which must stay under 100 ms, and
// the median over the catalogue, beside the memcpy of the thumbnail's
// bytes. The slowest filter is named on a line of its own.
#include <benchmark/benchmark.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "BenchReport.h"
#include "appkit/FilterBrowserPanel.h"
#include "graphics/CGImage.h"

namespace {

constexpr int kSide = 512;

// A photograph-like thumbnail: smooth gradients with noise, opaque.
ci::Image thumbnail() {
  QImage pixels(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  quint32 noise = 7;
  for (int y = 0; y < kSide; ++y) {
    auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
    for (int x = 0; x < kSide; ++x) {
      noise = noise * 1664525u + 1013904223u;
      row[x] = qRgba((x / 2 + (noise >> 28)) & 255, y / 2, (x + y) / 4 + int(noise >> 29), 255);
    }
  }
  return ci::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

void BM_FilterBrowserPreview(benchmark::State& state) {
  ui::FilterBrowserPanel* panel = ui::FilterBrowserPanel::filterBrowserPanelWithStyleMask(0);
  panel->beginSheetWithOptions({}, nullptr, [](ui::FilterBrowserPanel*, int) {});
  panel->setPreviewSource(thumbnail());
  const QStringList names = panel->shownFilterNames();
  if (names.isEmpty()) return state.SkipWithError("no filters listed");
  std::vector<std::pair<double, QString>> times;
  // In the warm pass every filter has run once before any is timed.
  if (bench::warmPass())
    for (const QString& name : names) panel->selectFilterName(name);
  for (auto _ : state) {
    times.clear();
    // Each selection below then changes the row, as a click does.
    panel->selectFilterName(names.last());
    for (const QString& name : names) {
      const auto start = std::chrono::steady_clock::now();
      panel->selectFilterName(name);
      times.emplace_back(bench::millisecondsSince(start), name);
    }
  }
  panel->finish(ui::FilterBrowserPanel::Cancel);
  panel->orderOut();
  std::sort(times.begin(), times.end());
  const double floor = bench::memcpyMilliseconds(size_t(kSide) * kSide * 4);
  bench::figure("filter_browser_preview_512_slowest", times.back().first, "ms");
  bench::figure("filter_browser_preview_512_median", times[times.size() / 2].first, "ms");
  bench::figure("filter_browser_preview_512_memcpy_floor", floor, "ms");
  if (floor > 0)
    bench::ratio("filter_browser_preview_512_slowest_vs_memcpy", times.back().first / floor);
  for (size_t i = times.size() - std::min<size_t>(3, times.size()); i < times.size(); ++i)
    std::printf("slow filter %s %.2f ms\n", qPrintable(times[i].second), times[i].first);
  state.counters["filters"] = double(times.size());
}

}  // namespace

BENCHMARK(BM_FilterBrowserPreview)->Iterations(1)->Unit(benchmark::kMillisecond);
